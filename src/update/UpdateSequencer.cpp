#include "update/UpdateSequencer.h"

#include "link/Protocol.h"
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

enum Token { None = 0, Otap = 1, RebootNow = 2, Failed = 3, ErrorColon = 4, TransferFinished = 5 };

} // namespace

UpdateSequencer::UpdateSequencer(Dialog& dialog, UpdateFlags& flags, const UpdateAccess& access)
    : m_Dialog(dialog), m_Controls(dialog.controls()), m_Flags(flags), m_Access(access),
      m_Serial(access.serial), m_Transactions(access.serial, access.reading) {}

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
    if (reopen(m_Access.baudIndex.load())) {
        sleep(kReopenMs);
        m_Serial.Drain(kDrainThreshold);
        bye = m_Transactions.SendWaitTokenLimited(protocol::kExit0, protocol::kTokBye, 1,
                                                  kByeReadLimit) != 0;
    }
    if (stopping()) return;
    if (bye) {
        m_Controls.setPosition(update_ids::Progress, kLeaveBarTop);
        sleep(kSettleMs);
        return;
    }
    // No answer: the second exit command goes out blindly at every rate.
    for (int rate = 0; rate < kRates && !stopping(); ++rate) {
        if (!reopen(rate)) {
            message(kComPortError);
            continue;
        }
        sleep(kSettleMs);
        m_Serial.WriteCommand(protocol::kExit0Again);
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
        m_Serial.Close();
        sleep(kReopenMs);
        m_Controls.stepIt(update_ids::Progress);
        if (!m_Serial.Open(rate)) {
            message(kComPortError);
            continue;
        }
        sleep(kSettleMs);
        m_Serial.WriteCommand(protocol::kAt);
        sleep(kSettleMs);
        if (m_Serial.WaitToken(protocol::kTokOk)) return rate;
    }
    return -1;
}

UpdateSequencer::Outcome UpdateSequencer::startDownload(const UpdateValues& values) {
    m_Controls.setPosition(update_ids::Progress, kUpdateBarAfterSearch);
    status("Starting Update Process...");
    const protocol::Command set = protocol::otapSet(values.apn, values.user, values.password);
    if (!set.ok()) {
        debugLine("Command refused: " + set.refused + "\r\n");
        return SetRefused;
    }
    m_Serial.WriteCommand(set.text);
    if (!m_Serial.WaitToken(protocol::kTokOk)) return stopping() ? Stopped : SetRefused;
    m_Controls.stepIt(update_ids::Progress);
    m_Serial.WriteCommand(protocol::kOtapStart);
    if (!m_Serial.WaitToken(protocol::kTokOk)) return stopping() ? Stopped : StartRefused;
    m_Controls.stepIt(update_ids::Progress);
    m_Serial.WriteCommand(protocol::kOtapTrace);
    if (!m_Serial.WaitToken(protocol::kTokOtapStarted))
        return stopping() ? Stopped : TraceNotStarted;
    m_Controls.stepIt(update_ids::Progress);
    status("Downloading Update Files...");
    return Success;
}

UpdateSequencer::Outcome UpdateSequencer::followEngine() {
    int transfers = 0;
    for (;;) {
        const int token = m_Serial.WaitOneOfFive(
            {protocol::kTokOtap, protocol::kTokRebootNow, protocol::kTokOperationFailed,
             protocol::kTokErrorColon, protocol::kTokTransferFinished});
        if (stopping()) return Stopped;
        switch (token) {
        case Otap:
            m_Controls.stepIt(update_ids::Progress);
            break;
        case TransferFinished:
            if (++transfers == 2) status("Installing Update Files...");
            break;
        case RebootNow:
            m_Controls.stepIt(update_ids::Progress);
            return Success;
        case Failed:
            return OperationFailed;
        case ErrorColon:
            return EngineError;
        default:
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

bool UpdateSequencer::reopen(int baudIndex) {
    m_Serial.Close();
    sleep(kReopenMs);
    return m_Serial.Open(baudIndex) != 0;
}

} // namespace tessadorn
