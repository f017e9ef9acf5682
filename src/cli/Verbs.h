#pragma once

// The command handlers, by topic (Casters.cpp, Mountpoints.cpp, Settings.cpp, Status.cpp,
// Update.cpp, Watch.cpp), and what they share. Commands.cpp lists them in the table of verbs.

#include "cli/Commands.h"
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

Result listCasters(const Request& request, Environment& environment);
Result addCaster(const Request& request, Environment& environment);
Result editCaster(const Request& request, Environment& environment);
Result removeCaster(const Request& request, Environment& environment);
Result useCaster(const Request& request, Environment& environment);

Result mountpoints(const Request& request, Environment& environment);
Result connect(const Request& request, Environment& environment);
Result disconnect(const Request& request, Environment& environment);

Result role(const Request& request, Environment& environment);
Result autoConnect(const Request& request, Environment& environment);
Result apn(const Request& request, Environment& environment);
Result gpsReceiver(const Request& request, Environment& environment);
Result gpsManual(const Request& request, Environment& environment);
Result relay(const Request& request, Environment& environment);

Result status(const Request& request, Environment& environment);
// status of a started session with one poll's values (none: the poll failed).
Result statusOf(ModemSession& session, const std::optional<PolledValues>& polled);
Result udevRule(const Request& request, Environment& environment);
Result update(const Request& request, Environment& environment);
// Runs the window's monitor until the environment's stop is requested, telling each event as it
// comes (WatchReport): 0 when stopped, 1 when the port cannot be opened, 2 for a wrong option.
Result watch(const Request& request, Environment& environment);

Result exportProfile(const Request& request, Environment& environment);
Result applyProfile(const Request& request, Environment& environment);

} // namespace tessadorn::cli
