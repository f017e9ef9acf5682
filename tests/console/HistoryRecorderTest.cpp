// What the monitor tells the history: the polls, the moments, and the modem found, whose serial
// number the history window's title shows; and the history fed by the monitor itself: what the
// history window would show of a modem that is polled, pulled and plugged in again.
#include "console/HistoryRecorder.h"
#include "FakeSerialPort.h"
#include "TempDir.h"
#include "TestModem.h"
#include "modem/ModemMonitor.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

TEST(HistoryRecorder, KeepsTheFoundModemsSerialAndItsMoments) {
    PollHistory history;
    std::int64_t now = 1'000;
    HistoryRecorder recorder(history, [&now] { return now; });
    EXPECT_EQ(history.modem(), "");
    recorder.found(ModemFacts{"T-0042", "3.12", 0, 2});
    EXPECT_EQ(history.modem(), "T-0042");
    now = 2'000;
    recorder.lost(LostReason{});
    now = 3'000;
    recorder.found(ModemFacts{"T-0043", "3.12", 0, 2});
    EXPECT_EQ(history.modem(), "T-0043") << "another modem on the port is named";
    const auto columns = history.columns(0, 4'000, 4);
    EXPECT_TRUE(columns[1].found);
    EXPECT_TRUE(columns[2].lost);
    EXPECT_TRUE(columns[3].found);
}

TEST(HistoryRecorder, ShowsThePollsAndWhenTheModemWasLostAndFound) {
    VirtualClock clock;
    test::ScriptedModem peer{1};
    test::FakeSerialPort port{clock, peer};
    test::TempDir dir;
    ModemSession session{port, clock, dir.file("tessadorn.cfg"), AtomicFile::standard()};
    CasterStore list{dir.file("ntripcfg.txt"), AtomicFile::standard()};
    test::Modem modem;
    modem.attach(peer);
    modem.signal = "2";
    DebugCapture quiet;
    PollHistory history;
    HistoryRecorder recorder(history, [&clock] { return clock.nowMs(); });

    port.absentBetween(10'000, 15'000);
    port.atTime(30'000, [&session] { session.monitorGate().stop(); });
    ModemMonitor(session, list, {}, {&recorder}).run();

    // One column a second.
    const auto columns = history.columns(0, 30'000, 30);
    std::vector<int> lost, found;
    for (int c = 0; c < 30; ++c) {
        const auto& col = columns[static_cast<std::size_t>(c)];
        if (col.lost) lost.push_back(c);
        if (col.found) found.push_back(c);
    }
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0], 10) << "lost when the adapter was pulled";
    ASSERT_EQ(found.size(), 2u);
    EXPECT_LE(found[0], 1) << "found at the start";
    EXPECT_GE(found[1], 15) << "found again once it was back";
    EXPECT_LE(found[1], 18);
    // Polled before the pull and after the return, with the modem's level; not while away.
    EXPECT_TRUE(columns[5].polled);
    EXPECT_EQ(columns[5].maxSignal, 2);
    EXPECT_FALSE(columns[13].polled);
    EXPECT_TRUE(columns[25].polled);
}

} // namespace
} // namespace tessadorn
