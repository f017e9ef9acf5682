#include "ui/DialogRunner.h"

#include <algorithm>

namespace tessadorn {

DialogRunner::DialogRunner(const TemplateSource& templates) : m_Templates(templates) {}

const DialogTemplate* DialogRunner::findTemplate(int id) const {
    return m_Templates.findTemplate(id);
}

int DialogRunner::runModal(Dialog& dialog) {
    if (m_Quit.load()) return kIdCancel;
    auto running = std::make_shared<Running>();
    running->dialog = &dialog;
    {
        std::lock_guard lock(m_Mutex);
        running->serial = m_NextSerial++;
        m_Stack.push_back(running);
    }
    const auto& model = dialog.model();
    if (const auto answer = dialog.onBackgroundColour()) model->setBackground(answer->brush);
    dialogOpened(running->serial, model);

    // The first size change comes before initialisation, as the window is created.
    const ScreenSize size = screenSize();
    dialog.onSize(size.width, size.height);
    dialog.onInit();

    for (;;) {
        std::function<void()> event;
        {
            std::unique_lock lock(m_Mutex);
            for (;;) {
                if (running->ended || m_Quit.load()) break;
                if (!m_Queue.empty()) {
                    event = std::move(m_Queue.front());
                    m_Queue.pop_front();
                    break;
                }
                if (!waitWhenIdle()) {
                    running->ended = true;
                    running->result = kEndedIdle;
                    break;
                }
                if (const std::uint64_t posted = m_Posted.load(); posted != m_IdleReported) {
                    m_IdleReported = posted;
                    dialogThreadIdle(posted);
                }
                m_Wake.wait(lock);
            }
            if (!event) break;
        }
        event();
    }

    int result = kIdCancel;
    {
        std::lock_guard lock(m_Mutex);
        if (running->ended) result = running->result;
        std::erase(m_Stack, running);
    }
    dialogClosed(running->serial);
    m_Wake.notify_all(); // a dialog below may have ended meanwhile
    return result;
}

void DialogRunner::endDialog(Dialog& dialog, int result) {
    {
        std::lock_guard lock(m_Mutex);
        for (auto& r : m_Stack)
            if (r->dialog == &dialog && !r->ended) {
                r->ended = true;
                r->result = result;
            }
    }
    m_Wake.notify_all();
}

void DialogRunner::setEscapeWhileBusy(std::function<void()> onEscape) {
    std::lock_guard lock(m_EscapeMutex);
    m_OnEscape = std::move(onEscape);
}

bool DialogRunner::escapeWhileBusy() {
    std::lock_guard lock(m_EscapeMutex);
    if (!m_OnEscape) return false;
    m_OnEscape();
    return true;
}

void DialogRunner::quitApplication(int exitCode) {
    {
        std::lock_guard lock(m_Mutex);
        if (!m_Quit.load()) m_ExitCode.store(exitCode);
        m_Quit.store(true);
    }
    m_Wake.notify_all();
}

std::uint64_t DialogRunner::topSerial() const {
    std::lock_guard lock(m_Mutex);
    return m_Stack.empty() ? 0 : m_Stack.back()->serial;
}

std::string DialogRunner::closeQuestion() const {
    // Under the lock the dialog on top cannot go away.
    std::lock_guard lock(m_Mutex);
    if (m_Stack.empty() || m_Stack.back()->ended) return {};
    return m_Stack.back()->dialog->closeQuestion();
}

Dialog* DialogRunner::top() const {
    std::lock_guard lock(m_Mutex);
    return m_Stack.empty() || m_Stack.back()->ended ? nullptr : m_Stack.back()->dialog;
}

Dialog* DialogRunner::topIf(std::uint64_t serial) const {
    std::lock_guard lock(m_Mutex);
    if (m_Stack.empty()) return nullptr;
    const auto& r = m_Stack.back();
    return r->serial == serial && !r->ended ? r->dialog : nullptr;
}

void DialogRunner::post(std::function<void()> event) {
    {
        std::lock_guard lock(m_Mutex);
        m_Queue.push_back(std::move(event));
        m_Posted.fetch_add(1);
    }
    m_Wake.notify_all();
}

void DialogRunner::dispatchCommand(Dialog& dialog, int id) {
    if (id == kIdOk) return dialog.onOk();
    if (id == kIdCancel) return dialog.onCancel();
    ControlModel& controls = dialog.controls();
    if (const auto state = controls.state(id)) {
        // Only what the user could have clicked.
        if (!state->visible || !state->enabled) return;
        if (state->kind == ControlKind::Bitmap && !state->hasStyle(StyleNotify)) return;
        if (state->kind != ControlKind::PushButton && state->kind != ControlKind::CheckBox &&
            state->kind != ControlKind::Bitmap)
            return;
        if (state->kind == ControlKind::CheckBox) controls.toggleChecked(id);
    }
    dialog.onCommand(id);
}

void DialogRunner::postCommand(std::uint64_t serial, int id) {
    post([this, serial, id] {
        if (Dialog* d = topIf(serial)) dispatchCommand(*d, id);
    });
}

void DialogRunner::postSelection(std::uint64_t serial, int id, int index) {
    post([this, serial, id, index] {
        if (Dialog* d = topIf(serial)) dispatchSelection(*d, id, index);
    });
}

void DialogRunner::dispatchSelection(Dialog& dialog, int id, int index) {
    ControlModel& controls = dialog.controls();
    const auto state = controls.state(id);
    if (!state || !state->visible || !state->enabled) return;
    if (state->kind != ControlKind::ListBox && state->kind != ControlKind::ComboBox) return;
    // The user can only choose a row that is there.
    if (index < 0 || index >= static_cast<int>(state->items.size())) return;
    controls.setSelection(id, index);
    dialog.onSelectionChange(id);
}

void DialogRunner::postCancel(std::uint64_t serial) {
    post([this, serial] {
        if (Dialog* d = topIf(serial)) d->onCancel();
    });
}

void DialogRunner::postScreenSize(int width, int height) {
    post([this, width, height] {
        m_ScreenSize.store(pack(width, height));
        std::vector<Dialog*> dialogs;
        {
            std::lock_guard lock(m_Mutex);
            for (const auto& r : m_Stack)
                dialogs.push_back(r->dialog);
        }
        for (Dialog* d : dialogs)
            d->onSize(width, height);
    });
}

void DialogRunner::postToTop(std::function<void(Dialog&)> call) {
    post([this, call = std::move(call)] {
        if (Dialog* d = top()) call(*d);
    });
}

void DialogRunner::setScreenSize(int width, int height) {
    m_ScreenSize.store(pack(width, height));
}

} // namespace tessadorn
