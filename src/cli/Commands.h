#pragma once

#include "cli/Value.h"
#include "platform/Clock.h"
#include "platform/FileWriter.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {
class ModemSession;
} // namespace tessadorn

namespace tessadorn::cli {

class StopRequest;
class Opened;

// How a command ended, as the program's exit status.
enum Status {
    kDone = 0,
    kPortOrModem = 1, // the port cannot be opened or the modem does not answer
    kBadInput = 2,    // a wrong command line or a refused value
    kRefused = 3,     // the modem or the caster refused
    kTimedOut = 4,    // no answer within --timeout
    kDiffers = 5,     // profile apply --check: the modem differs from the profile
};

// One command as the command line gave it: its words (the command first, e.g. "caster", "add",
// "NAME", ...) and its named options without the dashes ("user" -> "U"; a flag maps to "").
struct Request {
    std::vector<std::string> words;
    std::map<std::string, std::string> options;
    // How long to look for the modem.
    int timeoutSeconds = 60;
    // --timeout was given: it bounds the whole command, however many restarts it causes.
    bool timeoutGiven = false;
};

// What a command needs of the program around it.
struct Environment {
    SerialPort* port = nullptr;
    Clock* clock = nullptr;
    std::string portName; // for messages
    std::string casterListPath;
    std::string profilePath;
    FileWriter* writer = nullptr;
    // Why the port could not be opened (the last report of the port), or empty.
    std::function<std::string()> portFailure;
    // Progress of long work (the source table, the update), or empty when nobody watches.
    std::function<void(std::string_view)> progress;
    // The update's cable question ("Connect the cable ... Continue?"); empty: never asked.
    std::function<bool(std::string_view)> confirm;
    // watch: each event as it comes (as a value and as a line of text), the time of day in
    // milliseconds since 1970 (empty: the system's), and the request that ends the watch.
    std::function<void(const Value& event, const std::string& text)> onEvent;
    std::function<std::int64_t()> wallMs;
    StopRequest* stop = nullptr;
    // A command that a watch serves: the watch's session, whose modem is found and started
    // already while it is ready (see Modem). Null for a command on a port of its own.
    ModemSession* session = nullptr;
    // Raised (any thread) when the user asks the command to stop (Ctrl-C); may be null.
    const std::atomic<bool>* interrupted = nullptr;
    // JSON as the program reads and writes it (the profile files): a document, or nothing and
    // the reason in `why`; a value as indented text.
    std::function<std::optional<Value>(const std::string& text, std::string& why)> parseJson;
    std::function<std::string(const Value&)> formatJson;
    // Moves the command's bound this many seconds later (a change that restarts the modem
    // takes another search); may be empty.
    std::function<void(int seconds)> extendTime;
};

struct Result {
    int status = kDone;
    // For the user on stderr: why the command failed (the dialog's message) or what it saw.
    std::vector<std::string> messages;
    // What the command did or found: written as text (`text`) or as JSON (`data`).
    std::string text;
    Value data;
};

// What a command needs before its handler runs.
enum class Needs {
    Nothing,  // no list, no modem
    List,     // the caster list, read
    ListHeld, // the caster list under its lock from the load to the save (an edit of the list)
    Modem,    // the caster list and the modem, found and started up
};

// One command of the command line: what run(), --help, the manual page and the shell's
// completion know of it.
struct Verb {
    // Its words: "status", or a command and its sub-command ("caster add").
    std::string_view name;
    // Its arguments as --help shows them ("NAME HOST PORT", "[MOUNTPOINT]").
    std::string_view arguments;
    // One line for --help.
    std::string_view summary;
    // Runs the command with what run() opened for it (`needs`).
    Result (*handler)(const Request&, Environment&, Opened&);
    // How many arguments it takes after its name; run() refuses fewer or more.
    int fewestArguments = 0;
    int mostArguments = 0;
    Needs needs = Needs::Nothing;
    // What the shell offers for the first argument: fixed words, or kCasterNames for the names
    // of the caster list.
    std::vector<std::string_view> completion;
    // The options it takes, without the dashes; run() refuses any other.
    std::vector<std::string_view> options;
    // What the manual page says of it (roff), after its summary.
    std::string_view manual = {};
};
// In Verb::completion: the caster names of the list in --config-dir.
inline constexpr std::string_view kCasterNames = "@casters";

// Every command, in the order --help lists them.
const std::vector<Verb>& verbs();

// The verb the words name (the longest name they start with), or nullptr.
const Verb* verbOf(const std::vector<std::string>& words);

// Runs one command. Never prints; blocks until the command ended. A wrong number of arguments
// or an option the command does not take ends it with status 2 before anything is read or sent.
Result run(const Request& request, Environment& environment);

// The commands and their arguments, one line each, for --help.
std::string commandSummary();
// The commands as the manual page lists them (roff, one .TP paragraph each).
std::string commandManual();

// What the shell may offer for the word after `words` (the command line so far, without options):
// sub-commands, arguments, or the caster names of the list at `casterListPath`.
std::vector<std::string> completions(const std::vector<std::string>& words,
                                     const std::string& casterListPath);

} // namespace tessadorn::cli
