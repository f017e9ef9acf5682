#include "modem/UpdateRun.h"

#include "store/FieldCheck.h"

namespace tessadorn {

namespace {

constexpr const char* kComPortError = "Error opening Com Port.\r\nProcess canceled";
constexpr const char* kNotDetected = "Tessadorn not detected.\r\nProcess canceled";
constexpr int kUpdateBarAfterSearch = 5;
constexpr int kReopenMs = 500;
constexpr int kSettleMs = 200;

} // namespace

std::string UpdateValues::refusal() const {
    for (const auto& [field, value] : {std::pair<std::string_view, std::string_view>{"APN", apn},
                                       {"User", user},
                                       {"Password", password}}) {
        if (auto why = refusedValueMessage(field, value, FieldUse::Carrier); !why.empty())
            return why;
    }
    return {};
}

UpdateRun::UpdateRun(ModemSession& session, Hooks hooks)
    : m_Session(session), m_Hooks(std::move(hooks)), m_Engine(session) {}

std::string UpdateRun::outcomeMessage(Outcome outcome) {
    if (outcome == Success) return "Modem Updated Successfully!!";
    if (outcome == NotDetected) return kNotDetected;
    if (outcome == Stopped) return {};
    return "Tessadorn Update Error (" + std::to_string(static_cast<int>(outcome)) +
           ").\r\nProcess canceled";
}

UpdateRun::Outcome UpdateRun::run(const UpdateValues& values) {
    if (m_Hooks.stage) m_Hooks.stage(kLeaveBarTop, "Preparing Tessadorn Update...");
    step();
    leaveFirmware();
    if (stopping()) return Stopped;
    if (m_Hooks.stage) m_Hooks.stage(kUpdateBarTop, "Starting Update Process...");
    if (findEngine() < 0) return stopping() ? Stopped : NotDetected;
    Outcome outcome = startDownload(values);
    if (outcome == Success) outcome = followEngine();
    return stopping() ? Stopped : outcome;
}

void UpdateRun::leaveFirmware() {
    bool bye = false;
    if (m_Engine.reopen(m_Session.baudIndex(), kReopenMs)) {
        sleep(kReopenMs);
        bye = m_Engine.leaveFirmware();
    }
    if (stopping()) return;
    if (bye) {
        position(kLeaveBarTop);
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
        step();
    }
}

int UpdateRun::findEngine() {
    for (int rate = 0; rate < kRates && !stopping(); ++rate) {
        m_Engine.close();
        sleep(kReopenMs);
        step();
        if (!m_Engine.open(rate)) {
            message(kComPortError);
            continue;
        }
        sleep(kSettleMs);
        if (m_Engine.engineAnswers(kSettleMs)) return rate;
    }
    return -1;
}

UpdateRun::Outcome UpdateRun::startDownload(const UpdateValues& values) {
    position(kUpdateBarAfterSearch);
    status("Starting Update Process...");
    switch (m_Engine.startDownload(values.apn, values.user, values.password, [this] { step(); })) {
    case UpdateEngine::Start::Started:
        break;
    case UpdateEngine::Start::SetRefused:
        return SetRefused;
    case UpdateEngine::Start::StartRefused:
        return StartRefused;
    case UpdateEngine::Start::TraceNotStarted:
        return TraceNotStarted;
    }
    status("Downloading Update Files...");
    return Success;
}

UpdateRun::Outcome UpdateRun::followEngine() {
    int transfers = 0;
    for (;;) {
        const UpdateEngine::Event event = m_Engine.nextEvent();
        if (stopping()) return Stopped;
        switch (event) {
        case UpdateEngine::Event::Progress:
            step();
            break;
        case UpdateEngine::Event::TransferFinished:
            if (++transfers == 2) status("Installing Update Files...");
            break;
        case UpdateEngine::Event::RebootNow:
            step();
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

} // namespace tessadorn
