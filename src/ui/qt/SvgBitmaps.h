#pragma once

#include <QSize>

#include <map>
#include <memory>

class QPainter;
class QRect;
class QSvgRenderer;

namespace tessadorn {

// The program's bitmaps, drawn from the SVG files ":/bitmaps/NNN.svg". GUI thread only.
class SvgBitmaps {
  public:
    SvgBitmaps();
    ~SvgBitmaps();

    // Natural size in device pixels; an empty size when the bitmap is missing.
    QSize size(int bitmap);
    // Draws the bitmap at its natural size (times `scale`) at the top left of `area`; a missing
    // bitmap is drawn as a grey box filling the area.
    void draw(QPainter& painter, int bitmap, const QRect& area, int scale);

  private:
    QSvgRenderer* renderer(int bitmap);

    std::map<int, std::unique_ptr<QSvgRenderer>> m_Renderers; // null entry: missing
};

} // namespace tessadorn
