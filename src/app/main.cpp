// tessadorn: configures and controls the Tessadorn NTRIP modem over a serial line.
//
// Options of this build (the handheld had none):
//   --port PATH              the device that is "COM1:" (default /dev/ttyS0)
//   --simulate [OPTIONS...]  run tessadorn-sim on a pseudo-terminal and use that as "COM1:";
//                            the options up to the next option of ours go to the simulator
//   --screenshot FILE        without a display: write the device screen as PNG once the main
//                            dialog is up, again once the modem is ready or the time is up
//                            (--screenshot-wait SECONDS, default 20), then end
//   --render-dialogs DIR     without a display: write every dialog template as DIR/NNN.png
#include "app/SimulatorProcess.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/TermiosSerialPort.h"
#include "ui/TemplateSource.h"
#include "ui/qt/DeviceScreen.h"
#include "ui/qt/DeviceWindow.h"
#include "ui/qt/QtDialogHost.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using namespace tessadorn;

namespace {

struct Options {
    std::string port = "/dev/ttyS0";
    bool portGiven = false;
    bool simulate = false;
    std::vector<std::string> simulatorArgs;
    std::string screenshot;
    int screenshotWaitSeconds = 20;
    std::string renderDir;
};

bool isOurOption(const std::string& a) {
    return a == "--port" || a == "--simulate" || a == "--screenshot" || a == "--screenshot-wait" ||
           a == "--render-dialogs";
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tessadorn: %s needs a value\n", a.c_str());
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (a == "--port") {
            const auto v = value();
            if (!v) return std::nullopt;
            o.port = *v;
            o.portGiven = true;
        } else if (a == "--simulate") {
            o.simulate = true;
            while (i + 1 < argc && !isOurOption(argv[i + 1]))
                o.simulatorArgs.push_back(argv[++i]);
        } else if (a == "--screenshot") {
            const auto v = value();
            if (!v) return std::nullopt;
            o.screenshot = *v;
        } else if (a == "--screenshot-wait") {
            const auto v = value();
            if (!v) return std::nullopt;
            o.screenshotWaitSeconds = std::max(1, std::atoi(v->c_str()));
        } else if (a == "--render-dialogs") {
            const auto v = value();
            if (!v) return std::nullopt;
            o.renderDir = *v;
        } else {
            std::fprintf(stderr,
                         "tessadorn: unknown option %s\nusage: tessadorn [--port PATH] "
                         "[--simulate [simulator options...]] [--screenshot FILE "
                         "[--screenshot-wait SECONDS]] [--render-dialogs DIR]\n",
                         a.c_str());
            return std::nullopt;
        }
    }
    return o;
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
    const auto options = parseOptions(argc, argv);
    if (!options) return 2;
    const bool headless = !options->screenshot.empty() || !options->renderDir.empty();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    const TemplateSet templates = programTemplates();
    if (!options->renderDir.empty())
        return renderDialogs(templates, QString::fromStdString(options->renderDir));

    // "COM1:": the simulated modem's pseudo-terminal, or the device given.
    SimulatorProcess simulator;
    std::string portPath = options->port;
    if (options->simulate && !options->portGiven) {
        const std::string executable = SimulatorProcess::findExecutable();
        if (executable.empty() || !simulator.start(executable, options->simulatorArgs)) {
            std::fprintf(stderr, "tessadorn: the simulated modem did not start: %s\n",
                         executable.empty() ? "tessadorn-sim not found"
                                            : simulator.error().c_str());
            return 1;
        }
        portPath = simulator.ptyPath();
    }
    TermiosSerialPort port(portPath);

    DeviceWindow window(DeviceWindow::desktopScale());
    QtDialogHost host(templates, window.screen());

    // The main dialog, as the screenshot timer may look at it.
    std::mutex mainMutex;
    MainDialog* mainDialog = nullptr;
    auto deviceReady = [&] {
        std::lock_guard lock(mainMutex);
        return mainDialog && mainDialog->m_DeviceReady.load() == 1;
    };

    window.setOnClose([&host] { host.shutdown(0); });
    host.start(
        [&](QtDialogHost& h) {
            MainDialog dialog(h, port);
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
    if (!options->screenshot.empty()) {
        const QString file = QString::fromStdString(options->screenshot);
        const qint64 limitMs = options->screenshotWaitSeconds * 1000LL;
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
    return app.exec();
}
