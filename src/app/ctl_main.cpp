// tessadornctl: every action of the window as a command, on the same modem operations and the
// same files (tessadornctl --help, man 1 tessadornctl). The commands themselves are cli/; here
// are the options, the port, the log and the output as text or JSON.
#include "app/ProgramStart.h"
#include "app/ReportingSerialPort.h"
#include "cli/Commands.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/ProgramInfo.h"
#include "platform/SerialPortFinder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <unistd.h>

using namespace tessadorn;

namespace {

constexpr const char* kCtlName = "tessadornctl";

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

std::string jsonText(const QJsonValue& value) {
    const QByteArray bytes = value.isArray()
                                 ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)
                                 : QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented);
    return bytes.toStdString();
}

void printJson(const QJsonValue& value) {
    const std::string text = jsonText(value);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int usageError(const QString& text) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kCtlName,
                 qPrintable(text), kCtlName);
    return cli::kBadInput;
}

QString helpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    text += QStringLiteral("\nCommands:\n") + QString::fromStdString(cli::commandSummary());
    text += QStringLiteral(
        "\nExit status: 0 done; 1 the port or the modem (cannot open, in use, not found in\n"
        "time, no answer); 2 a wrong command line or a refused value; 3 refused by the modem\n"
        "or the caster.\n");
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
    const QCommandLineOption timeout("timeout", "How long to look for the modem (default 60).",
                                     "SECONDS", "60");
    const QCommandLineOption user("user", "The user of a caster or an APN.", "U");
    const QCommandLineOption password("password", "The password of a caster or an APN.", "P");
    const QCommandLineOption ntrip("ntrip", "The caster's NTRIP version: 1, 2 or ibss.", "V");
    const QCommandLineOption auth("auth", "caster use: the caster needs authentication.");
    const QCommandLineOption noAuth("no-auth", "caster use: no authentication.");
    const QCommandLineOption caster("caster", "The caster by name (default: the current one).",
                                    "NAME");
    const QCommandLineOption near("near", "mountpoints: nearest first from LAT,LON.", "LAT,LON");
    const QCommandLineOption rate("rate", "gps receiver: the modem's serial rate.", "BAUD");
    const QCommandLineOption apn("apn", "update: the APN to download with.", "A");
    const QCommandLineOption yes("yes", "update: the cable is connected; do not ask.");
    const QCommandLineOption secrets("secrets", "profile export: with the passwords.");
    const QCommandLineOption check("check", "profile apply: say what differs, change nothing.");
    // For the shell's completion: what may follow the words given (see completions()).
    QCommandLineOption complete("complete", "");
    complete.setFlags(QCommandLineOption::HiddenFromHelp);
    // For the manual page: the commands as it lists them.
    QCommandLineOption manualCommands("manual-commands", "");
    manualCommands.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version,  port,  configDir, json,   debug,    timeout,
                       user, password, ntrip, auth,      noAuth, caster,   near,
                       rate, apn,      yes,   secrets,   check,  complete, manualCommands});
    parser.addPositionalArgument("command", "The command and its arguments (see below).",
                                 "COMMAND [ARGUMENT...]");
    if (!parser.parse(QCoreApplication::arguments())) return usageError(parser.errorText());
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
        request.words.push_back(word.toStdString());
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
    std::string devicePath = parser.value(port).toStdString();
    for (const auto* o : {&user, &password, &ntrip, &caster, &near, &rate, &apn})
        if (parser.isSet(*o))
            request.options[o->names().first().toStdString()] = parser.value(*o).toStdString();
    for (const auto* o : {&auth, &noAuth, &yes, &secrets, &check})
        if (parser.isSet(*o)) request.options[o->names().first().toStdString()] = "";
    if (parser.isSet(auth) && parser.isSet(noAuth))
        return usageError("--auth and --no-auth exclude each other");

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

    const cli::Result result = cli::run(request, env);
    for (const std::string& message : result.messages) {
        std::fprintf(stderr, "%s: %s\n", kCtlName, message.c_str());
        debugLine(message + "\r\n");
    }
    if (parser.isSet(json)) {
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
    std::fflush(stdout);
    return result.status;
}
