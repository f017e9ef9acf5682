#include "cli/Commands.h"

#include "cli/Modem.h"
#include "cli/Verbs.h"
#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"
#include "store/SaveReport.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace tessadorn::cli {

const std::string* option(const Request& request, const std::string& name) {
    const auto it = request.options.find(name);
    return it == request.options.end() ? nullptr : &it->second;
}

std::string codePageRefusal(std::string_view field, std::string_view utf8) {
    if (deviceToUtf8(utf8ToDevice(utf8)) == utf8) return {};
    // The first character that does not come back: one UTF-8 sequence at a time.
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string_view one = utf8.substr(at, length);
        if (deviceToUtf8(utf8ToDevice(one)) != one)
            return "The field \"" + std::string(field) + "\" may not contain \"" +
                   std::string(one) + "\": the caster list's code page has no such character.";
        at += length;
    }
    return "The field \"" + std::string(field) + "\" is not valid UTF-8.";
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

CasterList::CasterList(Environment& env, bool edit) : store(env.casterListPath, *env.writer) {
    if (edit) hold = std::make_unique<CasterStore::FileHold>(store);
    store.Load();
    store.hidePasswordsInDebug();
}

bool CasterList::save(Result& r) {
    if (std::string failure; !saveCasterList(store, failure)) {
        r.status = kPortOrModem;
        r.messages.push_back(failure);
        return false;
    }
    return true;
}

Opened::Opened(Environment& env, const Request& q, Needs needs) {
    if (needs != Needs::Nothing)
        m_List = std::make_unique<CasterList>(env, needs == Needs::ListHeld);
    if (needs == Needs::Modem) m_Modem = std::make_unique<Modem>(env, q.timeoutSeconds);
}

Modem* Opened::modem(Result& r) {
    if (!m_Modem) {
        r = fail(kPortOrModem, "This command does not talk to the modem.");
        return nullptr;
    }
    if (!m_Started && !m_Modem->start(m_List->store, r)) return nullptr;
    m_Started = true;
    return m_Modem.get();
}

const std::vector<Verb>& verbs() {
    static const std::vector<Verb> table = {
        {"status",
         "",
         "the modem's state (the caster list follows it)",
         status,
         0,
         0,
         Needs::Modem,
         {},
         {},
         "Finds the modem (at the held rate, then at every rate), reads its configuration and its "
         "state, brings the caster list in line with the modem and prints the state."},
        {"casters",
         "",
         "the caster list",
         listCasters,
         0,
         0,
         Needs::List,
         {},
         {},
         "No modem needed."},
        {"caster add",
         "NAME HOST PORT",
         "a caster (--user U --password P --ntrip 1|2|ibss)",
         addCaster,
         3,
         3,
         Needs::ListHeld,
         {},
         {"user", "password", "ntrip"},
         "At most 25 casters."},
        {"caster edit",
         "NAME [HOST [PORT]]",
         "change a caster (the same options, --index N)",
         editCaster,
         1,
         3,
         Needs::ListHeld,
         {kCasterNames},
         {"user", "password", "ntrip", "index"},
         "A name two casters share needs \\fB\\-\\-index\\fP N, the caster's place in the list "
         "(1 first, as \\fBcasters\\fP lists them); that caster then takes NAME as its name."},
        {"caster remove",
         "NAME",
         "delete a caster (--index N)",
         removeCaster,
         1,
         1,
         Needs::ListHeld,
         {kCasterNames},
         {"index"},
         "The first caster becomes the current one. A name two casters share needs "
         "\\fB\\-\\-index\\fP N, and the N-th caster must be called NAME."},
        {"caster use",
         "NAME",
         "the current caster (--auth or --no-auth, --index N)",
         useCaster,
         1,
         1,
         Needs::ListHeld,
         {kCasterNames},
         {"auth", "no-auth", "index"},
         "A name two casters share needs \\fB\\-\\-index\\fP N, and the N-th caster must be "
         "called NAME."},
        {"mountpoints",
         "",
         "the caster's mountpoints (--caster NAME, --near LAT,LON)",
         mountpoints,
         0,
         0,
         Needs::Modem,
         {},
         {"caster", "near"},
         "Read through the modem from the caster the window would use: the caster the modem has "
         "stored when the list holds it, else the current one. Nearest first from "
         "\\fB\\-\\-near\\fP, else from the modem's manual position; stations without a place of "
         "their own (network solutions, no or 0,0 position) last. With \\fB\\-\\-json\\fP "
         "every field of a row by name, typed: numbers, booleans, null where the caster left it "
         "blank or wrote no number; names as the caster wrote them."},
        {"connect",
         "[MOUNTPOINT]",
         "connect the modem (--caster NAME, --auth, --no-auth, --yes)",
         connect,
         0,
         1,
         Needs::Modem,
         {},
         {"caster", "auth", "no-auth", "yes"},
         "A caster marked as another Tessadorn is connected to directly, without a mountpoint. "
         "The current caster sends its user and password as the list's authentication setting "
         "says; a caster named with \\fB\\-\\-caster\\fP sends its own when it has a user; "
         "\\fB\\-\\-auth\\fP and \\fB\\-\\-no\\-auth\\fP decide for either. A "
         "mountpoint that needs the receiver's position, on a modem with no position source, is "
         "asked about first (on a terminal) or needs \\fB\\-\\-yes\\fP."},
        {"disconnect",
         "",
         "stop the modem's connection",
         disconnect,
         0,
         0,
         Needs::Modem,
         {},
         {},
         "When the modem does not answer, ends with status 1."},
        {"role", "rover|base", "the modem's role", role, 1, 1, Needs::Modem, {"rover", "base"}, {}},
        {"auto",
         "on|off",
         "automatic connection",
         autoConnect,
         1,
         1,
         Needs::Modem,
         {"on", "off"},
         {}},
        {"apn",
         "NAME",
         "the APN (--user U --password P)",
         apn,
         1,
         1,
         Needs::Modem,
         {},
         {"user", "password"},
         "Written to the caster list, then to the modem, which restarts and is found again. A "
         "user or password not given keeps its value."},
        {"gps receiver",
         "MAKE [COMn]",
         "KV-318, TRIMBLE [COMn], WAVECOM, UNKNOWN (--rate BAUD) or TOPCON",
         gpsReceiver,
         1,
         2,
         Needs::Modem,
         {"KV-318", "TRIMBLE", "WAVECOM", "UNKNOWN", "TOPCON"},
         {"rate"},
         "The receiver's port (TRIMBLE) defaults to the one the modem reports; the link follows "
         "a rate the make fixes."},
        {"gps manual",
         "LAT LON",
         "a manual position",
         gpsManual,
         2,
         2,
         Needs::Modem,
         {},
         {},
         "For a rover; negative numbers are values, not options."},
        {"relay",
         "on|off",
         "the relay broadcast (a base, firmware 3 and later)",
         relay,
         1,
         1,
         Needs::Modem,
         {"on", "off"},
         {}},
        {"update",
         "",
         "update the firmware over the air (--yes --apn A --user U --password P)",
         update,
         0,
         0,
         Needs::List,
         {},
         {"yes", "apn", "user", "password"},
         "The modem leaves its correction firmware, its cellular engine is found at one of the "
         "five rates and downloads and installs the update with the APN of the caster list, or "
         "\\fB\\-\\-apn\\fP, \\fB\\-\\-user\\fP and \\fB\\-\\-password\\fP (this update only, "
         "never "
         "stored). The cable goes to the modem's RADIO ROVER connector first: on a terminal the "
         "command asks, otherwise \\fB\\-\\-yes\\fP says so. Ends with 0 when the modem reboots "
         "with the update, 1 when no engine answered or it fell silent, 3 when the engine "
         "refused or reported \\(dqTessadorn Update Error (n)\\(dq."},
        {"watch",
         "",
         "follow the modem until stopped (--interval SECONDS, --prometheus FILE)",
         watch,
         0,
         0,
         Needs::Nothing,
         {},
         {"interval", "prometheus"},
         "A line per event on standard output as it comes (with \\fB\\-\\-json\\fP one JSON "
         "object a line), the metrics in FILE for the node exporter; ends with 0 on SIGINT, "
         "SIGTERM or SIGHUP. See \\fBWATCHING THE MODEM\\fP."},
        {"udev-rule",
         "",
         "a udev rule that keeps ModemManager away from the adapter",
         udevRule,
         0,
         0,
         Needs::Nothing,
         {},
         {},
         "No modem needed. Prints a rule for the USB serial adapter plugged in, matched on its "
         "serial number, that sets ENV{ID_MM_DEVICE_IGNORE}=\\(dq1\\(dq and links it as "
         "\\fI/dev/tessadorn\\-SERIAL\\fP; nothing is installed. Save it as "
         "\\fI/etc/udev/rules.d/70\\-tessadorn.rules\\fP. Ends with 1 when no adapter can "
         "have one."},
        {"profile export",
         "[FILE]",
         "the modem's set-up as a profile (--secrets: with the passwords)",
         exportProfile,
         0,
         1,
         Needs::Modem,
         {},
         {"secrets"},
         "Writes the role, automatic connection, the APN, the position source, the relay "
         "broadcast, the caster the modem connects to and the modem's serial number, firmware "
         "and IMEI as a JSON document, to FILE or to the output. Passwords only with "
         "\\fB\\-\\-secrets\\fP; a file holding them is readable by its owner only."},
        {"profile apply",
         "FILE",
         "make the modem match a profile (--check: only say what differs)",
         applyProfile,
         1,
         1,
         Needs::Modem,
         {},
         {"check", "yes"},
         "Reads the modem, sends only the settings that differ (role, APN, position source, "
         "automatic connection, relay broadcast, caster, in this order), reads back and reports "
         "each setting as unchanged, changed or failed; \\fB\\-\\-json\\fP gives "
         "{\\(dqchanged\\(dq: true|false, \\(dqsettings\\(dq: [...]}. A setting left "
         "out is not touched. A profile naming another modem's serial number, a key the "
         "program does not know or a value the modem cannot carry is refused before anything "
         "is sent (status 2), and so is a file holding a password that other users can read or "
         "write. Ends with 0 when the modem matches, 3 when it refused a setting, 1 for the "
         "port or the modem; with \\fB\\-\\-check\\fP, 5 when the modem differs from the "
         "profile."},
    };
    return table;
}

namespace {

// The words of a verb's name.
std::vector<std::string> nameWords(std::string_view name) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < name.size()) {
        const std::size_t end = std::min(name.find(' ', at), name.size());
        words.emplace_back(name.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

bool startsWith(const std::vector<std::string>& words, const std::vector<std::string>& prefix) {
    return words.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), words.begin());
}

// The sub-commands of a command that has them ("caster" -> add, edit, ...).
std::vector<std::string> subCommands(const std::string& command) {
    std::vector<std::string> subs;
    for (const Verb& verb : verbs())
        if (const auto words = nameWords(verb.name); words.size() > 1 && words[0] == command)
            subs.push_back(words[1]);
    return subs;
}

std::string joined(const std::vector<std::string>& words, std::string_view between) {
    std::string text;
    for (const auto& w : words)
        text += (text.empty() ? "" : std::string(between)) + w;
    return text;
}

} // namespace

const Verb* verbOf(const std::vector<std::string>& words) {
    for (const Verb& verb : verbs())
        if (startsWith(words, nameWords(verb.name))) return &verb;
    return nullptr;
}

namespace {

// Why the request does not fit the verb (its number of arguments, its options), or empty.
std::string verbMisuse(const Verb& verb, const Request& q) {
    const std::string name(verb.name);
    const auto given = static_cast<int>(q.words.size() - nameWords(verb.name).size());
    if (given < verb.fewestArguments || given > verb.mostArguments)
        return verb.mostArguments == 0 ? name + " takes no arguments"
                                       : name + " takes " + std::string(verb.arguments);
    for (const auto& [option, value] : q.options)
        if (std::find(verb.options.begin(), verb.options.end(), option) == verb.options.end())
            return name + " takes no option --" + option;
    return {};
}

} // namespace

Result run(const Request& q, Environment& env) {
    if (q.words.empty()) return fail(kBadInput, "no command given");
    if (const Verb* verb = verbOf(q.words)) {
        if (std::string why = verbMisuse(*verb, q); !why.empty())
            return failTyped(kBadInput, std::move(why));
        Opened opened(env, q, verb->needs);
        return verb->handler(q, env, opened);
    }
    if (const auto subs = subCommands(q.words[0]); !subs.empty())
        return failTyped(kBadInput, q.words[0] + " needs " + joined(subs, ", "));
    return failTyped(kBadInput, "unknown command " + q.words[0]);
}

std::string commandSummary() {
    std::string text;
    for (const Verb& verb : verbs()) {
        std::string head = "  " + std::string(verb.name);
        if (!verb.arguments.empty()) head += " " + std::string(verb.arguments);
        head.resize(std::max<std::size_t>(head.size() + 1, 33), ' ');
        text += head + std::string(verb.summary) + "\n";
    }
    return text;
}

std::string commandManual() {
    std::string text;
    for (const Verb& verb : verbs()) {
        text += ".TP\n.B \"" + std::string(verb.name);
        if (!verb.arguments.empty()) text += " " + std::string(verb.arguments);
        text += "\"\n";
        std::string summary(verb.summary);
        if (!summary.empty()) summary[0] = static_cast<char>(std::toupper(summary[0]));
        text += summary + ".";
        if (!verb.manual.empty()) text += "\n" + std::string(verb.manual);
        text += "\n";
    }
    // roff reads a dash as a hyphen; options want the minus sign.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '-' && (i == 0 || text[i - 1] != '\\')) out += '\\';
        out += text[i];
    }
    return out;
}

std::vector<std::string> completions(const std::vector<std::string>& words,
                                     const std::string& casterListPath) {
    std::vector<std::string> offered;
    const auto offer = [&](std::string_view word) {
        if (std::find(offered.begin(), offered.end(), word) == offered.end())
            offered.emplace_back(word);
    };
    for (const Verb& verb : verbs()) {
        const auto name = nameWords(verb.name);
        if (words.size() < name.size()) {
            // Part of the name is still to come: offer its next word.
            if (std::equal(words.begin(), words.end(), name.begin())) offer(name[words.size()]);
        } else if (words.size() == name.size() && words == name) {
            for (std::string_view word : verb.completion) {
                if (word != kCasterNames) {
                    offer(word);
                    continue;
                }
                CasterStore list(casterListPath, AtomicFile::standard());
                list.Load();
                std::lock_guard lock(list.mutex());
                for (int i = 0; i < list.count; ++i)
                    offer(deviceToUtf8(list.entries[static_cast<std::size_t>(i)].name));
            }
        }
    }
    return offered;
}

} // namespace tessadorn::cli
