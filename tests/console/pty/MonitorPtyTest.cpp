#include "FakePanel.h"
#include "HeldRate.h"
#include "SimulatorStart.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "app/SimulatorProcess.h"
#include "console/MonitorThread.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/TermiosSerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

namespace tessadorn {
namespace {

namespace fs = std::filesystem;
using namespace ids;
using test::FakePanel;

double until(const std::function<bool()>& cond, int limit) {
    return test::waitUntil(cond, limit);
}

// MonitorThread on "COM1:" in real time, with the panel it draws.
struct Monitor final : MonitorHooks {
    TermiosSerialPort port;
    test::TempDir dir;
    ModemSession session{port, RealClock::instance(), dir.file("tessadorn.cfg"),
                         AtomicFile::standard()};
    CasterStore list{dir.file("ntripcfg.txt"), AtomicFile::standard()};
    SerialChannel& serial = session.serial();
    const std::atomic<int>& ready = session.readyFlag();
    DeviceConfig& device = session.device();
    FakePanel panel;
    StatusDisplay display{panel};
    std::thread worker;

    Monitor(const std::string& path, int heldBaudIndex) : port(path) {
        test::holdRate(session, heldBaudIndex);
        worker = std::thread([this] {
            MonitorThread monitor(session, display, *this);
            monitor.run();
        });
    }
    ~Monitor() override {
        session.abortLink();
        worker.join();
    }
    bool signalShown() const {
        for (int id = SignalFirst; id <= SignalLast; ++id)
            if (panel.visible(id)) return true;
        return false;
    }

    void portError() override {}
    CasterStore& casterList() override { return list; }
    void listNotSaved(const std::string&) override {}
    PanelInputs panelInputs() override {
        PanelInputs in;
        in.device = device.read();
        in.baudIndex = session.baudIndex();
        in.stConnect = session.stConnect();
        return in;
    }
};

// "COM1:" is a link to the simulator's pseudo-terminal, so that a restarted simulator is found
// under the same name.
class MonitorPtyTest : public ::testing::Test {
  protected:
    void SetUp() override { link = dir.file("com1"); }
    void TearDown() override { simulator.stop(); }
    bool startSimulator(std::vector<std::string> args) {
        args.push_back("--quiet");
        return test::startSimulator(simulator, link, std::move(args));
    }

    test::TempDir dir;
    std::string link;
    SimulatorProcess simulator;
    DebugCapture quiet;
};

TEST_F(MonitorPtyTest, ClientAndServerReachTheirReadyFaces) {
    struct Case {
        const char* role;
        int mode;
        std::string line0;
    };
    const Case cases[] = {{"rover", 2, "SN: "}, {"base", 1, "Model: TESSADORN SERVER"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(startSimulator({"--role", c.role, "--baud", "4"}));
        {
            Monitor m(link, 4);
            EXPECT_GE(until([&] { return m.ready == 1 && m.panel.text(Firmware) != ""; }, 30), 0)
                << c.role;
            EXPECT_EQ(m.session.mode(), c.mode) << c.role;
            EXPECT_EQ(m.session.baudIndex(), 4) << c.role;
            EXPECT_EQ(m.panel.text(Line0).rfind(c.line0, 0), 0u)
                << c.role << ": " << m.panel.text(Line0);
            EXPECT_EQ(m.panel.text(Firmware).rfind("FW v", 0), 0u) << c.role;
            EXPECT_TRUE(m.panel.visible(c.mode == 1 ? RoleServer : RoleClient)) << c.role;
        }
        simulator.stop();
    }
}

TEST_F(MonitorPtyTest, ModemLostAndFoundAgain) {
    ASSERT_TRUE(startSimulator({"--role", "rover", "--baud", "0"}));
    Monitor m(link, 0);
    ASSERT_GE(until([&] { return m.ready == 1 && m.signalShown(); }, 30), 0) << "ready at start";

    // The modem goes away: three failed polls, each at most a command and five empty reads,
    // bring back the searching face.
    simulator.stop();
    const double lost = until([&] { return m.ready == 0; }, 30);
    EXPECT_GE(lost, 0);
    EXPECT_LE(lost, 4 * (0.3 + 2.5 + 0.5));
    // The monitor drops the ready mark first and then forgets the mode and redraws; wait for all.
    EXPECT_GE(until([&] { return m.session.mode() == -1 && !m.signalShown(); }, 5), 0)
        << "mode " << m.session.mode();
    const auto status = m.panel.history(Status);
    EXPECT_NE(std::find(status.begin(), status.end(), "Connecting ..."), status.end());

    // It comes back on a new pseudo-terminal behind the same name.
    ASSERT_TRUE(startSimulator({"--role", "rover", "--baud", "0"}));
    EXPECT_GE(until([&] { return m.ready == 1 && m.panel.text(Firmware) != ""; }, 40), 0)
        << "found again";
}

// The simulator looks at its line all the time while it waits; its timed events still come at
// their moment. "weak-signal": one bar from the start, none from 5 s, one again from 9 s.
TEST_F(MonitorPtyTest, WeakSignalScenarioFadesAtItsMoments) {
    using Steady = std::chrono::steady_clock;
    const auto start = Steady::now();
    const auto seconds = [&] {
        return std::chrono::duration<double>(Steady::now() - start).count();
    };
    ASSERT_TRUE(startSimulator({"--scenario", "weak-signal"}));
    Monitor m(link, 2);
    ASSERT_GE(until([&] { return m.panel.visible(SignalFirst + 2); }, 20), 0) << "one bar";
    EXPECT_LT(seconds(), 5.0);
    ASSERT_GE(until([&] { return m.panel.visible(SignalFirst + 1); }, 20), 0) << "no bar";
    EXPECT_GE(seconds(), 5.0);
    ASSERT_GE(until([&] { return m.panel.visible(SignalFirst + 2); }, 20), 0) << "one bar again";
    EXPECT_GE(seconds(), 9.0);
}

// "flaky", with its restart brought forward to 6 s: found at once, lost while it restarts,
// found again once it is back (10 s later).
TEST_F(MonitorPtyTest, FlakyScenarioIsLostAndFoundAgain) {
    using Steady = std::chrono::steady_clock;
    const auto start = Steady::now();
    const auto seconds = [&] {
        return std::chrono::duration<double>(Steady::now() - start).count();
    };
    ASSERT_TRUE(startSimulator({"--scenario", "flaky", "--restart-at-ms", "6000"}));
    Monitor m(link, 2);
    ASSERT_GE(until([&] { return m.ready == 1; }, 20), 0);
    EXPECT_LT(seconds(), 6.0) << "found before the restart";
    ASSERT_GE(until([&] { return m.ready == 0; }, 30), 0) << "lost";
    EXPECT_GE(seconds(), 6.0);
    EXPECT_GE(until([&] { return m.ready == 1; }, 30), 0) << "found again";
    EXPECT_GE(seconds(), 16.0);
}

} // namespace
} // namespace tessadorn
