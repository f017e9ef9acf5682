#pragma once

// The command handlers, by topic (Casters.cpp, Mountpoints.cpp, Settings.cpp, Status.cpp,
// Update.cpp, Watch.cpp), and what they share. Commands.cpp lists them in the table of verbs.

#include "cli/Commands.h"
#include "cli/Modem.h"
#include "modem/MonitorObserver.h"
#include "store/CasterStore.h"

#include <memory>
#include <optional>
#include <string>

namespace tessadorn::cli {

// The value of an option, or nullptr when it was not given.
const std::string* option(const Request& request, const std::string& name);
// The message naming `field` when the UTF-8 text holds a character the caster list's code page
// (Windows-1252) cannot carry, else an empty text.
std::string codePageRefusal(std::string_view field, std::string_view utf8);
// ASCII lower case.
std::string lower(std::string text);

// The caster list, loaded from its file. A command that only edits the list holds the list's
// lock from the load to the save (`edit`), so that parallel runs queue instead of losing each
// other's casters; one that talks to the modem first does not hold it that long, its saves
// apply its changes to the list on disk as it is then.
struct CasterList {
    explicit CasterList(Environment& env, bool edit = false);
    // Saves; a failure is the command's message, and its status 1.
    bool save(Result& r);
    CasterStore store;
    std::unique_ptr<CasterStore::FileHold> hold;
};

// What run() opens for a command as its row of the table of verbs says (Verb::needs): the caster
// list, under its lock for an edit of the list, and the modem, found and started up (the window's
// start-up) once, when the command first asks for it: after it checked what it was given, so
// that a refused value never waits for the modem.
class Opened {
  public:
    Opened(Environment& environment, const Request& request, Needs needs);
    // The caster list; only for a command that needs it.
    CasterList& list() { return *m_List; }
    // The modem, started up; nullptr with status 1 and the reason in `r` when it cannot be.
    Modem* modem(Result& r);

  private:
    std::unique_ptr<CasterList> m_List;
    std::unique_ptr<Modem> m_Modem;
    bool m_Started = false;
};

Result listCasters(const Request& request, Environment& environment, Opened& opened);
Result addCaster(const Request& request, Environment& environment, Opened& opened);
Result editCaster(const Request& request, Environment& environment, Opened& opened);
Result removeCaster(const Request& request, Environment& environment, Opened& opened);
Result useCaster(const Request& request, Environment& environment, Opened& opened);

Result mountpoints(const Request& request, Environment& environment, Opened& opened);
Result connect(const Request& request, Environment& environment, Opened& opened);
Result disconnect(const Request& request, Environment& environment, Opened& opened);

Result role(const Request& request, Environment& environment, Opened& opened);
Result autoConnect(const Request& request, Environment& environment, Opened& opened);
Result apn(const Request& request, Environment& environment, Opened& opened);
Result gpsReceiver(const Request& request, Environment& environment, Opened& opened);
Result gpsManual(const Request& request, Environment& environment, Opened& opened);
Result relay(const Request& request, Environment& environment, Opened& opened);

Result status(const Request& request, Environment& environment, Opened& opened);
// status of a started session with one poll's values (none: the poll failed), reached on `port`.
Result statusOf(ModemSession& session, const std::optional<PolledValues>& polled,
                const std::string& port);
Result udevRule(const Request& request, Environment& environment, Opened& opened);
Result update(const Request& request, Environment& environment, Opened& opened);
// Runs the window's monitor until the environment's stop is requested, telling each event as it
// comes (WatchReport): 0 when stopped, 1 when the port cannot be opened, 2 for a wrong option.
Result watch(const Request& request, Environment& environment, Opened& opened);

Result exportProfile(const Request& request, Environment& environment, Opened& opened);
Result applyProfile(const Request& request, Environment& environment, Opened& opened);

} // namespace tessadorn::cli
