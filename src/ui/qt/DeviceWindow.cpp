#include "ui/qt/DeviceWindow.h"

#include "ui/qt/DeviceScreen.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

namespace tessadorn {

namespace {
constexpr int kMargin = 12;
}

DeviceWindow::DeviceWindow(int scale, QWidget* parent)
    : QWidget(parent), m_Screen(new DeviceScreen(scale, this)) {
    setWindowTitle(QStringLiteral("TESSADORN"));
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(40, 40, 44));
    setPalette(p);
    setAutoFillBackground(true);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_Screen, 0, 0, Qt::AlignCenter);
    auto* turnKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+R")), this);
    connect(turnKey, &QShortcut::activated, this, [this] { turn(); });
    fitToScreen();
}

int DeviceWindow::desktopScale() {
    const QScreen* desktop = QGuiApplication::primaryScreen();
    if (!desktop) return 2;
    const QSize avail = desktop->availableSize();
    const int fit = std::min((avail.height() - 80) / DeviceScreen::kLongSide,
                             (avail.width() - 80) / DeviceScreen::kShortSide);
    return std::max(2, fit);
}

int DeviceWindow::scaleToFit(QSize window, QSize screen) {
    if (screen.width() <= 0 || screen.height() <= 0) return 1;
    const int fit = std::min((window.width() - 2 * kMargin) / screen.width(),
                             (window.height() - 2 * kMargin) / screen.height());
    return std::max(1, fit);
}

void DeviceWindow::turn() {
    m_Screen->turn();
    fitToScreen();
}

// The screen of the current orientation at scale 1, with the margin.
void DeviceWindow::keepMinimumSize() {
    setMinimumSize(m_Screen->screenWidth() + 2 * kMargin, m_Screen->screenHeight() + 2 * kMargin);
}

void DeviceWindow::fitToScreen() {
    m_Fitting = true;
    keepMinimumSize();
    resize(m_Screen->size() + QSize(2 * kMargin, 2 * kMargin));
    m_Fitting = false;
}

void DeviceWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_Fitting) return;
    const bool tall = height() > width();
    if (tall != m_Screen->portrait()) {
        m_Screen->setPortrait(tall);
        keepMinimumSize();
    }
    const int scale = scaleToFit(size(), QSize(m_Screen->screenWidth(), m_Screen->screenHeight()));
    if (scale != m_Screen->scale()) m_Screen->setScale(scale);
}

void DeviceWindow::closeEvent(QCloseEvent* event) {
    if (m_Closing || !m_OnClose) {
        event->accept();
        return;
    }
    event->ignore();
    m_OnClose();
}

void DeviceWindow::closeNow() {
    m_Closing = true;
    close();
}

} // namespace tessadorn
