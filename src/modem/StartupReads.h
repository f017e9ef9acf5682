#pragma once

#include "modem/ModemSession.h"
#include "modem/Receivers.h"
#include "modem/StatusQueries.h"

#include <functional>
#include <optional>
#include <string>

namespace tessadorn {

// True when the firmware offers the relay broadcast (every version but the 2.x line, which has
// the caster picture in its place).
bool firmwareHasRelay(const std::string& firmwareVersion);

// What the program reads from a modem once it was found: its configuration, then what its role
// is asked about. The window's monitor and the command line run the same reads in the same
// order; `checkpoint` is called before each one and false skips it (the window pauses or ends
// its monitor there).
class StartupReads {
  public:
    StartupReads(ModemSession& session, std::function<bool()> checkpoint);

    // "#GETCFG?": the role (kModeServer or kModeClient), which becomes the session's; nothing
    // when the reply did not come or lacked fields.
    std::optional<int> configuration();
    // A base: the position source, the relay broadcast and its address ("IP?"). True when the
    // address was read.
    bool serverState();
    // A rover: the position source and, for a receiver that leaves the caster connection to the
    // modem, automatic connection, the connection state and the stored caster. True when the
    // stored caster was read.
    bool clientState();

  private:
    ModemSession& m_Session;
    StatusQueries m_Queries;
    std::function<bool()> m_Checkpoint;
};

} // namespace tessadorn
