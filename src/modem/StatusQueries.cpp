#include "modem/StatusQueries.h"

#include "modem/Protocol.h"
#include "modem/Replies.h"

#include <array>

namespace tessadorn {

namespace p = protocol;

namespace {
constexpr int kStartResends = 5;
constexpr int kStartReadLimit = 500;
constexpr int kPollReadLimit = 2048;
} // namespace

StatusQueries::StatusQueries(ModemSession& session)
    : m_Session(session), m_Tx(session.transactions()) {}

bool StatusQueries::capture(std::string_view command, std::string_view start, std::string& out,
                            std::size_t capacity, Attempt attempt) {
    const bool atStart = attempt == Attempt::AtStart;
    return m_Tx.SendCapture(command, start, p::kTokOkLine, out, capacity,
                            atStart ? kStartResends : 0,
                            atStart ? kStartReadLimit : kPollReadLimit) != 0;
}

bool StatusQueries::answersAtOpenRate() {
    SerialChannel& serial = m_Session.serial();
    serial.WriteCommand(p::kDevice);
    return serial.WaitTokenLimited(p::kTokDevice, kIdentifyReadLimit) != 0;
}

bool StatusQueries::hearsSourceTable() {
    std::array<std::uint8_t, kTablePeekBytes> block{};
    const std::size_t got = m_Session.serial().ReadUpTo(block.data(), block.size());
    const std::string_view text(reinterpret_cast<const char*>(block.data()), got);
    for (const std::string_view record : {p::kTokStr, p::kRecordCas, p::kRecordNet})
        if (text.find(record) != std::string_view::npos) return true;
    return false;
}

bool StatusQueries::identifies() {
    return m_Tx.SendWaitTokenLimited(p::kDevice, p::kTokDevice, 1, kIdentifyReadLimit) != 0;
}

std::optional<int> StatusQueries::readConfiguration() {
    std::string reply;
    if (!capture(p::kGetCfg, p::kReplyGetCfg, reply, kReplyCapacity, Attempt::AtStart))
        return std::nullopt;
    // The parser writes nothing unless the reply has all its fields.
    int mode = -1;
    bool parsed = false;
    m_Session.device().update(
        [&](DeviceConfig::Values& d) { parsed = replies::parseGetCfg(reply, d, mode); });
    if (!parsed) return std::nullopt;
    return mode;
}

bool StatusQueries::readPositionSource(bool manualIsUnknownType) {
    std::string reply;
    if (!capture(p::kGetGga, p::kReplyGetGga, reply, kReplyCapacity, Attempt::AtStart))
        return false;
    bool parsed = false;
    m_Session.device().update([&](DeviceConfig::Values& d) {
        parsed = replies::parseGetGga(reply, d);
        if (parsed && manualIsUnknownType && d.GgaMode == "MANUAL") d.GpsType = "UNKNOWN";
    });
    return parsed;
}

bool StatusQueries::readBroadcast() {
    std::string reply;
    if (!capture(p::kGetBrd, p::kReplyGetBrd, reply, kReplyCapacity, Attempt::AtStart))
        return false;
    bool parsed = false;
    m_Session.device().update(
        [&](DeviceConfig::Values& d) { parsed = replies::parseGetBrd(reply, d); });
    return parsed;
}

bool StatusQueries::readServerIp(Attempt attempt) {
    std::string reply;
    if (!capture(p::kIp, p::kReplyIp, reply, kServerIpCapacity, attempt)) return false;
    m_Session.device().update([&](DeviceConfig::Values& d) { d.ServerIp = reply; });
    return true;
}

StatusQueries::OnOff StatusQueries::readAutoConnect() {
    return static_cast<OnOff>(
        m_Tx.SendWaitEither(p::kAutoQuery, p::kTokOn, p::kTokOff, kStartResends, kStateReadLimit));
}

StatusQueries::OnOff StatusQueries::readConnectionState(Attempt attempt) {
    const int resends = attempt == Attempt::AtStart ? kStartResends : 1;
    return static_cast<OnOff>(
        m_Tx.SendWaitEither(p::kStConnect, p::kTokOn, p::kTokOff, resends, kStateReadLimit));
}

bool StatusQueries::readStoredCaster() {
    std::string reply;
    if (!capture(p::kAddrServer, p::kReplyAddrServer, reply, kReplyCapacity, Attempt::AtStart))
        return false;
    bool parsed = false;
    m_Session.device().update(
        [&](DeviceConfig::Values& d) { parsed = replies::parseAddrServer(reply, d); });
    return parsed;
}

std::optional<StatusQueries::ApnState> StatusQueries::readApnState() {
    std::string reply;
    ApnState state;
    if (!capture(p::kApnQuery, p::kReplyApn, reply, kApnReplyCapacity, Attempt::WhilePolling) ||
        !replies::parseApn(reply, state.apnReady, state.simState))
        return std::nullopt;
    return state;
}

std::optional<int> StatusQueries::readSignal() {
    std::string reply;
    if (!capture(p::kSignalOnce, p::kReplySignal, reply, kSignalReplyCapacity,
                 Attempt::WhilePolling))
        return std::nullopt;
    return replies::readDecimal(reply);
}

} // namespace tessadorn
