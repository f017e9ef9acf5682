#include "SimLine.h"

#include <gtest/gtest.h>

using namespace tessadorn;
using namespace tessadorn::test;

namespace {

const std::array<std::string_view, 5> kProgress = {"OTAP", "Reboot now", "operation failed",
                                                   "ERROR:", "Transfer finished."};

struct UpdateRun {
    int otapLines = 0;
    int transfers = 0;
    int last = -1;   // the token that ended the update: 2, 3, 4, or 0 for silence
    std::string apn; // as the engine took it, before the update began
};

// Finds the engine and runs the update as the update dialog does.
UpdateRun update(SimLine& line, int engineRate) {
    UpdateRun run;
    line.reopen(engineRate);
    line.serial.WriteCommand("AT\r\n");
    EXPECT_EQ(line.serial.WaitToken("OK"), 1);
    line.serial.WriteCommand("AT^SJOTAP=\"wqzt\",\"" TESSADORN_UPDATE_URL
                             "\",\"a:\",,,\"gprs\",\"internet.example\",\"\",\"\",,\r\n");
    EXPECT_EQ(line.serial.WaitToken("OK"), 1);
    // Read now: the engine is gone once it reboots, and the reads may run ahead of the test.
    if (line.modem.engine().updateParametersSet())
        run.apn = line.modem.engine().updateParameters().at(6);
    line.serial.WriteCommand("AT^SJOTAP\r\n");
    EXPECT_EQ(line.serial.WaitToken("OK"), 1);
    line.serial.WriteCommand("at^scfg=\"Trace/Syslog/OTAP\",\"1\"\r\n");
    EXPECT_EQ(line.serial.WaitToken("OTAP.OUT STARTED"), 1);
    for (int guard = 0; guard < 100; ++guard) {
        const int token = line.serial.WaitOneOfFive(kProgress);
        if (token == 1) {
            ++run.otapLines;
        } else if (token == 5) {
            ++run.transfers;
        } else {
            run.last = token;
            break;
        }
    }
    return run;
}

} // namespace

TEST(SimModemEngine, UpdateOutcomes) {
    struct Case {
        const char* otap;
        int last;
        int transfers;
    };
    const Case cases[] = {{"success", 2, 2}, {"fail", 3, 1}, {"error", 4, 1}, {"silent", 0, 1}};
    for (const auto& c : cases) {
        auto settings = quickSettings();
        settings.otap = c.otap;
        settings.engineBaudIndex = 4;
        settings.baudIndex = 2;
        SimLine line(settings);
        ASSERT_EQ(line.tx.SendWaitTokenLimited("\r\n#EXIT0\r\n", "Bye", 1, 2048), 1);
        const UpdateRun run = update(line, 4);
        EXPECT_EQ(run.last, c.last) << c.otap;
        EXPECT_EQ(run.transfers, c.transfers) << c.otap;
        EXPECT_GT(run.otapLines, 0) << c.otap;
    }
}

TEST(SimModemEngine, EngineListensAtItsOwnRateAndRebootsIntoTheFirmware) {
    auto settings = quickSettings();
    settings.engineBaudIndex = 3;
    settings.baudIndex = 1;
    settings.restartMs = 4000;
    SimLine line(settings);
    ASSERT_EQ(line.tx.SendWaitTokenLimited("\r\n#EXIT0\r\n", "Bye", 1, 2048), 1);
    for (int rate = 0; rate <= 4; ++rate) {
        line.reopen(rate);
        line.serial.WriteCommand("AT\r\n");
        EXPECT_EQ(line.serial.WaitToken("OK"), rate == 3 ? 1 : 0) << rate;
    }
    EXPECT_TRUE(line.modem.inEngine());
    line.reopen(1);
    EXPECT_FALSE(line.identify()) << "the firmware is gone until the engine reboots";

    // A start without parameters is refused; the trace alone starts nothing.
    line.reopen(3);
    line.serial.WriteCommand("AT^SJOTAP\r\n");
    EXPECT_EQ(line.serial.WaitToken("OK"), 0);
    line.serial.WriteCommand("AT^SJOTAP=\"nope\",\"x\",\"a:\",,,\"gprs\",\"\",\"\",\"\",,\r\n");
    EXPECT_EQ(line.serial.WaitToken("OK"), 0);

    const UpdateRun run = update(line, 3);
    ASSERT_EQ(run.last, 2);
    EXPECT_EQ(run.apn, "\"internet.example\"");
    line.wait(4000);
    line.reopen(1);
    EXPECT_TRUE(line.identify()) << "back in the firmware at its own rate";
}

TEST(SimModemEngine, SetCommandKeepsCommasInsideQuotedFields) {
    sim::CellularEngine engine("success", 10);
    std::string command = "AT^SJOTAP=\"wqzt\",\"" TESSADORN_UPDATE_URL
                          "\",\"a:\",,,\"gprs\",\"apn,one\",\"user\",\"pa,ss\",,\r\n";
    command.resize(command.size() - 2); // without its CR LF
    const auto reaction = engine.handle(command);
    EXPECT_EQ(reaction.reply, "\r\nOK\r\n");
    ASSERT_TRUE(engine.updateParametersSet());
    ASSERT_EQ(engine.updateParameters().size(), 11u);
    EXPECT_EQ(engine.updateParameters()[6], "\"apn,one\"");
    EXPECT_EQ(engine.updateParameters()[8], "\"pa,ss\"");
}

TEST(SimModemEngine, AModemLeftInItsEngineIsFoundOnlyByTheEngineSearchAndUpdatedBack) {
    auto settings = quickSettings();
    std::string error;
    ASSERT_TRUE(sim::applySetting(settings, "scenario", "in-engine", error)) << error;
    settings.engineBaudIndex = 0;
    settings.restartMs = 1000;
    SimLine line(settings);
    EXPECT_FALSE(line.identify()) << "the correction firmware does not answer";
    EXPECT_EQ(line.tx.SendWaitTokenLimited("\r\n#EXIT0\r\n", "Bye", 1, 2048), 0);
    ASSERT_EQ(update(line, 0).last, 2);
    line.wait(1000);
    line.reopen(2);
    EXPECT_TRUE(line.identify()) << "the update's reboot brings the firmware back";
}
