#pragma once

#include "ui/CursorState.h"
#include "ui/Dialog.h"
#include "ui/DialogHost.h"
#include "ui/TemplateSource.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tessadorn {

// The dialog thread's side of a host: the stack of running dialogs, each with its own nested
// loop over one queue of input events. Input comes from any thread (the view, a test script)
// as posted events that carry the serial number of the dialog they were meant for; an event for
// a dialog that is no longer on top, or has ended, is dropped. Message boxes are left to the
// concrete host.
class DialogRunner : public DialogHost {
  public:
    explicit DialogRunner(const TemplateSource& templates);

    const DialogTemplate* findTemplate(int id) const override;
    int runModal(Dialog& dialog) override;
    void endDialog(Dialog& dialog, int result) override;
    WaitCursor& waitCursor() override { return m_Cursor; }
    ScreenSize screenSize() const override { return unpack(m_ScreenSize.load()); }
    void quitApplication(int exitCode) override;
    void setEscapeWhileBusy(std::function<void()> onEscape) override;
    // Any thread: Escape while the dialog thread is busy. True when a handler heard it.
    bool escapeWhileBusy();

    CursorState& cursor() { return m_Cursor; }
    bool waitCursorShown() const { return m_Cursor.waiting(); }
    bool quitRequested() const { return m_Quit.load(); }
    int exitCode() const { return m_ExitCode.load(); }
    // The close question of the dialog on top (see Dialog::closeQuestion); empty when none runs.
    std::string closeQuestion() const;
    // Serial number of the dialog on top, 0 when none runs.
    std::uint64_t topSerial() const;

    // Input, from any thread.
    void postCommand(std::uint64_t serial, int id);
    void postSelection(std::uint64_t serial, int id, int index);
    void postCancel(std::uint64_t serial);
    // The screen turned or changed size: every running dialog hears it, the lowest first.
    void postScreenSize(int width, int height);
    // Runs a function on the dialog thread with the dialog on top (dropped when none runs).
    void postToTop(std::function<void(Dialog&)> call);
    // Sets the screen size before any dialog runs.
    void setScreenSize(int width, int height);

  protected:
    // Hooks for the concrete host, called on the dialog thread.
    virtual void dialogOpened(std::uint64_t /*serial*/, const std::shared_ptr<ControlModel>&) {}
    virtual void dialogClosed(std::uint64_t /*serial*/) {}
    // With an empty queue: true to wait for input, false to end the dialog on top with
    // kEndedIdle (a script that ran out).
    virtual bool waitWhenIdle() const { return true; }
    // The dialog thread is about to wait for input with every event posted so far handled
    // (`posted` of them, see postedCount()); called under the runner's lock, so it must not
    // block or call back into the runner.
    virtual void dialogThreadIdle(std::uint64_t /*posted*/) {}
    // How many events were posted so far (any thread).
    std::uint64_t postedCount() const { return m_Posted.load(); }
    // What a click or a selection does to a dialog, on the dialog thread. Clicks on controls the
    // user could not click (hidden, disabled, a picture that does not report clicks) do nothing.
    void dispatchCommand(Dialog& dialog, int id);
    void dispatchSelection(Dialog& dialog, int id, int index);

  public:
    // Result of a dialog ended because its host had nothing more to give it.
    static constexpr int kEndedIdle = -1;

  private:
    struct Running {
        std::uint64_t serial = 0;
        Dialog* dialog = nullptr;
        bool ended = false; // guarded by m_Mutex
        int result = 0;
    };

    void post(std::function<void()> event);
    // The dialog on top when its serial matches, else nullptr.
    Dialog* topIf(std::uint64_t serial) const;
    Dialog* top() const;

    const TemplateSource& m_Templates;
    CursorState m_Cursor;
    // Width and height in one value, so that a reader never sees half of a turn.
    static std::uint64_t pack(int width, int height) {
        return (std::uint64_t{static_cast<std::uint32_t>(width)} << 32) |
               static_cast<std::uint32_t>(height);
    }
    static ScreenSize unpack(std::uint64_t packed) {
        return {static_cast<int>(static_cast<std::uint32_t>(packed >> 32)),
                static_cast<int>(static_cast<std::uint32_t>(packed))};
    }
    std::atomic<std::uint64_t> m_ScreenSize{pack(240, 320)};
    std::atomic<bool> m_Quit{false};
    std::atomic<int> m_ExitCode{0};

    std::mutex m_EscapeMutex;
    std::function<void()> m_OnEscape;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::deque<std::function<void()>> m_Queue;
    std::atomic<std::uint64_t> m_Posted{0};
    std::uint64_t m_IdleReported = 0; // dialog thread, under m_Mutex
    std::vector<std::shared_ptr<Running>> m_Stack;
    std::uint64_t m_NextSerial = 1;
};

} // namespace tessadorn
