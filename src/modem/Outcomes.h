#pragma once

#include <string>
#include <string_view>

namespace tessadorn::outcome {

// What the user is told when a modem command ended: the window shows these in its message
// boxes and the command line prints them, so each is written here once.

// The connection was stopped.
inline constexpr std::string_view kConnectionFinished = "Connection Finished";
// The role change: refused, or the role the modem restarts in.
inline constexpr std::string_view kRoleRefused = "Tessadorn Error";
constexpr std::string_view roleChanged(bool toServer) {
    return toServer ? "Tessadorn SERVER" : "Tessadorn CLIENT";
}
// The APN block was refused, or taken (the modem restarts with it).
inline constexpr std::string_view kApnRefused = "APN configuration Error";
inline constexpr std::string_view kApnRebooting = "APN configured. Tessadorn is rebooting...";
// A setting of the position source or the relay broadcast.
inline constexpr std::string_view kSettingRefused = "Configuration Error";
inline constexpr std::string_view kSettingTaken = "Tessadorn configured successfully!";
// The modem did not stop sending its position before a source table.
inline constexpr std::string_view kSignalNotStopped = "Error 1";
// The modem refused to connect to another Tessadorn.
inline constexpr std::string_view kDirectRefused = "Error";

// A source table longer than the program keeps.
inline std::string rowsLeftOut(long rows) {
    return "The caster lists " + std::to_string(rows) + " more mountpoints than can be shown.";
}

} // namespace tessadorn::outcome
