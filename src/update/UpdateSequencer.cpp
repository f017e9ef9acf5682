#include "update/UpdateSequencer.h"

#include "platform/DebugOutput.h"
#include "update/UpdateControls.h"

namespace tessadorn {

UpdateSequencer::UpdateSequencer(Dialog& dialog, UpdateFlags& flags, ModemSession& session)
    : m_Dialog(dialog), m_Controls(dialog.controls()), m_Flags(flags), m_Session(session) {}

void UpdateSequencer::run() {
    debugLine("Iniciem Thread Principal\r\n");
    while (cycle()) {
        // Cleared as the cycle ends, before "Start Update" shows again, so no click is lost.
        m_Flags.startRequested.store(false);
        m_Flags.continueRequested.store(false);
    }
    debugLine("Sortim Thread Principal\r\n");
}

bool UpdateSequencer::cycle() {
    if (!idle()) return false;
    UpdateValues values;
    if (!waitForCable(values)) return !stopping();
    prepare();
    UpdateRun update(m_Session,
                     {[this](int top, std::string_view text) { stage(top, text); },
                      [this] { m_Controls.stepIt(update_ids::Progress); },
                      [this](int at) { m_Controls.setPosition(update_ids::Progress, at); },
                      [this](std::string_view text) { status(text); },
                      [this](std::string_view text) { message(text); },
                      [this] { return stopping(); }});
    const UpdateRun::Outcome outcome = update.run(values);
    if (outcome == UpdateRun::Stopped || stopping()) return false;
    if (outcome == UpdateRun::NotDetected || UpdateRun::refusedBeforeDownload(outcome)) {
        // Reported at once, the next cycle shows OK again.
        m_Flags.phase.store(UpdatePhase::Idle);
        message(UpdateRun::outcomeMessage(outcome));
        return true;
    }
    finish(outcome);
    return true;
}

bool UpdateSequencer::idle() {
    m_Flags.phase.store(UpdatePhase::Idle);
    m_Dialog.showTitleOk(true);
    for (int id : {update_ids::ApnLabel, update_ids::UserLabel, update_ids::PasswordLabel,
                   update_ids::Apn, update_ids::User, update_ids::Password, update_ids::Start})
        m_Controls.setVisible(id, true);
    m_Controls.setVisible(update_ids::Continue, false);
    showRunning(false);
    return pollUntil(m_Flags.startRequested);
}

bool UpdateSequencer::waitForCable(UpdateValues& values) {
    values = readUpdateValues(m_Controls, m_Flags.prefill);
    // "Start Update" refuses values that cannot be sent; they may have changed since.
    if (const std::string why = values.refusal(); !why.empty()) {
        message(why);
        return false;
    }
    for (int id : {update_ids::ApnLabel, update_ids::UserLabel, update_ids::PasswordLabel,
                   update_ids::Apn, update_ids::User, update_ids::Password, update_ids::Start})
        m_Controls.setVisible(id, false);
    m_Controls.setVisible(update_ids::Continue, true);
    m_Controls.setEnabled(update_ids::Continue, true);
    m_Flags.phase.store(UpdatePhase::WaitingForCable);
    m_Flags.startRequested.store(true);
    return pollUntil(m_Flags.continueRequested);
}

void UpdateSequencer::prepare() {
    m_Flags.phase.store(UpdatePhase::Running);
    m_Flags.startRequested.store(false);
    m_Dialog.showTitleOk(false);
    m_Controls.setEnabled(update_ids::Continue, false);
}

void UpdateSequencer::stage(int top, std::string_view text) {
    if (top != UpdateRun::kLeaveBarTop) {
        // Between the two stages "Continue" is enabled for a moment and the bar hidden.
        m_Controls.setEnabled(update_ids::Continue, true);
        showRunning(false);
    }
    m_Controls.setRange(update_ids::Progress, 0, top);
    m_Controls.setStep(update_ids::Progress, 1);
    m_Controls.setPosition(update_ids::Progress, 0);
    status(text);
    showRunning(true);
    m_Controls.setEnabled(update_ids::Continue, false);
}

void UpdateSequencer::finish(UpdateRun::Outcome outcome) {
    m_Flags.phase.store(UpdatePhase::Idle);
    m_Dialog.showTitleOk(true);
    status("Process Finished");
    message(UpdateRun::outcomeMessage(outcome));
}

bool UpdateSequencer::pollUntil(const std::atomic<bool>& flag) {
    for (;;) {
        if (stopping()) return false;
        if (flag.load()) return true;
        m_Session.clock().sleepMs(kPollMs);
    }
}

void UpdateSequencer::status(std::string_view text) {
    std::lock_guard lock(m_Flags.statusMutex);
    m_Flags.status = text;
    m_Controls.setText(update_ids::Status, text);
}

void UpdateSequencer::showRunning(bool shown) {
    m_Controls.setVisible(update_ids::Status, shown);
    m_Controls.setVisible(update_ids::Progress, shown);
}

void UpdateSequencer::message(std::string_view text) {
    m_Dialog.messageBox(text);
}

} // namespace tessadorn
