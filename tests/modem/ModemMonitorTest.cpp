// The monitor's policy as its observers hear it, in virtual time: found, a poll every 500 ms,
// three failed polls or a pulled port and the modem is lost, then found again.
#include "modem/ModemMonitor.h"
#include "FakeSerialPort.h"
#include "HeldRate.h"
#include "TempDir.h"
#include "TestModem.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessadorn {
namespace {

struct Event {
    std::string kind; // found, polled, failed, lost
    std::int64_t atMs;
    PolledValues values{};
    LostReason reason{};
};

struct Recorder final : MonitorObserver {
    VirtualClock& clock;
    std::vector<Event> events;
    explicit Recorder(VirtualClock& c) : clock(c) {}
    void found(const ModemFacts& f) override {
        events.push_back({"found " + f.serial, clock.nowMs()});
    }
    void polled(const PolledValues& v) override { events.push_back({"polled", clock.nowMs(), v}); }
    void pollFailed() override { events.push_back({"failed", clock.nowMs()}); }
    void lost(LostReason r) override { events.push_back({"lost", clock.nowMs(), {}, r}); }

    std::vector<std::string> kinds() const {
        std::vector<std::string> out;
        for (const Event& e : events)
            if (out.empty() || out.back() != e.kind) out.push_back(e.kind); // runs as one
        return out;
    }
    const Event* first(const std::string& kind, std::int64_t fromMs = 0) const {
        for (const Event& e : events)
            if (e.kind == kind && e.atMs >= fromMs) return &e;
        return nullptr;
    }
};

struct Rig {
    VirtualClock clock;
    test::ScriptedModem peer{1};
    test::FakeSerialPort port{clock, peer};
    test::TempDir dir;
    ModemSession session{port, clock, dir.file("tessadorn.cfg"), AtomicFile::standard()};
    CasterStore list{dir.file("ntripcfg.txt"), AtomicFile::standard()};
    test::Modem modem;
    Recorder recorder{clock};
    DebugCapture quiet;

    Rig() { modem.attach(peer); }
    // Runs the monitor on this thread until virtual time `endMs`.
    void runUntil(std::int64_t endMs) {
        port.atTime(endMs, [this] { session.monitorGate().stop(); });
        ModemMonitor(session, list, {}, {&recorder}).run();
    }
};

TEST(ModemMonitor, APollEveryHalfSecondWithTheModemsValues) {
    const struct {
        const char* name;
        std::string role, apn;
        PolledValues values;
    } cases[] = {
        {"Rover", "CLIENT", "1,5", {3, kSimReady, 1, 2}},
        {"Base", "SERVER", "1,5", {3, kSimReady, 1, 0}}, // a base's connection is not asked
        {"NoSim", "CLIENT", "0,0", {-1, 0, 0, 2}},
        {"ApnDown", "CLIENT", "0,5", {3, kSimReady, 0, 2}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.modem.role = c.role;
        rig.modem.apn = c.apn;
        rig.runUntil(30'000);
        EXPECT_EQ(rig.recorder.kinds(), (std::vector<std::string>{"found T-0042", "polled"}))
            << c.name;
        std::vector<std::int64_t> times;
        for (const Event& e : rig.recorder.events) {
            if (e.kind != "polled") continue;
            EXPECT_EQ(e.values, c.values) << c.name;
            times.push_back(e.atMs);
        }
        ASSERT_GE(times.size(), 10u) << c.name;
        // From one poll to the next: the 500 ms pause and the poll's own exchanges.
        for (std::size_t i = 1; i < times.size(); ++i) {
            EXPECT_GE(times[i] - times[i - 1], ModemMonitor::kPollMs) << c.name;
            EXPECT_LE(times[i] - times[i - 1], 2000) << c.name;
        }
    }
}

// A rover whose receiver sends the modem its position (TRIMBLE, or of unknown make) is asked for
// its caster connection at every poll, so a connection that starts later is seen; the others
// keep what the start-up read.
TEST(ModemMonitor, TheConnectionIsAskedOfARoverWithAPositionSource) {
    const struct {
        const char* gga;
        int before, after; // the polled connection before and after it started
    } cases[] = {
        {"AUTO,TRIMBLE,COM2", 2, 1},
        {"AUTO,UNKNOWN,COM1", 2, 1},
        {"AUTO,KV-318,COM1", 0, 0},
        {"AUTO,WAVECOM,COM1", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gga);
        Rig rig;
        rig.modem.gga = c.gga;
        // The connection starts 10 s after the modem was found.
        rig.modem.answers = [&](std::string_view, int) {
            if (rig.clock.nowMs() >= 10'000) rig.modem.stconnect = "ON";
            return true;
        };
        rig.runUntil(20'000);
        const Event* before = rig.recorder.first("polled");
        const Event* after = rig.recorder.first("polled", 12'000);
        ASSERT_NE(before, nullptr);
        ASSERT_NE(after, nullptr);
        EXPECT_EQ(before->values.connection, c.before);
        EXPECT_EQ(after->values.connection, c.after);
    }
}

// Three failed polls lose the modem: one that says nothing went silent, one that answers with
// what cannot be read failed its polls. Either is found again once it answers.
TEST(ModemMonitor, ThreeFailedPollsLoseTheModemAndItIsFoundAgain) {
    const struct {
        bool silent;
        LostReason reason;
        const char* text;
    } cases[] = {{true, LostReason::WentSilent, "the modem went silent"},
                 {false, LostReason::PollsFailed, "three polls failed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Rig rig;
        const auto away = [&rig] {
            const std::int64_t t = rig.clock.nowMs();
            return t >= 10'000 && t <= 30'000;
        };
        rig.modem.answers = [&](std::string_view cmd, int) {
            // (Called under the modem's lock.) Garbled: every poll answered, the signal with a
            // level no int holds; the search is not answered.
            rig.modem.signal = away() && !c.silent ? "99999999999" : "3";
            return !away() || (!c.silent && cmd != protocol::kDevice);
        };
        rig.runUntil(80'000);
        EXPECT_EQ(rig.recorder.kinds(),
                  (std::vector<std::string>{"found T-0042", "polled", "failed", "lost",
                                            "found T-0042", "polled"}));
        int failed = 0;
        for (const Event& e : rig.recorder.events)
            failed += e.kind == "failed";
        EXPECT_EQ(failed, ModemMonitor::kFailedPollLimit);
        const Event* lost = rig.recorder.first("lost");
        ASSERT_NE(lost, nullptr);
        EXPECT_EQ(lost->reason, c.reason);
        EXPECT_EQ(lostReasonText(lost->reason), c.text);
    }
}

TEST(ModemMonitor, APulledPortIsLostAtOnceAndFoundSoonAfterItsReturn) {
    Rig rig;
    constexpr std::int64_t kPulled = 10'000, kBack = 15'000;
    rig.port.absentBetween(kPulled, kBack);
    rig.runUntil(30'000);
    EXPECT_EQ(rig.recorder.kinds(), (std::vector<std::string>{"found T-0042", "polled", "failed",
                                                              "lost", "found T-0042", "polled"}));
    const Event* lost = rig.recorder.first("lost");
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->reason, LostReason::PortGone);
    EXPECT_LE(lost->atMs - kPulled, 1000);
    const Event* again = rig.recorder.first("found T-0042", kPulled);
    ASSERT_NE(again, nullptr);
    EXPECT_LE(again->atMs - kBack, 3000);
}

// The adapter is pulled while the rates are scanned for a modem that did not answer at the held
// one: once it is back, the search starts again at the held rate, not at the rate the scan had
// reached, nor at 9600.
TEST(ModemMonitor, APortPulledDuringTheScanComesBackAtTheHeldRate) {
    for (const int held : {4, 1}) {
        SCOPED_TRACE(held);
        Rig rig;
        test::holdRate(rig.session, held);
        rig.modem.baud = held;
        std::int64_t pulledAt = -1;
        // Silent until the scan tries another rate; then the adapter is pulled for 2 s.
        rig.peer.setUnmatched([&](std::string_view command, int atBaud, std::int64_t now) {
            if (pulledAt < 0 && atBaud != held) {
                pulledAt = now;
                rig.port.absentBetween(pulledAt + 10, pulledAt + 2000);
            }
            if (pulledAt >= 0) rig.peer.push(rig.modem.answer(command, atBaud), now + 20);
        });
        rig.runUntil(60'000);
        ASSERT_GE(pulledAt, 0) << "the scan began";
        std::vector<int> ratesAfter;
        for (const auto& w : rig.port.writes())
            if (w.atMs >= pulledAt + 2000) ratesAfter.push_back(w.baudIndex);
        ASSERT_FALSE(ratesAfter.empty());
        EXPECT_EQ(ratesAfter.front(), held) << "the first try after the return";
        EXPECT_EQ(rig.session.baudIndex(), held);
        const Event* found = rig.recorder.first("found T-0042");
        ASSERT_NE(found, nullptr);
        EXPECT_LE(found->atMs - (pulledAt + 2000), 3000) << "found at the held rate, no scan";
    }
}

} // namespace
} // namespace tessadorn
