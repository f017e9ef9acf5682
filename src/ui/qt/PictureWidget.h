#pragma once

#include <QWidget>

#include <functional>

namespace tessadorn {

class SvgBitmaps;

// A static bitmap; one that reports clicks is a picture button.
class PictureWidget final : public QWidget {
  public:
    PictureWidget(SvgBitmaps& bitmaps, QWidget* parent);

    void setBitmap(int bitmap);
    void setScale(int scale);
    void setOnClick(std::function<void()> onClick);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    SvgBitmaps& m_Bitmaps;
    int m_Bitmap = 0;
    int m_Scale = 1;
    std::function<void()> m_OnClick;
};

} // namespace tessadorn
