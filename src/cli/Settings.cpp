// The modem's settings: role, automatic connection, APN, GPS position source, relay broadcast.
#include "cli/Modem.h"
#include "cli/SettingApply.h"
#include "cli/Verbs.h"
#include "modem/ConnectionCommands.h"
#include "modem/DeviceSettings.h"
#include "modem/Outcomes.h"
#include "modem/Position.h"
#include "modem/PositionSource.h"
#include "modem/Protocol.h"
#include "modem/SettingRules.h"
#include "modem/StartupReads.h"
#include "platform/TextCodec.h"
#include "store/CasterListEdits.h"
#include "store/SaveReport.h"
#include "store/TextInput.h"

#include <mutex>

namespace tessadorn::cli {

namespace {

std::string roleName(bool base) {
    return base ? "base" : "rover";
}

// The state of a flag as a sentence says it.
const char* onOff(bool on) {
    return on ? "on" : "off";
}

// The modem found and started, the change made, as the GPS dialog's OK makes it.
Result runPositionSource(Opened& opened, PositionChoice chosen, std::optional<int> second) {
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    Result changed = changePositionSource(modem->session(), chosen, second);
    // A receiver's make may move the modem's rate: the port keeps the rate it now answers at.
    if (changed.status == kDone) modem->keepRate(changed);
    changed.messages.insert(changed.messages.begin(), r.messages.begin(), r.messages.end());
    return changed;
}

} // namespace

std::optional<Result> notOffered(Setting setting, ModemSession& session) {
    if (const std::string why = settingRefusalMessage(setting, factsOf(session)); !why.empty())
        return fail(kBadInput, why);
    return std::nullopt;
}

Result changeRole(ModemSession& session, bool base) {
    if (auto refused = notOffered(Setting::Role, session)) return *refused;
    // The ready face offers the other role only.
    if ((session.mode() == kModeServer) == base)
        return done("The modem is already a " + roleName(base) + ".");
    if (!ConnectionCommands(session).setRole(base)) return fail(kRefused, outcome::kRoleRefused);
    return done(outcome::roleChanged(base));
}

Result changeAutoConnect(ModemSession& session, bool on) {
    if (auto refused = notOffered(Setting::AutoConnect, session)) return *refused;
    // The box shows the state read; a click on it asks for the other one.
    if (session.autoConnect() == (on ? 1 : 2))
        return done(std::string("Automatic connection is already ") + onOff(on) + ".");
    if (!ConnectionCommands(session).setAutoConnect(on))
        return fail(kRefused, outcome::kSettingRefused);
    return done(on ? "Autoconnection enabled" : "Autoconnection disabled");
}

Result changeRelay(ModemSession& session, bool on) {
    if (auto refused = notOffered(Setting::Relay, session)) return *refused;
    if (relayIsOn(session.device().read().BroadcastOn) == on)
        return done(std::string("The relay broadcast is already ") + onOff(on) + ".");
    if (!DeviceSettings(session).setRelay(on)) return fail(kRefused, outcome::kSettingRefused);
    return done(outcome::kSettingTaken);
}

Result changeApn(ModemSession& session, CasterStore& store, const caster_list::TypedApn& typed) {
    if (auto refused = notOffered(Setting::Apn, session)) return *refused;
    const auto device = session.device().read();
    if (typed.apn == device.ApnName && typed.user == device.ApnUser &&
        typed.password == device.ApnPassword) {
        std::lock_guard lock(store.mutex());
        if (caster_list::sameApn(store, typed)) return done("The APN is already set.");
    }
    {
        std::lock_guard lock(store.mutex());
        caster_list::setApn(store, typed);
    }
    Result ok = done(outcome::kApnRebooting);
    // The list is written before the modem is told; a failed save is said, the modem still told.
    if (std::string failure; !saveCasterList(store, failure)) ok.messages.push_back(failure);
    if (!DeviceSettings(session).setApn(typed.apn, typed.user, typed.password)) {
        Result refused = fail(kRefused, outcome::kApnRefused);
        refused.messages.insert(refused.messages.begin(), ok.messages.begin(), ok.messages.end());
        return refused;
    }
    return ok;
}

Result changePositionSource(ModemSession& session, PositionChoice chosen,
                            std::optional<int> second) {
    if (auto refused = notOffered(Setting::Gps, session)) return *refused;
    const auto device = session.device().read();
    if (chosen.manual) {
        // Compared as the command carries them: six decimals.
        const auto carried = [](const std::string& text) {
            const auto value = text_input::parseDecimal(text);
            return value ? protocol::decimal6(*value) : std::string();
        };
        const bool same = device.GgaMode == "MANUAL" &&
                          carried(device.GgaLatitude) == protocol::decimal6(chosen.latitude) &&
                          carried(device.GgaLongitude) == protocol::decimal6(chosen.longitude);
        if (const std::string why = manualPositionRefusal(factsOf(session)); !why.empty())
            return same ? done("The modem already has this manual position.")
                        : fail(kBadInput, why);
    }
    chosen.reportedPort = reportedPortOf(device);
    // The second list as the dialog fills it: the value given, else what it starts with.
    chosen.choice = second ? *second : startingChoice(chosen.make, device, session.baudIndex());
    DeviceSettings settings(session);
    settings.drain();
    if (applyPositionSource(session, settings, chosen, [] {}) == 0)
        return fail(kRefused, outcome::kSettingRefused);
    return done(outcome::kSettingTaken);
}

Result role(const Request& q, Environment&, Opened& opened) {
    if (q.words.size() != 2 || (q.words[1] != "rover" && q.words[1] != "base"))
        return fail(kBadInput, "role needs rover or base");
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    return changeRole(modem->session(), q.words[1] == "base");
}

Result autoConnect(const Request& q, Environment&, Opened& opened) {
    if (q.words.size() != 2 || (q.words[1] != "on" && q.words[1] != "off"))
        return fail(kBadInput, "auto needs on or off");
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    return changeAutoConnect(modem->session(), q.words[1] == "on");
}

Result apn(const Request& q, Environment&, Opened& opened) {
    if (q.words.size() != 2) return fail(kBadInput, "apn needs a NAME");
    for (const auto& [field, text] :
         {std::pair{"APN", &q.words[1]}, std::pair{"User", option(q, "user")},
          std::pair{"Password", option(q, "password")}})
        if (text) {
            if (std::string why = codePageRefusal(field, *text); !why.empty())
                return failTyped(kBadInput, why);
            if (std::string why = caster_list::tooLong(field, utf8ToDevice(*text)); !why.empty())
                return fail(kBadInput, why);
        }
    // What was given is checked before the modem is looked for.
    caster_list::TypedApn typed{utf8ToDevice(q.words[1]), {}, {}};
    const auto* user = option(q, "user");
    const auto* password = option(q, "password");
    if (user) typed.user = utf8ToDevice(*user);
    if (password) typed.password = utf8ToDevice(*password);
    if (const std::string why = caster_list::apnRefusal(typed); !why.empty())
        return fail(kBadInput, why);
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    {
        std::lock_guard lock(opened.list().store.mutex());
        // A user or password not given keeps what the list holds (after the start-up, what
        // the modem holds), as the APN dialog keeps what was not edited.
        if (!user) typed.user = opened.list().store.carrierUser;
        if (!password) typed.password = opened.list().store.carrierPassword;
    }
    Result changed = changeApn(modem->session(), opened.list().store, typed);
    if (changed.status != kDone || changed.text != done(outcome::kApnRebooting).text)
        return changed;
    modem->progress(std::string(outcome::kApnRebooting));
    // The modem restarts with its new APN: found again before the command ends.
    Result again;
    if (!modem->find(again)) return again;
    return changed;
}

Result gpsReceiver(const Request& q, Environment&, Opened& opened) {
    const auto& w = q.words;
    PositionChoice chosen;
    const ReceiverRow* make = w.size() >= 3 ? receiverByName(w[2]) : nullptr;
    if (w.size() < 3 || w.size() > 4 || !make)
        return fail(kBadInput, "gps receiver needs KV-318, TRIMBLE [COMn], WAVECOM, UNKNOWN or "
                               "TOPCON");
    chosen.make = make->make;
    std::optional<int> port, rate;
    if (w.size() == 4) {
        if (make->second != ReceiverChoice::Port)
            return fail(kBadInput, "Only a TRIMBLE receiver takes a port (COM1, COM2 or COM3).");
        const std::string p = lower(w[3]);
        if (p != "com1" && p != "com2" && p != "com3")
            return fail(kBadInput, "The receiver's port is COM1, COM2 or COM3, not " + w[3]);
        port = p[3] - '1';
    }
    if (const auto* text = option(q, "rate")) {
        if (make->second != ReceiverChoice::Rate)
            return fail(kBadInput, "--rate is for a WAVECOM or UNKNOWN receiver");
        const auto value = text_input::parseDecimal(*text);
        const int index = value ? baudIndexForRate(static_cast<int>(*value)) : -1;
        if (index < 0)
            return fail(kBadInput,
                        "--rate takes 9600, 19200, 38400, 57600 or 115200, not " + *text);
        rate = index;
    }
    return runPositionSource(opened, chosen, port ? port : rate);
}

Result gpsManual(const Request& q, Environment&, Opened& opened) {
    const auto& w = q.words;
    if (w.size() != 4) return fail(kBadInput, "gps manual needs LAT LON");
    const auto lat = text_input::parseDecimal(w[2]);
    const auto lon = text_input::parseDecimal(w[3]);
    for (const std::string& why : {positionRefusal("latitude", lat, kMaxLatitude),
                                   positionRefusal("longitude", lon, kMaxLongitude)})
        if (!why.empty()) return fail(kBadInput, why);
    PositionChoice chosen;
    chosen.make = GpsReceiver::Unknown;
    chosen.manual = true;
    chosen.latitude = *lat;
    chosen.longitude = *lon;
    return runPositionSource(opened, chosen, {});
}

Result relay(const Request& q, Environment&, Opened& opened) {
    if (q.words.size() != 2 || (q.words[1] != "on" && q.words[1] != "off"))
        return fail(kBadInput, "relay needs on or off");
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    return changeRelay(modem->session(), q.words[1] == "on");
}

} // namespace tessadorn::cli
