// Profiles: a modem's set-up exported as one document, and applied to a modem setting by setting.
#include "cli/Modem.h"
#include "cli/ProfileModel.h"
#include "cli/Verbs.h"
#include "modem/CasterReply.h"
#include "modem/ConnectionCommands.h"
#include "modem/DeviceSettings.h"
#include "modem/Outcomes.h"
#include "modem/PositionSource.h"
#include "platform/TextCodec.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tessadorn::cli {

namespace {

namespace fs = std::filesystem;
using Kind = Value::Kind;

// What the start-up read, with the NTRIP version the caster list holds for the stored caster.
ModemState stateOf(ModemSession& session, CasterStore& store) {
    ModemState s{session.device().read(), session.mode(), session.autoConnect(),
                 session.baudIndex()};
    std::lock_guard lock(store.mutex());
    for (int i = 0; i < store.count; ++i) {
        const CasterEntry& e = store.entries[static_cast<std::size_t>(i)];
        if (e.ip == s.device.CasterHost && e.port == s.device.CasterPort &&
            e.vntrip.value() != NtripKind::Other)
            s.ntrip = e.vntrip.value();
    }
    return s;
}

// Sends one setting; empty when the modem took it, else the window's message for the refusal.
std::string send(Setting s, const Profile& want, const Profile& current, Modem& modem,
                 CasterStore& store) {
    ModemSession& session = modem.session();
    switch (s) {
    case Setting::Role:
        return ConnectionCommands(session).setRole(*want.base) ? ""
                                                               : std::string(outcome::kRoleRefused);
    case Setting::Apn: {
        // A user or password the profile leaves out keeps what the modem holds.
        const ProfileApn& a = *want.apn;
        const ProfileApn& c = *current.apn;
        return DeviceSettings(session).setApn(a.name, a.user.value_or(c.user.value_or("")),
                                              a.password.value_or(c.password.value_or("")))
                   ? ""
                   : std::string(outcome::kApnRefused);
    }
    case Setting::Gps: {
        const ProfileGps& g = *want.gps;
        const auto device = session.device().read();
        PositionChoice chosen{g.make,
                              g.make == GpsReceiver::Trimble ? g.port : g.rate,
                              g.manual,
                              g.latitude,
                              g.longitude,
                              device.GpsType == "TRIMBLE"  ? trimblePortIndex(device.GpsPort)
                              : device.GpsType == "TOPCON" ? 0
                                                           : -1};
        if (chosen.choice < 0) chosen.choice = startingChoice(g.make, device, session.baudIndex());
        DeviceSettings settings(session);
        settings.drain();
        return applyPositionSource(session, settings, chosen, [] {}) != 0
                   ? ""
                   : std::string(outcome::kSettingRefused);
    }
    case Setting::AutoConnect:
        return ConnectionCommands(session).setAutoConnect(*want.autoConnect)
                   ? ""
                   : std::string(outcome::kSettingRefused);
    case Setting::Relay:
        return DeviceSettings(session).setRelay(*want.relay)
                   ? ""
                   : std::string(outcome::kSettingRefused);
    case Setting::Caster: {
        const ProfileCaster& c = *want.caster;
        ConnectionCommands commands(session);
        if (c.tessadorn)
            return commands.connectDirect(c.host, c.port) ? ""
                                                          : std::string(outcome::kDirectRefused);
        // A password the profile leaves out is the caster list's for this caster and user,
        // else the modem's when it keeps this user.
        std::string password = c.password.value_or("");
        if (!c.password && c.auth) {
            if (current.caster && current.caster->user == c.user)
                password = current.caster->password.value_or("");
            std::lock_guard lock(store.mutex());
            for (int i = 0; i < store.count; ++i) {
                const CasterEntry& e = store.entries[static_cast<std::size_t>(i)];
                if (e.ip == c.host && e.port == c.port && e.user == c.user) password = e.Password;
            }
        }
        const CasterReply reply = commands.connectMountpoint(
            {c.ntrip, c.host, c.port, c.user, password, c.auth}, c.mountpoint);
        return reply == CasterReply::Accepted ? "" : std::string(casterReplyMessage(reply));
    }
    }
    return {};
}

// The report of one setting: its state, and before and after, or the modem's refusal.
Value reportRow(const Step& step, const char* state, const std::string& message) {
    Value v = Value::object();
    v.set("setting", Value::str(std::string(settingName(step.setting))))
        .set("state", Value::str(state))
        .set("before", step.before)
        .set("after", step.after);
    if (!message.empty()) v.set("message", Value::str(forTerminal(message)));
    return v;
}

// A message of several lines as one line of the table.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

std::string readFile(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    ok = static_cast<bool>(in) || in.eof();
    return s.str();
}

// A FIFO, a terminal or a device is written to as it is, never replaced by a file; false with
// the system's reason when it takes not every byte.
bool writeProfileThrough(const std::string& path, const std::string& bytes, std::string& why) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = std::strerror(n < 0 ? errno : EIO);
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

// Whether `path` names something other than a regular file (through its links).
bool namesNoRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

} // namespace

Result exportProfile(const Request& q, Environment& env) {
    if (q.words.size() > 3) return fail(kBadInput, "profile export takes one FILE");
    const bool secrets = option(q, "secrets") != nullptr;
    Result r;
    CasterList list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    const Profile profile = profileOf(stateOf(modem.session(), list.store));
    Value doc = writeProfile(profile, secrets);
    if (q.words.size() == 3 && q.words[2] != "-") {
        std::string why;
        if (namesNoRegularFile(q.words[2])) {
            if (!writeProfileThrough(q.words[2], env.formatJson(doc), why))
                return fail(kPortOrModem,
                            "The profile " + q.words[2] + " cannot be written: " + why);
            return done("Profile written to " + q.words[2]);
        }
        // A file with passwords is for its owner only.
        if (!env.writer->replaceExplained(
                q.words[2], env.formatJson(doc),
                secrets && profile.holdsPassword() ? 0600 : FileWriter::kKeepMode, why))
            return fail(kPortOrModem, "The profile " + q.words[2] + " cannot be written: " + why);
        return done("Profile written to " + q.words[2]);
    }
    r.text = env.formatJson(doc);
    r.data = std::move(doc);
    return r;
}

Result applyProfile(const Request& q, Environment& env) {
    if (q.words.size() != 3) return fail(kBadInput, "profile apply needs a FILE");
    const std::string& path = q.words[2];
    bool ok = false;
    const std::string bytes = readFile(path, ok);
    if (!ok) return fail(kBadInput, "The profile " + path + " cannot be read.");
    std::string why;
    const auto document = env.parseJson(bytes, why);
    if (!document) return fail(kBadInput, "The profile " + path + " is no JSON document: " + why);
    const auto wanted = readProfile(*document, why);
    if (!wanted) return fail(kBadInput, why);
    std::error_code error;
    const auto perms = fs::status(path, error).permissions();
    if (wanted->holdsPassword() && !error &&
        (perms & (fs::perms::group_read | fs::perms::others_read)) != fs::perms::none)
        return fail(kBadInput, "The profile " + path +
                                   " holds a password and other users can read it; "
                                   "make it readable by its owner only (chmod 600).");
    const bool check = option(q, "check") != nullptr;

    Result r;
    CasterList list(env);
    Modem modem(env, q.timeoutSeconds);
    if (!modem.start(list.store, r)) return r;
    const Profile before = profileOf(stateOf(modem.session(), list.store));
    if (const std::string bad = mismatch(*wanted, before); !bad.empty())
        return fail(kBadInput, bad);
    const std::vector<Step> steps = plan(*wanted, before);

    // The order the settings go out in, each compared again with what the modem holds by then:
    // - the role first: the modem restarts in its new role, and what the role is asked about
    //   (the relay broadcast of a base; automatic connection and the caster of a rover) is
    //   only there after it, so the modem is found and read again;
    // - then the APN: SAVE and RESET restart the modem too; found and read again, so no later
    //   setting is lost in the restart;
    // - then the position source: a make with a rate of its own (KV-318, TRIMBLE, TOPCON) or
    //   a rate for WAVECOM and UNKNOWN moves the modem's port, and the link follows it; a
    //   KV-318 or WAVECOM receiver also ends automatic connection;
    // - then automatic connection and the relay broadcast, which change nothing else;
    // - the caster last: its connection would not survive a restart or a rate change.
    std::map<Setting, std::string> refused;
    bool sent = false;
    if (!check) {
        for (const Setting s : kSettings) {
            const Profile now = profileOf(stateOf(modem.session(), list.store));
            const auto step = compare(s, *wanted, now);
            if (!step || !step->differs) continue;
            if (s == Setting::Caster && modem.session().mode() == kModeServer) continue;
            sent = true;
            if (std::string message = send(s, *wanted, now, modem, list.store); !message.empty()) {
                refused[s] = message;
                continue;
            }
            if (s == Setting::Role || s == Setting::Apn) {
                modem.progress(s == Setting::Apn
                                   ? std::string(outcome::kApnRebooting)
                                   : std::string(outcome::roleChanged(*wanted->base)));
                if (!modem.start(list.store, r)) return r;
            }
        }
    }
    // What the modem holds now, read as at start.
    if (sent && !modem.start(list.store, r)) return r;
    const Profile after = profileOf(stateOf(modem.session(), list.store));

    Value rows = Value::array();
    std::vector<std::vector<std::string>> lines;
    bool changed = false;
    int status = kDone;
    for (const Step& step : steps) {
        const char* state = "unchanged";
        std::string message;
        Step shown = step;
        if (step.differs && check) {
            state = "differs";
            changed = true;
        } else if (step.differs) {
            const auto now = compare(step.setting, *wanted, after);
            if (const auto it = refused.find(step.setting); it != refused.end()) {
                state = "failed";
                message = it->second;
                status = kRefused;
            } else if (now && now->differs) {
                state = "failed";
                message = "The modem reads back " + now->before.line() + ".";
                status = kRefused;
            } else {
                state = "changed";
                changed = true;
                if (now) shown.after = now->before;
            }
        }
        Value row = reportRow(shown, state, message);
        const auto text = [](const Value& v) { return v.kind == Kind::Null ? "-" : v.line(); };
        lines.push_back({std::string(settingName(step.setting)), state,
                         std::string_view(state) == "unchanged"
                             ? text(shown.before)
                             : text(shown.before) + " -> " + text(shown.after),
                         oneLine(forTerminal(message))});
        rows.push(std::move(row));
    }
    r.status = status;
    r.data = Value::object();
    r.data.set("changed", Value::boolean(changed)).set("settings", std::move(rows));
    if (check) r.data.set("check", Value::boolean(true));
    r.text = alignedTable(lines);
    if (status != kDone) r.messages.push_back("The modem refused a setting of the profile.");
    return r;
}

} // namespace tessadorn::cli
