#include "modem/ConnectionCommands.h"

#include "modem/Protocol.h"

namespace tessadorn {

namespace p = protocol;

ConnectionCommands::ConnectionCommands(ModemSession& session) : m_Session(session) {}

CasterReply ConnectionCommands::connectMountpoint(const CasterAddress& caster,
                                                  std::string_view mountpoint) {
    SerialChannel& serial = m_Session.serial();
    serial.Drain(kDrainThreshold);
    const auto command = p::connect(static_cast<int>(caster.kind), caster.authorize, caster.ip,
                                    caster.port, mountpoint, caster.user, caster.password);
    if (m_Session.transactions().SendWaitEither(command, p::kTokCmdOk, p::kTokCmdError,
                                                kConnectResends, kConnectReadLimit) != 1)
        return CasterReply::ConnectionError;
    // The prompt, or one of the error tokens in the order of their meanings.
    std::array<std::string_view, 5> tokens{p::kTokOkPrompt};
    for (const auto& e : kCasterErrorTokens)
        tokens[static_cast<std::size_t>(e.meaning) - 1] = e.token;
    return static_cast<CasterReply>(serial.WaitOneOfFiveLimited(tokens, kConnectReadLimit));
}

bool ConnectionCommands::connectDirect(std::string_view host, std::string_view port) {
    return m_Session.transactions().SendWaitToken(p::connect2(host, port), p::kTokOk, kResends) !=
           0;
}

bool ConnectionCommands::stopConnection() {
    return m_Session.transactions().SendWaitTokenLimited(p::kStopConnection, p::kTokOkLine,
                                                         kStopResends, kStopReadLimit) != 0;
}

bool ConnectionCommands::setRole(bool base) {
    return m_Session.transactions().SendWaitTokenLimited(base ? p::kModeBase : p::kModeRover,
                                                         p::kTokOkLine, kRoleResends,
                                                         kRoleReadLimit) != 0;
}

bool ConnectionCommands::setAutoConnect(bool on) {
    return m_Session.transactions().SendWaitToken(on ? p::kAutoOn : p::kAutoOff, p::kTokOkLine,
                                                  kResends) != 0;
}

} // namespace tessadorn
