#include "ui/qt/PictureWidget.h"

#include "ui/qt/SvgBitmaps.h"

#include <QMouseEvent>
#include <QPainter>

namespace tessadorn {

PictureWidget::PictureWidget(SvgBitmaps& bitmaps, QWidget* parent)
    : QWidget(parent), m_Bitmaps(bitmaps) {}

void PictureWidget::setBitmap(int bitmap) {
    if (bitmap == m_Bitmap) return;
    m_Bitmap = bitmap;
    update();
}

void PictureWidget::setScale(int scale) {
    m_Scale = scale;
    update();
}

void PictureWidget::setOnClick(std::function<void()> onClick) {
    m_OnClick = std::move(onClick);
    setCursor(m_OnClick ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void PictureWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A picture button covers what lies under it (its grey placeholder), so that only the
    // coloured picture shows and takes the clicks.
    if (m_OnClick) painter.fillRect(rect(), palette().window());
    m_Bitmaps.draw(painter, m_Bitmap, rect(), m_Scale);
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (m_OnClick && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint()))
        m_OnClick();
}

} // namespace tessadorn
