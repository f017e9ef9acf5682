// tessadorn: configures and controls the Tessadorn NTRIP modem over a serial line.
//
// The options (tessadorn --help, man 1 tessadorn) are parsed in app/ProgramOptions. At start the
// program chooses the folder of its two files, opens its log file and finds the port; the
// handheld had none of this and kept its files beside the executable.
#include "app/ProgramOptions.h"
#include "app/ProgramStart.h"
#include "app/QuitSignals.h"
#include "app/ReportingSerialPort.h"
#include "app/SimulatorProcess.h"
#include "app/SimulatorWatch.h"
#include "console/HistoryRecorder.h"
#include "console/MainDialog.h"
#include "console/PanelControls.h"
#include "layout/TemplateLibrary.h"
#include "platform/AtomicFile.h"
#include "platform/DebugLogFile.h"
#include "platform/DebugOutput.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramInfo.h"
#include "platform/RemoteSerialPort.h"
#include "platform/SerialPortFinder.h"
#include "ui/PollHistory.h"
#include "ui/TemplateSource.h"
#include "ui/qt/DeviceScreen.h"
#include "ui/qt/DeviceWindow.h"
#include "ui/qt/HistoryWindow.h"
#include "ui/qt/QtDialogHost.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QShortcut>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using namespace tessadorn;

namespace {

void printError(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
}

// A remote port named with --port: whether it answers and agrees on the line's settings.
void listRemotePort(const std::string& name) {
    std::string why;
    const auto address = parseRemotePortAddress(name, why);
    if (!address) {
        std::printf("%s  remote: %s\n", name.c_str(), why.c_str());
        return;
    }
    RemoteSerialPort port(*address);
    const bool raw = address->kind == RemotePortAddress::Kind::RawTcp;
    const char* kind = raw ? "raw TCP, fixed rate" : "ser2net, RFC 2217";
    if (!port.open(raw ? address->fixedBaudIndex : kBaud38400)) {
        std::printf("%s  remote (%s): %s\n", port.name().c_str(), kind, port.openFailure().c_str());
        return;
    }
    if (raw)
        std::printf("%s  remote (%s): answers\n", port.name().c_str(), kind);
    else
        std::printf("%s  remote (%s): answers, line set, round trip %d ms\n", port.name().c_str(),
                    kind, port.roundTripMs());
    port.close();
}

int listPorts(const std::string& remote) {
    if (isRemotePortName(remote)) listRemotePort(remote);
    const auto devices = SerialPortFinder().devices();
    if (devices.empty() && !isRemotePortName(remote))
        std::fprintf(stderr, "%s: no serial devices found\n", kProgramName);
    for (const auto& device : devices)
        std::printf("%s\n", device.describe().c_str());
    return 0;
}

int udevRule() {
    std::string why;
    const std::string rules = SerialPortFinder::udevRules(SerialPortFinder().devices(), why);
    if (rules.empty()) {
        printError(why);
        return 1;
    }
    std::printf("%s", rules.c_str());
    return 0;
}

TemplateSet programTemplates() {
    TemplateSet set;
    const TemplateLibrary& library = TemplateLibrary::program();
    if (!library.error().empty())
        std::fprintf(stderr, "tessadorn: dialog templates: %s\n", library.error().c_str());
    for (const auto& t : library.templates())
        set.add(t);
    return set;
}

// Every template as it shows on a screen of its own orientation, without the dialog's logic.
int renderDialogs(const TemplateSet& templates, const QString& dir) {
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "tessadorn: cannot create %s\n", qPrintable(dir));
        return 1;
    }
    int failures = 0;
    for (const auto& pair : templatePairs()) {
        const DialogTemplate* landscape = templates.findTemplate(pair.landscape);
        for (const int id : {pair.landscape, pair.portrait}) {
            const DialogTemplate* tpl = templates.findTemplate(id);
            if (!tpl) {
                std::fprintf(stderr, "tessadorn: no template %d\n", id);
                ++failures;
                continue;
            }
            DeviceScreen screen(2);
            screen.setPortrait(id == pair.portrait);
            auto model = std::make_shared<ControlModel>(*tpl);
            // The title is the one of the template the dialog is created from.
            if (landscape) model->setTitle(landscape->caption);
            screen.openDialog(1, model);
            screen.show();
            QCoreApplication::processEvents();
            const QString file = QStringLiteral("%1/%2.png").arg(dir).arg(id);
            if (!screen.grab().save(file)) {
                std::fprintf(stderr, "tessadorn: cannot write %s\n", qPrintable(file));
                ++failures;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const ProgramOptions options =
        ProgramOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.action) {
    case ProgramOptions::Action::Help:
        std::printf("%s", ProgramOptions::usage().c_str());
        return 0;
    case ProgramOptions::Action::Version:
        std::printf("%s %s\n", kProgramName, kProgramVersion);
        return 0;
    case ProgramOptions::Action::ListPorts:
        return listPorts(options.port);
    case ProgramOptions::Action::UdevRule:
        return udevRule();
    case ProgramOptions::Action::Error:
        printError(options.error);
        std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgramName);
        return 2;
    case ProgramOptions::Action::Run:
        break;
    }
    const bool headless = !options.screenshot.empty() || !options.renderDir.empty();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication::setApplicationName(kProgramName);
    QApplication::setApplicationVersion(kProgramVersion);
    QApplication::setDesktopFileName(kDesktopId);
    QApplication app(argc, argv);
    const TemplateSet templates = programTemplates();
    if (!options.renderDir.empty())
        return renderDialogs(templates, QString::fromStdString(options.renderDir));

    // A signal to end closes the window; a file size limit fails the write instead of the program.
    QuitSignals quitSignals;
    std::signal(SIGXFSZ, SIG_IGN);
    DebugLogFile log;
    startDebugOutput(kProgramName, log, options.debug);
    struct SinkReset {
        ~SinkReset() { setDebugSink({}); }
    } sinkReset; // the log file goes before the sink that writes to it
    debugLine(std::string(kApplicationTitle) + "\r\n");

    // The two files: beside the executable for portable use, else in the user's folder.
    ProgramFolderChoice folder;
    if (std::string folderError; !prepareProgramFolder(options.configDir, folder, folderError)) {
        debugLine(folderError + "\r\n");
        if (!options.debug) printError(folderError);
        return 1;
    }
    // "COM1:": the simulated modem's pseudo-terminal, the device given, or the one found.
    SimulatorProcess simulator;
    std::string portPath = options.port.empty() ? SerialPortFinder().defaultPort() : options.port;
    if (options.simulate && options.port.empty()) {
        const std::string executable = SimulatorProcess::findExecutable();
        if (executable.empty() || !simulator.start(executable, options.simulatorArgs, 5000,
                                                   options.debug ? "" : "/dev/null")) {
            printError(std::string("the simulated modem did not start: ") +
                       (executable.empty() ? "tessadorn-sim not found" : simulator.error()));
            return 1;
        }
        portPath = simulator.ptyPath();
    }
    debugLine("Port: " + portPath + "\r\n");
    ReportingSerialPort port(portPath, [&options](const std::string& why) {
        debugLine(why + "\r\n");
        if (!options.debug) printError(why);
    });
    // The simulated modem is this program's child: when it stops it is reaped and started again,
    // and its new pseudo-terminal becomes the port for the next open.
    SimulatorWatch simulatorWatch(
        simulator, RealClock::instance(),
        [&port](const std::string& path) {
            port.setDevicePath(path);
            debugLine("Port: " + path + "\r\n");
        },
        [](const std::string& line) { debugLine(line + "\r\n"); });
    if (simulator.pid() > 0) simulatorWatch.startWatching();

    DeviceWindow window(DeviceWindow::desktopScale());
    QtDialogHost host(templates, window.screen());

    // The history of the polls, shown in a window of its own by a click on the signal picture
    // or Ctrl+H.
    PollHistory history;
    HistoryRecorder historyRecorder(history, [] { return QDateTime::currentMSecsSinceEpoch(); });
    std::unique_ptr<HistoryWindow> historyWindow;
    const auto showHistory = [&] {
        if (!historyWindow)
            historyWindow =
                std::make_unique<HistoryWindow>(history, QString::fromStdString(portPath));
        historyWindow->show();
        historyWindow->raise();
        historyWindow->activateWindow();
    };
    std::vector<int> signalPictures;
    for (int id = ids::SignalFirst; id <= ids::SignalLast; ++id)
        signalPictures.push_back(id);
    window.screen().setPictureAction(signalPictures, showHistory);
    auto* historyKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+H")), &window);
    QObject::connect(historyKey, &QShortcut::activated, &window, showHistory);

    // The main dialog, as the screenshot timer may look at it.
    std::mutex mainMutex;
    MainDialog* mainDialog = nullptr;
    auto deviceReady = [&] {
        std::lock_guard lock(mainMutex);
        return mainDialog && mainDialog->session().deviceReady();
    };
    // What the simulator's watch has to say goes to the window's status line too ("The
    // simulated modem stopped (exit status 9); starting it again"). The watch ends before the
    // main dialog's pointer and its lock go.
    simulatorWatch.setStatusListener([&](const std::string& text) {
        std::lock_guard lock(mainMutex);
        if (!mainDialog) return;
        // Once the watch gives up, its word stays: the monitor's "The port is gone" would hide
        // that the modem is not coming back.
        if (simulatorWatch.gaveUp())
            mainDialog->display().finalStatusLine(text);
        else
            mainDialog->display().statusLine(text);
    });
    struct WatchStop {
        SimulatorWatch& watch;
        ~WatchStop() { watch.stopWatching(); }
    } watchStop{simulatorWatch};

    window.setOnClose([&] {
        // A handler or the monitor may be waiting on the line (a write nobody drains, a reply
        // that does not come): once the program really ends, those waits end first.
        host.requestClose(0, [&] {
            std::lock_guard lock(mainMutex);
            if (mainDialog) mainDialog->session().abortLink();
        });
    });
    quitSignals.setOnSignal([&window](int signal) {
        debugLine(std::string(signal == SIGTERM  ? "SIGTERM"
                              : signal == SIGINT ? "SIGINT"
                                                 : "SIGHUP") +
                  ": the window closes\r\n");
        window.close();
    });
    host.start(
        [&](QtDialogHost& h) {
            MainDialog dialog(h, port, RealClock::instance(), MainDialog::filesIn(folder.folder));
            dialog.addMonitorObserver(historyRecorder);
            {
                std::lock_guard lock(mainMutex);
                mainDialog = &dialog;
            }
            dialog.doModal();
            {
                std::lock_guard lock(mainMutex);
                mainDialog = nullptr;
            }
            return h.exitCode();
        },
        [&](int exitCode) {
            window.closeNow();
            QCoreApplication::exit(exitCode);
        });

    QTimer shots;
    QElapsedTimer clock;
    bool firstShot = false;
    qint64 readyAt = -1;
    constexpr qint64 kSettleMs = 3000;
    if (!options.screenshot.empty()) {
        const QString file = QString::fromStdString(options.screenshot);
        const qint64 limitMs = options.screenshotWaitSeconds * 1000LL;
        clock.start();
        QObject::connect(&shots, &QTimer::timeout, [&, file, limitMs] {
            DeviceScreen& screen = window.screen();
            if (screen.dialogCount() == 0) return;
            // Ready: give the first polls a moment to draw the signal and APN state.
            if (!deviceReady())
                readyAt = -1;
            else if (readyAt < 0)
                readyAt = clock.elapsed();
            const bool done = (readyAt >= 0 && clock.elapsed() - readyAt >= kSettleMs) ||
                              clock.elapsed() >= limitMs;
            if (firstShot && !done) return;
            if (!screen.grab().save(file)) {
                // Said once; the program ends with a failure instead of trying again.
                std::fprintf(stderr, "tessadorn: cannot write %s\n", qPrintable(file));
                shots.stop();
                host.shutdown(1);
                return;
            }
            firstShot = true;
            if (done) {
                shots.stop();
                host.shutdown(0);
            }
        });
        shots.start(250);
    }

    window.show();
    const int exitCode = app.exec();
    // The program could not work without its port: a script or the desktop sees the failure. A
    // port lost later (a pulled adapter) does not make a close a failure.
    return port.neverOpened() ? 1 : exitCode;
}
