#include "modem/UpdateEngine.h"

#include "modem/Protocol.h"
#include "platform/DebugOutput.h"

namespace tessadorn {

namespace p = protocol;

UpdateEngine::UpdateEngine(ModemSession& session) : m_Session(session) {}

bool UpdateEngine::reopen(int baudIndex, int settleMs) {
    m_Session.serial().Close();
    m_Session.clock().sleepMs(settleMs);
    return m_Session.serial().Open(baudIndex) != 0;
}

bool UpdateEngine::open(int baudIndex) {
    return m_Session.serial().Open(baudIndex) != 0;
}

void UpdateEngine::close() {
    m_Session.serial().Close();
}

bool UpdateEngine::leaveFirmware() {
    m_Session.serial().Drain(kDrainThreshold);
    return m_Session.transactions().SendWaitTokenLimited(p::kExit0, p::kTokBye, 1, kByeReadLimit) !=
           0;
}

void UpdateEngine::leaveFirmwareBlindly() {
    m_Session.serial().WriteCommand(p::kExit0Again);
}

bool UpdateEngine::engineAnswers(int settleMs) {
    m_Session.serial().WriteCommand(p::kAt);
    m_Session.clock().sleepMs(settleMs);
    return m_Session.serial().WaitToken(p::kTokOk) != 0;
}

UpdateEngine::Start UpdateEngine::startDownload(std::string_view apn, std::string_view user,
                                                std::string_view password,
                                                const std::function<void()>& stepDone) {
    SerialChannel& serial = m_Session.serial();
    const Command set = p::otapSet(apn, user, password);
    if (!set.ok()) {
        debugLine("Command refused: " + set.refused + "\r\n");
        return Start::SetRefused;
    }
    serial.WriteCommand(set.text);
    if (!serial.WaitToken(p::kTokOk)) return Start::SetRefused;
    stepDone();
    serial.WriteCommand(p::kOtapStart);
    if (!serial.WaitToken(p::kTokOk)) return Start::StartRefused;
    stepDone();
    serial.WriteCommand(p::kOtapTrace);
    if (!serial.WaitToken(p::kTokOtapStarted)) return Start::TraceNotStarted;
    stepDone();
    return Start::Started;
}

UpdateEngine::Event UpdateEngine::nextEvent() {
    return static_cast<Event>(
        m_Session.serial().WaitOneOfFive({p::kTokOtap, p::kTokRebootNow, p::kTokOperationFailed,
                                          p::kTokErrorColon, p::kTokTransferFinished}));
}

} // namespace tessadorn
