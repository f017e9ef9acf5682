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

void DeviceWindow::turn() {
    m_Screen->turn();
    fitToScreen();
}

void DeviceWindow::fitToScreen() {
    m_Fitting = true;
    const QSize s = m_Screen->size() + QSize(2 * kMargin, 2 * kMargin);
    setMinimumSize(std::min(s.width(), s.height()), std::min(s.width(), s.height()));
    resize(s);
    m_Fitting = false;
}

void DeviceWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_Fitting) return;
    const bool tall = height() > width();
    if (tall != m_Screen->portrait()) m_Screen->setPortrait(tall);
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
