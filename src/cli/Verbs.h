#pragma once

// The command handlers, by topic (Casters.cpp, Mountpoints.cpp, Settings.cpp, Status.cpp,
// Update.cpp), and what they share. Commands.cpp lists them in the table of verbs.

#include "cli/Commands.h"
#include "store/CasterStore.h"

#include <string>

namespace tessadorn::cli {

// The value of an option, or nullptr when it was not given.
const std::string* option(const Request& request, const std::string& name);
// ASCII lower case.
std::string lower(std::string text);

// The caster list, loaded from its file.
struct CasterList {
    explicit CasterList(Environment& env);
    // Saves; a failure is the command's message, and its status 1.
    bool save(Result& r);
    CasterStore store;
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
Result update(const Request& request, Environment& environment);

Result exportProfile(const Request& request, Environment& environment);
Result applyProfile(const Request& request, Environment& environment);

} // namespace tessadorn::cli
