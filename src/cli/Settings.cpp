// The modem's settings: role, automatic connection, APN, GPS position source, relay broadcast.
#include "cli/Modem.h"
#include "cli/Verbs.h"
#include "modem/ConnectionCommands.h"
#include "modem/DeviceSettings.h"
#include "modem/Outcomes.h"
#include "modem/Position.h"
#include "modem/PositionSource.h"
#include "modem/StartupReads.h"
#include "platform/TextCodec.h"
#include "store/CasterListEdits.h"
#include "store/SaveReport.h"
#include "store/TextInput.h"

#include <mutex>

namespace tessadorn::cli {

namespace {

// "KV-318", "TRIMBLE", ... as the make the GPS dialog lists.
bool receiverMake(const std::string& text, GpsReceiver& make) {
    const std::string t = lower(text);
    const struct {
        const char* name;
        GpsReceiver make;
    } makes[] = {{"kv-318", GpsReceiver::Kv318},        {"halvik kv-318", GpsReceiver::Kv318},
                 {"trimble", GpsReceiver::Trimble},     {"wavecom", GpsReceiver::Wavecom},
                 {"wavecom emu", GpsReceiver::Wavecom}, {"unknown", GpsReceiver::Unknown},
                 {"topcon", GpsReceiver::Topcon}};
    for (const auto& m : makes)
        if (t == m.name) {
            make = m.make;
            return true;
        }
    return false;
}

// Sends the position source the modem is found with, as the GPS dialog's OK does.
Result applySource(const Request& q, Environment& env, PositionChoice chosen,
                   std::optional<int> port, std::optional<int> rate) {
    Result r;
    CasterList list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    ModemSession& session = modem.session();
    if (chosen.manual && session.mode() == kModeServer)
        return fail(kBadInput, "A base takes its position from its receiver: no manual position.");
    const auto device = session.device().read();
    chosen.reportedPort = device.GpsType == "TRIMBLE"  ? trimblePortIndex(device.GpsPort)
                          : device.GpsType == "TOPCON" ? 0
                                                       : -1;
    // The second list as the dialog fills it: the port or rate given, else what it starts with.
    chosen.choice = port   ? *port
                    : rate ? *rate
                           : startingChoice(chosen.make, device, session.baudIndex());
    DeviceSettings settings(session);
    settings.drain();
    if (applyPositionSource(session, settings, chosen, [] {}) == 0)
        return fail(kRefused, outcome::kSettingRefused);
    // A receiver's make may move the modem's rate: the port keeps the rate it now answers at.
    Result ok = done(outcome::kSettingTaken);
    modem.keepRate(ok);
    ok.messages.insert(ok.messages.begin(), r.messages.begin(), r.messages.end());
    return ok;
}

} // namespace

Result role(const Request& q, Environment& env) {
    if (q.words.size() != 2 || (q.words[1] != "rover" && q.words[1] != "base"))
        return fail(kBadInput, "role needs rover or base");
    const bool base = q.words[1] == "base";
    Result r;
    CasterList list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    if (!ConnectionCommands(modem.session()).setRole(base))
        return fail(kRefused, outcome::kRoleRefused);
    return done(outcome::roleChanged(base));
}

Result autoConnect(const Request& q, Environment& env) {
    if (q.words.size() != 2 || (q.words[1] != "on" && q.words[1] != "off"))
        return fail(kBadInput, "auto needs on or off");
    const bool on = q.words[1] == "on";
    Result r;
    CasterList list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    if (!ConnectionCommands(modem.session()).setAutoConnect(on))
        return fail(kRefused, outcome::kSettingRefused);
    return done(on ? "Autoconnection enabled" : "Autoconnection disabled");
}

Result apn(const Request& q, Environment& env) {
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
    CasterList list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    {
        std::lock_guard lock(list.store.mutex());
        // A user or password not given keeps what the list holds (after the start-up, what
        // the modem holds), as the APN dialog keeps what was not edited.
        if (!user) typed.user = list.store.carrierUser;
        if (!password) typed.password = list.store.carrierPassword;
        if (caster_list::sameApn(list.store, typed)) return done("The APN is already set.");
        caster_list::setApn(list.store, typed);
    }
    // The list is written before the modem is told; a failed save is said, the modem still told.
    if (std::string failure; !saveCasterList(list.store, failure)) r.messages.push_back(failure);
    if (!DeviceSettings(modem.session()).setApn(typed.apn, typed.user, typed.password))
        return fail(kRefused, outcome::kApnRefused);
    modem.progress(std::string(outcome::kApnRebooting));
    // The modem restarts with its new APN: found again before the command ends.
    Result again;
    if (!modem.find(again)) return again;
    Result ok = done(outcome::kApnRebooting);
    ok.messages = r.messages;
    return ok;
}

Result gpsReceiver(const Request& q, Environment& env) {
    const auto& w = q.words;
    PositionChoice chosen;
    if (w.size() < 3 || w.size() > 4 || !receiverMake(w[2], chosen.make))
        return fail(kBadInput, "gps receiver needs KV-318, TRIMBLE [COMn], WAVECOM, UNKNOWN or "
                               "TOPCON");
    std::optional<int> port, rate;
    if (w.size() == 4) {
        if (chosen.make != GpsReceiver::Trimble)
            return fail(kBadInput, "Only a TRIMBLE receiver takes a port (COM1, COM2 or COM3).");
        const std::string p = lower(w[3]);
        if (p != "com1" && p != "com2" && p != "com3")
            return fail(kBadInput, "The receiver's port is COM1, COM2 or COM3, not " + w[3]);
        port = p[3] - '1';
    }
    if (const auto* text = option(q, "rate")) {
        if (chosen.make != GpsReceiver::Wavecom && chosen.make != GpsReceiver::Unknown)
            return fail(kBadInput, "--rate is for a WAVECOM or UNKNOWN receiver");
        const auto value = text_input::parseDecimal(*text);
        const int index = value ? baudIndexForRate(static_cast<int>(*value)) : -1;
        if (index < 0)
            return fail(kBadInput,
                        "--rate takes 9600, 19200, 38400, 57600 or 115200, not " + *text);
        rate = index;
    }
    return applySource(q, env, chosen, port, rate);
}

Result gpsManual(const Request& q, Environment& env) {
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
    return applySource(q, env, chosen, {}, {});
}

Result relay(const Request& q, Environment& env) {
    if (q.words.size() != 2 || (q.words[1] != "on" && q.words[1] != "off"))
        return fail(kBadInput, "relay needs on or off");
    Result r;
    CasterList list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    if (modem.session().mode() != kModeServer ||
        !firmwareHasRelay(modem.session().device().read().FirmwareVersion))
        return fail(kBadInput, "The relay broadcast needs a base with firmware 3 or later.");
    if (!DeviceSettings(modem.session()).setRelay(q.words[1] == "on"))
        return fail(kRefused, outcome::kSettingRefused);
    return done(outcome::kSettingTaken);
}

} // namespace tessadorn::cli
