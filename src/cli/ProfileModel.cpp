#include "cli/ProfileModel.h"

#include "cli/Facts.h"

#include "modem/PositionSource.h"
#include "modem/StartupReads.h"
#include "platform/SerialPort.h"
#include "platform/TextCodec.h"
#include "store/CasterListEdits.h"
#include "store/TextInput.h"

#include <cmath>
#include <cstdio>
#include <set>

namespace tessadorn::cli {

namespace {

using Kind = Value::Kind;

// Reads one object of the document: every key must be known, every value of its kind.
class Reader {
  public:
    Reader(const Value& object, std::string path, std::string& why)
        : m_Object(object), m_Path(std::move(path)), m_Why(why) {}

    // Refuses a key the object does not know; call after the reads.
    bool onlyKnown() {
        for (const auto& [key, value] : m_Object.members)
            if (!m_Known.count(key)) return refuse(key, "is not a setting of a profile");
        return m_Why.empty();
    }
    bool refuse(const std::string& key, const std::string& why) {
        if (m_Why.empty())
            m_Why = "The profile's \"" + name(key) + "\" " + why + (why.back() == '.' ? "" : ".");
        return false;
    }
    std::string name(const std::string& key) const {
        return m_Path.empty() ? key : m_Path + "." + key;
    }

    const Value* get(const std::string& key, Kind kind, const char* kindName) {
        m_Known.insert(key);
        const Value* v = m_Object.get(key);
        if (v && v->kind != kind) {
            refuse(key, std::string("must be ") + kindName);
            return nullptr;
        }
        return v;
    }
    std::optional<bool> flag(const std::string& key) {
        const Value* v = get(key, Kind::Bool, "true or false");
        return v ? std::optional<bool>(v->flag) : std::nullopt;
    }
    // A text the modem can carry back intact (no line end, NUL or other control byte), in the
    // device code page.
    std::optional<std::string> text(const std::string& key) {
        const Value* v = get(key, Kind::String, "a text");
        if (!v) return std::nullopt;
        for (const unsigned char c : v->text)
            if (c < 0x20 || c == 0x7f) {
                refuse(key, "may not hold a line end or a control character");
                return std::nullopt;
            }
        return utf8ToDevice(v->text);
    }
    std::optional<double> number(const std::string& key) {
        const Value* v = get(key, Kind::Number, "a number");
        return v ? std::optional<double>(v->number) : std::nullopt;
    }
    // A port as a number (2101); a text of digits, as earlier profiles wrote it, is read too.
    std::optional<std::string> portNumber(const std::string& key) {
        m_Known.insert(key);
        const Value* v = m_Object.get(key);
        if (v && v->kind == Kind::String) return text(key);
        const auto n = number(key);
        if (!n) return std::nullopt;
        if (*n != std::floor(*n) || *n < 0 || *n > 1e9) {
            refuse(key, "must be a port number");
            return std::nullopt;
        }
        return std::to_string(static_cast<long long>(*n));
    }
    const Value* object(const std::string& key) { return get(key, Kind::Object, "an object"); }
    bool failed() const { return !m_Why.empty(); }

  private:
    const Value& m_Object;
    std::string m_Path;
    std::string& m_Why;
    std::set<std::string> m_Known;
};

std::optional<ProfileGps> readGps(const Value& object, std::string& why) {
    Reader r(object, "gps", why);
    ProfileGps gps;
    const auto receiver = r.text("receiver");
    const auto port = r.text("port");
    const auto rate = r.number("rate");
    const auto latitude = r.number("latitude");
    const auto longitude = r.number("longitude");
    if (!r.onlyKnown()) return std::nullopt;
    if (latitude || longitude) {
        if (receiver || port || rate) {
            r.refuse("latitude", "is for a manual position, without a receiver");
            return std::nullopt;
        }
        for (const auto& [key, value, limit] : {std::tuple{"latitude", latitude, kMaxLatitude},
                                                std::tuple{"longitude", longitude, kMaxLongitude}})
            if (const std::string bad = positionRefusal(key, value, limit); !bad.empty()) {
                r.refuse(key, "is refused: " + bad);
                return std::nullopt;
            }
        gps.manual = true;
        gps.make = GpsReceiver::Unknown;
        gps.latitude = *latitude;
        gps.longitude = *longitude;
        return gps;
    }
    const ReceiverRow* make = receiver ? receiverByType(*receiver) : nullptr;
    if (make) gps.make = make->make;
    if (!make) {
        r.refuse("receiver", "must be KV-318, TRIMBLE, WAVECOM, UNKNOWN or TOPCON, unless the "
                             "position is manual");
        return std::nullopt;
    }
    if (port) {
        if (make->second != ReceiverChoice::Port ||
            (*port != "COM1" && *port != "COM2" && *port != "COM3")) {
            r.refuse("port", "is COM1, COM2 or COM3, for a TRIMBLE receiver only");
            return std::nullopt;
        }
        gps.port = (*port)[3] - '1';
    }
    if (rate) {
        const int index =
            *rate == std::floor(*rate) ? baudIndexForRate(static_cast<int>(*rate)) : -1;
        if (make->second != ReceiverChoice::Rate || index < 0) {
            r.refuse("rate", "is 9600, 19200, 38400, 57600 or 115200, for a WAVECOM or UNKNOWN "
                             "receiver only");
            return std::nullopt;
        }
        gps.rate = index;
    }
    return gps;
}

std::optional<ProfileApn> readApn(const Value& object, std::string& why) {
    Reader r(object, "apn", why);
    ProfileApn apn;
    const auto name = r.text("name");
    apn.user = r.text("user");
    apn.password = r.text("password");
    if (!r.onlyKnown()) return std::nullopt;
    if (!name) {
        r.refuse("name", "is missing");
        return std::nullopt;
    }
    apn.name = *name;
    // Each field on its own, so the refusal names its key.
    const struct {
        const char* key;
        caster_list::TypedApn typed;
    } fields[] = {{"name", {apn.name, "", ""}},
                  {"user", {"", apn.user.value_or(""), ""}},
                  {"password", {"", "", apn.password.value_or("")}}};
    for (const auto& f : fields)
        if (const std::string bad = caster_list::apnRefusal(f.typed); !bad.empty()) {
            r.refuse(f.key, "is refused: " + bad);
            return std::nullopt;
        }
    return apn;
}

std::optional<ProfileCaster> readCaster(const Value& object, std::string& why) {
    Reader r(object, "caster", why);
    ProfileCaster c;
    const auto host = r.text("host");
    const auto port = r.portNumber("port");
    const auto mountpoint = r.text("mountpoint");
    const auto user = r.text("user");
    c.password = r.text("password");
    const auto kind = r.text("kind");
    const auto ntrip = r.text("ntrip");
    const auto auth = r.flag("auth");
    if (!r.onlyKnown()) return std::nullopt;
    for (const auto& [key, value] : {std::pair{"host", host}, std::pair{"port", port}})
        if (!value) {
            r.refuse(key, "is missing");
            return std::nullopt;
        }
    c.host = *host;
    c.port = *port;
    c.user = user.value_or("");
    c.auth = auth.value_or(!c.user.empty());
    if (kind && *kind != "caster" && *kind != "tessadorn") {
        r.refuse("kind", "must be \"caster\" or \"tessadorn\"");
        return std::nullopt;
    }
    c.tessadorn = kind && *kind == "tessadorn";
    int row = 0;
    if (ntrip) {
        if (*ntrip != "1" && *ntrip != "2" && *ntrip != "ibss") {
            r.refuse("ntrip", "must be \"1\", \"2\" or \"ibss\"");
            return std::nullopt;
        }
        row = *ntrip == "1" ? 0 : *ntrip == "2" ? 1 : caster_list::kIbssRow;
    }
    c.ntrip = static_cast<NtripKind>(row + 1);
    c.ntripGiven = ntrip.has_value();
    if (c.tessadorn == mountpoint.has_value()) {
        r.refuse("mountpoint", c.tessadorn ? "is not for another Tessadorn" : "is missing");
        return std::nullopt;
    }
    c.mountpoint = mountpoint.value_or("");
    // The connection command carries the mountpoint between '/' and a blank.
    if (c.mountpoint.find_first_of(" /,:\"") != std::string::npos) {
        r.refuse("mountpoint", "may not contain a blank, '/', ',', ':' or '\"'");
        return std::nullopt;
    }
    caster_list::TypedCaster typed{"profile", c.host, c.port, c.user, c.password.value_or(""), row};
    const auto names = caster_list::fieldNames(row);
    if (const std::string bad = caster_list::refusal(typed, names); !bad.empty()) {
        // The message names the field by the edit dialog's caption: the key in its place.
        const char* keys[] = {"", "host", "port", "user", "password"};
        std::string key = "host";
        for (std::size_t i = 1; i < names.size(); ++i)
            if (bad.find("\"" + names[i] + "\"") != std::string::npos) key = keys[i];
        r.refuse(key, "is refused: " + bad);
        return std::nullopt;
    }
    return c;
}

std::optional<ProfileDevice> readDevice(const Value& object, std::string& why) {
    Reader r(object, "device", why);
    ProfileDevice d{r.text("serial"), r.text("firmware"), r.text("imei")};
    if (!r.onlyKnown()) return std::nullopt;
    return d;
}

Value text(const std::string& device) {
    return Value::str(deviceToUtf8(device));
}

// A position as the command carries it: six decimals.
double sixDecimals(double value) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.6f", value);
    return std::strtod(buffer, nullptr);
}

bool same(const Value& a, const Value& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case Kind::Null:
        return true;
    case Kind::Bool:
        return a.flag == b.flag;
    case Kind::Number:
        return a.number == b.number;
    case Kind::String:
        return a.text == b.text;
    case Kind::Array:
        return false;
    case Kind::Object:
        // Every member the profile names (`a`) as the modem has it (`b`).
        for (const auto& [key, value] : a.members)
            if (const Value* other = b.get(key); !other || !same(value, *other)) return false;
        return true;
    }
    return false;
}

const char* ntripName(NtripKind kind) {
    return kind == NtripKind::Ntrip2 ? "2" : kind == NtripKind::Ibss ? "ibss" : "1";
}

Value gpsValue(const ProfileGps& g) {
    Value v = Value::object();
    if (g.manual)
        return v.set("latitude", Value::num(sixDecimals(g.latitude)))
            .set("longitude", Value::num(sixDecimals(g.longitude)));
    v.set("receiver", Value::str(std::string(receiverType(g.make))));
    if (g.port >= 0) v.set("port", Value::str("COM" + std::to_string(g.port + 1)));
    if (g.rate >= 0) v.set("rate", Value::num(baudRateForIndex(g.rate)));
    return v;
}

Value apnValue(const ProfileApn& a, bool secrets) {
    Value v = Value::object();
    v.set("name", text(a.name));
    if (a.user) v.set("user", text(*a.user));
    if (secrets && a.password) v.set("password", text(*a.password));
    return v;
}

Value casterValue(const ProfileCaster& c, bool secrets, bool withNtrip) {
    Value v = Value::object();
    v.set("host", text(c.host)).set("port", facts::port(c.port));
    if (!c.tessadorn) v.set("mountpoint", text(c.mountpoint));
    v.set("kind", Value::str(c.tessadorn ? "tessadorn" : "caster"));
    if (withNtrip && !c.tessadorn) v.set("ntrip", Value::str(ntripName(c.ntrip)));
    v.set("auth", Value::boolean(c.auth));
    // Without authentication the modem keeps no user.
    if (c.auth) v.set("user", text(c.user));
    if (secrets && c.auth && c.password) v.set("password", text(*c.password));
    return v;
}

// The setting's value as a profile holds it (passwords left out), or null when absent.
Value settingValue(Setting s, const Profile& p, bool secrets, bool forFile) {
    switch (s) {
    case Setting::Role:
        return p.base ? Value::str(*p.base ? "base" : "rover") : Value::null();
    case Setting::AutoConnect:
        return p.autoConnect ? Value::boolean(*p.autoConnect) : Value::null();
    case Setting::Apn:
        return p.apn ? apnValue(*p.apn, secrets) : Value::null();
    case Setting::Gps:
        return p.gps ? gpsValue(*p.gps) : Value::null();
    case Setting::Relay:
        return p.relay ? Value::boolean(*p.relay) : Value::null();
    case Setting::Caster:
        return p.caster ? casterValue(*p.caster, secrets, forFile) : Value::null();
    }
    return Value::null();
}

} // namespace

bool Profile::holdsPassword() const {
    // An empty password keeps no secret.
    return (apn && !apn->password.value_or("").empty()) ||
           (caster && !caster->password.value_or("").empty());
}

std::optional<Profile> readProfile(const Value& doc, std::string& why) {
    why.clear();
    if (doc.kind != Kind::Object) {
        why = "A profile is a JSON object.";
        return std::nullopt;
    }
    Reader r(doc, "", why);
    const auto version = r.number("tessadorn_profile");
    if (r.failed()) return std::nullopt;
    if (!version || *version != kProfileVersion) {
        r.refuse("tessadorn_profile", "must be " + std::to_string(kProfileVersion));
        return std::nullopt;
    }
    Profile p;
    if (const Value* d = r.object("device")) p.device = readDevice(*d, why);
    if (const auto role = r.text("role")) {
        if (*role != "base" && *role != "rover") {
            r.refuse("role", "must be \"base\" or \"rover\"");
            return std::nullopt;
        }
        p.base = *role == "base";
    }
    p.autoConnect = r.flag("auto_connect");
    if (const Value* a = r.object("apn"); a && !r.failed()) p.apn = readApn(*a, why);
    if (const Value* g = r.object("gps"); g && !r.failed()) p.gps = readGps(*g, why);
    p.relay = r.flag("relay");
    if (const Value* c = r.object("caster"); c && !r.failed()) p.caster = readCaster(*c, why);
    if (!r.onlyKnown()) return std::nullopt;
    return p;
}

Value writeProfile(const Profile& p, bool secrets) {
    Value doc = Value::object();
    doc.set("tessadorn_profile", Value::num(kProfileVersion));
    if (p.device) {
        Value d = Value::object();
        if (p.device->serial) d.set("serial", text(*p.device->serial));
        if (p.device->firmware) d.set("firmware", text(*p.device->firmware));
        if (p.device->imei) d.set("imei", text(*p.device->imei));
        doc.set("device", std::move(d));
    }
    for (const SettingRow& row : settingRows())
        if (Value v = settingValue(row.setting, p, secrets, true); v.kind != Kind::Null)
            doc.set(std::string(row.key), std::move(v));
    return doc;
}

Profile profileOf(const ModemState& m) {
    const auto& d = m.device;
    Profile p;
    p.device = ProfileDevice{d.SerialNumber, d.FirmwareVersion, d.Imei};
    const bool base = m.mode == kModeServer;
    p.base = base;
    p.apn = ProfileApn{d.ApnName, d.ApnUser, d.ApnPassword};
    if (d.GgaMode == "MANUAL") {
        const auto lat = text_input::parseDecimal(d.GgaLatitude);
        const auto lon = text_input::parseDecimal(d.GgaLongitude);
        if (lat && lon) p.gps = ProfileGps{true, GpsReceiver::Unknown, -1, -1, *lat, *lon};
    } else {
        if (const ReceiverRow* row = receiverByType(d.GpsType)) {
            ProfileGps g;
            g.make = row->make;
            if (row->second == ReceiverChoice::Port) g.port = trimblePortIndex(d.GpsPort);
            if (row->second == ReceiverChoice::Rate) g.rate = m.baudIndex;
            p.gps = g;
        }
    }
    if (base) {
        if (firmwareHasRelay(d.FirmwareVersion)) p.relay = relayIsOn(d.BroadcastOn);
        return p;
    }
    if (m.autoConnect == 1 || m.autoConnect == 2) p.autoConnect = m.autoConnect == 1;
    if (keepsCasterConnection(d.GpsType) && !d.CasterHost.empty() && d.CasterHost != "null") {
        ProfileCaster c;
        c.host = d.CasterHost;
        c.port = d.CasterPort;
        c.tessadorn = d.CasterKind == "1";
        c.mountpoint = c.tessadorn ? "" : d.CasterMountpoint;
        c.auth = !c.tessadorn && !d.CasterUser.empty() && d.CasterUser != "null";
        if (c.auth) {
            c.user = d.CasterUser;
            c.password = d.CasterPassword;
        }
        c.ntrip = m.ntrip;
        p.caster = c;
    }
    return p;
}

std::optional<Step> compare(Setting s, const Profile& wanted, const Profile& current) {
    Value after = settingValue(s, wanted, false, false);
    if (after.kind == Kind::Null) return std::nullopt;
    Step step{s, settingValue(s, current, false, false), std::move(after), false};
    step.differs = !same(step.after, step.before);
    // Passwords are compared, never shown.
    if (s == Setting::Apn && wanted.apn->password && current.apn)
        step.differs |= wanted.apn->password != current.apn->password;
    if (s == Setting::Caster && wanted.caster->auth && wanted.caster->password && current.caster)
        step.differs |= wanted.caster->password != current.caster->password;
    return step;
}

std::vector<Step> plan(const Profile& wanted, const Profile& current) {
    std::vector<Step> steps;
    for (const SettingRow& row : settingRows())
        if (auto step = compare(row.setting, wanted, current)) steps.push_back(std::move(*step));
    return steps;
}

std::string mismatch(const Profile& w, const Profile& current, bool connected) {
    if (w.device && current.device) {
        const struct {
            const char* key;
            const std::optional<std::string>& want;
            const std::optional<std::string>& have;
        } facts[] = {{"serial", w.device->serial, current.device->serial},
                     {"firmware", w.device->firmware, current.device->firmware},
                     {"imei", w.device->imei, current.device->imei}};
        for (const auto& f : facts)
            if (f.want && f.want != f.have)
                return "The profile's \"device." + std::string(f.key) + "\" is " +
                       deviceToUtf8(*f.want) + ", the modem's is " +
                       deviceToUtf8(f.have.value_or("")) + ": it is for another modem.";
    }
    // The modem as it will be once the profile's role and position source are set.
    Profile next = current;
    if (w.base) next.base = w.base;
    if (w.gps) next.gps = w.gps;
    for (const SettingRow& row : settingRows()) {
        const auto step = compare(row.setting, w, current);
        if (!step || !step->differs) continue;
        // A role change restarts the modem: no connection runs after it.
        const bool running = connected && (!w.base || w.base == current.base);
        if (std::string why = notOfferedNow(row.setting, next, running); !why.empty()) return why;
    }
    // The APN dialog's edits hold 48 characters; what the modem already has stands as it is.
    if (w.apn) {
        const ProfileApn none;
        const ProfileApn& have = current.apn ? *current.apn : none;
        const struct {
            const char* key;
            const char* field;
            std::optional<std::string> want, had;
        } fields[] = {{"name", "APN", w.apn->name, have.name},
                      {"user", "User", w.apn->user, have.user},
                      {"password", "Password", w.apn->password, have.password}};
        for (const auto& f : fields)
            if (f.want && f.want != f.had)
                if (const std::string bad = caster_list::tooLong(f.field, *f.want); !bad.empty())
                    return "The profile's \"apn." + std::string(f.key) + "\" is refused: " + bad;
    }
    return {};
}

std::string notOfferedNow(Setting setting, const Profile& current, bool connected) {
    const bool base = current.base.value_or(false);
    const auto& gps = current.gps;
    const OfferFacts facts{base ? kModeServer : kModeClient,
                           gps ? std::string(gps->manual ? receiverType(GpsReceiver::Unknown)
                                                         : receiverType(gps->make))
                               : std::string(),
                           current.device ? current.device->firmware.value_or("") : std::string(),
                           connected};
    if (setting == Setting::Gps && gps && gps->manual)
        if (const std::string why = manualPositionRefusal(facts); !why.empty())
            return "The profile's \"gps\" is a manual position: a base takes its position from "
                   "its receiver.";
    const std::string why = settingRefusal(setting, facts);
    return why.empty() ? why
                       : "The profile's \"" + std::string(settingName(setting)) + "\" " + why + ".";
}

} // namespace tessadorn::cli
