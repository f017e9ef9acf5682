#include "FakeSerialPort.h"
#include "SimModem.h"
#include "SimModemPeer.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "console/MonitorThread.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace tessadorn {
namespace {

using namespace ids;

// The main dialog's controls, every change kept with its moment on the virtual clock.
class RecordingPanel final : public PanelControls {
  public:
    struct Change {
        std::int64_t atMs;
        int id;
        std::string text; // for texts
        bool visible;     // for pictures
    };
    explicit RecordingPanel(Clock& clock) : m_Clock(clock) {}
    void setText(int id, std::string_view utf8) override {
        std::lock_guard l(m_Mutex);
        m_Texts.push_back({m_Clock.nowMs(), id, std::string(utf8), true});
    }
    void setVisible(int id, bool visible) override {
        std::lock_guard l(m_Mutex);
        m_Shows.push_back({m_Clock.nowMs(), id, {}, visible});
    }
    void setChecked(int, bool) override {}

    // Moments at which control `id` was given a text starting with `prefix`.
    std::vector<std::int64_t> textsAt(int id, std::string_view prefix) const {
        std::lock_guard l(m_Mutex);
        std::vector<std::int64_t> at;
        for (const auto& c : m_Texts)
            if (c.id == id && c.text.starts_with(prefix)) at.push_back(c.atMs);
        return at;
    }
    // Moments at which picture `id` was shown.
    std::vector<std::int64_t> shownAt(int id) const {
        std::lock_guard l(m_Mutex);
        std::vector<std::int64_t> at;
        for (const auto& c : m_Shows)
            if (c.id == id && c.visible) at.push_back(c.atMs);
        return at;
    }

  private:
    Clock& m_Clock;
    mutable std::mutex m_Mutex;
    std::vector<Change> m_Texts, m_Shows;
};

struct NoHooks final : MonitorHooks {
    explicit NoHooks(const std::string& listPath) : list(listPath, AtomicFile::standard()) {}
    CasterStore list;
    void portError() override {}
    CasterStore& casterList() override { return list; }
    void listNotSaved(const std::string&) override {}
    PanelInputs panelInputs() override {
        PanelInputs in;
        in.device = device->read();
        return in;
    }
    DeviceConfig* device = nullptr;
};

// The monitor against a scenario of the simulator until `untilMs` on the virtual clock.
struct ScenarioRun {
    explicit ScenarioRun(const std::string& scenario) {
        sim::SimSettings s;
        std::string error;
        EXPECT_TRUE(sim::applySetting(s, "scenario", scenario, error)) << error;
        modem = std::make_unique<sim::SimModem>(s, 0);
        peer = std::make_unique<test::SimModemPeer>(*modem);
        port = std::make_unique<test::FakeSerialPort>(clock, *peer);
        session = std::make_unique<ModemSession>(*port, clock, dir.file("tessadorn.cfg"),
                                                 AtomicFile::standard());
        hooks.device = &session->device();
    }

    void runUntil(std::int64_t untilMs) {
        MonitorThread monitor(*session, display, hooks);
        std::thread worker([&] { monitor.run(); });
        test::waitUntil([&] { return clock.nowMs() >= untilMs; });
        session->monitorGate().stop();
        worker.join();
        ASSERT_GE(clock.nowMs(), untilMs);
    }

    DebugCapture quiet;
    VirtualClock clock;
    std::unique_ptr<sim::SimModem> modem;
    std::unique_ptr<test::SimModemPeer> peer;
    std::unique_ptr<test::FakeSerialPort> port;
    test::TempDir dir;
    std::unique_ptr<ModemSession> session;
    RecordingPanel panel{clock};
    StatusDisplay display{panel};
    NoHooks hooks{dir.file("ntripcfg.txt")};
};

bool anyIn(const std::vector<std::int64_t>& at, std::int64_t from, std::int64_t to) {
    for (auto t : at)
        if (t >= from && t < to) return true;
    return false;
}

// "signal fading between 1 and 0 and back": one bar from the start, none from 5 s, one again
// from 9 s, each within a few polls.
TEST(Scenario, WeakSignalFadesAndComesBackAtItsMoments) {
    ScenarioRun run("weak-signal");
    run.runUntil(14000);
    const auto level1 = run.panel.shownAt(SignalFirst + 2);
    const auto level0 = run.panel.shownAt(SignalFirst + 1);
    EXPECT_TRUE(anyIn(level1, 0, 5000));
    ASSERT_FALSE(level0.empty()) << "no bar was never shown";
    EXPECT_TRUE(anyIn(level0, 5000, 7000)) << "at " << level0.front();
    EXPECT_FALSE(anyIn(level0, 0, 5000)) << "at " << level0.front();
    EXPECT_TRUE(anyIn(level1, 9000, 11000));
    EXPECT_FALSE(anyIn(level1, 5000, 9000));
}

// "the modem restarts on its own after 20 s and is away for 10 s": the program finds it at once,
// loses it after 20 s and finds it again once it is back.
TEST(Scenario, FlakyModemIsLostAfterTwentySecondsAndFoundAgain) {
    ScenarioRun run("flaky");
    run.runUntil(60000);
    const auto ready = run.panel.textsAt(Firmware, "FW v");
    const auto lost = run.panel.textsAt(Status, "Connecting ...");
    ASSERT_FALSE(ready.empty());
    EXPECT_LT(ready.front(), 5000) << "found at once";
    ASSERT_FALSE(lost.empty()) << "never lost";
    EXPECT_GE(lost.front(), 20000);
    EXPECT_TRUE(anyIn(ready, 30000, 50000)) << "found again, lost at " << lost.front();
    EXPECT_EQ(run.modem->restarts(), 1);
}

} // namespace
} // namespace tessadorn
