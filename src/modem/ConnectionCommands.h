#pragma once

#include "modem/CasterAddress.h"
#include "modem/CasterReply.h"
#include "modem/ModemSession.h"

#include <string_view>

namespace tessadorn {

// The modem's connection to a caster and the modem's role: connect to a mountpoint or straight
// to another Tessadorn, stop a running connection, change the role, turn automatic connection
// on or off.
class ConnectionCommands {
  public:
    static constexpr int kStopResends = 5;
    static constexpr int kStopReadLimit = 2048;
    static constexpr int kRoleResends = 5;
    static constexpr int kRoleReadLimit = 2048;
    static constexpr int kResends = 5;
    static constexpr std::size_t kDrainThreshold = 64;
    static constexpr int kConnectResends = 5;
    static constexpr int kConnectReadLimit = 512;

    explicit ConnectionCommands(ModemSession& session);

    // The CONNECT command for the mountpoint, after the line is drained: Accepted once the modem
    // reports the caster's answer as a connection, or what went wrong.
    CasterReply connectMountpoint(const CasterAddress& caster, std::string_view mountpoint);
    // "#CONNECT2 host:port": the modem connects to another Tessadorn by itself.
    bool connectDirect(std::string_view host, std::string_view port);
    // One round of "#STOPCONNECTION" (resent 5 times); true once the modem confirmed.
    bool stopConnection();
    // "MODE=BASE" or "MODE=ROVER"; the modem restarts in its new role.
    bool setRole(bool base);
    // "#AUTO ON" or "#AUTO OFF".
    bool setAutoConnect(bool on);

  private:
    ModemSession& m_Session;
};

} // namespace tessadorn
