#pragma once

#include "modem/ModemSession.h"

#include <span>
#include <string>
#include <string_view>

namespace tessadorn {

// The modem's settings a user changes, in the order a set of changes is applied:
// - the role first: the modem restarts in its new role, and what the role is asked about (the
//   relay broadcast of a base; automatic connection and the caster of a rover) is only there
//   after it;
// - then the APN: SAVE and RESET restart the modem too;
// - then the position source: a make with a rate of its own, or a rate chosen, moves the modem's
//   port and the link follows it; some makes also end automatic connection;
// - then automatic connection and the relay broadcast, which change nothing else;
// - the caster last: its connection would not survive a restart or a rate change.
enum class Setting { Role, Apn, Gps, AutoConnect, Relay, Caster };

// The modem as the ready face shows it: what decides which settings it offers.
struct OfferFacts {
    int mode = -1;        // kModeServer, kModeClient
    std::string gpsType;  // as the modem reports it
    std::string firmware; // its version
    bool connected = false;
};
OfferFacts factsOf(ModemSession& session);

enum class SettingRole { Both, Rover, Base };

// One setting: where the ready face offers it, what applying it does, how it is named.
struct SettingRow {
    Setting setting;
    std::string_view key;      // its name in a profile and in JSON
    std::string_view jsonType; // the JSON type of its value
    std::string_view caption;  // the start of a sentence about it
    SettingRole role;          // the roles whose ready face shows its picture
    bool needsCasterReceiver;  // shown only with a receiver that keeps a caster connection
    bool autoConnectReceiver;  // shown only with a receiver that keeps automatic connection
    bool needsRelayFirmware;   // shown only with a firmware that has the relay broadcast
    bool notWhileConnected;    // the picture means stop while a connection runs
    bool restarts;             // the modem restarts once it took the setting
    bool movesRate;            // the modem's port (and the link) may move to another rate
    bool writesListFirst;      // the caster list takes it before the modem is told
    std::string_view secret;   // the member that is a password ("" none)
};

// Every setting, in the order a set of changes is applied.
std::span<const SettingRow> settingRows();
const SettingRow& settingRow(Setting setting);
std::string_view settingName(Setting setting);

// Why the ready face of a modem with `facts` offers no way to change the setting ("needs a
// base", "is for a rover", ...), or an empty text when it does.
std::string settingRefusal(Setting setting, const OfferFacts& facts);
// The refusal as a sentence: "The relay broadcast needs a base.", or empty.
std::string settingRefusalMessage(Setting setting, const OfferFacts& facts);
// A manual position is typed in the GPS configuration of a rover only.
std::string manualPositionRefusal(const OfferFacts& facts);

} // namespace tessadorn
