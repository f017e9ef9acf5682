#pragma once

#include "CasterService.h"

#include <string>

namespace tessadorn::sim {

// A real NTRIP client: TCP to the caster of the request, an NTRIP 1.0 request (or NTRIP 2.0 for
// the "2," forms) with a "User-Agent: NTRIP ..." header and Basic credentials where the command
// carries them. Every wait is bounded by the time-out; a caster that cannot be reached within it
// counts as unreachable.
class NetworkCaster final : public CasterService {
  public:
    explicit NetworkCaster(int timeoutMs) : m_TimeoutMs(timeoutMs) {}

    CasterAnswer fetchTable(const CasterRequest& request) override;
    CasterAnswer openStream(const CasterRequest& request) override;
    bool reachable(const CasterRequest& request) override;

    // The request text the caster is sent; `path` is "/" for the table or "/MOUNT".
    static std::string requestText(const CasterRequest& request, const std::string& path);
    // How the modem reads a caster's answer to a stream request.
    static CasterAnswer::Outcome classifyStreamAnswer(const std::string& head);

  private:
    int m_TimeoutMs;
};

} // namespace tessadorn::sim
