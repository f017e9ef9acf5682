#include "SimLine.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tessadorn;
using namespace tessadorn::test;

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
    EXPECT_EQ(line.query("#GETCFG?\r\n", "#GETCFG,"),
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
        {"rover config", [](auto&) {}, "#GETCFG?\r\n", "#GETCFG,",
         "CLIENT,TD0412087,3.12,357041060012345,internet.example,,\r\n"},
        {"base config",
         [](auto& s) {
             s.base = true;
             s.serialNumber = "TD0000001";
             s.apnUser = "u";
             s.apnPassword = "pw";
         },
         "#GETCFG?\r\n", "#GETCFG,",
         "SERVER,TD0000001,3.12,357041060012345,internet.example,u,pw\r\n"},
        {"receiver", [](auto&) {}, "#GETGGA?\r\n", "#GETGGA,", "AUTO,TRIMBLE,COM1\r\n"},
        {"manual position", [](auto& s) { s.ggaMode = "MANUAL"; }, "#GETGGA?\r\n", "#GETGGA,",
         "MANUAL,41.387400,2.168600\r\n"},
        {"broadcast", [](auto& s) { s.broadcastOn = true; }, "#GETBRD?\r\n", "#GETBRD,",
         "1," + std::string(TESSADORN_RELAY_HOST) + ",2102\r\n"},
        {"address", [](auto&) {}, "IP?\r\n", "IP,", "100.72.18.41\r\n"},
        {"no address without APN", [](auto& s) { s.apnReady = false; }, "IP?\r\n", "IP,",
         "null\r\n"},
        {"no caster stored", [](auto&) {}, "ADDRSERVER?\r\n", "ADDRSERVER,",
         "null:0,null,null:null\r\n"},
        {"caster with login",
         [](auto& s) { s.storedCaster = "caster.example.net:2101/DEMO02 ana:se:cret"; },
         "ADDRSERVER?\r\n", "ADDRSERVER,", "caster.example.net:2101,DEMO02,ana:se:cret\r\n"},
        {"another modem",
         [](auto& s) {
             s.storedCaster = "10.1.2.3:5000";
             s.storedTessadorn = true;
         },
         "ADDRSERVER?\r\n", "ADDRSERVER,", "10.1.2.3:5000,TESSADORN,1\r\n"},
        {"registered", [](auto&) {}, "#APN\r\n", "+APN:", "1,5\r\n"},
        {"no SIM", [](auto& s) { s.simState = 0; }, "#APN\r\n", "+APN:", "0,0\r\n"},
        {"APN down", [](auto& s) { s.apnReady = false; }, "#APN\r\n", "+APN:", "0,5\r\n"},
        {"signal", [](auto&) {}, "#SIGNALONCE\r\n", "+SIGNAL:", "3\r\n"},
        {"no signal without SIM", [](auto& s) { s.simState = 0; }, "#SIGNALONCE\r\n",
         "+SIGNAL:", "-1\r\n"},
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
    auto ask = [&](std::string_view q) { return line.tx.SendWaitEither(q, "ON", "OFF", 1, 2048); };
    EXPECT_EQ(ask("#AUTO?\r\n"), 2);
    ASSERT_TRUE(line.acknowledged("#AUTO ON\r\n"));
    EXPECT_EQ(ask("#AUTO?\r\n"), 1);
    ASSERT_TRUE(line.acknowledged("#AUTO OFF\r\n"));
    EXPECT_EQ(ask("#AUTO?\r\n"), 2);

    EXPECT_EQ(ask("#STCONNECT\r\n"), 2);
    ASSERT_EQ(line.tx.SendWaitEither("#CONNECT 1,caster.example.net:2101/DEMO01\r\n", "CMD_OK",
                                     "CMD_ERROR", 1, 512),
              1);
    ASSERT_EQ(line.serial.WaitOneOfFiveLimited(
                  {"<OK", "ERROR 4_1", "ERROR 4_2", "ERROR 4_3", "ERROR 5"}, 512),
              1);
    EXPECT_EQ(ask("#STCONNECT\r\n"), 1);
    ASSERT_TRUE(line.acknowledged("#STOPCONNECTION\r\n"));
    EXPECT_EQ(ask("#STCONNECT\r\n"), 2);
}

TEST(SimModem, RegistersAfterAStartAndFollowsItsTimeline) {
    auto settings = quickSettings();
    settings.registerMs = 4000;
    settings.apnUpMs = 12000;
    std::string error;
    ASSERT_TRUE(sim::applySetting(settings, "event", "20000:signal=1", error)) << error;
    SimLine line(settings);
    EXPECT_EQ(line.query("#APN\r\n", "+APN:"), "0,2\r\n");
    EXPECT_EQ(line.query("#SIGNALONCE\r\n", "+SIGNAL:"), "0\r\n");
    line.wait(5000);
    EXPECT_EQ(line.query("#APN\r\n", "+APN:"), "0,5\r\n");
    EXPECT_EQ(line.query("IP?\r\n", "IP,"), "null\r\n");
    line.wait(8000);
    EXPECT_EQ(line.query("#APN\r\n", "+APN:"), "1,5\r\n");
    EXPECT_EQ(line.query("#SIGNALONCE\r\n", "+SIGNAL:"), "3\r\n");
    line.wait(8000);
    EXPECT_EQ(line.query("#SIGNALONCE\r\n", "+SIGNAL:"), "1\r\n");
}

TEST(SimModem, RoleChangeRestartsTheModemInItsNewRole) {
    auto settings = quickSettings();
    settings.restartMs = 6000;
    SimLine line(settings);
    ASSERT_TRUE(line.acknowledged("MODE=BASE\r\n"));
    EXPECT_FALSE(line.identify()) << "silent while it restarts";
    line.wait(6000);
    EXPECT_TRUE(line.identify());
    EXPECT_EQ(line.query("#GETCFG?\r\n", "#GETCFG,").substr(0, 7), "SERVER,");
    EXPECT_EQ(line.modem.restarts(), 1);
    ASSERT_TRUE(line.acknowledged("MODE=ROVER\r\n"));
    line.wait(8000);
    EXPECT_EQ(line.query("#GETCFG?\r\n", "#GETCFG,").substr(0, 7), "CLIENT,");
}

TEST(SimModem, ApnSettingsNeedSaveAndTakeEffectAfterReset) {
    auto settings = quickSettings();
    settings.restartMs = 1000;
    SimLine line(settings);
    ASSERT_TRUE(line.acknowledged("APN movistar.es\r\n"));
    ASSERT_TRUE(line.acknowledged("USER \r\n"));
    ASSERT_TRUE(line.acknowledged("PASSWORD x\r\n"));
    ASSERT_TRUE(line.acknowledged("RESET\r\n")); // not saved: the edits are lost
    line.wait(2000);
    EXPECT_EQ(line.query("#GETCFG?\r\n", "#GETCFG,"),
              "CLIENT,TD0412087,3.12,357041060012345,internet.example,,\r\n");

    ASSERT_TRUE(line.acknowledged("APN movistar.es\r\n"));
    ASSERT_TRUE(line.acknowledged("USER MOVISTAR\r\n"));
    ASSERT_TRUE(line.acknowledged("PASSWORD MOVISTAR\r\n"));
    ASSERT_TRUE(line.acknowledged("SAVE\r\n"));
    EXPECT_EQ(line.query("#GETCFG?\r\n", "#GETCFG,"),
              "CLIENT,TD0412087,3.12,357041060012345,internet.example,,\r\n")
        << "saved values wait for the restart";
    ASSERT_TRUE(line.acknowledged("RESET\r\n"));
    line.wait(2000);
    EXPECT_EQ(line.query("#GETCFG?\r\n", "#GETCFG,"),
              "CLIENT,TD0412087,3.12,357041060012345,movistar.es,MOVISTAR,MOVISTAR\r\n");
}

TEST(SimModem, GpsSourceAndRateCommandsMoveTheModemsPort) {
    struct Case {
        std::string command;
        int rateAfter; // -1: unchanged
        std::string gga;
    };
    const Case cases[] = {
        {"#SETGGA,AUTO,KV-318,COM0\r\n", 0, "AUTO,KV-318,COM0\r\n"},
        {"#SETGGA,AUTO,TRIMBLE,COM3\r\n", 2, "AUTO,TRIMBLE,COM3\r\n"},
        {"#SETGGA,AUTO,TOPCON,COM4\r\n", 4, "AUTO,TOPCON,COM4\r\n"},
        {"#SETGGA,AUTO,WAVECOM,COM0\r\n", -1, "AUTO,WAVECOM,COM0\r\n"},
        {"#SETGGA,MANUAL,41.500000,2.250000\r\n", -1, "MANUAL,41.500000,2.250000\r\n"},
        {"#COM 57600\r\n", 3, ""},
        {"#COM 9600\r\n", 0, ""},
    };
    for (const auto& c : cases) {
        auto settings = quickSettings();
        settings.baudIndex = 1;
        SimLine line(settings);
        ASSERT_TRUE(line.acknowledged(c.command)) << c.command;
        const int rate = c.rateAfter < 0 ? 1 : c.rateAfter;
        if (rate != 1) {
            EXPECT_FALSE(line.identify()) << "still heard at the old rate";
        }
        line.reopen(rate);
        EXPECT_TRUE(line.identify()) << c.command;
        if (!c.gga.empty()) {
            EXPECT_EQ(line.query("#GETGGA?\r\n", "#GETGGA,"), c.gga);
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
    ASSERT_TRUE(line.acknowledged("#SETBRD,1," TESSADORN_RELAY_HOST ",2102," TESSADORN_BROADCAST_TAG
                                  "\r\n"));
    EXPECT_EQ(line.query("#GETBRD?\r\n", "#GETBRD,"),
              "1," + std::string(TESSADORN_RELAY_HOST) + ",2102\r\n");
    ASSERT_TRUE(line.acknowledged("#SETBRD,0," TESSADORN_RELAY_HOST ",2102," TESSADORN_BROADCAST_TAG
                                  "\r\n"));
    EXPECT_EQ(line.query("#GETBRD?\r\n", "#GETBRD,").substr(0, 2), "0,");
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
        EXPECT_EQ(line.query("#APN\r\n", "+APN:"), "1,5\r\n");
        line.serial.WriteCommand("#SIGNALONCE\r\n");
        EXPECT_EQ(line.readAll(), "\xfe#~\xff<O+SIGNAL:3\r\n<OK\r\n");
    }
    {
        auto s = quickSettings();
        s.refused = {"#AUTO ON"};
        SimLine line(s);
        EXPECT_FALSE(line.acknowledged("#AUTO ON\r\n"));
        EXPECT_TRUE(line.acknowledged("#AUTO OFF\r\n"));
    }
    {
        // A byte every 300 ms still reaches a reader with a 500 ms time-out; a byte every 1.1 s
        // leaves two empty reads before each byte, and five of them end the wait.
        auto slow = quickSettings();
        slow.byteDelayMs = 300;
        SimLine line(slow);
        EXPECT_EQ(line.tx.SendWaitToken("#AUTO OFF\r\n", "<OK\r\n", 0), 1);
        slow.byteDelayMs = 1100;
        SimLine tooSlow(slow);
        EXPECT_EQ(tooSlow.tx.SendWaitToken("#AUTO OFF\r\n", "<OK\r\n", 1), 0);
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
    EXPECT_EQ(line.query("#APN\r\n", "+APN:"), "0,2\r\n") << "registers anew";
    EXPECT_EQ(line.modem.restarts(), 1);

    auto n = quickSettings();
    n.restartAfterCommands = 2;
    n.restartMs = 20000; // longer than the resends
    SimLine counted(n);
    EXPECT_TRUE(counted.acknowledged("#AUTO ON\r\n"));
    EXPECT_FALSE(counted.acknowledged("#AUTO OFF\r\n")) << "the second command restarts it";
}

TEST(SimModem, PacesItsOutputAtTheLineRate) {
    // At 9600 bit/s a byte takes 10 bit times; the modem's queue says when each one arrives.
    auto s = quickSettings();
    s.baudIndex = 0;
    s.replyDelayMs = 0;
    sim::SimModem modem(s, 0);
    modem.feed("\r\nDEVICE?\r\n", 0, 1000);
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
    EXPECT_EQ(line.query("#SIGNALONCE\r\n", "+SIGNAL:"), "3\r\n");
    EXPECT_EQ(line.readAll(), "") << "an idle line";
    line.wait(2000);
    EXPECT_EQ(line.query("#SIGNALONCE\r\n", "+SIGNAL:"), "3\r\n") << "not yet at 2 s";
    EXPECT_TRUE(line.identify()) << "no restart before its moment";
    line.readAll(); // the rest of its reply, then an idle line
    line.wait(20000 - static_cast<int>(line.clock.nowMs()));
    EXPECT_EQ(line.readAll(), "");
    EXPECT_EQ(line.query("#SIGNALONCE\r\n", "+SIGNAL:"), "1\r\n") << "from 20 s on";
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
        EXPECT_EQ(line.tx.SendWaitEither("#STCONNECT\r\n", "ON", "OFF", 1, 2048), 2) << c.name;
        line.wait(4000);
        EXPECT_EQ(line.tx.SendWaitEither("#STCONNECT\r\n", "ON", "OFF", 1, 2048), c.state)
            << c.name;
        EXPECT_EQ(line.modem.restarts(), 1) << c.name;
    }
}

// A byte at 9600 bit/s takes 10 bit times: 1042 microseconds (rounded up).
TEST(SimModem, AByteAt9600TakesAboutAMillisecond) {
    EXPECT_EQ(sim::OutputQueue::byteTimeUs(0), 1042);
    EXPECT_EQ(sim::OutputQueue::byteTimeUs(4), 87);
}
