// The simulator as a real NTRIP client (--network) against rtklib's str2str serving as an
// NTRIP 1.0 caster on loopback. All traffic stays on 127.0.0.1.

#include "Str2StrCaster.h"
#include "app/SimulatorProcess.h"
#include "link/SerialChannel.h"
#include "link/Transactions.h"
#include "platform/TermiosSerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <unistd.h>

using namespace tessadorn;

namespace {

const char* kStrRow =
    "STR;MOUNT;Identifier;RTCM 3.2;1004(1);2;GPS;NET;DEU;50.0;8.0;0;0;gen;none;B;N;9600;";

const std::array<std::string_view, 5> kOutcomes = {"<OK", "ERROR 4_1", "ERROR 4_2", "ERROR 4_3",
                                                   "ERROR 5"};

} // namespace

TEST(SimCasterNetwork, ListAndConnectThroughARealCaster) {
    if (!test::Str2StrCaster::installed()) GTEST_SKIP() << "rtklib's str2str is not installed";
    // One mountpoint "MOUNT" for user:pass.
    test::Str2StrCaster caster("user", "pass", kStrRow + 4);
    ASSERT_TRUE(caster.up()) << "str2str did not start";
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(
        TESSADORN_SIM_EXECUTABLE,
        {"--quiet", "--network", "--no-pacing", "--baud", "4", "--network-timeout-ms", "3000"},
        5000))
        << sim.error();
    TermiosSerialPort port(sim.ptyPath());
    SerialChannel serial(port, RealClock::instance());
    ASSERT_EQ(serial.Open(4), 1);
    std::atomic<int> reading{0};
    Transactions tx(serial, reading);

    // The caster's own table, header lines and all, framed by the modem.
    ASSERT_EQ(tx.SendWaitEither("#LIST 1,127.0.0.1:" + caster.port() + "\r\n", "CMD_OK",
                                "CMD_ERROR", 1, 512),
              1);
    std::string table;
    std::uint8_t b = 0;
    while (serial.ReadBlock(&b, 1) == 1 && table.size() < 4096) {
        table.push_back(static_cast<char>(b));
        if (table.size() >= 3 && table.compare(table.size() - 3, 3, "<OK") == 0) break;
    }
    EXPECT_EQ(table.rfind("\r\nSOURCETABLE 200 OK\r\n", 0), 0u) << table;
    EXPECT_NE(table.find(std::string("\r\n\r\n") + kStrRow + "\r\nENDSOURCETABLE\r\n"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("ENDSOURCETABLE\r\n\r\nSHUTDOWN\r\n<OK"), std::string::npos) << table;

    const int closedPort = test::Str2StrCaster::freePort();
    struct Case {
        const char* name;
        std::string command;
        int outcome;
    };
    const Case cases[] = {
        {"right login", "#CONNECT 1,127.0.0.1:" + caster.port() + "/MOUNT user:pass\r\n", 1},
        {"wrong login", "#CONNECT 1,127.0.0.1:" + caster.port() + "/MOUNT user:nope\r\n", 3},
        {"unknown mountpoint", "#CONNECT 1,127.0.0.1:" + caster.port() + "/NOPE user:pass\r\n", 4},
        {"closed port", "#CONNECT 1,127.0.0.1:" + std::to_string(closedPort) + "/MOUNT\r\n", 2},
    };
    for (const auto& c : cases) {
        serial.Drain(64);
        ASSERT_EQ(tx.SendWaitEither(c.command, "CMD_OK", "CMD_ERROR", 5, 512), 1) << c.name;
        EXPECT_EQ(serial.WaitOneOfFiveLimited(kOutcomes, 512), c.outcome) << c.name;
    }
}
