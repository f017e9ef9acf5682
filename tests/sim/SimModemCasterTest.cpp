#include "SimLine.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tessadorn;
using namespace tessadorn::test;

namespace {

const std::array<std::string_view, 5> kOutcomes = {"<OK", "ERROR 4_1", "ERROR 4_2", "ERROR 4_3",
                                                   "ERROR 5"};

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
        std::string command;
    };
    const std::string dir = TESSADORN_TEST_DATA;
    const Case cases[] = {
        {"gpsd-sapos.txt", "#LIST 1,sapos.example.de:2101\r\n"},
        {"trignet.txt", "#LIST 2,trignet.example.za:2101\r\n"},
        {"igs-ip.txt", "#LIST igs.example.net:2101\r\n"},
        {"trignet.txt", "#LIST 2,survey." TESSADORN_IBSS_SUFFIX ":2101 rover7.survey:s3cret\r\n"},
    };
    for (const auto& c : cases) {
        auto settings = quickSettings();
        settings.baudIndex = 4;
        settings.tables = {{"sapos.example.de:2101", dir + "/gpsd-sapos.txt"},
                           {"trignet.example.za", dir + "/trignet.txt"},
                           {"igs.example.net", dir + "/igs-ip.txt"},
                           {"survey." + std::string(TESSADORN_IBSS_SUFFIX), dir + "/trignet.txt"}};
        SimLine line(settings);
        ASSERT_EQ(line.tx.SendWaitEither(c.command, "CMD_OK", "CMD_ERROR", 1, 512), 1) << c.command;
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
        std::string command;
        int accepted; // 1 CMD_OK, 2 CMD_ERROR
        std::string_view token;
    };
    const Case cases[] = {
        {"#LIST 1,down.example.net:2101\r\n", 1, "ERROR 4_1"},
        {"#LIST 1,nowhere.example.net:2101\r\n", 1, "ERROR 4_1"},
        {"#LIST 1,up.example.net:2101\r\n", 1, "ERROR 5"},
        {"#LIST 1,up.example.net\r\n", 2, ""},
        {"#LIST 1,up.example.net:http\r\n", 2, ""},
        {"#LIST 1,up.example.net:2101/MOUNT\r\n", 2, ""},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(line.tx.SendWaitEither(c.command, "CMD_OK", "CMD_ERROR", 1, 512), c.accepted)
            << c.command;
        if (!c.token.empty()) {
            EXPECT_EQ(line.serial.WaitTokenLimited(c.token, 512), 1) << c.command;
        }
    }
}

TEST(SimModemCaster, ConnectOutcomesFollowTheCastersTable) {
    struct Case {
        const char* name;
        std::string command;
        int outcome; // 1..5 as the program numbers them, 0 for CMD_ERROR
    };
    const Case cases[] = {
        {"free stream", "#CONNECT 1,caster.example.net:2101/DEMO01\r\n", 1},
        {"login", "#CONNECT 2,caster.example.net:2101/DEMO02 ana:pw\r\n", 1},
        {"missing login", "#CONNECT caster.example.net:2101/DEMO02\r\n", 3},
        {"wrong login", "#CONNECT 1,caster.example.net:2101/DEMOVRS ana:x\r\n", 3},
        {"no such mountpoint", "#CONNECT 1,caster.example.net:2101/NOPE ana:pw\r\n", 4},
        {"unreachable", "#CONNECT 1,down.example.net:2101/DEMO01\r\n", 2},
        {"IBSS", "#CONNECT 2,survey." TESSADORN_IBSS_SUFFIX ":2101/DEMO02 rover7.survey:pw\r\n", 3},
        {"no mountpoint", "#CONNECT 1,caster.example.net:2101\r\n", 0},
        {"blank in password", "#CONNECT 1,caster.example.net:2101/DEMO02 ana:p w\r\n", 0},
    };
    for (const auto& c : cases) {
        auto settings = quickSettings();
        settings.casterLogin = "ana:pw";
        settings.unreachable = {"down.example.net:2101"};
        SimLine line(settings);
        const int accepted = line.tx.SendWaitEither(c.command, "CMD_OK", "CMD_ERROR", 5, 512);
        if (c.outcome == 0) {
            EXPECT_EQ(accepted, 2) << c.name;
            continue;
        }
        ASSERT_EQ(accepted, 1) << c.name;
        EXPECT_EQ(line.serial.WaitOneOfFiveLimited(kOutcomes, 512), c.outcome) << c.name;
        const std::string stored = line.query("ADDRSERVER?\r\n", "ADDRSERVER,");
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
    EXPECT_EQ(line.tx.SendWaitToken("#CONNECT2 10.9.9.9:5000\r\n", "OK", 1), 0);
    EXPECT_EQ(line.tx.SendWaitEither("#STCONNECT\r\n", "ON", "OFF", 1, 2048), 2);
    EXPECT_EQ(line.tx.SendWaitToken("#CONNECT2 10.1.2.3:5000\r\n", "OK", 5), 1);
    EXPECT_EQ(line.query("ADDRSERVER?\r\n", "ADDRSERVER,"), "10.1.2.3:5000,TESSADORN,1\r\n");
    EXPECT_EQ(line.tx.SendWaitEither("#STCONNECT\r\n", "ON", "OFF", 1, 2048), 1);
}

TEST(SimModemCaster, SignalReportsCanBeSwitchedOff) {
    SimLine line(quickSettings());
    EXPECT_EQ(line.tx.SendWaitToken("#SIGNAL OFF\r\n", "SIGNAL OFF", 5), 1);
}
