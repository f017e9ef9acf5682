#pragma once

#include <string>
#include <string_view>

namespace tessadorn {

// One poll's values as the modem gave them.
struct PolledValues {
    int signal = -1;    // the level as the modem reports it; -1 without a SIM
    int simState = 0;   // 0 no SIM, kSimReady registered, other values on the way
    int apnReady = 0;   // 0 not ready
    int connection = 0; // the caster connection: 1 on, 2 off, 0 unknown (not asked)

    bool operator==(const PolledValues&) const = default;
};

// Why the monitor let the modem go.
enum class LostReason {
    PollsFailed, // three polls in a row failed
    WentSilent,  // three polls in a row failed, the last two without a byte of answer
    PortGone,    // the port's device went away (the adapter was pulled)
    SentAway,    // another part of the program sent the modem away (a role change)
};
std::string_view lostReasonText(LostReason reason);

// What the monitor found out about the modem when it became ready.
struct ModemFacts {
    std::string serial;   // device code page
    std::string firmware; // device code page
    int mode = -1;        // kModeServer or kModeClient
    int baudIndex = -1;
};

// Who follows the monitor's findings (the window's history, tessadornctl watch's lines and
// metrics). Called on the monitor's thread between its exchanges, so quickly: a slow observer
// delays the next poll.
class MonitorObserver {
  public:
    virtual ~MonitorObserver() = default;
    // The modem is ready: identified, configured and shown.
    virtual void found(const ModemFacts&) {}
    // A poll that the modem answered.
    virtual void polled(const PolledValues&) {}
    // A poll that failed (no answer, or one that was no number).
    virtual void pollFailed() {}
    // The modem was let go; the monitor searches again.
    virtual void lost(LostReason) {}
};

} // namespace tessadorn
