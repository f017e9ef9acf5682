#include "app/SimulatorWatch.h"

#include "TempDir.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace tessadorn {
namespace {

// A stand-in for tessadorn-sim: tells a path of its own (its process number makes it new on
// every start), then runs until it is killed, or ends by itself with a status.
std::string fakeSimulator(const test::TempDir& dir, const std::string& body) {
    const std::string path = dir.file("fake-sim");
    test::writeBytes(path, "#!/bin/sh\necho /dev/pts/fake-$$\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

struct Rig {
    VirtualClock clock;
    SimulatorProcess simulator;
    std::vector<std::string> ports, log, status;
    std::atomic<int> restarts{0}; // what another thread may look at while the watch runs
    SimulatorWatch watch{simulator, clock,
                         [this](const std::string& p) {
                             ports.push_back(p);
                             ++restarts;
                         },
                         [this](const std::string& line) { log.push_back(line); }};
    Rig() {
        watch.setStatusListener([this](const std::string& line) { status.push_back(line); });
    }
    // Checks until the simulator's end has been dealt with.
    SimulatorWatch::Step afterTheEnd() {
        SimulatorWatch::Step step = SimulatorWatch::Step::Running;
        test::waitUntil([&] { return (step = watch.check()) != SimulatorWatch::Step::Running; });
        return step;
    }
};

TEST(SimulatorWatch, AKilledSimulatorIsReapedAndStartedAgainOnANewTerminal) {
    test::TempDir dir;
    Rig rig;
    ASSERT_TRUE(rig.simulator.start(fakeSimulator(dir, "exec sleep 600"), {}));
    const pid_t first = rig.simulator.pid();
    const std::string firstPty = rig.simulator.ptyPath();
    EXPECT_EQ(rig.watch.check(), SimulatorWatch::Step::Running);

    ASSERT_EQ(::kill(first, SIGKILL), 0);
    EXPECT_EQ(rig.afterTheEnd(), SimulatorWatch::Step::Restarted);
    // Reaped: the old process is gone for good, not left as a zombie.
    EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(rig.simulator.running());
    EXPECT_NE(rig.simulator.pid(), first);
    ASSERT_EQ(rig.ports.size(), 1u);
    EXPECT_EQ(rig.ports[0], rig.simulator.ptyPath());
    EXPECT_NE(rig.ports[0], firstPty);
    const std::string said = "The simulated modem stopped (exit status 137); starting it again";
    EXPECT_EQ(rig.status, std::vector<std::string>{said});
    ASSERT_EQ(rig.log.size(), 2u);
    EXPECT_EQ(rig.log[0], said);
    EXPECT_EQ(rig.log[1], "The simulated modem runs again on " + rig.ports[0]);
}

// At most five starts within a minute: a simulator that keeps ending is left alone after that,
// one that ends now and then is started again every time.
TEST(SimulatorWatch, StartsAgainAtMostFiveTimesAMinute) {
    struct Case {
        const char* name;
        int secondsBetweenEnds;
        int restartsBeforeGivingUp; // -1: never gives up within the ends tried
    };
    for (const Case& c : {Case{"often", 1, 5}, Case{"now and then", 13, -1}}) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        Rig rig;
        ASSERT_TRUE(rig.simulator.start(fakeSimulator(dir, "sleep 0.05; exit 3"), {}));
        int restarts = 0;
        SimulatorWatch::Step step = SimulatorWatch::Step::Running;
        for (int end = 0; end < 7; ++end) {
            step = rig.afterTheEnd();
            if (step != SimulatorWatch::Step::Restarted) break;
            ++restarts;
            rig.clock.advance(c.secondsBetweenEnds * 1000LL);
        }
        if (c.restartsBeforeGivingUp < 0) {
            EXPECT_EQ(step, SimulatorWatch::Step::Restarted);
            EXPECT_EQ(restarts, 7);
            continue;
        }
        EXPECT_EQ(step, SimulatorWatch::Step::GaveUp);
        EXPECT_EQ(restarts, c.restartsBeforeGivingUp);
        EXPECT_FALSE(rig.simulator.running());
        EXPECT_EQ(rig.watch.check(), SimulatorWatch::Step::GaveUp) << "and stays given up";
        ASSERT_FALSE(rig.status.empty());
        EXPECT_EQ(rig.status.back(),
                  "The simulated modem stopped 6 times within a minute and is not started again.");
        EXPECT_EQ(rig.log.back(), rig.status.back());
        EXPECT_TRUE(rig.watch.gaveUp());
        EXPECT_EQ(rig.ports.size(), 5u);
    }
}

TEST(SimulatorWatch, TheWatchingThreadRestartsByItself) {
    test::TempDir dir;
    Rig rig;
    ASSERT_TRUE(rig.simulator.start(fakeSimulator(dir, "exec sleep 600"), {}));
    const pid_t first = rig.simulator.pid();
    rig.watch.startWatching();
    ASSERT_EQ(::kill(first, SIGTERM), 0);
    EXPECT_GE(test::waitUntil([&] { return rig.restarts.load() > 0; }), 0);
    rig.watch.stopWatching();
    EXPECT_TRUE(rig.simulator.running());
    EXPECT_EQ(rig.status.at(0), "The simulated modem stopped (exit status 143); starting it again");
}

} // namespace
} // namespace tessadorn
