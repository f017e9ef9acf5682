// Profiles: a modem's set-up exported as one document, and applied to a modem setting by setting.
#include "cli/Modem.h"
#include "cli/ProfileModel.h"
#include "cli/SettingApply.h"
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
                 session.baudIndex(), session.stConnect() == ModemSession::kConnectionRunning};
    std::lock_guard lock(store.mutex());
    for (int i = 0; i < store.count; ++i) {
        const CasterEntry& e = store.entries[static_cast<std::size_t>(i)];
        if (e.ip == s.device.CasterHost && e.port == s.device.CasterPort &&
            e.vntrip.value() != NtripKind::Other)
            s.ntrip = e.vntrip.value();
    }
    return s;
}

// The caster of the list a profile's caster stands for (by its address), with the profile's
// user and password: its NTRIP version is the list's unless the profile names one.
CasterEntry casterOf(const ProfileCaster& c, const std::string& password, CasterStore& store) {
    CasterEntry e;
    bool listed = false;
    {
        std::lock_guard lock(store.mutex());
        for (int i = 0; i < store.count && !listed; ++i) {
            const CasterEntry& entry = store.entries[static_cast<std::size_t>(i)];
            if (entry.ip == c.host && entry.port == c.port &&
                (entry.Tessadorn.value() == ServerKind::Tessadorn) == c.tessadorn) {
                e = entry;
                listed = e.vntrip.value() != NtripKind::Other;
            }
        }
    }
    if (e.name.empty()) e.name = c.host;
    e.ip = c.host;
    e.port = c.port;
    e.Tessadorn = c.tessadorn ? "1" : "0";
    if (c.ntripGiven || !listed) e.vntrip = std::to_string(static_cast<int>(c.ntrip));
    e.user = c.user;
    e.Password = password;
    return e;
}

// Sends one setting through the change its verb makes.
Result send(Setting s, const Profile& want, const Profile& current, Modem& modem,
            CasterStore& store, Environment& env, bool yes) {
    ModemSession& session = modem.session();
    switch (s) {
    case Setting::Role:
        return changeRole(session, *want.base);
    case Setting::Apn: {
        // A user or password the profile leaves out keeps what the modem holds.
        const ProfileApn& a = *want.apn;
        const ProfileApn& c = *current.apn;
        return changeApn(session, store,
                         {a.name, a.user.value_or(c.user.value_or("")),
                          a.password.value_or(c.password.value_or(""))});
    }
    case Setting::Gps: {
        const ProfileGps& g = *want.gps;
        const PositionChoice chosen{g.make, -1, g.manual, g.latitude, g.longitude, -1};
        // A receiver's port or rate the profile leaves out is the one the GPS configuration
        // starts with: the modem's own.
        const int second = g.port >= 0 ? g.port : g.rate;
        Result changed = changePositionSource(
            session, chosen, second >= 0 ? std::optional<int>(second) : std::nullopt);
        // The port keeps the rate a receiver's make moved the modem to.
        if (changed.status == kDone) modem.keepRate(changed);
        return changed;
    }
    case Setting::AutoConnect:
        return changeAutoConnect(session, *want.autoConnect);
    case Setting::Relay:
        return changeRelay(session, *want.relay);
    case Setting::Caster: {
        const ProfileCaster& c = *want.caster;
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
        const CasterEntry entry = casterOf(c, password, store);
        return connectTo(modem, env, entry, connectionAddress(entry, c.auth, c.user, password),
                         deviceToUtf8(c.mountpoint), yes);
    }
    }
    return {};
}

// The message of a change that was refused, as one text.
std::string refusalOf(const Result& result) {
    std::string text;
    for (const auto& m : result.messages)
        text += (text.empty() ? "" : " ") + m;
    return text;
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

// A run that lost the modem (or its time) after some settings: the failure, and which
// settings the modem had taken by then, in the text and in JSON.
Result cutShort(Result failure, const std::vector<Setting>& taken, const Result& sofar) {
    Value names = Value::array();
    std::string list;
    for (const Setting s : taken) {
        names.push(Value::str(std::string(settingName(s))));
        list += (list.empty() ? "" : ", ") + std::string(settingName(s));
    }
    const std::string why = failure.messages.empty() ? std::string() : failure.messages.front();
    failure.messages.insert(failure.messages.begin(), sofar.messages.begin(), sofar.messages.end());
    failure.messages.push_back(taken.empty()
                                   ? "No setting of the profile was applied."
                                   : "Applied before the run was cut short: " + list + ".");
    failure.data = Value::object();
    failure.data.set("changed", Value::boolean(!taken.empty()))
        .set("applied", std::move(names))
        .set("message", Value::str(why));
    return failure;
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

Result exportProfile(const Request& q, Environment& env, Opened& opened) {
    if (q.words.size() > 3) return fail(kBadInput, "profile export takes one FILE");
    const bool secrets = option(q, "secrets") != nullptr;
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    const Profile profile = profileOf(stateOf(modem->session(), opened.list().store));
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

Result applyProfile(const Request& q, Environment& env, Opened& opened) {
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
    // Another user who can write the file can put a password of their own in it, or take one.
    constexpr fs::perms kOthersBits = fs::perms::group_read | fs::perms::group_write |
                                      fs::perms::others_read | fs::perms::others_write;
    if (wanted->holdsPassword() && !error && (perms & kOthersBits) != fs::perms::none)
        return fail(kBadInput, "The profile " + path +
                                   " holds a password and other users can read or change it; "
                                   "make it readable and writable by its owner only (chmod 600).");
    const bool check = option(q, "check") != nullptr;
    const bool yes = option(q, "yes") != nullptr;

    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    const Profile before = profileOf(stateOf(modem->session(), opened.list().store));
    const bool connected = modem->session().stConnect() == ModemSession::kConnectionRunning;
    if (const std::string bad = mismatch(*wanted, before, connected); !bad.empty())
        return fail(kBadInput, bad);
    const std::vector<Step> steps = plan(*wanted, before);
    // Each restart the changes cause takes another search for the modem: the default time
    // grows with them; a --timeout given bounds the whole run.
    if (!check && !q.timeoutGiven)
        for (const Step& step : steps)
            if (step.differs && settingRow(step.setting).restarts) modem->extend(q.timeoutSeconds);

    // The settings go out in the order of the settings' table, each compared again with what
    // the modem holds by then. A restart (the role, the APN) is followed by the start-up again,
    // so no later setting is lost in it and what the new role is asked about is read.
    std::map<Setting, Result> refused;
    std::vector<Setting> taken;
    bool sent = false;
    if (!check) {
        for (const SettingRow& row : settingRows()) {
            const Setting s = row.setting;
            const ModemState state = stateOf(modem->session(), opened.list().store);
            const Profile now = profileOf(state);
            const auto step = compare(s, *wanted, now);
            if (!step || !step->differs) continue;
            // A refused role change leaves the modem in its role: the other role's settings
            // are not offered there.
            if (std::string why = notOfferedNow(s, now, state.connected); !why.empty()) {
                refused[s] = fail(kBadInput, why);
                continue;
            }
            sent = true;
            const Result result = send(s, *wanted, now, *modem, opened.list().store, env, yes);
            for (const auto& m : result.messages)
                if (result.status == kDone) r.messages.push_back(m);
            if (result.status != kDone) {
                refused[s] = result;
                if (result.status == kPortOrModem || result.status == kTimedOut)
                    return cutShort(result, taken, r);
                continue;
            }
            taken.push_back(s);
            if (row.restarts) {
                modem->progress(s == Setting::Apn
                                    ? std::string(outcome::kApnRebooting)
                                    : std::string(outcome::roleChanged(*wanted->base)));
                if (Result again; !modem->start(opened.list().store, again))
                    return cutShort(again, taken, r);
            }
        }
    }
    // What the modem holds now, read as at start.
    if (Result again; sent && !modem->start(opened.list().store, again))
        return cutShort(again, taken, r);
    const Profile after = profileOf(stateOf(modem->session(), opened.list().store));

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
                message = refusalOf(it->second);
                // The first refusal's status: the modem's (3), or the window's reason (2).
                if (status == kDone) status = it->second.status;
            } else if (now && now->differs) {
                state = "failed";
                if (status == kDone) status = kRefused;
                message = now->before.kind == Kind::Null
                              ? std::string("The modem does not report it.")
                              : "The modem reads back " + now->before.line() + ".";
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
    // A check that finds the modem different says so in its exit status, for scripts and cron.
    r.status = status == kDone && check && changed ? kDiffers : status;
    r.data = Value::object();
    r.data.set("changed", Value::boolean(changed)).set("settings", std::move(rows));
    if (check) r.data.set("check", Value::boolean(true));
    r.text = alignedTable(lines);
    if (status != kDone)
        r.messages.push_back(status == kRefused ? "The modem refused a setting of the profile."
                                                : "A setting of the profile was not applied.");
    return r;
}

} // namespace tessadorn::cli
