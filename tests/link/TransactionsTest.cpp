#include "link/Transactions.h"
#include "ChannelRig.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

using test::FakeSerialPort;
using test::ScriptedModem;
using namespace std::string_literals;

struct Rig : test::ChannelRig {
    std::atomic<int> reading{0};
    Transactions tx{channel, reading};
    DebugCapture log;
};

constexpr int kAttemptMs = 300 + 5 * 500; // a write, then 5 empty reads

TEST(Transactions, SilentModemGetsTheCommandResendCountPlusOneTimes) {
    struct Case {
        const char* name;
        std::function<int(Transactions&)> run;
        int sends;
    };
    const Case cases[] = {
        {"SendWaitToken 5",
         [](Transactions& t) { return t.SendWaitToken("#AUTO ON\r\n", "<OK\r\n", 5); }, 6},
        {"SendWaitTokenLimited 2",
         [](Transactions& t) {
             return t.SendWaitTokenLimited("#COM 9600\r\n", "<OK\r\n", 2, 2048);
         },
         3},
        {"SendWaitEither 1",
         [](Transactions& t) { return t.SendWaitEither("#STCONNECT\r\n", "ON", "OFF", 1, 2048); },
         2},
        {"SendCapture 5",
         [](Transactions& t) {
             std::string s;
             return t.SendCapture("#GETCFG?\r\n", "#GETCFG,", "<OK\r\n", s, 200, 5, 500);
         },
         6},
        {"SendCapture 0 is one attempt",
         [](Transactions& t) {
             std::string s;
             return t.SendCapture("#APN\r\n", "+APN:", "<OK\r\n", s, 20, 0, 2048);
         },
         1},
    };
    for (const auto& c : cases) {
        Rig rig;
        EXPECT_EQ(c.run(rig.tx), 0) << c.name;
        EXPECT_EQ(static_cast<int>(rig.port.writes().size()), c.sends) << c.name;
        EXPECT_EQ(rig.clock.nowMs(), c.sends * kAttemptMs) << c.name;
        EXPECT_EQ(rig.reading.load(), 0) << c.name;
        EXPECT_EQ(rig.port.purges(), 1) << c.name << ": the receive buffer is purged once";
        EXPECT_EQ(rig.log.count("m_Reading=TRUE\r\n"), 1) << c.name;
        EXPECT_EQ(rig.log.count("m_Reading=FALSE\r\n"), 1) << c.name;
    }
}

TEST(Transactions, ReadingFlagIsRaisedWhileTheCommandIsOut) {
    Rig rig;
    int seen = -1;
    rig.modem.setUnmatched([&](std::string_view, int, std::int64_t) { seen = rig.reading.load(); });
    rig.tx.SendWaitToken("SAVE\r\n", "<OK\r\n", 0 + 1);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(rig.reading.load(), 0);
    const auto lines = rig.log.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "m_Reading=TRUE\r\n");
    EXPECT_EQ(lines[1], "OK CMD: SAVE\r\n");
    EXPECT_EQ(lines.back(), "m_Reading=FALSE\r\n");
}

TEST(Transactions, AnswerOnALaterAttemptEndsTheResends) {
    Rig rig;
    rig.modem.on("#STCONNECT\r\n", std::vector<std::string>{"", "", "\r\nOFF\r\n"});
    EXPECT_EQ(rig.tx.SendWaitEither("#STCONNECT\r\n", "ON", "OFF", 5, 2048), 2);
    EXPECT_EQ(rig.port.count("#STCONNECT\r\n"), 3);
}

TEST(Transactions, ZeroResendsMeansUntilAnsweredForTheTokenKinds) {
    Rig rig;
    rig.modem.on("#STOPCONNECTION\r\n", std::vector<std::string>(9, "")).times = 9;
    rig.modem.on("#STOPCONNECTION\r\n", "<OK\r\n");
    EXPECT_EQ(rig.tx.SendWaitTokenLimited("#STOPCONNECTION\r\n", "<OK\r\n", 0, 2048), 1);
    EXPECT_EQ(rig.port.count("#STOPCONNECTION\r\n"), 10);
}

TEST(Transactions, AbortLetsTheUserOutOfAnEndlessResend) {
    Rig rig;
    std::atomic<bool> abort{false};
    rig.channel.SetAbortFlag(&abort);
    int sends = 0;
    rig.modem.setUnmatched([&](std::string_view, int, std::int64_t) {
        if (++sends == 4) abort = true;
    });
    EXPECT_EQ(rig.tx.SendWaitTokenLimited("#STOPCONNECTION\r\n", "<OK\r\n", 0, 2048), 0);
    EXPECT_EQ(sends, 4);
    EXPECT_EQ(rig.reading.load(), 0);
}

TEST(Transactions, CaptureWithResendsUsesTheFullReaderAndDropsNul) {
    Rig rig;
    rig.modem.on("IP?\r\n", "IP,10.1.\0002.3\r\n<OK\r\n"s);
    std::string ip;
    EXPECT_EQ(rig.tx.SendCapture("IP?\r\n", "IP,", "<OK\r\n", ip, 25, 5, 500), 1);
    EXPECT_EQ(ip, "10.1.2.3\r\n");
}

TEST(Transactions, StaleBytesBeforeTheCommandArePurged) {
    Rig rig;
    rig.modem.push("ON\r\n", 0); // an old answer still in the buffer
    rig.modem.on("#AUTO?\r\n", "OFF\r\n");
    EXPECT_EQ(rig.tx.SendWaitEither("#AUTO?\r\n", "ON", "OFF", 5, 2048), 2);
}

TEST(Transactions, RefusedCommandSendsNothingAndFails) {
    Rig rig;
    const auto cmd = Command::format("#CONNECT2 %s:%s\r\n", {"host\r\n#STOPCONNECTION", "2101"});
    EXPECT_EQ(rig.tx.SendWaitToken(cmd, "OK", 5), 0);
    EXPECT_TRUE(rig.port.writes().empty());
    EXPECT_EQ(rig.reading.load(), 0);
    EXPECT_EQ(rig.log.count("m_Reading=TRUE\r\n"), 0);
    const auto lines = rig.log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Command refused"), std::string::npos);
    EXPECT_NE(lines[0].find("#CONNECT2"), std::string::npos);
    EXPECT_NE(lines[0].find("CR"), std::string::npos);
}

} // namespace
} // namespace tessadorn
