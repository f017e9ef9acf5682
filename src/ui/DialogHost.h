#pragma once

#include "layout/DialogTemplate.h"
#include "platform/WaitCursor.h"
#include "ui/MessageBoxRequest.h"

#include <functional>

namespace tessadorn {

class Dialog;

// What a dialog asks of the user-interface system. Implemented by the Qt front end and, for
// tests, by the scripted host.
class DialogHost {
  public:
    virtual ~DialogHost() = default;

    virtual const DialogTemplate* findTemplate(int id) const = 0;
    // Runs the dialog modally on the dialog thread and returns its result.
    virtual int runModal(Dialog& dialog) = 0;
    // Ends a running dialog with a result (any thread); ignored for a dialog that is not running.
    virtual void endDialog(Dialog& dialog, int result) = 0;
    // Shows a message box and returns the button pressed (kIdOk, kIdYes, kIdNo, or kIdCancel
    // when the box went away unanswered). Any thread.
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    virtual WaitCursor& waitCursor() = 0;
    // The screen's size in logical pixels, both sides read at once (a turn changes both).
    struct ScreenSize {
        int width = 240;
        int height = 320;
    };
    virtual ScreenSize screenSize() const = 0;
    int screenWidth() const { return screenSize().width; }
    int screenHeight() const { return screenSize().height; }
    // Asks the application to end: every running dialog unwinds, the program exits with the code.
    virtual void quitApplication(int exitCode) = 0;
    // While a handler works on with the wait cursor up, the dialogs take no input; Escape alone
    // still reaches `onEscape` while one is set. It runs on the thread the key came from, so it
    // must only note the key. An empty function takes it away.
    virtual void setEscapeWhileBusy(std::function<void()> onEscape) = 0;
};

} // namespace tessadorn
