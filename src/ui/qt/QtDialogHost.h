#pragma once

#include "ui/DialogRunner.h"
#include "ui/qt/DialogInput.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace tessadorn {

class DeviceScreen;

// The dialog host of the Qt front end. The dialogs run on their own thread (the dialog thread);
// the Qt GUI thread only draws them on the device screen and forwards what the user does.
//
// Rules that keep it free of deadlocks: the GUI thread never waits for another thread; a
// message box carries its answer inside the posted request, so a box that goes away unanswered
// gives kIdCancel; shutting down stops the answers first, then asks the dialogs to unwind, and
// the GUI keeps running until the dialog thread has ended.
class QtDialogHost final : public QObject, public DialogRunner, public DialogInput {
  public:
    // Both live on the GUI thread; the screen must outlive the host.
    QtDialogHost(const TemplateSource& templates, DeviceScreen& screen);
    ~QtDialogHost() override;

    // GUI thread. Starts the dialog thread with `body`; when it returns, `finished` runs on the
    // GUI thread with the body's result, after the thread was joined.
    void start(std::function<int(QtDialogHost&)> body, std::function<void(int)> finished);
    // GUI thread. New message boxes answer kIdCancel at once, open ones are taken away, and every
    // running dialog unwinds; `finished` follows once the dialog thread has ended.
    void shutdown(int exitCode = 0);
    bool running() const { return m_Running.load(); }
    // GUI thread. The user closes the window: when the dialog on top has a close question (an
    // update is running), it is asked first on the dialog thread and only Yes shuts down;
    // otherwise as shutdown().
    // `beforeShutdown` runs (GUI thread) once the program really ends, before the dialogs unwind.
    void requestClose(int exitCode = 0, std::function<void()> beforeShutdown = {});
    // True from a close request until its question was answered on the dialog thread.
    bool askingToClose() const { return m_AskingToClose.load(); }

    // DialogHost: any thread but the GUI thread.
    int messageBox(const MessageBoxRequest& request) override;

    // DialogInput: GUI thread. Once the dialog thread has been busy with a click or key for
    // kBusyMs, and until it has handled it and waits for input again (with the window of a
    // dialog it opened meanwhile up), further input is dropped: it must not reach the dialog
    // below a window that is still to come. Input within kBusyMs of the last one still goes
    // through (a quick second click), as the runner hands it only to the dialog it was meant for
    // while that one is on top.
    void command(std::uint64_t serial, int id) override {
        postCommand(serial, id);
        inputSent();
    }
    void selection(std::uint64_t serial, int id, int index) override {
        postSelection(serial, id, index);
        inputSent();
    }
    void cancel(std::uint64_t serial) override {
        postCancel(serial);
        inputSent();
    }
    bool inputBlocked() const override;
    void escapeWhileBlocked() override { escapeWhileBusy(); }

  protected:
    void dialogOpened(std::uint64_t serial, const std::shared_ptr<ControlModel>& model) override;
    void dialogClosed(std::uint64_t serial) override;
    void customEvent(QEvent* event) override;
    void dialogThreadIdle(std::uint64_t posted) override;

  private:
    void inputSent();

    DeviceScreen& m_Screen;
    std::thread m_Thread;
    std::thread::id m_GuiThread;
    std::atomic<bool> m_Running{false};
    std::mutex m_PostMutex; // orders message box requests against shutdown
    std::atomic<bool> m_Answering{true};
    std::atomic<bool> m_AskingToClose{false};
    std::function<void(int)> m_Finished;
    // GUI thread only: the events posted up to the last input, and those the dialog thread has
    // handled by the time it last waited (as the GUI learnt it, after the windows it opened).
    std::uint64_t m_InputPosted = 0;
    std::uint64_t m_IdleAt = 0;
    std::chrono::steady_clock::time_point m_InputTime;

  public:
    static constexpr std::chrono::milliseconds kBusyMs{100};
};

} // namespace tessadorn
