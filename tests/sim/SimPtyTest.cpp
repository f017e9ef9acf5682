// tessadorn-sim on a real pseudo-terminal, driven by the link layer over the termios port at
// real time-outs.

#include "TempDir.h"
#include "app/SimulatorProcess.h"
#include "link/SerialChannel.h"
#include "link/Transactions.h"
#include "platform/TermiosSerialPort.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace tessadorn;

namespace {

struct PtyLine {
    explicit PtyLine(const std::vector<std::string>& args) {
        std::vector<std::string> all{"--quiet", "--register-ms", "0", "--apn-ms", "0"};
        all.insert(all.end(), args.begin(), args.end());
        started = sim.start(TESSADORN_SIM_EXECUTABLE, all, 5000);
        if (started) port = std::make_unique<TermiosSerialPort>(sim.ptyPath());
    }
    bool open(int baud) { return serial().Open(baud) == 1; }
    SerialChannel& serial() {
        if (!channel) channel = std::make_unique<SerialChannel>(*port, RealClock::instance());
        return *channel;
    }

    SimulatorProcess sim;
    bool started = false;
    std::unique_ptr<TermiosSerialPort> port;
    std::unique_ptr<SerialChannel> channel;
    std::atomic<int> reading{0};
};

} // namespace

TEST(SimPty, IdentifiesAtTheRightRateOnly) {
    PtyLine line({"--baud", "3"});
    ASSERT_TRUE(line.started) << line.sim.error();
    ASSERT_TRUE(line.open(0));
    line.serial().WriteCommand("\r\nDEVICE?\r\n");
    EXPECT_EQ(line.serial().WaitTokenLimited("TESSADORN", 2048), 0) << "9600 is not its rate";
    line.serial().Close();
    ASSERT_TRUE(line.open(3));
    Transactions tx(line.serial(), line.reading);
    EXPECT_EQ(tx.SendWaitTokenLimited("\r\nDEVICE?\r\n", "TESSADORN", 1, 2048), 1);
}

TEST(SimPty, CapturesTheConfiguration) {
    PtyLine line({"--baud", "4", "--serial", "TD5550001", "--role", "base"});
    ASSERT_TRUE(line.started) << line.sim.error();
    ASSERT_TRUE(line.open(4));
    Transactions tx(line.serial(), line.reading);
    std::string out;
    ASSERT_EQ(tx.SendCapture("#GETCFG?\r\n", "#GETCFG,", "<OK\r\n", out, 200, 5, 500), 1);
    EXPECT_EQ(out, "SERVER,TD5550001,3.12,357041060012345,internet.example,,\r\n");
    EXPECT_EQ(line.reading.load(), 0);
}

TEST(SimPty, ListRelaysARealTableByteForByte) {
    const std::string table = std::string(TESSADORN_TEST_DATA) + "/trignet.txt";
    PtyLine line({"--baud", "4", "--no-pacing", "--table-delay-ms", "0", "--table",
                  "trignet.example.za=" + table});
    ASSERT_TRUE(line.started) << line.sim.error();
    ASSERT_TRUE(line.open(4));
    Transactions tx(line.serial(), line.reading);
    ASSERT_EQ(
        tx.SendWaitEither("#LIST 1,trignet.example.za:2101\r\n", "CMD_OK", "CMD_ERROR", 1, 512), 1);
    std::string bytes;
    std::uint8_t b = 0;
    const std::string end = "\r\nSHUTDOWN\r\n<OK";
    while (line.serial().ReadBlock(&b, 1) == 1) {
        bytes.push_back(static_cast<char>(b));
        if (bytes.size() >= end.size() &&
            bytes.compare(bytes.size() - end.size(), end.size(), end) == 0)
            break;
    }
    EXPECT_EQ(bytes, "\r\n" + test::readBytes(table) + end);
}

TEST(SimPty, TheLinkDropsWhenTheModemGoesAway) {
    PtyLine line({"--baud", "4", "--drop-after-commands", "2"});
    ASSERT_TRUE(line.started) << line.sim.error();
    ASSERT_TRUE(line.open(4));
    Transactions tx(line.serial(), line.reading);
    EXPECT_EQ(tx.SendWaitToken("#AUTO ON\r\n", "<OK\r\n", 1), 1);
    EXPECT_EQ(tx.SendWaitToken("#AUTO OFF\r\n", "<OK\r\n", 1), 0) << "dropped on the 2nd";
    EXPECT_TRUE(line.port->deviceGone());
}

TEST(SimPty, KeepsALinkToItsTerminalAndEndsCleanlyOnSigterm) {
    const std::string link = ::testing::TempDir() + "tessadorn-sim-" + std::to_string(getpid());
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(TESSADORN_SIM_EXECUTABLE, {"--quiet", "--link", link}, 5000))
        << sim.error();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.ptyPath());
    EXPECT_TRUE(sim.running());
    EXPECT_TRUE(sim.stop());
    EXPECT_FALSE(std::filesystem::is_symlink(link));

    SimulatorProcess bad;
    EXPECT_FALSE(bad.start(TESSADORN_SIM_EXECUTABLE, {"--baud", "9"}, 5000, "/dev/null"));
    EXPECT_FALSE(bad.error().empty());
    EXPECT_TRUE(SimulatorProcess::findExecutable("/nonexistent/tessadorn-sim").empty());
    EXPECT_EQ(SimulatorProcess::findExecutable(TESSADORN_SIM_EXECUTABLE), TESSADORN_SIM_EXECUTABLE);
}
