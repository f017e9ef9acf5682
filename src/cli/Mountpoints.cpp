// The caster's mountpoints through the modem, and the modem's connection to one of them.
#include "cli/Modem.h"
#include "cli/SettingApply.h"
#include "cli/Verbs.h"
#include "modem/CasterAddress.h"
#include "modem/ConnectionCommands.h"
#include "modem/MountpointNeeds.h"
#include "modem/MountpointOrder.h"
#include "modem/Outcomes.h"
#include "modem/Position.h"
#include "modem/PositionSource.h"
#include "modem/SettingRules.h"
#include "modem/SourceRow.h"
#include "modem/SourceTableRequest.h"
#include "platform/TextCodec.h"
#include "store/CasterListEdits.h"
#include "store/TextInput.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <vector>

namespace tessadorn::cli {

namespace {

// The caster a command works with: --caster NAME, else the current one (after the start-up,
// the caster the modem has stored when the list holds it). False (with the result set) when
// there is none.
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

// Every field of a row by name, typed as the window reads it: numbers as numbers, flags as
// booleans (the authentication letter kept beside its flag), null for what the caster left
// blank or wrote as no number; and its distance when a position is known.
Value entryJson(const SourceRow& row, std::optional<double> distanceKm) {
    const auto number = [](auto value) {
        return value ? Value::num(static_cast<double>(*value)) : Value::null();
    };
    const auto flag = [](std::optional<bool> b) { return b ? Value::boolean(*b) : Value::null(); };
    Value v = Value::object()
                  .set("name", Value::str(row.mountpoint))
                  .set("identifier", Value::str(row.identifier))
                  .set("format", Value::str(row.format))
                  .set("format_details", Value::str(row.formatDetails))
                  .set("carrier", number(row.carrier))
                  .set("nav_system", Value::str(row.navSystem))
                  .set("network", Value::str(row.network))
                  .set("country", Value::str(row.country))
                  .set("latitude", number(row.latitude))
                  .set("longitude", number(row.longitude))
                  .set("fixed_place", Value::boolean(row.place.has_value()))
                  .set("nmea", flag(row.nmea))
                  .set("solution", number(row.solution))
                  .set("generator", Value::str(row.generator))
                  .set("compression", Value::str(row.compression))
                  .set("authentication", Value::str(row.authentication))
                  .set("authentication_required", flag(row.authenticationRequired))
                  .set("fee", flag(row.fee))
                  .set("bitrate", number(row.bitrate));
    if (distanceKm) v.set("distance_km", Value::num(std::round(*distanceKm * 10) / 10));
    return v;
}

// How many single-character edits turn `a` into `b` (ASCII case ignored).
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            const std::size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + !same});
            diagonal = row[j];
            row[j] = next;
        }
    }
    return row[b.size()];
}

// "; nearest: A, B, C": the table's mountpoints closest in spelling to `typed`, all UTF-8 (the
// names as the caster wrote them).
std::string nearestNames(const SourceTable& table, std::string_view typed) {
    std::vector<std::pair<std::size_t, std::string>> ranked;
    for (int i = 0; i < table.count(); ++i) {
        std::string name = sourceTextToUtf8(table.mountpoint(i));
        ranked.emplace_back(editDistance(typed, name), std::move(name));
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::string text;
    for (std::size_t i = 0; i < ranked.size() && i < 3; ++i)
        text += (i == 0 ? "; nearest: " : ", ") + ranked[i].second;
    return text;
}

// Whether a connection sends the caster's user and password: --auth or --no-auth, else the
// list's setting when the caster is the current one, else whether the caster has a user.
bool authorizes(const Request& q, const CasterStore& store, const CasterEntry& caster) {
    if (option(q, "auth")) return true;
    if (option(q, "no-auth")) return false;
    if (store.serverInList() && store.current() == caster) return store.auth == "yes";
    return !caster.user.empty();
}

} // namespace

Result mountpoints(const Request& q, Environment&, Opened& opened) {
    if (q.words.size() != 1) return fail(kBadInput, "mountpoints takes no arguments");
    Result r;
    double latitude = 0, longitude = 0;
    std::optional<Position> from;
    if (const auto* near = option(q, "near")) {
        if (!nearPosition(*near, latitude, longitude, r)) return r;
        from = Position{latitude, longitude};
    }
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    CasterEntry caster;
    if (!chooseCaster(q, opened.list().store, caster, r)) return r;
    if (caster.Tessadorn.value() == ServerKind::Tessadorn)
        return fail(kBadInput, "The caster \"" + deviceToUtf8(caster.name) +
                                   "\" is another Tessadorn: it has no mountpoints.");
    auto table = std::make_unique<SourceTable>();
    if (!modem->readTable(caster, *table, r)) return r;
    // Nearest first from --near, else from the manual position the modem reports.
    if (!from) from = MountpointOrder::manualPosition(modem->session().device().read());
    r.data = Value::array();
    std::vector<std::vector<std::string>> rows = {
        {"MOUNTPOINT", "IDENTIFIER", "FORMAT", "SOLUTION", "AUTH", "KM"}};
    for (const int i : MountpointOrder::byDistance(*table, from)) {
        const auto distance =
            from ? MountpointOrder::distanceKm(*table, i, *from) : std::optional<double>();
        Value v = entryJson(SourceRow::read(*table, i), distance);
        rows.push_back(
            {v.get("name")->text, v.get("identifier")->text, v.get("format")->text,
             v.get("solution")->line(), v.get("authentication")->text,
             distance ? std::to_string(static_cast<long>(std::lround(*distance))) : std::string()});
        r.data.push(std::move(v));
    }
    r.text = alignedTable(rows);
    // On stderr, so that it is said with --json too, where stdout is the list of rows.
    if (table->leftOut() > 0) r.messages.push_back(outcome::rowsLeftOut(table->leftOut()));
    return r;
}

Result connectTo(Modem& modem, Environment& env, const CasterEntry& caster,
                 const CasterAddress& address, const std::string& typed, bool yes) {
    ModemSession& session = modem.session();
    const auto device = session.device().read();
    const bool direct = caster.Tessadorn.value() == ServerKind::Tessadorn;
    // Connected already to what is asked: nothing to send.
    if (session.stConnect() == ModemSession::kConnectionRunning && device.CasterHost == caster.ip &&
        device.CasterPort == caster.port &&
        (direct ? device.CasterKind != "0"
                : device.CasterKind == "0" && device.CasterMountpoint == utf8ToDevice(typed)))
        return done("The modem is already connected to " + deviceToUtf8(caster.ip) +
                    (direct ? "" : " /" + typed) + ".");
    // While a connection runs the window's Connect stops it.
    if (auto refused = notOffered(Setting::Caster, session)) return *refused;
    ConnectionCommands commands(session);
    if (direct) {
        if (!commands.connectDirect(caster.ip, caster.port))
            return fail(kRefused, outcome::kDirectRefused);
        return done("Tessadorn configured.");
    }
    // As the Connect control: the table first, then the mountpoint chosen from it.
    auto table = std::make_unique<SourceTable>();
    Result r;
    if (!modem.readTable(caster, *table, r)) return r;
    // The row's own bytes for a name the table holds, however the caster encoded it.
    const int row = table->findTyped(typed);
    if (row < 0)
        return failTyped(kBadInput, "No mountpoint " + typed + " at " + deviceToUtf8(caster.name) +
                                        nearestNames(*table, typed));
    // The window's question for a row that needs a position the modem cannot send.
    // (The row's texts are UTF-8 already; only the line ends change.)
    std::string question = positionQuestion(SourceRow::read(*table, row), device);
    if (const auto crlf = question.find("\r\n"); crlf != std::string::npos) question.erase(crlf, 1);
    if (!question.empty() && !yes) {
        // Without a terminal to ask on, the reason without its question.
        if (!env.confirm)
            return failTyped(kBadInput, question.substr(0, question.rfind('\n')) +
                                            "\nNot connected: --yes connects all the same.");
        if (!env.confirm(question)) return fail(kBadInput, "Not connected.");
    }
    const std::string mountpoint(table->mountpoint(row));
    const CasterReply reply = commands.connectMountpoint(address, mountpoint);
    if (reply == CasterReply::Accepted) return done("Tessadorn configured.");
    return fail(reply == CasterReply::NoAnswer ? kPortOrModem : kRefused,
                casterReplyMessage(reply));
}

Result connect(const Request& q, Environment& env, Opened& opened) {
    if (q.words.size() > 2) return fail(kBadInput, "connect takes one MOUNTPOINT");
    if (option(q, "auth") && option(q, "no-auth"))
        return fail(kBadInput, "--auth and --no-auth exclude each other");
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    CasterEntry caster;
    if (!chooseCaster(q, opened.list().store, caster, r)) return r;
    const bool direct = caster.Tessadorn.value() == ServerKind::Tessadorn;
    if (q.words.size() != (direct ? 1u : 2u))
        return fail(kBadInput, direct ? "connect takes no MOUNTPOINT for another Tessadorn"
                                      : "connect needs a MOUNTPOINT");
    CasterAddress address;
    {
        std::lock_guard lock(opened.list().store.mutex());
        // The current caster connects with the user and password of the list's current
        // section, as the window does; another caster with its own.
        const bool chosen = option(q, "caster") != nullptr;
        address = connectionAddress(caster, authorizes(q, opened.list().store, caster),
                                    chosen ? caster.user : opened.list().store.user,
                                    chosen ? caster.Password : opened.list().store.password);
    }
    return connectTo(*modem, env, caster, address, direct ? std::string() : q.words[1],
                     option(q, "yes") != nullptr);
}

Result disconnect(const Request& q, Environment&, Opened& opened) {
    if (q.words.size() != 1) return fail(kBadInput, "disconnect takes no arguments");
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    // The window offers the stop only while a connection runs.
    if (modem->session().stConnect() != ModemSession::kConnectionRunning)
        return done("The modem is not connected.");
    // One round of resends; the window asks whether to go on, the command line gives up.
    if (!ConnectionCommands(modem->session()).stopConnection())
        return fail(kPortOrModem, "The modem does not answer.");
    return done(outcome::kConnectionFinished);
}

} // namespace tessadorn::cli
