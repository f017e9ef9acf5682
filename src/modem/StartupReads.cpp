#include "modem/StartupReads.h"

namespace tessadorn {

bool firmwareHasRelay(const std::string& firmwareVersion) {
    return firmwareVersion.empty() || firmwareVersion[0] != '2';
}

StartupReads::StartupReads(ModemSession& session, std::function<bool()> checkpoint)
    : m_Session(session), m_Queries(session), m_Checkpoint(std::move(checkpoint)) {}

std::optional<int> StartupReads::configuration() {
    const auto mode = m_Queries.readConfiguration();
    if (mode) m_Session.modeFound(*mode);
    return mode;
}

bool StartupReads::serverState() {
    if (m_Checkpoint()) m_Queries.readPositionSource(false);
    if (m_Checkpoint()) m_Queries.readBroadcast();
    return m_Checkpoint() && m_Queries.readServerIp(StatusQueries::Attempt::AtStart);
}

bool StartupReads::clientState() {
    if (m_Checkpoint()) m_Queries.readPositionSource(true);
    if (!keepsCasterConnection(m_Session.device().read().GpsType)) return false;
    if (m_Checkpoint()) m_Session.autoConnectState(static_cast<int>(m_Queries.readAutoConnect()));
    if (m_Checkpoint())
        m_Session.connectionState(
            static_cast<int>(m_Queries.readConnectionState(StatusQueries::Attempt::AtStart)));
    return m_Checkpoint() && m_Queries.readStoredCaster();
}

} // namespace tessadorn
