#pragma once

#include "modem/DeviceConfig.h"
#include "store/CasterEntry.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessadorn {

// What the panel lines are made of, read once from the main dialog's state.
struct PanelInputs {
    DeviceConfig::Values device;
    int baudIndex = 2;
    int stConnect = 0;
    // From the caster list.
    int count = 0;
    std::string auth = "yes";
    std::string user;
    // The entry that `server` names; false when it names none (an empty list, or a number
    // at or past the list's end), and the panel then shows no current caster.
    bool hasCurrentEntry = true;
    CasterEntry current;
};

// One line of the panel: a control id and its new text (device code page), or no text when the
// line keeps what it shows.
using PanelLine = std::pair<int, std::optional<std::string>>;

namespace panel {

// Lines 1086, 1034, 1125, 1035 and 1093 of the server-mode panel.
std::vector<PanelLine> serverLines(const PanelInputs& in);
// Lines 1125, 1086, 1034, 1035 and 1093 of the client-mode panel. The size refresh leaves the
// GPS line alone for an empty list; the monitor's fill writes it.
std::vector<PanelLine> clientLines(const PanelInputs& in, bool sizeRefresh);
// Lines 1034, 1035 and 1093 for the current caster while no connection runs: its name and its
// address or authorization, or the empty "Svr:" lines when `server` names no caster (the size
// refresh then leaves the GPS line alone).
std::vector<PanelLine> currentCasterLines(const PanelInputs& in, bool sizeRefresh);
// The server state line 1125 and the address line 1035 (written when the address is known).
std::vector<PanelLine> serverAddressLines(const PanelInputs& in);
// "GPS Position: MANUAL" or "GPS Position: AUTO (<type>)".
std::string gpsLine(const DeviceConfig::Values& d);
// The APN line: "No SIM", "APN not ready" or empty.
std::string apnLine(int apnReady, int simState);
// True for the GPS types with which the modem keeps a caster connection of its own.
bool casterGpsType(const std::string& gpsType);

} // namespace panel
} // namespace tessadorn
