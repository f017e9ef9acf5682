#include "SimLine.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tessadorn;
using namespace tessadorn::test;
namespace p = tessadorn::protocol;

TEST(SimModem, AnswersIdentificationOnlyAtItsOwnRate) {
    for (int modemRate = 0; modemRate <= 4; ++modemRate) {
        for (int lineRate = 0; lineRate <= 4; ++lineRate) {
            auto settings = quickSettings();
            settings.baudIndex = modemRate;
            SimLine line(settings, lineRate);
            EXPECT_EQ(line.identify(), modemRate == lineRate)
                << "modem at " << modemRate << ", line at " << lineRate;
        }
    }
}

TEST(SimModem, BytesAtAWrongRateDoNotSpoilTheNextCommand) {
    SimLine line(quickSettings());
    line.reopen(0);
    line.serial.WriteCommand("#GETC"); // lost on the line
    line.reopen(line.modem.state().baudIndex);
    EXPECT_EQ(line.query(p::kGetCfg, p::kReplyGetCfg),
              "CLIENT,TD0412087,3.12,357041060012345,internet.example,,\r\n");
}

struct QueryCase {
    const char* name;
    std::function<void(sim::SimSettings&)> setup;
    std::string_view command;
    std::string_view prefix;
    std::string expected;
};

TEST(SimModem, QueriesReportTheStoredState) {
    const QueryCase cases[] = {
        {"rover config", [](auto&) {}, p::kGetCfg, p::kReplyGetCfg,
         "CLIENT,TD0412087,3.12,357041060012345,internet.example,,\r\n"},
        {"base config",
         [](auto& s) {
             s.base = true;
             s.serialNumber = "TD0000001";
             s.apnUser = "u";
             s.apnPassword = "pw";
         },
         p::kGetCfg, p::kReplyGetCfg,
         "SERVER,TD0000001,3.12,357041060012345,internet.example,u,pw\r\n"},
        {"receiver", [](auto&) {}, p::kGetGga, p::kReplyGetGga, "AUTO,TRIMBLE,COM1\r\n"},
        {"manual position", [](auto& s) { s.ggaMode = "MANUAL"; }, p::kGetGga, p::kReplyGetGga,
         "MANUAL,41.387400,2.168600\r\n"},
        {"broadcast", [](auto& s) { s.broadcastOn = true; }, p::kGetBrd, p::kReplyGetBrd,
         "1," + std::string(p::relayHost()) + ",2102\r\n"},
        {"address", [](auto&) {}, p::kIp, p::kReplyIp, "100.72.18.41\r\n"},
        {"no address without APN", [](auto& s) { s.apnReady = false; }, p::kIp, p::kReplyIp,
         "null\r\n"},
        {"no caster stored", [](auto&) {}, p::kAddrServer, p::kReplyAddrServer,
         "null:0,null,null:null\r\n"},
        {"caster with login",
         [](auto& s) { s.storedCaster = "caster.example.net:2101/DEMO02 ana:se:cret"; },
         p::kAddrServer, p::kReplyAddrServer, "caster.example.net:2101,DEMO02,ana:se:cret\r\n"},
        {"another modem",
         [](auto& s) {
             s.storedCaster = "10.1.2.3:5000";
             s.storedTessadorn = true;
         },
         p::kAddrServer, p::kReplyAddrServer, "10.1.2.3:5000,TESSADORN,1\r\n"},
        {"registered", [](auto&) {}, p::kApnQuery, p::kReplyApn, "1,5\r\n"},
        {"no SIM", [](auto& s) { s.simState = 0; }, p::kApnQuery, p::kReplyApn, "0,0\r\n"},
        {"APN down", [](auto& s) { s.apnReady = false; }, p::kApnQuery, p::kReplyApn, "0,5\r\n"},
        {"signal", [](auto&) {}, p::kSignalOnce, p::kReplySignal, "3\r\n"},
        {"no signal without SIM", [](auto& s) { s.simState = 0; }, p::kSignalOnce, p::kReplySignal,
         "-1\r\n"},
    };
    for (const auto& c : cases) {
        auto settings = quickSettings();
        c.setup(settings);
        SimLine line(settings);
        EXPECT_EQ(line.query(c.command, c.prefix), c.expected) << c.name;
    }
}

TEST(SimModem, OnOffQueriesFollowTheSettingCommands) {
    SimLine line(quickSettings());
    auto ask = [&](std::string_view q) {
        return line.tx.SendWaitEither(q, p::kTokOn, p::kTokOff, 1, 2048);
    };
    EXPECT_EQ(ask(p::kAutoQuery), 2);
    ASSERT_TRUE(line.acknowledged(p::kAutoOn));
    EXPECT_EQ(ask(p::kAutoQuery), 1);
    ASSERT_TRUE(line.acknowledged(p::kAutoOff));
    EXPECT_EQ(ask(p::kAutoQuery), 2);

    EXPECT_EQ(ask(p::kStConnect), 2);
    ASSERT_EQ(
        line.tx.SendWaitEither(p::connect(1, false, "caster.example.net", "2101", "DEMO01", "", ""),
                               p::kTokCmdOk, p::kTokCmdError, 1, 512),
        1);
    ASSERT_EQ(
        line.serial.WaitOneOfFiveLimited(
            {p::kTokOkPrompt, p::kTokError41, p::kTokError42, p::kTokError43, p::kTokError5}, 512),
        1);
    EXPECT_EQ(ask(p::kStConnect), 1);
    ASSERT_TRUE(line.acknowledged(p::kStopConnection));
    EXPECT_EQ(ask(p::kStConnect), 2);
}

TEST(SimModem, RegistersAfterAStartAndFollowsItsTimeline) {
    auto settings = quickSettings();
    settings.registerMs = 4000;
    settings.apnUpMs = 12000;
    std::string error;
    ASSERT_TRUE(sim::applySetting(settings, "event", "20000:signal=1", error)) << error;
    SimLine line(settings);
    EXPECT_EQ(line.query(p::kApnQuery, p::kReplyApn), "0,2\r\n");
    EXPECT_EQ(line.query(p::kSignalOnce, p::kReplySignal), "0\r\n");
    line.wait(5000);
    EXPECT_EQ(line.query(p::kApnQuery, p::kReplyApn), "0,5\r\n");
    EXPECT_EQ(line.query(p::kIp, p::kReplyIp), "null\r\n");
    line.wait(8000);
    EXPECT_EQ(line.query(p::kApnQuery, p::kReplyApn), "1,5\r\n");
    EXPECT_EQ(line.query(p::kSignalOnce, p::kReplySignal), "3\r\n");
    line.wait(8000);
    EXPECT_EQ(line.query(p::kSignalOnce, p::kReplySignal), "1\r\n");
}

TEST(SimModem, RoleChangeRestartsTheModemInItsNewRole) {
    auto settings = quickSettings();
    settings.restartMs = 6000;
    SimLine line(settings);
    ASSERT_TRUE(line.acknowledged(p::kModeBase));
    EXPECT_FALSE(line.identify()) << "silent while it restarts";
    line.wait(6000);
    EXPECT_TRUE(line.identify());
    EXPECT_EQ(line.query(p::kGetCfg, p::kReplyGetCfg).substr(0, 7), "SERVER,");
    EXPECT_EQ(line.modem.restarts(), 1);
    ASSERT_TRUE(line.acknowledged(p::kModeRover));
    line.wait(8000);
    EXPECT_EQ(line.query(p::kGetCfg, p::kReplyGetCfg).substr(0, 7), "CLIENT,");
}

TEST(SimModem, ApnSettingsNeedSaveAndTakeEffectAfterReset) {
    auto settings = quickSettings();
    settings.restartMs = 1000;
    SimLine line(settings);
    ASSERT_TRUE(line.acknowledged(p::apn("movistar.es")));
    ASSERT_TRUE(line.acknowledged(p::apnUser("")));
    ASSERT_TRUE(line.acknowledged(p::apnPassword("x")));
    ASSERT_TRUE(line.acknowledged(p::kReset)); // not saved: the edits are lost
    line.wait(2000);
    EXPECT_EQ(line.query(p::kGetCfg, p::kReplyGetCfg),
              "CLIENT,TD0412087,3.12,357041060012345,internet.example,,\r\n");

    ASSERT_TRUE(line.acknowledged(p::apn("movistar.es")));
    ASSERT_TRUE(line.acknowledged(p::apnUser("MOVISTAR")));
    ASSERT_TRUE(line.acknowledged(p::apnPassword("MOVISTAR")));
    ASSERT_TRUE(line.acknowledged(p::kSave));
    EXPECT_EQ(line.query(p::kGetCfg, p::kReplyGetCfg),
              "CLIENT,TD0412087,3.12,357041060012345,internet.example,,\r\n")
        << "saved values wait for the restart";
    ASSERT_TRUE(line.acknowledged(p::kReset));
    line.wait(2000);
    EXPECT_EQ(line.query(p::kGetCfg, p::kReplyGetCfg),
              "CLIENT,TD0412087,3.12,357041060012345,movistar.es,MOVISTAR,MOVISTAR\r\n");
}

TEST(SimModem, GpsSourceAndRateCommandsMoveTheModemsPort) {
    struct Case {
        p::Command command;
        int rateAfter; // -1: unchanged
        std::string gga;
    };
    const Case cases[] = {
        {p::fixed(p::kSetGgaKv318), 0, "AUTO,KV-318,COM0\r\n"},
        {p::setGgaTrimble(3), 2, "AUTO,TRIMBLE,COM3\r\n"},
        {p::fixed(p::kSetGgaTopcon), 4, "AUTO,TOPCON,COM4\r\n"},
        {p::fixed(p::kSetGgaWavecom), -1, "AUTO,WAVECOM,COM0\r\n"},
        {p::setGgaManual(41.5, 2.25), -1, "MANUAL,41.500000,2.250000\r\n"},
        {p::comRate(3), 3, ""},
        {p::comRate(0), 0, ""},
    };
    for (const auto& c : cases) {
        auto settings = quickSettings();
        settings.baudIndex = 1;
        SimLine line(settings);
        ASSERT_TRUE(line.acknowledged(c.command)) << c.command.text;
        const int rate = c.rateAfter < 0 ? 1 : c.rateAfter;
        if (rate != 1) {
            EXPECT_FALSE(line.identify()) << "still heard at the old rate";
        }
        line.reopen(rate);
        EXPECT_TRUE(line.identify()) << c.command.text;
        if (!c.gga.empty()) {
            EXPECT_EQ(line.query(p::kGetGga, p::kReplyGetGga), c.gga);
        }
    }
}

TEST(SimModem, MalformedSettingsAreNotAcknowledged) {
    SimLine line(quickSettings());
    for (const char* bad :
         {"#SETGGA,AUTO,GARMIN,COM1\r\n", "#SETGGA,MANUAL,north,2\r\n", "#COM 4800\r\n",
          "#SETBRD,2,relay,2102,x\r\n", "#SETBRD,1,relay\r\n", "#FROBNICATE\r\n"}) {
        EXPECT_FALSE(line.acknowledged(std::string_view(bad))) << bad;
    }
    EXPECT_TRUE(line.identify()) << "the rate did not move";
}

TEST(SimModem, BroadcastSettingIsReported) {
    SimLine line(quickSettings());
    ASSERT_TRUE(line.acknowledged(p::setBroadcast(true)));
    EXPECT_EQ(line.query(p::kGetBrd, p::kReplyGetBrd),
              "1," + std::string(p::relayHost()) + ",2102\r\n");
    ASSERT_TRUE(line.acknowledged(p::setBroadcast(false)));
    EXPECT_EQ(line.query(p::kGetBrd, p::kReplyGetBrd).substr(0, 2), "0,");
}

TEST(SimModem, FaultKnobs) {
    {
        auto s = quickSettings();
        s.silent = true;
        SimLine line(s);
        EXPECT_FALSE(line.identify());
        EXPECT_EQ(line.modem.commandsReceived(), 2) << "heard, not answered";
    }
    {
        auto s = quickSettings();
        s.garbage = "\xfe#~\xff<O";
        SimLine line(s);
        EXPECT_EQ(line.query(p::kApnQuery, p::kReplyApn), "1,5\r\n");
        line.serial.WriteCommand(p::kSignalOnce);
        EXPECT_EQ(line.readAll(), "\xfe#~\xff<O+SIGNAL:3\r\n<OK\r\n");
    }
    {
        auto s = quickSettings();
        s.refused = {"#AUTO ON"};
        SimLine line(s);
        EXPECT_FALSE(line.acknowledged(p::kAutoOn));
        EXPECT_TRUE(line.acknowledged(p::kAutoOff));
    }
    {
        // A byte every 300 ms still reaches a reader with a 500 ms time-out; a byte every 1.1 s
        // leaves two empty reads before each byte, and five of them end the wait.
        auto slow = quickSettings();
        slow.byteDelayMs = 300;
        SimLine line(slow);
        EXPECT_EQ(line.tx.SendWaitToken(p::kAutoOff, p::kTokOkLine, 0), 1);
        slow.byteDelayMs = 1100;
        SimLine tooSlow(slow);
        EXPECT_EQ(tooSlow.tx.SendWaitToken(p::kAutoOff, p::kTokOkLine, 1), 0);
    }
}

TEST(SimModem, RestartsOnItsOwnAtTheGivenMoment) {
    auto s = quickSettings();
    s.restartAtMs = 10000;
    s.restartMs = 5000;
    s.registerMs = 20000;
    SimLine line(s);
    EXPECT_TRUE(line.identify());
    line.wait(10000 - static_cast<int>(line.clock.nowMs()));
    EXPECT_FALSE(line.identify());
    line.wait(5000);
    EXPECT_TRUE(line.identify());
    EXPECT_EQ(line.query(p::kApnQuery, p::kReplyApn), "0,2\r\n") << "registers anew";
    EXPECT_EQ(line.modem.restarts(), 1);

    auto n = quickSettings();
    n.restartAfterCommands = 2;
    n.restartMs = 20000; // longer than the resends
    SimLine counted(n);
    EXPECT_TRUE(counted.acknowledged(p::kAutoOn));
    EXPECT_FALSE(counted.acknowledged(p::kAutoOff)) << "the second command restarts it";
}

TEST(SimModem, PacesItsOutputAtTheLineRate) {
    // At 9600 bit/s a byte takes 10 bit times; the modem's queue says when each one arrives.
    auto s = quickSettings();
    s.baudIndex = 0;
    s.replyDelayMs = 0;
    sim::SimModem modem(s, 0);
    modem.feed(p::kDevice, 0, 1000);
    const auto first = modem.nextOutputUs();
    std::int64_t last = first;
    int bytes = 0;
    while (modem.nextOutputUs() != sim::OutputQueue::kNever) {
        last = modem.nextOutputUs();
        modem.takeByte(0);
        ++bytes;
    }
    EXPECT_EQ(first, 1000 * 1000 + 1042);
    EXPECT_EQ(last - first, (bytes - 1) * 1042);
}

// The runner looks at the modem's output while the line is idle; timed events and an unasked
// restart still wait for their moment.
TEST(SimModem, TimedEventsWaitForTheirMomentOnAnIdleLine) {
    auto s = quickSettings();
    std::string error;
    ASSERT_TRUE(sim::applySetting(s, "event", "20000:signal=1", error)) << error;
    s.restartAtMs = 30000;
    s.restartMs = 5000;
    SimLine line(s);
    EXPECT_EQ(line.query(p::kSignalOnce, p::kReplySignal), "3\r\n");
    EXPECT_EQ(line.readAll(), "") << "an idle line";
    line.wait(2000);
    EXPECT_EQ(line.query(p::kSignalOnce, p::kReplySignal), "3\r\n") << "not yet at 2 s";
    EXPECT_TRUE(line.identify()) << "no restart before its moment";
    line.readAll(); // the rest of its reply, then an idle line
    line.wait(20000 - static_cast<int>(line.clock.nowMs()));
    EXPECT_EQ(line.readAll(), "");
    EXPECT_EQ(line.query(p::kSignalOnce, p::kReplySignal), "1\r\n") << "from 20 s on";
    EXPECT_EQ(line.modem.restarts(), 0);
    line.wait(30000 - static_cast<int>(line.clock.nowMs()));
    EXPECT_EQ(line.readAll(), "");
    EXPECT_FALSE(line.identify()) << "restarting from 30 s";
    line.wait(5000);
    EXPECT_TRUE(line.identify());
    EXPECT_EQ(line.modem.restarts(), 1);
}

// After a restart a rover with automatic connection connects to its stored caster again; a base,
// a rover without it or without a stored caster does not.
TEST(SimModem, AutomaticConnectionAfterARestart) {
    const struct {
        const char* name;
        bool base, autoConnect;
        const char* caster;
        int state; // 1 ON, 2 OFF
    } cases[] = {
        {"rover with automatic connection", false, true, "caster.example.net:2101/DEMO01 a:b", 1},
        {"rover without it", false, false, "caster.example.net:2101/DEMO01 a:b", 2},
        {"rover without a stored caster", false, true, "", 2},
        {"base with automatic connection", true, true, "caster.example.net:2101/DEMO01 a:b", 2},
    };
    for (const auto& c : cases) {
        auto s = quickSettings();
        s.base = c.base;
        s.autoConnect = c.autoConnect;
        s.storedCaster = c.caster;
        s.connected = false;
        s.restartAtMs = 1000;
        s.restartMs = 2000;
        SimLine line(s);
        EXPECT_EQ(line.tx.SendWaitEither(p::kStConnect, p::kTokOn, p::kTokOff, 1, 2048), 2)
            << c.name;
        line.wait(4000);
        EXPECT_EQ(line.tx.SendWaitEither(p::kStConnect, p::kTokOn, p::kTokOff, 1, 2048), c.state)
            << c.name;
        EXPECT_EQ(line.modem.restarts(), 1) << c.name;
    }
}

// A byte at 9600 bit/s takes 10 bit times: 1042 microseconds (rounded up).
TEST(SimModem, AByteAt9600TakesAboutAMillisecond) {
    EXPECT_EQ(sim::OutputQueue::byteTimeUs(0), 1042);
    EXPECT_EQ(sim::OutputQueue::byteTimeUs(4), 87);
}
