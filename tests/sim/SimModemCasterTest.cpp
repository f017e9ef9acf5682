#include "SimLine.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tessadorn;
using namespace tessadorn::test;
namespace p = tessadorn::protocol;

namespace {

const std::array<std::string_view, 5> kOutcomes = {p::kTokOkPrompt, p::kTokError41, p::kTokError42,
                                                   p::kTokError43, p::kTokError5};

// What follows "CMD_OK" up to the prompt, read one byte at a time as the program scans it.
std::string relayed(SimLine& line) {
    std::string bytes;
    std::uint8_t b = 0;
    while (line.serial.ReadBlock(&b, 1) == 1) {
        bytes.push_back(static_cast<char>(b));
        if (bytes.size() >= 3 && bytes.compare(bytes.size() - 3, 3, "<OK") == 0) break;
    }
    return bytes;
}

} // namespace

TEST(SimModemCaster, ListRelaysTheCastersTableByteForByte) {
    struct Case {
        const char* file;
        p::Command command;
    };
    const std::string dir = TESSADORN_TEST_DATA;
    const Case cases[] = {
        {"gpsd-sapos.txt", p::list(1, "sapos.example.de", "2101", "", "")},
        {"trignet.txt", p::list(2, "trignet.example.za", "2101", "", "")},
        {"igs-ip.txt", p::list(0, "igs.example.net", "2101", "", "")},
        {"trignet.txt", p::list(3, "survey", "2101", "rover7", "s3cret")},
    };
    for (const auto& c : cases) {
        auto settings = quickSettings();
        settings.baudIndex = 4;
        settings.tables = {{"sapos.example.de:2101", dir + "/gpsd-sapos.txt"},
                           {"trignet.example.za", dir + "/trignet.txt"},
                           {"igs.example.net", dir + "/igs-ip.txt"},
                           {"survey." + std::string(p::ibssSuffix()), dir + "/trignet.txt"}};
        SimLine line(settings);
        ASSERT_EQ(line.tx.SendWaitEither(c.command, p::kTokCmdOk, p::kTokCmdError, 1, 512), 1)
            << c.command.text;
        EXPECT_EQ(relayed(line),
                  "\r\n" + test::readBytes(dir + "/" + c.file) + "\r\nSHUTDOWN\r\n<OK")
            << c.file;
    }
}

TEST(SimModemCaster, ListFailuresEndWithTheirToken) {
    auto settings = quickSettings();
    settings.unreachable = {"down.example.net"};
    settings.defaultTable.clear();
    settings.tables = {{"up.example.net", "/nonexistent/table.txt"}};
    SimLine line(settings);
    struct Case {
        p::Command command;
        int accepted; // 1 CMD_OK, 2 CMD_ERROR
        std::string_view token;
    };
    const Case cases[] = {
        {p::list(1, "down.example.net", "2101", "", ""), 1, p::kTokError41},
        {p::list(1, "nowhere.example.net", "2101", "", ""), 1, p::kTokError41},
        {p::list(1, "up.example.net", "2101", "", ""), 1, p::kTokError5},
        {p::fixed("#LIST 1,up.example.net\r\n"), 2, ""},
        {p::fixed("#LIST 1,up.example.net:http\r\n"), 2, ""},
        {p::fixed("#LIST 1,up.example.net:2101/MOUNT\r\n"), 2, ""},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(line.tx.SendWaitEither(c.command, p::kTokCmdOk, p::kTokCmdError, 1, 512),
                  c.accepted)
            << c.command.text;
        if (!c.token.empty()) {
            EXPECT_EQ(line.serial.WaitTokenLimited(c.token, 512), 1) << c.command.text;
        }
    }
}

TEST(SimModemCaster, ConnectOutcomesFollowTheCastersTable) {
    struct Case {
        const char* name;
        p::Command command;
        int outcome; // 1..5 as the program numbers them, 0 for CMD_ERROR
    };
    const Case cases[] = {
        {"free stream", p::connect(1, false, "caster.example.net", "2101", "DEMO01", "", ""), 1},
        {"login", p::connect(2, true, "caster.example.net", "2101", "DEMO02", "ana", "pw"), 1},
        {"missing login", p::connect(0, false, "caster.example.net", "2101", "DEMO02", "", ""), 3},
        {"wrong login", p::connect(1, true, "caster.example.net", "2101", "DEMOVRS", "ana", "x"),
         3},
        {"no such mountpoint",
         p::connect(1, true, "caster.example.net", "2101", "NOPE", "ana", "pw"), 4},
        {"unreachable", p::connect(1, false, "down.example.net", "2101", "DEMO01", "", ""), 2},
        {"IBSS", p::connect(3, false, "survey", "2101", "DEMO02", "rover7", "pw"), 3},
        {"no mountpoint", p::fixed("#CONNECT 1,caster.example.net:2101\r\n"), 0},
        {"blank in password",
         p::connect(1, true, "caster.example.net", "2101", "DEMO02", "ana", "p w"), 0},
    };
    for (const auto& c : cases) {
        auto settings = quickSettings();
        settings.casterLogin = "ana:pw";
        settings.unreachable = {"down.example.net:2101"};
        SimLine line(settings);
        const int accepted =
            line.tx.SendWaitEither(c.command, p::kTokCmdOk, p::kTokCmdError, 5, 512);
        if (c.outcome == 0) {
            EXPECT_EQ(accepted, 2) << c.name;
            continue;
        }
        ASSERT_EQ(accepted, 1) << c.name;
        EXPECT_EQ(line.serial.WaitOneOfFiveLimited(kOutcomes, 512), c.outcome) << c.name;
        const std::string stored = line.query(p::kAddrServer, p::kReplyAddrServer);
        if (c.outcome == 1) {
            EXPECT_NE(stored.find("caster.example.net:2101,DEMO0"), std::string::npos) << c.name;
        } else {
            EXPECT_EQ(stored, "null:0,null,null:null\r\n") << c.name;
        }
    }
}

TEST(SimModemCaster, DirectConnectionToAnotherModem) {
    auto settings = quickSettings();
    settings.unreachable = {"10.9.9.9"};
    SimLine line(settings);
    EXPECT_EQ(line.tx.SendWaitToken(p::connect2("10.9.9.9", "5000"), p::kTokOk, 1), 0);
    EXPECT_EQ(line.tx.SendWaitEither(p::kStConnect, p::kTokOn, p::kTokOff, 1, 2048), 2);
    EXPECT_EQ(line.tx.SendWaitToken(p::connect2("10.1.2.3", "5000"), p::kTokOk, 5), 1);
    EXPECT_EQ(line.query(p::kAddrServer, p::kReplyAddrServer), "10.1.2.3:5000,TESSADORN,1\r\n");
    EXPECT_EQ(line.tx.SendWaitEither(p::kStConnect, p::kTokOn, p::kTokOff, 1, 2048), 1);
}

TEST(SimModemCaster, SignalReportsCanBeSwitchedOff) {
    SimLine line(quickSettings());
    EXPECT_EQ(line.tx.SendWaitToken(p::kSignalOff, p::kTokSignalOff, 5), 1);
}
