#include "ui/qt/DeviceScreen.h"

#include "ui/qt/DialogInput.h"
#include "ui/qt/DialogView.h"
#include "ui/qt/GuiJob.h"
#include "ui/qt/MessageBoxView.h"
#include "ui/qt/PictureWidget.h"

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace tessadorn {

DeviceScreen::DeviceScreen(int scale, QWidget* parent) : QWidget(parent), m_Scale(scale) {
    setObjectName(QStringLiteral("deviceScreen"));
    setFixedSize(screenWidth() * m_Scale, screenHeight() * m_Scale);
    qApp->installEventFilter(this);
}

DeviceScreen::~DeviceScreen() {
    qApp->removeEventFilter(this);
    dropMessageBoxes();
}

void DeviceScreen::setOnTurned(std::function<void(int, int)> onTurned) {
    m_OnTurned = std::move(onTurned);
}

void DeviceScreen::setScale(int scale) {
    m_Scale = std::max(1, scale);
    setFixedSize(screenWidth() * m_Scale, screenHeight() * m_Scale);
    for (DialogView* v : m_Views)
        v->setScale(m_Scale);
    for (MessageBoxView* b : messageBoxes())
        b->setScale(m_Scale);
    placeChildren();
}

void DeviceScreen::setPortrait(bool portrait) {
    if (portrait == m_Portrait) return;
    m_Portrait = portrait;
    setFixedSize(screenWidth() * m_Scale, screenHeight() * m_Scale);
    placeChildren();
    update();
    if (m_OnTurned) m_OnTurned(screenWidth(), screenHeight());
}

QRect DeviceScreen::clientRect() const {
    return QRect(0, kTopBarHeight * m_Scale, width(), height() - kTopBarHeight * m_Scale);
}

QRect DeviceScreen::okRect() const {
    const int h = kTopBarHeight * m_Scale;
    return QRect(width() - 30 * m_Scale, 3 * m_Scale, 27 * m_Scale, h - 6 * m_Scale);
}

void DeviceScreen::placeChildren() {
    for (DialogView* v : m_Views)
        v->setGeometry(clientRect());
    for (MessageBoxView* b : messageBoxes())
        b->setGeometry(rect());
}

DialogView* DeviceScreen::openDialog(std::uint64_t serial, std::shared_ptr<ControlModel> model) {
    auto* view = new DialogView(serial, std::move(model), m_Input, m_Bitmaps, m_Scale, this);
    view->setGeometry(clientRect());
    view->setOnDialogChanged([this] { update(); });
    if (m_Views.empty() && m_PictureAction)
        for (const int id : m_PictureActionIds)
            if (auto* picture = dynamic_cast<PictureWidget*>(view->controlWidget(id)))
                picture->setOnClick(m_PictureAction);
    if (const int icon = view->model()->icon(); icon > 0)
        window()->setWindowIcon(QIcon(QStringLiteral(":/bitmaps/%1.svg").arg(icon)));
    m_Views.push_back(view);
    view->show();
    view->raise();
    for (MessageBoxView* b : messageBoxes())
        b->raise();
    focusTop();
    update();
    return view;
}

void DeviceScreen::setPictureAction(std::vector<int> ids, std::function<void()> action) {
    m_PictureActionIds = std::move(ids);
    m_PictureAction = std::move(action);
}

void DeviceScreen::closeDialog(std::uint64_t serial) {
    const auto it = std::find_if(m_Views.begin(), m_Views.end(),
                                 [serial](DialogView* v) { return v->serial() == serial; });
    if (it == m_Views.end()) return;
    delete *it;
    m_Views.erase(it);
    focusTop();
    update();
}

DialogView* DeviceScreen::topDialog() const {
    return m_Views.empty() ? nullptr : m_Views.back();
}

void DeviceScreen::showMessageBox(const MessageBoxRequest& request,
                                  std::shared_ptr<PendingAnswer> answer) {
    auto* box = new MessageBoxView(request, std::move(answer), m_Scale, this);
    box->setGeometry(rect());
    box->setOnClosed([this] { focusTop(); });
    box->show();
    box->raise();
    focusTop();
}

void DeviceScreen::focusTop() {
    const auto boxes = messageBoxes();
    if (!boxes.empty())
        boxes.back()->setFocus();
    else if (DialogView* top = topDialog())
        top->setFocus();
}

void DeviceScreen::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        pressTitleOk();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DeviceScreen::dropMessageBoxes() {
    for (MessageBoxView* b : messageBoxes())
        delete b;
}

std::vector<MessageBoxView*> DeviceScreen::messageBoxes() const {
    std::vector<MessageBoxView*> boxes;
    for (QObject* child : children())
        if (auto* b = dynamic_cast<MessageBoxView*>(child); b && b->isVisible()) boxes.push_back(b);
    return boxes;
}

void DeviceScreen::setWaitCursor(bool waiting) {
    if (waiting)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void DeviceScreen::pressTitleOk() {
    DialogView* top = topDialog();
    if (!top || !m_Input || !top->model()->titleOkVisible()) return;
    if (m_Input->inputBlocked() || !messageBoxes().empty()) return;
    m_Input->command(top->serial(), kIdOk);
}

void DeviceScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    const QRect bar(0, 0, width(), kTopBarHeight * m_Scale);
    painter.fillRect(bar, QColor(18, 52, 120));
    DialogView* top = topDialog();
    if (!top) return;
    QFont f = font();
    f.setPixelSize(12 * m_Scale);
    f.setBold(true);
    painter.setFont(f);
    painter.setPen(Qt::white);
    painter.drawText(bar.adjusted(6 * m_Scale, 0, -34 * m_Scale, 0),
                     Qt::AlignVCenter | Qt::AlignLeft,
                     QString::fromStdString(top->model()->title()));
    if (top->model()->titleOkVisible()) {
        const QRect ok = okRect();
        painter.setBrush(QColor(60, 110, 200));
        painter.setPen(QPen(Qt::white, m_Scale));
        painter.drawEllipse(ok);
        f.setPixelSize(10 * m_Scale);
        painter.setFont(f);
        painter.drawText(ok, Qt::AlignCenter, QStringLiteral("ok"));
    }
}

void DeviceScreen::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && okRect().contains(event->position().toPoint()))
        pressTitleOk();
}

void DeviceScreen::customEvent(QEvent* event) {
    GuiJob::runIfJob(event);
}

bool DeviceScreen::blocksInputTo(QObject* receiver) const {
    if (!m_Input || !m_Input->inputBlocked()) return false;
    for (QObject* o = receiver; o; o = o->parent()) {
        if (dynamic_cast<MessageBoxView*>(o)) return false; // boxes stay answerable
        if (o == this) return true;
    }
    return false;
}

bool DeviceScreen::eventFilter(QObject* watched, QEvent* event) {
    GuiJob::takeOverPosted(); // the event may be a job posted by another thread
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
        if (blocksInputTo(watched)) {
            // A long piece of work (a source table coming in) may still hear Escape.
            if (event->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                m_Input->escapeWhileBlocked();
            return true;
        }
        break;
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        if (blocksInputTo(watched)) return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessadorn
