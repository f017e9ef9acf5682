#include "link/PauseSection.h"
#include "FakeSerialPort.h"
#include "link/Transactions.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessadorn {
namespace {

using test::FakeSerialPort;
using test::ScriptedModem;

struct CountingCursor final : WaitCursor {
    std::atomic<int> waits{0}, restores{0};
    void showWait() override { ++waits; }
    void restore() override { ++restores; }
};

// A gate that holds the worker inside its transaction until the test lets it go.
struct Latch {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    void wait() {
        std::unique_lock l(m);
        cv.wait(l, [&] { return open; });
    }
    void release() {
        {
            std::lock_guard l(m);
            open = true;
        }
        cv.notify_all();
    }
};

TEST(PauseSection, WaitsForTheRunningTransactionThenPausesBetweenExchanges) {
    VirtualClock clock;
    ScriptedModem modem;
    FakeSerialPort port{clock, modem};
    SerialChannel channel{port, clock};
    channel.Open(2);
    std::atomic<int> reading{0};
    Transactions tx{channel, reading};
    PauseGate gate;
    Latch inside;
    std::atomic<int> exchanges{0};
    std::atomic<bool> held{false};
    modem.setUnmatched([&](std::string_view, int, std::int64_t) {
        if (!held.exchange(true)) inside.wait(); // first exchange blocks until released
    });
    DebugCapture log;

    gate.attach();
    std::thread worker([&] {
        while (gate.checkpoint()) {
            tx.SendWaitToken("#APN\r\n", "<OK\r\n", 0 + 1);
            ++exchanges;
        }
        gate.detach();
    });
    while (reading.load() == 0)
        std::this_thread::yield();

    CountingCursor cursor;
    std::atomic<bool> paused{false};
    std::thread dialog([&] {
        PauseSection section("APN", reading, gate, cursor, clock);
        paused = true;
        EXPECT_EQ(reading.load(), 0);
        EXPECT_TRUE(gate.parked());
        const int before = exchanges.load();
        clock.sleepMs(5000);
        EXPECT_EQ(exchanges.load(), before) << "the monitor ran while paused";
    });
    // The section cannot get the line while the transaction is in progress: once it waits for
    // it (its first line is out), it is still not paused.
    while (log.count("APN: Esperant ...\r\n") == 0)
        std::this_thread::yield();
    EXPECT_FALSE(paused.load());
    inside.release();
    dialog.join();
    EXPECT_TRUE(paused.load());

    // Resumed: the worker goes on exchanging.
    const int after = exchanges.load();
    while (exchanges.load() < after + 2)
        std::this_thread::yield();
    gate.stop();
    worker.join();

    EXPECT_EQ(cursor.waits.load(), 1);
    EXPECT_EQ(cursor.restores.load(), 1);
    const auto lines = log.lines();
    const auto at = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) - lines.begin();
    };
    ASSERT_LT(at("APN: Esperant ...\r\n"), static_cast<long>(lines.size()));
    ASSERT_LT(at("APN: Thread Pausat ...\r\n"), static_cast<long>(lines.size()));
    EXPECT_LT(at("APN: Esperant ...\r\n"), at("m_Reading=FALSE\r\n"));
    EXPECT_LT(at("m_Reading=FALSE\r\n"), at("APN: Thread Pausat ...\r\n"));
}

TEST(PauseSection, EveryWayOutRestoresTheCursorAndResumes) {
    VirtualClock clock;
    std::atomic<int> reading{0};
    PauseGate gate; // no worker attached: the pause takes effect at once
    CountingCursor cursor;
    DebugCapture log;
    auto section = [&](bool failEarly) {
        PauseSection s("GPS", reading, gate, cursor, clock);
        if (failEarly) return 0;
        s.end(); // report before the section object goes
        return 1;
    };
    EXPECT_EQ(section(true), 0);
    EXPECT_EQ(section(false), 1);
    EXPECT_EQ(cursor.waits.load(), 2);
    EXPECT_EQ(cursor.restores.load(), 2);
    EXPECT_EQ(log.count("GPS: Thread Pausat ...\r\n"), 2);
    // Every pause was matched by a resume: a worker attaching now is not held.
    gate.attach();
    EXPECT_TRUE(gate.checkpoint());
    EXPECT_FALSE(gate.parked());
}

TEST(PauseSection, QuietSectionsShowNeitherLinesNorCursor) {
    VirtualClock clock;
    std::atomic<int> reading{0};
    PauseGate gate;
    CountingCursor cursor;
    DebugCapture log;
    { PauseSection s("Update", reading, gate, cursor, clock, {false, false}); }
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(cursor.waits.load(), 0);
    EXPECT_EQ(cursor.restores.load(), 0);
}

TEST(PauseSection, PollsTheReadingFlagInFiftyMillisecondSteps) {
    VirtualClock clock;
    std::atomic<int> reading{1};
    PauseGate gate;
    CountingCursor cursor;
    std::thread clear([&] {
        while (clock.nowMs() < 1000)
            std::this_thread::yield();
        reading = 0;
    });
    {
        PauseSection s("LIST", reading, gate, cursor, clock);
        EXPECT_GE(clock.nowMs(), 1000);
        EXPECT_EQ(clock.nowMs() % 50, 0);
    }
    clear.join();
}

} // namespace
} // namespace tessadorn
