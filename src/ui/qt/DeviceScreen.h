#pragma once

#include "ui/ControlModel.h"
#include "ui/MessageBoxRequest.h"
#include "ui/PendingAnswer.h"
#include "ui/qt/SvgBitmaps.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tessadorn {

class DialogInput;
class DialogView;
class MessageBoxView;

// The handheld's screen: 240 x 320 pixels in portrait, 320 x 240 in landscape, drawn `scale`
// times larger. A top bar shows the title of the dialog on top and its title-bar OK; below it
// every running dialog fills the client area above the one that opened it; message boxes lie
// above all. GUI thread only.
class DeviceScreen final : public QWidget {
  public:
    static constexpr int kShortSide = 240;
    static constexpr int kLongSide = 320;
    static constexpr int kTopBarHeight = 26;

    explicit DeviceScreen(int scale, QWidget* parent = nullptr);
    ~DeviceScreen() override;

    void setInput(DialogInput* input) { m_Input = input; }
    // Called after every turn with the new screen size in device pixels.
    void setOnTurned(std::function<void(int width, int height)> onTurned);

    int scale() const { return m_Scale; }
    void setScale(int scale);
    bool portrait() const { return m_Portrait; }
    void setPortrait(bool portrait);
    void turn() { setPortrait(!m_Portrait); }
    // Device pixels.
    int screenWidth() const { return m_Portrait ? kShortSide : kLongSide; }
    int screenHeight() const { return m_Portrait ? kLongSide : kShortSide; }

    DialogView* openDialog(std::uint64_t serial, std::shared_ptr<ControlModel> model);
    void closeDialog(std::uint64_t serial);
    DialogView* topDialog() const;
    int dialogCount() const { return static_cast<int>(m_Views.size()); }

    void showMessageBox(const MessageBoxRequest& request, std::shared_ptr<PendingAnswer> answer);
    // Takes every box away unanswered: the waiting threads get kIdCancel.
    void dropMessageBoxes();
    std::vector<MessageBoxView*> messageBoxes() const;

    void setWaitCursor(bool waiting);
    // Presses the title-bar OK as the user would.
    void pressTitleOk();
    // Pictures of the first dialog (the program's main dialog) that the view itself answers:
    // a click on one of `ids` calls `action` on the GUI thread, whatever the dialog thread does.
    void setPictureAction(std::vector<int> ids, std::function<void()> action);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Return that no control of the top dialog took: the title-bar OK.
    void keyPressEvent(QKeyEvent* event) override;
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QRect clientRect() const;
    QRect okRect() const;
    void placeChildren();
    bool blocksInputTo(QObject* receiver) const;
    // The keyboard goes to the newest message box, else to the top dialog.
    void focusTop();

    int m_Scale;
    bool m_Portrait = true;
    DialogInput* m_Input = nullptr;
    std::function<void(int, int)> m_OnTurned;
    std::vector<int> m_PictureActionIds;
    std::function<void()> m_PictureAction;
    SvgBitmaps m_Bitmaps;
    std::vector<DialogView*> m_Views;
};

} // namespace tessadorn
