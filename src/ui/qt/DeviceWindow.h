#pragma once

#include <QWidget>

#include <functional>

namespace tessadorn {

class DeviceScreen;

// The desktop window around the device screen. Ctrl+R turns the screen; resizing the window to
// taller than wide turns it to portrait, wider than tall to landscape. The screen is drawn at
// the largest whole scale that fits the window, and the window is never smaller than the
// screen at scale 1, so the whole screen (its title-bar OK too) always shows. Closing the
// window asks `onClose` (when set) instead of closing at once: the program ends once its
// dialogs unwound.
class DeviceWindow final : public QWidget {
  public:
    explicit DeviceWindow(int scale, QWidget* parent = nullptr);

    DeviceScreen& screen() { return *m_Screen; }
    // The largest whole scale, at least 2, at which the screen fits the desktop.
    static int desktopScale();
    // The largest whole scale, at least 1, at which a screen of `screen` device pixels fits a
    // window of `window` pixels with its margin.
    static int scaleToFit(QSize window, QSize screen);
    void setOnClose(std::function<void()> onClose) { m_OnClose = std::move(onClose); }
    // Closes for good (after the program's dialogs ended).
    void closeNow();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void turn();
    void fitToScreen();
    void keepMinimumSize();

    DeviceScreen* m_Screen;
    std::function<void()> m_OnClose;
    bool m_Closing = false;
    bool m_Fitting = false;
};

} // namespace tessadorn
