#include "cli/Commands.h"

#include "cli/Modem.h"
#include "modem/CasterSync.h"
#include "modem/ConnectionCommands.h"
#include "modem/DeviceSettings.h"
#include "modem/MountpointOrder.h"
#include "modem/Position.h"
#include "modem/PositionSource.h"
#include "modem/SourceTableRequest.h"
#include "modem/StartupReads.h"
#include "platform/TextCodec.h"
#include "store/CasterListEdits.h"
#include "store/CasterStore.h"
#include "store/SaveReport.h"
#include "store/TextInput.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>

namespace tessadorn::cli {

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const std::string* option(const Request& request, const std::string& name) {
    const auto it = request.options.find(name);
    return it == request.options.end() ? nullptr : &it->second;
}

// The caster list, loaded from its file.
struct List {
    explicit List(Environment& env) : store(env.casterListPath, *env.writer) { store.Load(); }
    // Saves; a failure is the command's message, and its status 1.
    bool save(Result& r) {
        if (std::string failure; !saveCasterList(store, failure)) {
            r.status = kPortOrModem;
            r.messages.push_back(failure);
            return false;
        }
        return true;
    }
    CasterStore store;
};

Value casterJson(const CasterDocument& doc, int slot) {
    const CasterEntry& e = doc.entries[static_cast<std::size_t>(slot)];
    const char* ntrip = "none";
    switch (e.vntrip.value()) {
    case NtripKind::Ntrip1:
        ntrip = "1";
        break;
    case NtripKind::Ntrip2:
        ntrip = "2";
        break;
    case NtripKind::Ibss:
        ntrip = "ibss";
        break;
    case NtripKind::Other:
        break;
    }
    const bool current = doc.hasCurrent && doc.server.value() == slot;
    Value v = Value::object();
    v.set("name", Value::str(deviceToUtf8(e.name)))
        .set("host", Value::str(deviceToUtf8(e.ip)))
        .set("port", Value::str(deviceToUtf8(e.port)))
        .set("user", Value::str(deviceToUtf8(e.user)))
        .set("ntrip", Value::str(ntrip))
        .set("kind",
             Value::str(e.Tessadorn.value() == ServerKind::Tessadorn ? "tessadorn" : "caster"))
        .set("current", Value::boolean(current));
    if (current) v.set("auth", Value::boolean(doc.auth == "yes"));
    return v;
}

Result listCasters(Environment& env) {
    List list(env);
    Result r;
    r.data = Value::array();
    std::vector<std::vector<std::string>> rows = {{"", "NAME", "HOST", "PORT", "USER", "NTRIP"}};
    std::lock_guard lock(list.store.mutex());
    for (int i = 0; i < list.store.count; ++i) {
        Value v = casterJson(list.store, i);
        rows.push_back({v.get("current")->flag ? "*" : "", v.get("name")->text, v.get("host")->text,
                        v.get("port")->text, v.get("user")->text, v.get("ntrip")->text});
        r.data.push(std::move(v));
    }
    r.text = alignedTable(rows);
    return r;
}

// --ntrip 1|2|ibss as a row of the version list.
bool versionRow(const std::string& text, int& row) {
    const std::string t = lower(text);
    if (t == "1" || t == "1.0")
        row = 0;
    else if (t == "2" || t == "2.0")
        row = 1;
    else if (t == "ibss")
        row = caster_list::kIbssRow;
    else
        return false;
    return true;
}

// caster add NAME HOST PORT / caster edit NAME [HOST [PORT]] with --user, --password, --ntrip.
Result storeCaster(const Request& q, Environment& env, bool add) {
    const auto& w = q.words;
    if (w.size() < (add ? 5u : 3u) || w.size() > 5)
        return fail(kBadInput, add ? "caster add needs NAME HOST PORT"
                                   : "caster edit needs NAME and may take HOST and PORT");
    List list(env);
    std::lock_guard lock(list.store.mutex());
    int slot = caster_list::kNewCaster;
    caster_list::TypedCaster typed;
    typed.name = utf8ToDevice(w[2]);
    if (!add) {
        slot = caster_list::find(list.store, typed.name);
        if (slot < 0) return fail(kBadInput, "No caster is called \"" + w[2] + "\".");
        const CasterEntry& e = list.store.entries[static_cast<std::size_t>(slot)];
        typed = {
            e.name,
            e.ip,
            e.port,
            e.user,
            e.Password,
            e.vntrip.value() == NtripKind::Other ? -1 : static_cast<int>(e.vntrip.value()) - 1};
    } else if (caster_list::find(list.store, typed.name) >= 0) {
        return fail(kBadInput, "A caster is already called \"" + w[2] + "\".");
    } else if (list.store.count >= CasterDocument::kMaxEntries) {
        return fail(kBadInput, "The caster list is full (" +
                                   std::to_string(CasterDocument::kMaxEntries) + " casters).");
    }
    if (w.size() > 3) typed.ip = utf8ToDevice(w[3]);
    if (w.size() > 4) typed.port = utf8ToDevice(w[4]);
    if (const auto* u = option(q, "user")) typed.user = utf8ToDevice(*u);
    if (const auto* p = option(q, "password")) typed.password = utf8ToDevice(*p);
    if (const auto* n = option(q, "ntrip"); n && !versionRow(*n, typed.versionRow))
        return fail(kBadInput, "--ntrip takes 1, 2 or ibss, not " + *n);
    // An IBSS caster is reached at its fixed port, as the edit dialog fills it in.
    if (typed.versionRow == caster_list::kIbssRow && w.size() <= 4 && option(q, "ntrip"))
        typed.port = std::string(caster_list::kIbssPort);
    if (const std::string refused =
            caster_list::refusal(typed, caster_list::fieldNames(typed.versionRow));
        !refused.empty())
        return fail(kBadInput, refused);
    caster_list::store(list.store, slot, typed);
    Result r;
    if (!list.save(r)) return r;
    return done(std::string(add ? "Caster added: " : "Caster changed: ") + w[2]);
}

Result casterCommand(const Request& q, Environment& env) {
    const auto& w = q.words;
    if (w.size() < 3) return fail(kBadInput, "caster needs add, edit, remove or use, and a NAME");
    const std::string& verb = w[1];
    if (verb == "add" || verb == "edit") return storeCaster(q, env, verb == "add");
    if ((verb != "remove" && verb != "use") || w.size() != 3)
        return fail(kBadInput, "caster needs add, edit, remove or use, and a NAME");
    List list(env);
    std::lock_guard lock(list.store.mutex());
    const int slot = caster_list::find(list.store, utf8ToDevice(w[2]));
    if (slot < 0) return fail(kBadInput, "No caster is called \"" + w[2] + "\".");
    if (verb == "remove") {
        caster_list::remove(list.store, slot);
    } else {
        bool auth = list.store.auth == "yes";
        if (option(q, "auth")) auth = true;
        if (option(q, "no-auth")) auth = false;
        // A list read from a file without a current section gets one now.
        list.store.hasCurrent = true;
        caster_list::use(list.store, slot, auth);
    }
    Result r;
    if (!list.save(r)) return r;
    return done(std::string(verb == "remove" ? "Caster removed: " : "Current caster: ") + w[2]);
}

// The caster a command works with: --caster NAME, else the current one. False (with the
// result set) when there is none.
bool chooseCaster(const Request& q, CasterStore& store, CasterEntry& caster, Result& r) {
    std::lock_guard lock(store.mutex());
    if (const auto* name = option(q, "caster")) {
        const int slot = caster_list::find(store, utf8ToDevice(*name));
        if (slot < 0) {
            r = fail(kBadInput, "No caster is called \"" + *name + "\".");
            return false;
        }
        caster = store.entries[static_cast<std::size_t>(slot)];
        return true;
    }
    if (!store.serverInList()) {
        r = fail(kBadInput, "No current caster: choose one with \"caster use NAME\".");
        return false;
    }
    caster = store.current();
    return true;
}

// --near LAT,LON.
bool nearPosition(const std::string& text, double& latitude, double& longitude, Result& r) {
    const auto comma = text.find(',');
    const auto lat = text_input::parseDecimal(text.substr(0, comma));
    const auto lon = comma == std::string::npos ? std::nullopt
                                                : text_input::parseDecimal(text.substr(comma + 1));
    for (const std::string& why : {positionRefusal("latitude", lat, kMaxLatitude),
                                   positionRefusal("longitude", lon, kMaxLongitude)})
        if (!why.empty()) {
            r = fail(kBadInput, why);
            return false;
        }
    latitude = *lat;
    longitude = *lon;
    return true;
}

// A number field of the table, or null when it is none.
Value numberField(std::string_view text) {
    const auto value = text_input::parseDecimal(std::string(text));
    return value ? Value::num(*value) : Value::null();
}

// Every field of a row by name, and its distance when a position is known.
Value entryJson(const SourceTableEntry& e, std::optional<double> distanceKm) {
    const auto text = [](const std::string& field) { return Value::str(deviceToUtf8(field)); };
    Value v = Value::object()
                  .set("name", text(e.mountpoint))
                  .set("identifier", text(e.identifier))
                  .set("format", text(e.format))
                  .set("format_details", text(e.formatDetails))
                  .set("carrier", text(e.carrier))
                  .set("nav_system", text(e.navSystem))
                  .set("network", text(e.network))
                  .set("country", text(e.country))
                  .set("latitude", numberField(e.latitude))
                  .set("longitude", numberField(e.longitude))
                  .set("nmea", text(e.nmea))
                  .set("solution", text(e.solution))
                  .set("generator", text(e.generator))
                  .set("compression", text(e.compression))
                  .set("authentication", text(e.authentication))
                  .set("fee", text(e.fee))
                  .set("bitrate", text(e.bitrate));
    if (distanceKm) v.set("distance_km", Value::num(std::round(*distanceKm * 10) / 10));
    return v;
}

Result mountpoints(const Request& q, Environment& env) {
    if (q.words.size() != 1) return fail(kBadInput, "mountpoints takes no arguments");
    Result r;
    double latitude = 0, longitude = 0;
    std::optional<Position> from;
    if (const auto* near = option(q, "near")) {
        if (!nearPosition(*near, latitude, longitude, r)) return r;
        from = Position{latitude, longitude};
    }
    List list(env);
    CasterEntry caster;
    if (!chooseCaster(q, list.store, caster, r)) return r;
    if (caster.Tessadorn.value() == ServerKind::Tessadorn)
        return fail(kBadInput, "The caster \"" + deviceToUtf8(caster.name) +
                                   "\" is another Tessadorn: it has no mountpoints.");
    Modem modem(env, q.timeoutSeconds);
    if (!modem.find(r)) return r;
    auto table = std::make_unique<SourceTable>();
    if (!modem.readTable(caster, *table, r)) return r;
    // Nearest first from --near, else from the manual position the modem reports.
    if (!from) from = MountpointOrder::manualPosition(modem.session().device().read());
    r.data = Value::array();
    std::vector<std::vector<std::string>> rows = {
        {"MOUNTPOINT", "IDENTIFIER", "FORMAT", "SOLUTION", "AUTH", "KM"}};
    for (const int i : MountpointOrder::byDistance(*table, from)) {
        const auto distance =
            from ? MountpointOrder::distanceKm(*table, i, *from) : std::optional<double>();
        Value v = entryJson(table->entry(i), distance);
        rows.push_back(
            {v.get("name")->text, v.get("identifier")->text, v.get("format")->text,
             v.get("solution")->text, v.get("authentication")->text,
             distance ? std::to_string(static_cast<long>(std::lround(*distance))) : std::string()});
        r.data.push(std::move(v));
    }
    r.text = alignedTable(rows);
    // On stderr, so that it is said with --json too, where stdout is the list of rows.
    if (table->leftOut() > 0)
        r.messages.push_back("The caster lists " + std::to_string(table->leftOut()) +
                             " more mountpoints than can be shown.");
    return r;
}

Result connect(const Request& q, Environment& env) {
    Result r;
    List list(env);
    CasterEntry caster;
    if (!chooseCaster(q, list.store, caster, r)) return r;
    const bool direct = caster.Tessadorn.value() == ServerKind::Tessadorn;
    if (q.words.size() != (direct ? 1u : 2u))
        return fail(kBadInput, direct ? "connect takes no MOUNTPOINT for another Tessadorn"
                                      : "connect needs a MOUNTPOINT");
    Modem modem(env, q.timeoutSeconds);
    if (!modem.find(r)) return r;
    ConnectionCommands commands(modem.session());
    if (direct) {
        if (!commands.connectDirect(caster.ip, caster.port)) return fail(kRefused, "Error");
        return done("Tessadorn configured.");
    }
    // As the Connect control: the table first, then the mountpoint chosen from it.
    auto table = std::make_unique<SourceTable>();
    if (!modem.readTable(caster, *table, r)) return r;
    CasterAddress address;
    {
        std::lock_guard lock(list.store.mutex());
        const bool chosen = option(q, "caster") != nullptr;
        address = connectionAddress(caster, list.store.auth == "yes",
                                    chosen ? caster.user : list.store.user,
                                    chosen ? caster.Password : list.store.password);
    }
    // The row's own bytes for a name the table holds, however the caster encoded it.
    const int row = table->findTyped(q.words[1]);
    const std::string mountpoint =
        row >= 0 ? std::string(table->mountpoint(row)) : utf8ToDevice(q.words[1]);
    const CasterReply reply = commands.connectMountpoint(address, mountpoint);
    if (reply == CasterReply::Accepted) return done("Tessadorn configured.");
    return fail(reply == CasterReply::NoAnswer ? kPortOrModem : kRefused,
                casterReplyMessage(reply));
}

Result disconnect(const Request& q, Environment& env) {
    if (q.words.size() != 1) return fail(kBadInput, "disconnect takes no arguments");
    Result r;
    Modem modem(env, q.timeoutSeconds);
    if (!modem.find(r)) return r;
    // One round of resends; the window asks whether to go on, the command line gives up.
    if (!ConnectionCommands(modem.session()).stopConnection())
        return fail(kPortOrModem, "The modem does not answer.");
    return done("Connection Finished");
}

Result role(const Request& q, Environment& env) {
    if (q.words.size() != 2 || (q.words[1] != "rover" && q.words[1] != "base"))
        return fail(kBadInput, "role needs rover or base");
    const bool base = q.words[1] == "base";
    Result r;
    Modem modem(env, q.timeoutSeconds);
    if (!modem.find(r)) return r;
    if (!ConnectionCommands(modem.session()).setRole(base))
        return fail(kRefused, "Tessadorn Error");
    return done(base ? "Tessadorn SERVER" : "Tessadorn CLIENT");
}

Result autoConnect(const Request& q, Environment& env) {
    if (q.words.size() != 2 || (q.words[1] != "on" && q.words[1] != "off"))
        return fail(kBadInput, "auto needs on or off");
    const bool on = q.words[1] == "on";
    Result r;
    Modem modem(env, q.timeoutSeconds);
    if (!modem.find(r)) return r;
    if (!ConnectionCommands(modem.session()).setAutoConnect(on))
        return fail(kRefused, "Configuration Error");
    return done(on ? "Autoconnection enabled" : "Autoconnection disabled");
}

Result apn(const Request& q, Environment& env) {
    if (q.words.size() != 2) return fail(kBadInput, "apn needs a NAME");
    caster_list::TypedApn typed{utf8ToDevice(q.words[1]), {}, {}};
    if (const auto* u = option(q, "user")) typed.user = utf8ToDevice(*u);
    if (const auto* p = option(q, "password")) typed.password = utf8ToDevice(*p);
    if (const std::string why = caster_list::apnRefusal(typed); !why.empty())
        return fail(kBadInput, why);
    Result r;
    List list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    {
        std::lock_guard lock(list.store.mutex());
        if (caster_list::sameApn(list.store, typed)) return done("The APN is already set.");
        caster_list::setApn(list.store, typed);
    }
    // The list is written before the modem is told; a failed save is said, the modem still told.
    if (std::string failure; !saveCasterList(list.store, failure)) r.messages.push_back(failure);
    if (!DeviceSettings(modem.session()).setApn(typed.apn, typed.user, typed.password))
        return fail(kRefused, "APN configuration Error");
    modem.progress("APN configured. Tessadorn is rebooting...");
    // The modem restarts with its new APN: found again before the command ends.
    Result again;
    if (!modem.find(again)) return again;
    Result ok = done("APN configured. Tessadorn is rebooting...");
    ok.messages = r.messages;
    return ok;
}

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

Result gps(const Request& q, Environment& env) {
    const auto& w = q.words;
    PositionChoice chosen;
    const bool manual = w.size() == 4 && w[1] == "manual";
    if (manual) {
        const auto lat = text_input::parseDecimal(w[2]);
        const auto lon = text_input::parseDecimal(w[3]);
        for (const std::string& why : {positionRefusal("latitude", lat, kMaxLatitude),
                                       positionRefusal("longitude", lon, kMaxLongitude)})
            if (!why.empty()) return fail(kBadInput, why);
        chosen.make = GpsReceiver::Unknown;
        chosen.manual = true;
        chosen.latitude = *lat;
        chosen.longitude = *lon;
    } else if (w.size() != 3 || w[1] != "receiver" || !receiverMake(w[2], chosen.make)) {
        return fail(kBadInput, "gps needs receiver KV-318|TRIMBLE|WAVECOM|UNKNOWN|TOPCON, or "
                               "manual LAT LON");
    }
    const auto* port = option(q, "port");
    const auto* rate = option(q, "rate");
    if (port && chosen.make != GpsReceiver::Trimble)
        return fail(kBadInput, "--port is for a TRIMBLE receiver");
    if (rate && chosen.make != GpsReceiver::Wavecom && chosen.make != GpsReceiver::Unknown)
        return fail(kBadInput, "--rate is for a WAVECOM or UNKNOWN receiver");
    int portIndex = 0, rateIndex = -1;
    if (port) {
        const std::string p = lower(*port);
        if (p != "com1" && p != "com2" && p != "com3")
            return fail(kBadInput, "--port takes COM1, COM2 or COM3, not " + *port);
        portIndex = p[3] - '1';
    }
    if (rate) {
        const auto value = text_input::parseDecimal(*rate);
        rateIndex = value ? baudIndexForRate(static_cast<int>(*value)) : -1;
        if (rateIndex < 0)
            return fail(kBadInput,
                        "--rate takes 9600, 19200, 38400, 57600 or 115200, not " + *rate);
    }
    Result r;
    List list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    ModemSession& session = modem.session();
    if (manual && session.mode().load() == kModeServer)
        return fail(kBadInput, "A base takes its position from its receiver: no manual position.");
    const auto device = session.device().read();
    chosen.reportedPort = device.GpsType == "TRIMBLE"  ? trimblePortIndex(device.GpsPort)
                          : device.GpsType == "TOPCON" ? 0
                                                       : -1;
    // The second list as the dialog fills it: the port, or the link's own rate.
    chosen.choice = chosen.make == GpsReceiver::Trimble ? portIndex
                    : rateIndex >= 0                    ? rateIndex
                    : chosen.make == GpsReceiver::Wavecom || chosen.make == GpsReceiver::Unknown
                        ? session.baudIndex().load()
                        : 0;
    DeviceSettings settings(session);
    settings.drain();
    if (applyPositionSource(session, settings, chosen, [] {}) == 0)
        return fail(kRefused, "Configuration Error");
    return done("Tessadorn configured successfully!");
}

Result relay(const Request& q, Environment& env) {
    if (q.words.size() != 2 || (q.words[1] != "on" && q.words[1] != "off"))
        return fail(kBadInput, "relay needs on or off");
    Result r;
    List list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    if (modem.session().mode().load() != kModeServer ||
        !firmwareHasRelay(modem.session().device().read().FirmwareVersion))
        return fail(kBadInput, "The relay broadcast needs a base with firmware 3 or later.");
    if (!DeviceSettings(modem.session()).setRelay(q.words[1] == "on"))
        return fail(kRefused, "Configuration Error");
    return done("Tessadorn configured successfully!");
}

} // namespace

Result run(const Request& q, Environment& env) {
    if (q.words.empty()) return fail(kBadInput, "no command given");
    const std::string& c = q.words[0];
    if (c == "status") return status(q, env);
    if (c == "casters") {
        if (q.words.size() != 1) return fail(kBadInput, "casters takes no arguments");
        return listCasters(env);
    }
    if (c == "caster") return casterCommand(q, env);
    if (c == "mountpoints") return mountpoints(q, env);
    if (c == "connect") return connect(q, env);
    if (c == "disconnect") return disconnect(q, env);
    if (c == "role") return role(q, env);
    if (c == "auto") return autoConnect(q, env);
    if (c == "apn") return apn(q, env);
    if (c == "gps") return gps(q, env);
    if (c == "relay") return relay(q, env);
    if (c == "update") return update(q, env);
    return fail(kBadInput, "unknown command " + c);
}

std::string commandSummary() {
    return "  status                         the modem's state (the caster list follows it)\n"
           "  casters                        the caster list\n"
           "  caster add NAME HOST PORT      a caster (--user U --password P --ntrip 1|2|ibss)\n"
           "  caster edit NAME [HOST [PORT]] change a caster (the same options)\n"
           "  caster remove NAME             delete a caster\n"
           "  caster use NAME                the current caster (--auth or --no-auth)\n"
           "  mountpoints                    the caster's mountpoints (--caster NAME,\n"
           "                                 --near LAT,LON)\n"
           "  connect [MOUNTPOINT]           connect the modem (--caster NAME)\n"
           "  disconnect                     stop the modem's connection\n"
           "  role rover|base                the modem's role\n"
           "  auto on|off                    automatic connection\n"
           "  apn NAME                       the APN (--user U --password P)\n"
           "  gps receiver MAKE              KV-318, TRIMBLE (--port COMn), WAVECOM, UNKNOWN\n"
           "                                 (--rate BAUD) or TOPCON\n"
           "  gps manual LAT LON             a manual position\n"
           "  relay on|off                   the relay broadcast (a base, firmware 3 and later)\n"
           "  update --yes                   update the firmware over the air (--apn A --user U\n"
           "                                 --password P)\n";
}

} // namespace tessadorn::cli
