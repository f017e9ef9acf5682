#pragma once

#include "modem/ModemSession.h"
#include "modem/StartupReads.h"
#include "store/CasterStore.h"

#include <functional>
#include <string>

namespace tessadorn {

// What the program does each time it has found the modem: reads its configuration, lets the
// caster list take the modem's APN, reads what the modem's role is asked about, and on a rover
// makes the caster the modem has stored the current one. The window's monitor and every command
// of the command line that acts on the modem run this one sequence, so both see the same modem
// and the same current caster.
class ModemStartup {
  public:
    // Where the caller looks in. Every hook may be left empty.
    struct Hooks {
        // Before each read; false skips it (the window pauses its monitor here, or ends it).
        std::function<bool()> checkpoint;
        // The role is known: the window draws a base's or a rover's first lines.
        std::function<void(int mode)> roleKnown;
        // A base's own address was read.
        std::function<void()> serverAddressRead;
        // The caster list followed the modem but could not be saved: the message for the user.
        std::function<void(const std::string& failure)> listNotSaved;
    };

    enum class Outcome {
        Done,            // everything the role is asked about was read (or skipped)
        NoConfiguration, // "#GETCFG?" brought no usable reply: look for the modem again
    };

    ModemStartup(ModemSession& session, CasterStore& casterList, Hooks hooks);

    Outcome run();

  private:
    bool checkpoint() { return !m_Hooks.checkpoint || m_Hooks.checkpoint(); }
    // Saves the list when the synchronisation changed it.
    void keep(bool changed);

    ModemSession& m_Session;
    CasterStore& m_CasterList;
    Hooks m_Hooks;
    StartupReads m_Reads;
};

} // namespace tessadorn
