#include "ui/qt/MessageBoxView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessadorn {

MessageBoxView::MessageBoxView(const MessageBoxRequest& request,
                               std::shared_ptr<PendingAnswer> answer, int scale, QWidget* parent)
    : QWidget(parent), m_Request(request), m_Answer(std::move(answer)) {
    setObjectName(QStringLiteral("messageBox"));
    setFocusPolicy(Qt::StrongFocus);

    auto* frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("messageFrame"));
    frame->setAutoFillBackground(true);
    QPalette p = frame->palette();
    p.setColor(QPalette::Window, Qt::white);
    frame->setPalette(p);

    auto* caption = new QLabel(QString::fromStdString(request.caption), frame);
    m_Caption = caption;
    auto* text = new QLabel(QString::fromStdString(request.text), frame);
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto addButton = [&](const QString& label, int result) {
        auto* b = new QPushButton(label, frame);
        b->setObjectName(label);
        connect(b, &QPushButton::clicked, this, [this, result] { press(result); });
        buttons->addWidget(b);
    };
    if (request.buttons == MessageButtons::YesNo) {
        addButton(QStringLiteral("Yes"), kIdYes);
        addButton(QStringLiteral("No"), kIdNo);
    } else {
        addButton(QStringLiteral("OK"), kIdOk);
    }
    buttons->addStretch();

    auto* box = new QVBoxLayout(frame);
    m_FrameLayout = box;
    box->addWidget(caption);
    box->addWidget(text);
    box->addLayout(buttons);

    auto* outer = new QVBoxLayout(this);
    m_OuterLayout = outer;
    outer->addStretch();
    outer->addWidget(frame);
    outer->addStretch();
    setScale(scale);
}

void MessageBoxView::setScale(int scale) {
    QFont f = font();
    f.setPixelSize(11 * scale);
    setFont(f);
    QFont bold = f;
    bold.setBold(true);
    m_Caption->setFont(bold);
    m_FrameLayout->setContentsMargins(8 * scale, 6 * scale, 8 * scale, 6 * scale);
    m_OuterLayout->setContentsMargins(10 * scale, 10 * scale, 10 * scale, 10 * scale);
}

void MessageBoxView::press(int button) {
    if (m_Answer) m_Answer->answer(button);
    m_Answer.reset();
    hide();
    deleteLater();
    if (m_OnClosed) std::exchange(m_OnClosed, nullptr)();
}

void MessageBoxView::keyPressEvent(QKeyEvent* event) {
    const bool yesNo = m_Request.buttons == MessageButtons::YesNo;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        press(yesNo ? kIdYes : kIdOk);
        return;
    case Qt::Key_Escape:
        press(yesNo ? kIdNo : kIdOk);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void MessageBoxView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 90));
}

} // namespace tessadorn
