// The firmware update against the simulated modem on a real pseudo-terminal, in real time: a
// whole update from the main dialog, and the link cut at each step of the sequence.
#include "ProgramTemplates.h"
#include "ScriptedHost.h"
#include "SimulatorStart.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "app/SimulatorProcess.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/TermiosSerialPort.h"
#include "ui/TemplateSource.h"
#include "update/FirmwareUpdateDialog.h"
#include "update/UpdateControls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace tessadorn {
namespace {

using test::ScriptedHost;
namespace u = update_ids;
using Steady = std::chrono::steady_clock;

const std::string kComPortError = "Error opening Com Port.\r\nProcess canceled";
const std::string kNotDetected = "Tessadorn not detected.\r\nProcess canceled";

std::string updateError(int n) {
    return "Tessadorn Update Error (" + std::to_string(n) + ").\r\nProcess canceled";
}

using test::programTemplates;

bool until(const std::function<bool()>& cond, int limitSeconds) {
    return test::waitUntil(cond, limitSeconds) >= 0;
}

double secondsSince(Steady::time_point t0) {
    return std::chrono::duration<double>(Steady::now() - t0).count();
}

FirmwareUpdateDialog* updateDialog(Dialog& top) {
    return dynamic_cast<FirmwareUpdateDialog*>(&top);
}

// "COM1:" is a link to the simulator's pseudo-terminal.
class UpdatePtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        link = dir.file("com1");
        host.setScreenSize(240, 320);
    }
    void TearDown() override { simulator.stop(); }

    bool startSimulator(std::vector<std::string> args) {
        args.insert(args.end(), {"--quiet", "--restart-ms", "300"});
        return test::startSimulator(simulator, link, std::move(args));
    }

    // Script steps on the update dialog: "Start Update", then "Continue" once it shows.
    void startAndContinue() {
        host.click(u::Start);
        host.call([](Dialog& top) {
            ASSERT_TRUE(until([&] { return top.controls().visible(u::Continue); }, 10));
        });
        host.click(u::Continue);
    }
    // Waits for `boxes` message boxes and for the dialog to be back at idle.
    void waitForIdle(std::size_t boxes, int limitSeconds) {
        host.call([this, boxes, limitSeconds](Dialog& top) {
            FirmwareUpdateDialog* d = updateDialog(top);
            ASSERT_NE(d, nullptr);
            ASSERT_TRUE(until(
                [&] {
                    return host.shownBoxes().size() >= boxes && d->phase() == UpdatePhase::Idle &&
                           top.controls().visible(u::Start) && top.controls().titleOkVisible();
                },
                limitSeconds))
                << host.shownBoxes().size() << " boxes";
        });
    }

    test::TempDir dir;
    std::string link;
    SimulatorProcess simulator;
    TemplateSet templates = programTemplates();
    ScriptedHost host{templates};
    DebugCapture quiet;
};

TEST_F(UpdatePtyTest, WholeUpdateFromTheUpdateButtonAndTheModemReadyAgain) {
    // A modem left in its cellular engine (at 9600) by an update cut short: the main dialog
    // keeps searching, so its update picture is there. The correction firmware does not say
    // "Bye", the blind exits go out, the engine search finds the engine, and after the update's
    // reboot the firmware answers at 38400, where the port reopens.
    ASSERT_TRUE(startSimulator({"--scenario", "in-engine", "--engine-baud", "0", "--otap",
                                "success", "--otap-step-ms", "50", "--no-pacing"}));
    TermiosSerialPort port(link);
    MainDialog::Files files;
    files.casterList = dir.file("ntripcfg.txt");
    files.profile = dir.file("tessadorn.cfg");
    MainDialog dialog(host, port, RealClock::instance(), files);

    host.call([&](Dialog&) {
        ASSERT_TRUE(until([&] { return dialog.controls().text(ids::Status) != ""; }, 10));
        EXPECT_FALSE(dialog.session().deviceReady());
        EXPECT_TRUE(dialog.controls().visible(ids::Update));
    });
    host.click(ids::Update);
    startAndContinue();
    waitForIdle(1, 90);
    host.call([&](Dialog& top) {
        EXPECT_EQ(top.controls().text(u::Status), "Process Finished");
        EXPECT_EQ(host.shownTexts(), (std::vector<std::string>{"Modem Updated Successfully!!"}));
    });
    host.ok();
    host.call([&](Dialog& top) {
        EXPECT_EQ(&top, &dialog);
        EXPECT_TRUE(until([&] { return dialog.session().deviceReady(); }, 40)) << "found";
        EXPECT_TRUE(until([&] { return dialog.controls().text(ids::Firmware) != ""; }, 10));
        EXPECT_EQ(dialog.session().baudIndex(), 2);
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
}

// The update dialog on "COM1:" as the main dialog opens it: port closed, monitor away.
struct UpdateOnPty {
    explicit UpdateOnPty(ScriptedHost& host, const std::string& path)
        : port(path), owner(host, 103) {
        std::lock_guard lock(store.mutex());
        store.apn = "internet.example";
    }
    TermiosSerialPort port;
    test::TempDir dir;
    ModemSession session{port, RealClock::instance(), dir.file("tessadorn.cfg"),
                         AtomicFile::standard()};
    SerialChannel& serial = session.serial();
    CasterStore store{dir.file("ntripcfg.txt"), AtomicFile::standard()};
    Dialog owner;
    FirmwareUpdateDialog dialog{owner, session, store};
};

struct DropCase {
    const char* name;
    int dropAfterCommands; // the link goes when the modem has received this many commands
    std::vector<std::string> messages;
};

void PrintTo(const DropCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkCut : public UpdatePtyTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(LinkCut, DialogReturnsToIdleWithAMessageAndClosesPromptly) {
    const DropCase& c = GetParam();
    ASSERT_TRUE(startSimulator({"--baud", "2", "--engine-baud", "0", "--drop-after-commands",
                                std::to_string(c.dropAfterCommands)}));
    UpdateOnPty update(host, link);
    startAndContinue();
    waitForIdle(c.messages.size(), 60);
    Steady::time_point closing;
    host.call([&](Dialog&) {
        EXPECT_EQ(host.shownTexts(), c.messages);
        EXPECT_FALSE(simulator.running()) << "the link was cut";
        closing = Steady::now();
    });
    host.ok();
    EXPECT_EQ(update.dialog.doModal(), kIdOk);
    EXPECT_LT(secondsSince(closing), 2.0);
}

std::vector<std::string> repeated(const std::string& text, int n, std::vector<std::string> then) {
    std::vector<std::string> out(n, text);
    out.insert(out.end(), then.begin(), then.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Update, LinkCut,
    ::testing::Values(
        // No "Bye": the blind exits and the engine search find no port at any rate.
        DropCase{"AtTheExitCommand", 1, repeated(kComPortError, 10, {kNotDetected})},
        // The engine at 9600 took "AT" and went; the other rates have no port.
        DropCase{"AtTheEngineSearch", 2, repeated(kComPortError, 4, {kNotDetected})},
        DropCase{"AtTheSetCommand", 3, {updateError(1)}},
        DropCase{"AtTheStartCommand", 4, {updateError(2)}},
        DropCase{"AtTheTraceSwitch", 5, {updateError(3)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdatePtyTest, LinkCutDuringTheDownloadAndTheWindowClosedPromptly) {
    ASSERT_TRUE(startSimulator({"--baud", "2", "--engine-baud", "0", "--otap-step-ms", "2000"}));
    UpdateOnPty update(host, link);
    startAndContinue();
    Steady::time_point closing;
    host.call([&](Dialog& top) {
        ASSERT_TRUE(until(
            [&] { return top.controls().text(u::Status) == "Downloading Update Files..."; }, 30));
        simulator.stop(); // the link goes while the engine downloads
        EXPECT_EQ(update.dialog.phase(), UpdatePhase::Running);
        // The desktop window asks before it ends the program; on Yes the dialogs unwind.
        EXPECT_EQ(update.dialog.closeQuestion(), "An update is in progress. Quit anyway?");
        closing = Steady::now();
        host.quitApplication(0);
    });
    update.dialog.doModal();
    update.dialog.stopWorkers();
    EXPECT_LT(secondsSince(closing), 2.0) << "the sequencer's wait ends at its next read";
    EXPECT_TRUE(host.shownBoxes().empty());
}

// The engine may be silent for two minutes while it downloads, but a link that is gone ends the
// wait at once: error 4, the dialog back at idle, and no two minutes for the user to sit out.
TEST_F(UpdatePtyTest, LinkCutDuringTheDownloadEndsTheWaitAtOnce) {
    ASSERT_TRUE(startSimulator({"--baud", "2", "--engine-baud", "0", "--otap-step-ms", "2000"}));
    UpdateOnPty update(host, link);
    startAndContinue();
    host.call([&](Dialog& top) {
        ASSERT_TRUE(until(
            [&] { return top.controls().text(u::Status) == "Downloading Update Files..."; }, 30));
        simulator.stop();
    });
    waitForIdle(1, 20);
    host.call(
        [&](Dialog&) { EXPECT_EQ(host.shownTexts(), (std::vector<std::string>{updateError(4)})); });
    host.ok();
    EXPECT_EQ(update.dialog.doModal(), kIdOk);
}

} // namespace
} // namespace tessadorn
