#include "ui/qt/SvgBitmaps.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace tessadorn {

SvgBitmaps::SvgBitmaps() = default;
SvgBitmaps::~SvgBitmaps() = default;

QSvgRenderer* SvgBitmaps::renderer(int bitmap) {
    auto it = m_Renderers.find(bitmap);
    if (it == m_Renderers.end()) {
        const QString path = QStringLiteral(":/bitmaps/%1.svg").arg(bitmap);
        std::unique_ptr<QSvgRenderer> r;
        if (QFile::exists(path)) {
            r = std::make_unique<QSvgRenderer>(path);
            if (!r->isValid()) r.reset();
        }
        it = m_Renderers.emplace(bitmap, std::move(r)).first;
    }
    return it->second.get();
}

QSize SvgBitmaps::size(int bitmap) {
    QSvgRenderer* r = renderer(bitmap);
    return r ? r->defaultSize() : QSize();
}

void SvgBitmaps::draw(QPainter& painter, int bitmap, const QRect& area, int scale) {
    QSvgRenderer* r = bitmap > 0 ? renderer(bitmap) : nullptr;
    if (!r) {
        painter.fillRect(area, QColor(190, 190, 190));
        painter.setPen(QColor(120, 120, 120));
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        return;
    }
    // A picture shows at its own size; one whose control is smaller is scaled down to fit,
    // keeping its proportions, so that nothing is cut off.
    QSizeF size = r->defaultSize() * scale;
    if (size.width() > area.width() || size.height() > area.height())
        size.scale(area.size(), Qt::KeepAspectRatio);
    r->render(&painter, QRectF(area.topLeft(), size));
}

} // namespace tessadorn
