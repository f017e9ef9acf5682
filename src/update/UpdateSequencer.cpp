#include "update/UpdateSequencer.h"

#include "platform/DebugOutput.h"
#include "update/UpdateControls.h"

namespace tessadorn {

namespace {

constexpr const char* kComPortError = "Error opening Com Port.\r\nProcess canceled";
constexpr const char* kNotDetected = "Tessadorn not detected.\r\nProcess canceled";
constexpr int kLeaveBarTop = 6;
constexpr int kUpdateBarTop = 23;
constexpr int kUpdateBarAfterSearch = 5;
constexpr int kReopenMs = 500;
constexpr int kSettleMs = 200;

} // namespace

UpdateSequencer::UpdateSequencer(Dialog& dialog, UpdateFlags& flags, ModemSession& session)
    : m_Dialog(dialog), m_Controls(dialog.controls()), m_Flags(flags), m_Session(session),
      m_Engine(session) {}

std::string UpdateSequencer::outcomeMessage(Outcome outcome) {
    if (outcome == Success) return "Modem Updated Successfully!!";
    return "Tessadorn Update Error (" + std::to_string(static_cast<int>(outcome)) +
           ").\r\nProcess canceled";
}

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
    leaveFirmware();
    if (stopping()) return false;
    if (findEngine() < 0) {
        if (stopping()) return false;
        message(kNotDetected);
        return true;
    }
    Outcome outcome = startDownload(values);
    if (outcome == Success) outcome = followEngine();
    if (outcome == Stopped || stopping()) return false;
    if (outcome == SetRefused || outcome == StartRefused || outcome == TraceNotStarted) {
        // Refused before the download started: reported at once, the next cycle shows OK again.
        m_Flags.phase.store(UpdatePhase::Idle);
        message(outcomeMessage(outcome));
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
    values = UpdateValues::read(m_Controls);
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
    m_Controls.setRange(update_ids::Progress, 0, kLeaveBarTop);
    m_Controls.setStep(update_ids::Progress, 1);
    m_Controls.setPosition(update_ids::Progress, 0);
    status("Preparing Tessadorn Update...");
    showRunning(true);
    m_Controls.stepIt(update_ids::Progress);
}

void UpdateSequencer::leaveFirmware() {
    bool bye = false;
    if (m_Engine.reopen(m_Session.baudIndex().load(), kReopenMs)) {
        sleep(kReopenMs);
        bye = m_Engine.leaveFirmware();
    }
    if (stopping()) return;
    if (bye) {
        m_Controls.setPosition(update_ids::Progress, kLeaveBarTop);
        sleep(kSettleMs);
        return;
    }
    // No answer: the second exit command goes out blindly at every rate.
    for (int rate = 0; rate < kRates && !stopping(); ++rate) {
        if (!m_Engine.reopen(rate, kReopenMs)) {
            message(kComPortError);
            continue;
        }
        sleep(kSettleMs);
        m_Engine.leaveFirmwareBlindly();
        sleep(kSettleMs);
        m_Controls.stepIt(update_ids::Progress);
    }
}

int UpdateSequencer::findEngine() {
    m_Controls.setEnabled(update_ids::Continue, true);
    showRunning(false);
    m_Controls.setRange(update_ids::Progress, 0, kUpdateBarTop);
    m_Controls.setStep(update_ids::Progress, 1);
    m_Controls.setPosition(update_ids::Progress, 0);
    status("Starting Update Process...");
    showRunning(true);
    m_Controls.setEnabled(update_ids::Continue, false);

    for (int rate = 0; rate < kRates && !stopping(); ++rate) {
        m_Engine.close();
        sleep(kReopenMs);
        m_Controls.stepIt(update_ids::Progress);
        if (!m_Engine.open(rate)) {
            message(kComPortError);
            continue;
        }
        sleep(kSettleMs);
        if (m_Engine.engineAnswers(kSettleMs)) return rate;
    }
    return -1;
}

UpdateSequencer::Outcome UpdateSequencer::startDownload(const UpdateValues& values) {
    m_Controls.setPosition(update_ids::Progress, kUpdateBarAfterSearch);
    status("Starting Update Process...");
    const UpdateEngine::Start start =
        m_Engine.startDownload(values.apn, values.user, values.password,
                               [this] { m_Controls.stepIt(update_ids::Progress); });
    switch (start) {
    case UpdateEngine::Start::Started:
        break;
    case UpdateEngine::Start::SetRefused:
        return stopping() ? Stopped : SetRefused;
    case UpdateEngine::Start::StartRefused:
        return stopping() ? Stopped : StartRefused;
    case UpdateEngine::Start::TraceNotStarted:
        return stopping() ? Stopped : TraceNotStarted;
    }
    status("Downloading Update Files...");
    return Success;
}

UpdateSequencer::Outcome UpdateSequencer::followEngine() {
    int transfers = 0;
    for (;;) {
        const UpdateEngine::Event event = m_Engine.nextEvent();
        if (stopping()) return Stopped;
        switch (event) {
        case UpdateEngine::Event::Progress:
            m_Controls.stepIt(update_ids::Progress);
            break;
        case UpdateEngine::Event::TransferFinished:
            if (++transfers == 2) status("Installing Update Files...");
            break;
        case UpdateEngine::Event::RebootNow:
            m_Controls.stepIt(update_ids::Progress);
            return Success;
        case UpdateEngine::Event::OperationFailed:
            return OperationFailed;
        case UpdateEngine::Event::Error:
            return EngineError;
        case UpdateEngine::Event::Silent:
            return EngineSilent;
        }
    }
}

void UpdateSequencer::finish(Outcome outcome) {
    m_Flags.phase.store(UpdatePhase::Idle);
    m_Dialog.showTitleOk(true);
    status("Process Finished");
    message(outcomeMessage(outcome));
}

bool UpdateSequencer::pollUntil(const std::atomic<bool>& flag) {
    for (;;) {
        if (stopping()) return false;
        if (flag.load()) return true;
        sleep(kPollMs);
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
