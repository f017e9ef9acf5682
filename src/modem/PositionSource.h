#pragma once

#include "modem/DeviceSettings.h"
#include "modem/ModemSession.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessadorn {

// A position source as chosen in the GPS configuration: a receiver make with its second choice
// (the TRIMBLE port 0..2, or the modem's rate 0..4 for WAVECOM and UNKNOWN; -1 none), or for
// UNKNOWN a manual position.
struct PositionChoice {
    GpsReceiver make = GpsReceiver::Kv318;
    int choice = -1;
    bool manual = false;
    double latitude = 0;
    double longitude = 0;
    // The TRIMBLE port the modem reported (0..2; 0 for TOPCON, -1 for the others).
    int reportedPort = -1;
};

// Tells the modem the position source and moves the link to a rate the choice fixes, skipping
// what the modem already has. `accepted` is called once the modem took the choice, before the
// link moves. Returns 1 for KV-318, 2 for TRIMBLE and TOPCON, 3 for WAVECOM, 4 for UNKNOWN, or 0
// when the modem refused a command.
int applyPositionSource(ModemSession& session, DeviceSettings& settings,
                        const PositionChoice& chosen, const std::function<void()>& accepted);

// The port the modem reports for its receiver as PositionChoice::reportedPort holds it.
int reportedPortOf(const DeviceConfig::Values& device);

// The TRIMBLE port index (0..2) of the modem's reported port ("COM1".."COM3").
int trimblePortIndex(const std::string& gpsPort);

// The second choice the GPS configuration starts with for `make`: what the modem reports when it
// reports this make (its TRIMBLE port, the link's rate for WAVECOM and UNKNOWN), otherwise what
// the list shows when the user picks the make (the first port; the link's own rate).
int startingChoice(GpsReceiver make, const DeviceConfig::Values& device, int linkBaudIndex);

// The message for a typed latitude or longitude (`field`) that is no number within +-`limit`,
// or an empty text for a good one.
std::string positionRefusal(std::string_view field, std::optional<double> value, double limit);

} // namespace tessadorn
