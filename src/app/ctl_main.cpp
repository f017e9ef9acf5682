// tessadornctl: every action of the window as a command, on the same modem operations and the
// same files (tessadornctl --help, man 1 tessadornctl). The commands themselves are cli/; here
// are the options, the port, the log and the output as text or JSON.
#include "app/ProgramStart.h"
#include "app/ReportingSerialPort.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/StopRequest.h"
#include "cli/WatchClient.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/ProgramInfo.h"
#include "platform/SerialPortFinder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace tessadorn;

namespace {

constexpr const char* kCtlName = "tessadornctl";

// Ctrl-C: the first one asks the running command to stop (a source table coming in is read to
// its end and let go, so that the modem's line is free again); a second one ends the program.
std::atomic<bool> g_Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    if (!g_Interrupted.exchange(true)) return;
    // The second one ends the program as Ctrl-C does, a save's copy removed first.
    AtomicFile::removeCopiesInFlight();
    ::signal(SIGINT, SIG_DFL);
    ::raise(SIGINT);
}

// Ctrl-C during the update: it cannot be undone half way, so the program says what to do and ends
// (only async-signal-safe calls here).
extern "C" void onUpdateInterrupt(int) {
    static const char kText[] =
        "\ntessadornctl: the update was cut short. Run 'tessadornctl update' again: the modem's "
        "cellular engine stays reachable, and the update starts over from the engine.\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kText, sizeof kText - 1);
    AtomicFile::removeCopiesInFlight();
    std::_Exit(130);
}

void catchUpdateInterrupt() {
    struct sigaction action {};
    action.sa_handler = onUpdateInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
}

// A JSON document as a value tree (the profile files); key order as Qt keeps it.
cli::Value fromJson(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::Bool:
        return cli::Value::boolean(v.toBool());
    case QJsonValue::Double:
        return cli::Value::num(v.toDouble());
    case QJsonValue::String:
        return cli::Value::str(v.toString().toStdString());
    case QJsonValue::Array: {
        cli::Value array = cli::Value::array();
        for (const QJsonValue& item : v.toArray())
            array.push(fromJson(item));
        return array;
    }
    case QJsonValue::Object: {
        cli::Value object = cli::Value::object();
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            object.set(it.key().toStdString(), fromJson(it.value()));
        return object;
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return cli::Value::null();
}

// One document: indented for a person at a terminal, one line for a script.
void printJson(const cli::Value& value) {
    const std::string text = cli::jsonText(value, isatty(STDOUT_FILENO) == 1);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (isatty(STDOUT_FILENO) != 1) std::fputc('\n', stdout);
}

// watch runs until SIGINT, SIGTERM or SIGHUP: a thread of its own takes the three signals and
// asks the watch to end, which then finishes its line and ends with status 0.
class WatchSignals {
  public:
    explicit WatchSignals(cli::StopRequest& stop) {
        sigemptyset(&m_Set);
        for (const int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&m_Set, s);
        pthread_sigmask(SIG_BLOCK, &m_Set, nullptr);
        m_Thread = std::thread([this, &stop] {
            const timespec step{0, 200'000'000};
            while (!m_Done.load()) {
                const int signal = sigtimedwait(&m_Set, nullptr, &step);
                if (signal > 0) {
                    debugLine(std::string(signal == SIGTERM  ? "SIGTERM"
                                          : signal == SIGINT ? "SIGINT"
                                                             : "SIGHUP") +
                              ": the watch ends\r\n");
                    stop.request();
                }
            }
        });
    }
    ~WatchSignals() {
        m_Done = true;
        m_Thread.join();
    }

  private:
    sigset_t m_Set;
    std::atomic<bool> m_Done{false};
    std::thread m_Thread;
};

int usageError(const QString& text) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kCtlName,
                 qPrintable(text), kCtlName);
    return cli::kBadInput;
}

// A word that starts like a negative number ("-33.9") is a value, not an option: it is marked
// before the parser sees it and unmarked after.
constexpr char kValueMark = '\x1f';

QStringList markNegativeNumbers(QStringList arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (arguments[i].size() > 1 && arguments[i][0] == '-' &&
            (arguments[i][1].isDigit() || arguments[i][1] == '.'))
            arguments[i].prepend(QChar(kValueMark));
    return arguments;
}

std::string unmarked(const QString& text) {
    return (text.startsWith(QChar(kValueMark)) ? text.mid(1) : text).toStdString();
}

// The password of --password-file FILE (its first line) or --password - (standard input, read
// without echo on a terminal). False with the reason when it cannot be read.
bool readSecret(const std::string& file, std::string& secret, std::string& why) {
    std::FILE* in = stdin;
    if (file != "-") {
        in = std::fopen(file.c_str(), "r");
        if (!in) {
            why = "--password-file " + file + ": " + std::strerror(errno);
            return false;
        }
        // A folder opens, and reads as nothing: an empty password would be stored.
        struct stat st {};
        if (::fstat(::fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) {
            std::fclose(in);
            why = "--password-file " + file + ": not a regular file";
            return false;
        }
    }
    termios saved{};
    const bool terminal =
        in == stdin && isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        std::fputs("Password: ", stderr);
        std::fflush(stderr);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    for (int c; (c = std::fgetc(in)) != EOF && c != '\n';)
        line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    const bool readFailed = std::ferror(in) != 0;
    const int readError = errno;
    if (in != stdin) std::fclose(in);
    if (readFailed) {
        why = (file == "-" ? std::string("the password from standard input")
                           : "--password-file " + file) +
              ": " + std::strerror(readError);
        return false;
    }
    secret = std::move(line);
    return true;
}

// Ends the program when the command still runs past its time (a modem that answers slowly on
// every rate, an exchange that keeps waiting): "no answer within N s", status 4. The commands
// give up by themselves at the same moment; this is the bound that holds whatever they do.
// With --json the output still says what happened, as every failed command's does.
std::atomic<bool> g_BoundAnswersJson{false};
std::atomic<std::int64_t> g_ExtraMs{0};
// The command's own end at its deadline comes first, with what it did by then; this bound only
// ends a command stuck in an exchange that outlasts the deadline.
constexpr std::int64_t kBoundGraceMs = 2000;

void boundTime(int seconds) {
    std::thread([seconds] {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            // Moved later by a command whose changes restart the modem (extendTime).
            const auto limit = start + std::chrono::milliseconds(std::int64_t{seconds} * 1000 +
                                                                 kBoundGraceMs + g_ExtraMs.load());
            const auto now = std::chrono::steady_clock::now();
            if (now >= limit) break;
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                limit - now, std::chrono::milliseconds(200)));
        }
        std::fprintf(stderr, "%s: no answer within %d s\n", kCtlName,
                     seconds + static_cast<int>(g_ExtraMs.load() / 1000));
        std::fflush(stderr);
        if (g_BoundAnswersJson)
            std::printf("{\"changed\":false,\"status\":%d,\"error\":\"no answer within %d s\"}\n",
                        tessadorn::cli::kTimedOut,
                        seconds + static_cast<int>(g_ExtraMs.load() / 1000));
        std::fflush(stdout);
        std::_Exit(tessadorn::cli::kTimedOut);
    }).detach();
}

QString helpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    text += QStringLiteral("\nCommands:\n") + QString::fromStdString(cli::commandSummary());
    text += QStringLiteral(
        "\nExit status: 0 done; 1 the port or the modem (cannot open, in use, gone), or the\n"
        "output cannot be written; 2 a wrong command line or a refused value; 3 refused by\n"
        "the modem or the caster; 4 no answer within --timeout; 5 profile apply --check\n"
        "found the modem different from the profile.\n");
    return text;
}

// What the command line asks for.
struct CtlCommandLine {
    enum class Action { Run, Print };
    Action action = Action::Run;
    // Action::Print: the text to print (the help, the version, completions, the manual's parts).
    std::string printed;
    cli::Request request;
    std::string devicePath;
    std::string configDir;
    bool json = false;
    bool debug = false;
};

bool isSetByName(const QCommandLineParser& parser, std::string_view name) {
    return parser.isSet(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

QString valueByName(const QCommandLineParser& parser, std::string_view name) {
    return parser.value(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

// Parses the arguments from the table of options. Returns -1 when the command is to run or the
// text printed, else the exit status after a usage error was said.
int parseCommandLine(const QStringList& arguments, CtlCommandLine& line) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Configures and controls the Tessadorn cellular NTRIP modem from the command line.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const cli::OptionRow& row : cli::optionTable()) {
        QStringList names;
        if (!row.letter.empty()) names << QString::fromUtf8(row.letter.data(), 1);
        names << QString::fromUtf8(row.name.data(), static_cast<qsizetype>(row.name.size()));
        QCommandLineOption option(
            names, QString::fromStdString(cli::optionHelp(row)),
            QString::fromUtf8(row.value.data(), static_cast<qsizetype>(row.value.size())));
        if (row.hidden) option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument("command", "The command and its arguments (see below).",
                                 "COMMAND [ARGUMENT...]");
    if (!parser.parse(markNegativeNumbers(arguments))) return usageError(parser.errorText());

    for (const QString& word : parser.positionalArguments())
        line.request.words.push_back(unmarked(word));
    line.configDir = parser.value("config-dir").toStdString();
    line.action = CtlCommandLine::Action::Print;
    if (parser.isSet("help")) {
        line.printed = helpText(parser).toStdString();
        return -1;
    }
    if (parser.isSet("manual-commands")) {
        line.printed = cli::commandManual();
        return -1;
    }
    if (parser.isSet("manual-options")) {
        line.printed = cli::optionManual();
        return -1;
    }
    if (parser.isSet("completion-script")) {
        line.printed = cli::completionScript();
        return -1;
    }
    if (parser.isSet("version")) {
        line.printed = std::string(kCtlName) + " " + kProgramVersion + "\n";
        return -1;
    }
    if (parser.isSet("complete")) {
        ProgramFolderChoice folder;
        if (std::string error; !prepareProgramFolder(line.configDir, folder, error))
            return cli::kPortOrModem;
        for (const std::string& word : cli::completions(
                 line.request.words,
                 (std::filesystem::path(folder.folder) / kCasterListFileName).string()))
            line.printed += word + "\n";
        return -1;
    }
    line.action = CtlCommandLine::Action::Run;

    if (line.request.words.empty()) return usageError("no command given");
    if (parser.isSet("timeout")) {
        bool numberOk = false;
        line.request.timeoutSeconds = parser.value("timeout").toInt(&numberOk);
        if (!numberOk || line.request.timeoutSeconds < 1 || line.request.timeoutSeconds > 3600)
            return usageError("--timeout needs a number of seconds from 1 to 3600, not " +
                              parser.value("timeout"));
    }
    line.request.timeoutGiven = parser.isSet("timeout");
    // An empty path would quietly mean the default device: another modem than the one meant.
    if (parser.isSet("port") && parser.value("port").isEmpty())
        return usageError("--port needs a value");
    line.devicePath = parser.value("port").toStdString();
    line.json = parser.isSet("json");
    line.debug = parser.isSet("debug");

    // The commands' own options, as the table of verbs names them.
    for (const cli::OptionRow& row : cli::optionTable())
        if (!row.hidden && isSetByName(parser, row.name) && !cli::verbsTaking(row.name).empty())
            line.request.options[std::string(row.gives.empty() ? row.name : row.gives)] =
                row.value.empty() ? std::string() : unmarked(valueByName(parser, row.name));
    if (parser.isSet("password") && parser.isSet("password-file"))
        return usageError("--password and --password-file exclude each other");
    // A password is read only for a command that takes one (run() refuses it for another).
    const cli::Verb* verb = cli::verbOf(line.request.words);
    const bool takesPassword = verb && std::find(verb->options.begin(), verb->options.end(),
                                                 "password") != verb->options.end();
    if (takesPassword && (parser.isSet("password-file") || parser.value("password") == "-")) {
        std::string secret, why;
        if (!readSecret(parser.isSet("password-file") ? parser.value("password-file").toStdString()
                                                      : "-",
                        secret, why))
            return usageError(QString::fromStdString(why));
        line.request.options["password"] = secret;
    }
    if (const auto it = line.request.options.find("password"); it != line.request.options.end())
        hideInDebug(it->second);
    if (parser.isSet("auth") && parser.isSet("no-auth"))
        return usageError("--auth and --no-auth exclude each other");
    return -1;
}

// The program around a command: the port, the files, the questions, the lines of watch.
struct CtlSurroundings {
    std::mutex reasonMutex;
    std::string portReason;
    std::unique_ptr<ReportingSerialPort> port;
    cli::StopRequest stop;
    std::unique_ptr<WatchSignals> watchSignals;
    cli::Environment env;
    bool watching = false;
};

// Opens the program's folder and gives the command its environment; false (the reason said)
// when the folder cannot be used.
bool prepareEnvironment(const CtlCommandLine& line, CtlSurroundings& s) {
    ProgramFolderChoice folder;
    if (std::string error; !prepareProgramFolder(line.configDir, folder, error)) {
        std::fprintf(stderr, "%s: %s\n", kCtlName, error.c_str());
        return false;
    }
    const std::string devicePath =
        line.devicePath.empty() ? SerialPortFinder().defaultPort() : line.devicePath;
    debugLine("Port: " + devicePath + "\r\n");

    s.port = std::make_unique<ReportingSerialPort>(devicePath, [&s](const std::string& why) {
        debugLine(why + "\r\n");
        std::lock_guard lock(s.reasonMutex);
        s.portReason = why;
    });
    const bool progressShown = isatty(STDERR_FILENO) == 1 && !line.debug;
    cli::Environment& env = s.env;
    env.port = s.port.get();
    env.clock = &RealClock::instance();
    env.portName = devicePath;
    env.casterListPath = (std::filesystem::path(folder.folder) / kCasterListFileName).string();
    env.profilePath = (std::filesystem::path(folder.folder) / kProfileFileName).string();
    env.writer = &AtomicFile::standard();
    env.interrupted = &g_Interrupted;
    env.extendTime = [](int seconds) { g_ExtraMs += std::int64_t{seconds} * 1000; };
    env.portFailure = [&s] {
        std::lock_guard lock(s.reasonMutex);
        return s.port->openFailed() ? s.portReason : std::string();
    };
    if (progressShown)
        env.progress = [](std::string_view text) {
            std::fprintf(stderr, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
            if (text.empty()) std::fputs("\r", stderr);
            std::fflush(stderr);
        };

    // The update's cable question, where a user at a terminal can answer it.
    if (isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1)
        env.confirm = [](std::string_view question) {
            std::fprintf(stderr, "%.*s [y/N] ", static_cast<int>(question.size()), question.data());
            std::fflush(stderr);
            char answer[16] = {};
            if (!std::fgets(answer, sizeof answer, stdin)) return false;
            return answer[0] == 'y' || answer[0] == 'Y';
        };

    env.parseJson = [](const std::string& text, std::string& why) -> std::optional<cli::Value> {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
        if (error.error != QJsonParseError::NoError) {
            why = error.errorString().toStdString() + " at byte " + std::to_string(error.offset);
            return std::nullopt;
        }
        return fromJson(doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()));
    };
    env.formatJson = [](const cli::Value& value) { return cli::jsonText(value, true); };

    // watch: every event on its own line as it comes, flushed at once; ended by a signal.
    s.watching = line.request.words[0] == "watch";
    if (s.watching) {
        env.stop = &s.stop;
        s.watchSignals = std::make_unique<WatchSignals>(s.stop);
        env.onEvent = [asJson = line.json, progressShown](const cli::Value& event,
                                                          const std::string& text) {
            const std::string printed = (asJson ? cli::jsonText(event, false) : text) + '\n';
            if (progressShown) std::fputs("\r\033[K", stderr);
            std::fwrite(printed.data(), 1, printed.size(), stdout);
            std::fflush(stdout);
        };
    }
    return true;
}

// Says the command's messages and prints its result; the program's exit status.
int printResult(const CtlCommandLine& line, const cli::Result& result, bool eventsPrinted) {
    for (const std::string& message : result.messages) {
        std::fprintf(stderr, "%s: %s\n", kCtlName, message.c_str());
        debugLine(message + "\r\n");
    }
    if (eventsPrinted) {
        // The watch said everything as it came.
    } else if (line.json) {
        // A result with data of its own (a profile's report) shows it whatever the status.
        if (result.status == cli::kDone || result.data.kind != cli::Value::Kind::Null) {
            printJson(result.data);
        } else {
            // Configuration tools read "changed" from every answer; a command that changed
            // something reports it in its own data above.
            printJson(
                cli::Value::object()
                    .set("changed", cli::Value::boolean(false))
                    .set("status", cli::Value::num(result.status))
                    .set("error",
                         cli::Value::str(result.messages.empty() ? "" : result.messages.back())));
        }
    } else {
        std::fwrite(result.text.data(), 1, result.text.size(), stdout);
    }
    // A script must not take a cut output for the whole one.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: the output could not be written: %s\n", kCtlName,
                     std::strerror(errno));
        return cli::kPortOrModem;
    }
    return result.status;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kCtlName);
    QCoreApplication::setApplicationVersion(kProgramVersion);

    CtlCommandLine line;
    if (const int status = parseCommandLine(QCoreApplication::arguments(), line); status >= 0)
        return status;
    if (line.action == CtlCommandLine::Action::Print) {
        std::fwrite(line.printed.data(), 1, line.printed.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : cli::kPortOrModem;
    }

    // A file size limit fails the save (the command says why, status 1) instead of the program.
    std::signal(SIGXFSZ, SIG_IGN);
    if (line.request.words.front() == "update") {
        catchUpdateInterrupt();
    } else {
        catchInterrupt();
        // Ended from outside while a file is saved: the old file stays, and so must no copy.
        // (watch takes SIGTERM and SIGHUP as its end, and finishes what it writes.)
        if (line.request.words.front() != "watch") AtomicFile::removeCopiesOnTermination();
    }
    DebugLogFile log;
    startDebugOutput(kCtlName, log, line.debug);
    struct SinkReset {
        ~SinkReset() { setDebugSink({}); }
    } sinkReset;
    debugLine(std::string(kCtlName) + " " + kProgramVersion + "\r\n");
    CtlSurroundings surroundings;
    if (!prepareEnvironment(line, surroundings)) return cli::kPortOrModem;

    // The update keeps its own time limits (it runs for minutes) and watch runs until it is
    // stopped; every other command is bound.
    g_BoundAnswersJson = line.json;
    if (!surroundings.watching && line.request.words.front() != "update")
        boundTime(line.request.timeoutSeconds);

    // A watch that holds the port runs the command for us.
    auto served = surroundings.watching ? std::nullopt
                                        : cli::WatchClient::run(line.request, surroundings.env);
    cli::Result result = served ? std::move(*served) : cli::run(line.request, surroundings.env);
    surroundings.watchSignals.reset();
    // A device that went away while the command talked to it leaves its results half read: no
    // part of them is printed, and a script sees the failure. watch waits for a pulled adapter.
    if (!surroundings.watching && surroundings.port->deviceGone()) {
        // Only what was already changed on the modem is kept: a profile's applied settings.
        const bool applied = result.data.get("applied") != nullptr;
        cli::Result gone;
        gone.status = cli::kPortOrModem;
        gone.messages.push_back("The port " + surroundings.env.portName + " is gone.");
        if (applied) {
            if (!result.messages.empty()) gone.messages.push_back(result.messages.back());
            gone.data = std::move(result.data);
            gone.data.set("message", cli::Value::str(gone.messages.front()));
        }
        result = std::move(gone);
    }
    return printResult(line, result, static_cast<bool>(surroundings.env.onEvent));
}
