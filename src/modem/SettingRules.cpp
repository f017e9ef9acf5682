#include "modem/SettingRules.h"

#include "modem/Receivers.h"
#include "modem/StartupReads.h"

#include <array>

namespace tessadorn {

namespace {

using R = SettingRole;

// setting, key, JSON type, caption, role, caster receiver, auto receiver, relay firmware,
// not while connected, restarts, moves the rate, list first, secret
constexpr std::array<SettingRow, 6> kSettingRows = {{
    {Setting::Role, "role", "string", "The role", R::Both, false, false, false, false, true, false,
     false, ""},
    {Setting::Apn, "apn", "object", "The APN", R::Both, false, false, false, false, true, false,
     true, "password"},
    {Setting::Gps, "gps", "object", "The position source", R::Both, false, false, false, false,
     false, true, false, ""},
    {Setting::AutoConnect, "auto_connect", "boolean", "Automatic connection", R::Rover, false, true,
     false, false, false, false, false, ""},
    {Setting::Relay, "relay", "boolean", "The relay broadcast", R::Base, false, false, true, false,
     false, false, false, ""},
    {Setting::Caster, "caster", "object", "A caster connection", R::Rover, true, false, false, true,
     false, false, false, "password"},
}};

// "TRIMBLE, UNKNOWN or TOPCON": the makes a rule holds for.
template <typename Holds> std::string makesWhere(Holds holds) {
    std::string names;
    std::string last;
    for (const ReceiverRow& row : receivers())
        if (holds(row)) {
            if (!last.empty()) names += (names.empty() ? "" : ", ") + last;
            last = std::string(row.type);
        }
    return names.empty() ? last : names + " or " + last;
}

} // namespace

OfferFacts factsOf(ModemSession& session) {
    const auto device = session.device().read();
    return {session.mode(), device.GpsType, device.FirmwareVersion,
            session.stConnect() == ModemSession::kConnectionRunning};
}

std::span<const SettingRow> settingRows() {
    return kSettingRows;
}

const SettingRow& settingRow(Setting setting) {
    return kSettingRows[static_cast<std::size_t>(setting)];
}

std::string_view settingName(Setting setting) {
    return settingRow(setting).key;
}

std::string settingRefusal(Setting setting, const OfferFacts& f) {
    const SettingRow& row = settingRow(setting);
    const bool base = f.mode == kModeServer;
    if (row.role == R::Rover && base) return "is for a rover";
    if (row.role == R::Base && !base) return "needs a base";
    if (row.needsRelayFirmware && !firmwareHasRelay(f.firmware)) return "needs firmware 3 or later";
    if (row.needsCasterReceiver && !keepsCasterConnection(f.gpsType))
        return "needs a " + makesWhere([](const ReceiverRow& r) { return r.keepsCaster; }) +
               " receiver or a manual position";
    if (row.autoConnectReceiver && !offersAutoConnect(f.gpsType))
        return "needs a " + makesWhere([](const ReceiverRow& r) { return !r.endsAutoConnect; }) +
               " receiver or a manual position";
    if (row.notWhileConnected && f.connected) return "is running: disconnect first";
    return {};
}

std::string settingRefusalMessage(Setting setting, const OfferFacts& facts) {
    const std::string why = settingRefusal(setting, facts);
    return why.empty() ? why : std::string(settingRow(setting).caption) + " " + why + ".";
}

std::string manualPositionRefusal(const OfferFacts& facts) {
    return facts.mode == kModeServer
               ? "A base takes its position from its receiver: no manual position."
               : std::string();
}

} // namespace tessadorn
