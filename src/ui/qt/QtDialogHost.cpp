#include "ui/qt/QtDialogHost.h"

#include "ui/qt/DeviceScreen.h"
#include "ui/qt/GuiJob.h"

#include <QCoreApplication>

#include <algorithm>

namespace tessadorn {

QtDialogHost::QtDialogHost(const TemplateSource& templates, DeviceScreen& screen)
    : DialogRunner(templates), m_Screen(screen), m_GuiThread(std::this_thread::get_id()) {
    setScreenSize(screen.screenWidth(), screen.screenHeight());
    screen.setInput(this);
    screen.setOnTurned([this](int w, int h) { postScreenSize(w, h); });
    cursor().setObserver([this](bool waiting) {
        GuiJob::post(this, [this, waiting] { m_Screen.setWaitCursor(waiting); });
    });
}

QtDialogHost::~QtDialogHost() {
    {
        std::lock_guard lock(m_PostMutex);
        m_Answering.store(false);
    }
    // Requests that were posted but never shown answer kIdCancel as they are thrown away.
    QCoreApplication::removePostedEvents(this);
    m_Screen.dropMessageBoxes();
    quitApplication(exitCode());
    if (m_Thread.joinable()) m_Thread.join();
    cursor().setObserver({});
    m_Screen.setInput(nullptr);
    m_Screen.setOnTurned({});
}

void QtDialogHost::start(std::function<int(QtDialogHost&)> body,
                         std::function<void(int)> finished) {
    m_Finished = std::move(finished);
    m_Running.store(true);
    m_Thread = std::thread([this, body = std::move(body)] {
        const int result = body(*this);
        GuiJob::post(this, [this, result] {
            if (m_Thread.joinable()) m_Thread.join();
            m_Running.store(false);
            if (m_Finished) m_Finished(result);
        });
    });
}

void QtDialogHost::shutdown(int exitCode) {
    {
        std::lock_guard lock(m_PostMutex);
        m_Answering.store(false);
    }
    m_Screen.dropMessageBoxes();
    quitApplication(exitCode);
}

void QtDialogHost::requestClose(int exitCode, std::function<void()> beforeShutdown) {
    if (closeQuestion().empty()) {
        if (beforeShutdown) beforeShutdown();
        return shutdown(exitCode);
    }
    if (m_AskingToClose.exchange(true)) return; // the question is already up
    postToTop([this, exitCode, beforeShutdown = std::move(beforeShutdown)](Dialog& dialog) {
        // Asked again on the dialog thread: the update may have ended meanwhile.
        const std::string question = dialog.closeQuestion();
        const bool quit = question.empty() ||
                          dialog.messageBox(question, "Attention", MessageButtons::YesNo) == kIdYes;
        m_AskingToClose.store(false);
        if (!quit) return;
        GuiJob::post(this, [this, exitCode, beforeShutdown] {
            if (beforeShutdown) beforeShutdown();
            shutdown(exitCode);
        });
    });
}

int QtDialogHost::messageBox(const MessageBoxRequest& request) {
    if (std::this_thread::get_id() == m_GuiThread) return kIdCancel;
    MessageBoxRequest shown = request;
    if (shown.caption.empty()) shown.caption = kApplicationTitle;
    auto answer = std::make_shared<PendingAnswer>();
    std::future<int> future = answer->future();
    {
        std::lock_guard lock(m_PostMutex);
        if (!m_Answering.load()) return kIdCancel;
        GuiJob::post(this, [this, shown, answer]() mutable {
            if (m_Answering.load()) m_Screen.showMessageBox(shown, std::move(answer));
            // Otherwise the last reference goes here: the caller gets kIdCancel.
        });
    }
    answer.reset(); // only the posted request may hold it
    return future.get();
}

bool QtDialogHost::inputBlocked() const {
    return waitCursorShown() ||
           (m_IdleAt < m_InputPosted && std::chrono::steady_clock::now() - m_InputTime >= kBusyMs);
}

void QtDialogHost::inputSent() {
    m_InputPosted = postedCount();
    m_InputTime = std::chrono::steady_clock::now();
}

void QtDialogHost::dialogThreadIdle(std::uint64_t posted) {
    // Posted after the window of any dialog the handler opened, so it is up before input flows.
    GuiJob::post(this, [this, posted] { m_IdleAt = std::max(m_IdleAt, posted); });
}

void QtDialogHost::dialogOpened(std::uint64_t serial, const std::shared_ptr<ControlModel>& model) {
    GuiJob::post(this, [this, serial, model] { m_Screen.openDialog(serial, model); });
}

void QtDialogHost::dialogClosed(std::uint64_t serial) {
    GuiJob::post(this, [this, serial] { m_Screen.closeDialog(serial); });
}

void QtDialogHost::customEvent(QEvent* event) {
    GuiJob::runIfJob(event);
}

} // namespace tessadorn
