#pragma once

// A modem's set-up as one document (the profile), what a modem holds of it, and the plan that
// compares the two setting by setting. Plain values: the profile command (Profile.cpp) reads the
// modem, sends and reports.

#include "cli/Value.h"
#include "modem/DeviceConfig.h"
#include "modem/DeviceSettings.h"
#include "modem/SettingRules.h"
#include "store/CasterEntry.h"

#include <optional>
#include <string>
#include <vector>

namespace tessadorn::cli {

// The version a profile document names in "tessadorn_profile".
inline constexpr int kProfileVersion = 1;

// Texts of the profile are in the device code page.
struct ProfileDevice {
    std::optional<std::string> serial, firmware, imei;
};
struct ProfileApn {
    std::string name;
    std::optional<std::string> user, password; // absent: the modem keeps its own
};
struct ProfileGps {
    bool manual = false; // a manual position (an UNKNOWN receiver), else a receiver make
    GpsReceiver make = GpsReceiver::Kv318;
    int port = -1; // TRIMBLE: 0..2 for COM1..COM3; -1 keeps the modem's (else COM1)
    int rate = -1; // WAVECOM, UNKNOWN: the modem's baud index; -1 keeps it
    double latitude = 0, longitude = 0;
};
struct ProfileCaster {
    std::string host, port, mountpoint, user;
    std::optional<std::string> password;
    bool tessadorn = false; // another Tessadorn, connected to directly (no mountpoint)
    NtripKind ntrip = NtripKind::Ntrip1;
    bool ntripGiven = true; // else the caster list's version for this caster
    bool auth = false;
};

// Each setting may be absent: an absent setting is not touched.
struct Profile {
    std::optional<ProfileDevice> device;
    std::optional<bool> base; // the role
    std::optional<bool> autoConnect;
    std::optional<ProfileApn> apn;
    std::optional<ProfileGps> gps;
    std::optional<bool> relay;
    std::optional<ProfileCaster> caster;

    bool holdsPassword() const;
};

// Reads a profile document. A refused document gives nothing, and `why` names the key (an
// unknown key, a wrong type, a value the modem cannot carry).
std::optional<Profile> readProfile(const Value& document, std::string& why);
// The document of a profile; passwords only with `secrets`.
Value writeProfile(const Profile& profile, bool secrets);

// What the start-up read from a modem.
struct ModemState {
    DeviceConfig::Values device;
    int mode = -1;                       // kModeServer, kModeClient
    int autoConnect = 0;                 // 1 on, 2 off, 0 not asked
    int baudIndex = 0;                   // the link's rate
    bool connected = false;              // a caster connection runs
    NtripKind ntrip = NtripKind::Ntrip1; // of the caster list's entry for the stored caster
};
// The modem's set-up as a profile: what its role is asked about, the device facts.
Profile profileOf(const ModemState& state);

// One setting of a profile against a modem: what the modem holds and what the profile wants
// (passwords never shown), and whether they differ.
struct Step {
    Setting setting;
    Value before, after;
    bool differs = false;
};
// The setting as `wanted` names it compared with `current`; nothing when `wanted` leaves it out.
std::optional<Step> compare(Setting setting, const Profile& wanted, const Profile& current);
// Every setting the profile names.
std::vector<Step> plan(const Profile& wanted, const Profile& current);

// Why the profile cannot go to a modem whose set-up is `current` (another serial number, a
// relay broadcast on a rover, a setting the window would not offer once the profile's role and
// receiver are set, an APN longer than the dialog takes, ...), naming the key; empty when it can.
// What the modem already has is never refused.
std::string mismatch(const Profile& wanted, const Profile& current, bool connected = false);
// Why `setting` of the profile cannot go to the modem as it is now (`current`): the window's
// reason, naming the key; empty when it can.
std::string notOfferedNow(Setting setting, const Profile& current, bool connected);

} // namespace tessadorn::cli
