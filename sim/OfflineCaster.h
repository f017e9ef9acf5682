#pragma once

#include "CasterService.h"
#include "SimSettings.h"

#include <map>
#include <string>
#include <vector>

namespace tessadorn::sim {

// Casters made of table files, for a modem without network. A caster is found by "host:port",
// then by host alone, then the default table answers for every other caster. Hosts listed as
// unreachable never answer. A stream request succeeds when the mountpoint is in the caster's
// table and, for a mountpoint that wants authentication, when the credentials match the
// configured login (any credentials do when no login is configured).
class OfflineCaster final : public CasterService {
  public:
    explicit OfflineCaster(const SimSettings& settings);

    CasterAnswer fetchTable(const CasterRequest& request) override;
    CasterAnswer openStream(const CasterRequest& request) override;
    bool reachable(const CasterRequest& request) override { return !unreachable(request); }

  private:
    bool unreachable(const CasterRequest& request) const;
    // The table file for the caster, empty when there is none.
    std::string tableFile(const CasterRequest& request) const;

    std::map<std::string, std::string> m_Tables;
    std::string m_DefaultTable;
    std::vector<std::string> m_Unreachable;
    std::string m_Login;
    int m_TableDelayMs;
    int m_ConnectMs;
};

} // namespace tessadorn::sim
