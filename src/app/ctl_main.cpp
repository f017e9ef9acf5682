// tessadornctl: every action of the window as a command, on the same modem operations and the
// same files (tessadornctl --help, man 1 tessadornctl). The commands themselves are cli/; here
// are the options, the port, the log and the output as text or JSON.
#include "app/ProgramStart.h"
#include "app/ReportingSerialPort.h"
#include "cli/Commands.h"
#include "cli/StopRequest.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/ProgramInfo.h"
#include "platform/SerialPortFinder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

QJsonValue toJson(const cli::Value& v) {
    using Kind = cli::Value::Kind;
    switch (v.kind) {
    case Kind::Null:
        return QJsonValue::Null;
    case Kind::Bool:
        return v.flag;
    case Kind::Number:
        return v.number;
    case Kind::String:
        return QString::fromStdString(v.text);
    case Kind::Array: {
        QJsonArray array;
        for (const auto& item : v.items)
            array.append(toJson(item));
        return array;
    }
    case Kind::Object: {
        QJsonObject object;
        for (const auto& [name, value] : v.members)
            object.insert(QString::fromStdString(name), toJson(value));
        return object;
    }
    }
    return QJsonValue::Null;
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

std::string jsonText(const QJsonValue& value,
                     QJsonDocument::JsonFormat format = QJsonDocument::Indented) {
    std::string text =
        (value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject()))
            .toJson(format)
            .toStdString();
    if (text.empty() || text.back() != '\n') text += '\n';
    return text;
}

// One document: indented for a person at a terminal, one line for a script.
void printJson(const QJsonValue& value) {
    const std::string text = jsonText(value, isatty(STDOUT_FILENO) == 1 ? QJsonDocument::Indented
                                                                        : QJsonDocument::Compact);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// One value as compact JSON on one line, its members in their order ("class" and "time" first).
void appendCompact(QByteArray& out, const cli::Value& v) {
    using Kind = cli::Value::Kind;
    switch (v.kind) {
    case Kind::Array:
        out += '[';
        for (std::size_t i = 0; i < v.items.size(); ++i) {
            if (i > 0) out += ',';
            appendCompact(out, v.items[i]);
        }
        out += ']';
        return;
    case Kind::Object:
        out += '{';
        for (std::size_t i = 0; i < v.members.size(); ++i) {
            if (i > 0) out += ',';
            appendCompact(out, cli::Value::str(v.members[i].first));
            out += ':';
            appendCompact(out, v.members[i].second);
        }
        out += '}';
        return;
    default: {
        // A scalar as Qt writes it, taken out of a one-item array.
        const QByteArray one = QJsonDocument(QJsonArray{toJson(v)}).toJson(QJsonDocument::Compact);
        out += one.mid(1, one.size() - 2);
        return;
    }
    }
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
void boundTime(int seconds) {
    std::thread([seconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(seconds * 1000 + 500));
        std::fprintf(stderr, "%s: no answer within %d s\n", kCtlName, seconds);
        std::fflush(stderr);
        std::_Exit(tessadorn::cli::kTimedOut);
    }).detach();
}

QString helpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    text += QStringLiteral("\nCommands:\n") + QString::fromStdString(cli::commandSummary());
    text += QStringLiteral(
        "\nExit status: 0 done; 1 the port or the modem (cannot open, in use, gone), or the\n"
        "output cannot be written; 2 a wrong command line or a refused value; 3 refused by\n"
        "the modem or the caster; 4 no answer within --timeout.\n");
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kCtlName);
    QCoreApplication::setApplicationVersion(kProgramVersion);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Configures and controls the Tessadorn cellular NTRIP modem from the command line.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version("version", "Show the version and exit.");
    const QCommandLineOption port(
        "port", "The modem's serial device (default: the one USB serial adapter, else /dev/ttyS0).",
        "PATH");
    const QCommandLineOption configDir(
        "config-dir", "Keep ntripcfg.txt and tessadorn.cfg in DIR (as tessadorn does).", "DIR");
    const QCommandLineOption json("json", "Write the result as one JSON document.");
    const QCommandLineOption debug("debug", "Write the debug output to stderr too.");
    const QCommandLineOption timeout(
        "timeout", "How long to look for the modem and read a table (default 60).", "SECONDS",
        "60");
    const QCommandLineOption user("user", "The user of a caster or an APN.", "U");
    const QCommandLineOption password(
        "password", "The password of a caster or an APN; - reads it from standard input.", "P");
    const QCommandLineOption passwordFile(
        "password-file", "The password: the first line of FILE (kept out of the process list).",
        "FILE");
    const QCommandLineOption ntrip("ntrip", "The caster's NTRIP version: 1, 2 or ibss.", "V");
    const QCommandLineOption auth("auth", "caster use: the caster needs authentication.");
    const QCommandLineOption noAuth("no-auth", "caster use: no authentication.");
    const QCommandLineOption caster("caster", "The caster by name (default: the current one).",
                                    "NAME");
    const QCommandLineOption near("near", "mountpoints: nearest first from LAT,LON.", "LAT,LON");
    const QCommandLineOption rate("rate", "gps receiver: the modem's serial rate.", "BAUD");
    const QCommandLineOption apn("apn", "update: the APN to download with.", "A");
    const QCommandLineOption yes("yes", "update: the cable is connected; do not ask.");
    const QCommandLineOption interval(
        "interval", "watch: a heartbeat line when nothing changed for SECONDS (default 60).",
        "SECONDS");
    const QCommandLineOption prometheus(
        "prometheus", "watch: keep the modem's metrics in FILE (node exporter text format).",
        "FILE");
    const QCommandLineOption secrets("secrets", "profile export: with the passwords.");
    const QCommandLineOption check("check", "profile apply: say what differs, change nothing.");
    // For the shell's completion: what may follow the words given (see completions()).
    QCommandLineOption complete("complete", "");
    complete.setFlags(QCommandLineOption::HiddenFromHelp);
    // For the manual page: the commands as it lists them.
    QCommandLineOption manualCommands("manual-commands", "");
    manualCommands.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help,     version,    port,     configDir,    json,     debug,
                       timeout,  user,       password, passwordFile, ntrip,    auth,
                       noAuth,   caster,     near,     rate,         apn,      yes,
                       interval, prometheus, secrets,  check,        complete, manualCommands});
    parser.addPositionalArgument("command", "The command and its arguments (see below).",
                                 "COMMAND [ARGUMENT...]");
    if (!parser.parse(markNegativeNumbers(QCoreApplication::arguments())))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(helpText(parser)));
        return 0;
    }
    if (parser.isSet(manualCommands)) {
        std::printf("%s", cli::commandManual().c_str());
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", kCtlName, kProgramVersion);
        return 0;
    }

    cli::Request request;
    for (const QString& word : parser.positionalArguments())
        request.words.push_back(unmarked(word));
    if (parser.isSet(complete)) {
        ProgramFolderChoice folder;
        if (std::string error;
            !prepareProgramFolder(parser.value(configDir).toStdString(), folder, error))
            return cli::kPortOrModem;
        for (const std::string& word : cli::completions(
                 request.words,
                 (std::filesystem::path(folder.folder) / kCasterListFileName).string()))
            std::printf("%s\n", word.c_str());
        return 0;
    }
    if (request.words.empty()) return usageError("no command given");
    bool numberOk = false;
    request.timeoutSeconds = parser.value(timeout).toInt(&numberOk);
    if (!numberOk || request.timeoutSeconds < 1 || request.timeoutSeconds > 3600)
        return usageError("--timeout needs a number of seconds from 1 to 3600, not " +
                          parser.value(timeout));
    // An empty path would quietly mean the default device: another modem than the one meant.
    if (parser.isSet(port) && parser.value(port).isEmpty())
        return usageError("--port needs a value");
    std::string devicePath = parser.value(port).toStdString();
    for (const auto* o :
         {&user, &password, &ntrip, &caster, &near, &rate, &apn, &interval, &prometheus})
        if (parser.isSet(*o))
            request.options[o->names().first().toStdString()] = unmarked(parser.value(*o));
    if (parser.isSet(password) && parser.isSet(passwordFile))
        return usageError("--password and --password-file exclude each other");
    if (parser.isSet(passwordFile) || parser.value(password) == "-") {
        std::string secret, why;
        if (!readSecret(parser.isSet(passwordFile) ? parser.value(passwordFile).toStdString() : "-",
                        secret, why))
            return usageError(QString::fromStdString(why));
        request.options["password"] = secret;
    }
    if (const auto it = request.options.find("password"); it != request.options.end())
        hideInDebug(it->second);
    for (const auto* o : {&auth, &noAuth, &yes, &secrets, &check})
        if (parser.isSet(*o)) request.options[o->names().first().toStdString()] = "";
    if (parser.isSet(auth) && parser.isSet(noAuth))
        return usageError("--auth and --no-auth exclude each other");

    // A file size limit fails the save (the command says why, status 1) instead of the program.
    std::signal(SIGXFSZ, SIG_IGN);
    if (request.words.front() == "update") {
        catchUpdateInterrupt();
    } else {
        catchInterrupt();
        // Ended from outside while a file is saved: the old file stays, and so must no copy.
        // (watch takes SIGTERM and SIGHUP as its end, and finishes what it writes.)
        if (request.words.front() != "watch") AtomicFile::removeCopiesOnTermination();
    }
    DebugLogFile log;
    startDebugOutput(kCtlName, log, parser.isSet(debug));
    struct SinkReset {
        ~SinkReset() { setDebugSink({}); }
    } sinkReset;
    debugLine(std::string(kCtlName) + " " + kProgramVersion + "\r\n");
    ProgramFolderChoice folder;
    if (std::string error;
        !prepareProgramFolder(parser.value(configDir).toStdString(), folder, error)) {
        std::fprintf(stderr, "%s: %s\n", kCtlName, error.c_str());
        return cli::kPortOrModem;
    }
    if (devicePath.empty()) devicePath = SerialPortFinder().defaultPort();
    debugLine("Port: " + devicePath + "\r\n");

    std::mutex reasonMutex;
    std::string portReason;
    ReportingSerialPort serialPort(devicePath, [&](const std::string& why) {
        debugLine(why + "\r\n");
        std::lock_guard lock(reasonMutex);
        portReason = why;
    });
    const bool progressShown = isatty(STDERR_FILENO) == 1 && !parser.isSet(debug);
    cli::Environment env;
    env.port = &serialPort;
    env.clock = &RealClock::instance();
    env.portName = devicePath;
    env.casterListPath = (std::filesystem::path(folder.folder) / kCasterListFileName).string();
    env.profilePath = (std::filesystem::path(folder.folder) / kProfileFileName).string();
    env.writer = &AtomicFile::standard();
    env.interrupted = &g_Interrupted;
    env.portFailure = [&] {
        std::lock_guard lock(reasonMutex);
        return serialPort.openFailed() ? portReason : std::string();
    };
    if (progressShown)
        env.progress = [](std::string_view line) {
            std::fprintf(stderr, "\r%.*s\033[K", static_cast<int>(line.size()), line.data());
            if (line.empty()) std::fputs("\r", stderr);
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
    env.formatJson = [](const cli::Value& value) { return jsonText(toJson(value)); };

    // watch: every event on its own line as it comes, flushed at once; ended by a signal.
    cli::StopRequest stop;
    std::unique_ptr<WatchSignals> watchSignals;
    const bool watching = request.words[0] == "watch";
    if (watching) {
        env.stop = &stop;
        watchSignals = std::make_unique<WatchSignals>(stop);
        const bool asJson = parser.isSet(json);
        env.onEvent = [asJson, progressShown](const cli::Value& event, const std::string& text) {
            QByteArray line;
            if (asJson)
                appendCompact(line, event);
            else
                line = QByteArray::fromStdString(text);
            line += '\n';
            if (progressShown) std::fputs("\r\033[K", stderr);
            std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
            std::fflush(stdout);
        };
    }
    // The update keeps its own time limits (it runs for minutes) and watch runs until it is
    // stopped; every other command is bound.
    if (!watching && request.words.front() != "update") boundTime(request.timeoutSeconds);

    cli::Result result = cli::run(request, env);
    watchSignals.reset();
    // A device that went away while the command talked to it leaves its results half read: no
    // part of them is printed, and a script sees the failure. watch waits for a pulled adapter.
    if (!watching && serialPort.deviceGone()) {
        result = cli::Result{};
        result.status = cli::kPortOrModem;
        result.messages.push_back("The port " + devicePath + " is gone.");
    }
    for (const std::string& message : result.messages) {
        std::fprintf(stderr, "%s: %s\n", kCtlName, message.c_str());
        debugLine(message + "\r\n");
    }
    if (env.onEvent) {
        // The watch said everything as it came.
    } else if (parser.isSet(json)) {
        // A result with data of its own (a profile's report) shows it whatever the status.
        if (result.status == cli::kDone || result.data.kind != cli::Value::Kind::Null) {
            printJson(toJson(result.data));
        } else {
            QJsonObject error;
            error.insert("status", result.status);
            error.insert("error", QString::fromStdString(
                                      result.messages.empty() ? "" : result.messages.back()));
            printJson(error);
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
