#pragma once

#include "ui/ControlModel.h"
#include "ui/DialogHost.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessadorn {

// The answer to a dialog's colour request for its background.
struct BackgroundAnswer {
    std::uint32_t textBackground = 0xFFFFFF; // 0xRRGGBB
    std::uint32_t brush = 0xFFFFFF;          // colour the background is filled with
};

// A dialog of the program: created from its landscape template, run modally by its host. Its
// handlers run on the dialog thread, one at a time; they may block. A dialog without handlers of
// its own shows its template and closes on OK or cancel.
class Dialog {
  public:
    Dialog(DialogHost& host, int templateId);
    // A dialog opened from another one (same host).
    Dialog(Dialog& parent, int templateId);
    virtual ~Dialog() = default;

    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    int templateId() const { return m_TemplateId; }
    DialogHost& host() const { return m_Host; }
    ControlModel& controls() const { return *m_Model; }
    const std::shared_ptr<ControlModel>& model() const { return m_Model; }

    // Handlers. The default size handler re-lays the dialog out for the screen.
    virtual void onInit() {}
    // A button or picture click, or a check-box click (the mark has already flipped).
    virtual void onCommand(int /*id*/) {}
    // The user chose another row of a list or combo box.
    virtual void onSelectionChange(int /*id*/) {}
    // The title-bar OK (command 1).
    virtual void onOk() { endDialog(kIdOk); }
    // The system's cancel (escape; command 2).
    virtual void onCancel() { endDialog(kIdCancel); }
    virtual void onSize(int width, int height) { relayoutForScreen(width, height); }
    virtual std::optional<BackgroundAnswer> onBackgroundColour() { return std::nullopt; }
    // The question to ask before the program ends while this dialog is on top (the desktop
    // window is being closed), or empty to end without asking. Any thread: reads only atomics.
    virtual std::string closeQuestion() const { return {}; }

    // Requests.
    int doModal() { return m_Host.runModal(*this); }
    int runModal(Dialog& child) { return m_Host.runModal(child); }
    void endDialog(int result) { m_Host.endDialog(*this, result); }
    // A message box; an empty caption gives the application's title.
    int messageBox(std::string_view text, std::string_view caption = {},
                   MessageButtons buttons = MessageButtons::Ok);
    WaitCursor& waitCursor() { return m_Host.waitCursor(); }
    DialogHost::ScreenSize screenSize() const { return m_Host.screenSize(); }
    int screenWidth() const { return m_Host.screenWidth(); }
    int screenHeight() const { return m_Host.screenHeight(); }
    void showTitleOk(bool shown) { m_Model->setTitleOkVisible(shown); }
    void quitApplication(int exitCode) { m_Host.quitApplication(exitCode); }
    // Re-lays the dialog out from the template of its pair that fits the screen; the title
    // stays the one the dialog was created with. Returns the re-layout's result.
    int relayoutForScreen(int width, int height);

  private:
    DialogHost& m_Host;
    int m_TemplateId;
    std::shared_ptr<ControlModel> m_Model;
};

} // namespace tessadorn
