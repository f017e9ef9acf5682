#include "modem/Replies.h"

#include <gtest/gtest.h>

#include <optional>

namespace tessadorn {
namespace {

using replies::readDecimal;

// A number that does not fit an int never wraps: the text does not read as a number at all.
TEST(ReplyParsers, DecimalReads) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"5", 5},
        {"  42x", 42},
        {"-1\r\n", -1},
        {"+3", 3},
        {"", 0},
        {"x1", 0},
        {"1,5", 1},
        {"-", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"000000000000002147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"4294967296", std::nullopt},
        {"4294967297\r\n", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (auto [text, want] : cases)
        EXPECT_EQ(readDecimal(text), want) << text;
}

TEST(ReplyParsers, Configuration) {
    struct Case {
        std::string text;
        bool ok;
        int mode;
        std::string serial, firmware, imei, apn, apnUser, apnPassword;
    };
    const Case cases[] = {
        {"CLIENT,A123,2.1.4,350000111122223,web.apn,u,p\r\n", true, 2, "A123", "2.1.4",
         "350000111122223", "web.apn", "u", "p"},
        {"SERVER,B9,1.0,35,apn,,\r\n", true, 1, "B9", "1.0", "35", "apn", "", ""},
        {"client,B9,1.0,35,apn,,\r\n", true, 1, "B9", "1.0", "35", "apn", "", ""},
        {",B9,1.0,35,apn,,\r\n", true, 1, "B9", "1.0", "35", "apn", "", ""},
        {"CLIENT,S,F,I,A,U,P,extra,more\r\n", true, 2, "S", "F", "I", "A", "U", "P"},
        {"CLIENT,S,F,I,A,U\r\n", false, -1, "", "", "", "", "", ""},       // six fields
        {"CLIENT,S,F,I,A,U\r\n,P,Q,R", false, -1, "", "", "", "", "", ""}, // cut at line end
        {"CLI", false, -1, "", "", "", "", "", ""},
        {"", false, -1, "", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        DeviceConfig::Values v;
        int mode = -1;
        ASSERT_EQ(replies::parseGetCfg(c.text, v, mode), c.ok) << c.text;
        EXPECT_EQ(mode, c.mode) << c.text;
        EXPECT_EQ(v.SerialNumber, c.serial);
        EXPECT_EQ(v.FirmwareVersion, c.firmware);
        EXPECT_EQ(v.Imei, c.imei);
        EXPECT_EQ(v.ApnName, c.apn);
        EXPECT_EQ(v.ApnUser, c.apnUser);
        EXPECT_EQ(v.ApnPassword, c.apnPassword);
    }
}

TEST(ReplyParsers, PositionSourceAndBroadcast) {
    DeviceConfig::Values v;
    ASSERT_TRUE(replies::parseGetGga("AUTO,TRIMBLE,COM2\r\n", v));
    EXPECT_EQ(v.GgaMode, "AUTO");
    EXPECT_EQ(v.GpsType, "TRIMBLE");
    EXPECT_EQ(v.GpsPort, "COM2");
    ASSERT_TRUE(replies::parseGetGga("MANUAL,41.400000,2.150000\r\n", v));
    EXPECT_EQ(v.GgaMode, "MANUAL");
    EXPECT_EQ(v.GgaLatitude, "41.400000");
    EXPECT_EQ(v.GgaLongitude, "2.150000");
    EXPECT_EQ(v.GpsType, "TRIMBLE") << "a manual position leaves the receiver fields alone";
    EXPECT_FALSE(replies::parseGetGga("AUTO,KV-318\r\n", v));

    ASSERT_TRUE(replies::parseGetBrd("1,relay.example.com,2102\r\n", v));
    EXPECT_EQ(v.BroadcastOn, "1");
    EXPECT_EQ(v.BroadcastHost, "relay.example.com");
    EXPECT_EQ(v.BroadcastPort, "2102");
    EXPECT_EQ(v.BroadcastStream, "TESSADORN");
    EXPECT_FALSE(replies::parseGetBrd("1,x\r\n", v));
    EXPECT_FALSE(replies::parseGetBrd("4294967296,relay.example.com,2102\r\n", v));
    EXPECT_EQ(v.BroadcastOn, "1") << "a refused reply changes nothing";
}

TEST(ReplyParsers, StoredCaster) {
    struct Case {
        std::string text;
        bool ok;
        std::string host, port, mount, user, password, kind;
    };
    const Case cases[] = {
        {"caster.example:2101,MP1,alice,secret\r\n", true, "caster.example", "2101", "MP1", "alice",
         "secret", "0"},
        {"10.0.0.9,2101,MP,x\r\n", true, "10.0.0.9", "2101", "MP", "null", "null", "1"},
        {"h:1:M\r\n", true, "h", "1", "M", "", "", "0"},
        {"h,1,M,u,pa:ss\r\n", true, "h", "1", "M", "u", "pa", "0"}, // no escaping: the colon splits
        {"h,1\r\n", false, "", "", "", "", "", ""},
        {"h\r\n", false, "", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        DeviceConfig::Values v;
        ASSERT_EQ(replies::parseAddrServer(c.text, v), c.ok) << c.text;
        EXPECT_EQ(v.CasterHost, c.host);
        EXPECT_EQ(v.CasterPort, c.port);
        EXPECT_EQ(v.CasterMountpoint, c.mount);
        EXPECT_EQ(v.CasterUser, c.user);
        EXPECT_EQ(v.CasterPassword, c.password);
        EXPECT_EQ(v.CasterKind, c.kind);
    }
}

TEST(ReplyParsers, ApnState) {
    const std::tuple<const char*, bool, int, int> cases[] = {{"1,5\r\n", true, 1, 5},
                                                             {"0,5\r\n", true, 0, 5},
                                                             {"1,0\r\n", true, 1, 0},
                                                             {"1", true, 1, 0},
                                                             {"", true, 0, 0},
                                                             {"x,y", true, 0, 0},
                                                             {"4294967297,5", false, -9, -9},
                                                             {"1,4294967301", false, -9, -9}};
    for (auto [text, ok, ready, sim] : cases) {
        int a = -9, s = -9;
        EXPECT_EQ(replies::parseApn(text, a, s), ok) << text;
        EXPECT_EQ(a, ready) << text;
        EXPECT_EQ(s, sim) << text;
    }
}

TEST(DeviceConfig, TextsKeepAtMostTheirCapacityLessOne) {
    DeviceConfig config;
    config.update([](auto& v) {
        v.SerialNumber = std::string(40, 'S');
        v.CasterKind = "10";
        v.BroadcastPort = "1234567890123";
    });
    const auto v = config.read();
    EXPECT_EQ(v.SerialNumber.size(), 19u);
    EXPECT_EQ(v.CasterKind, "1");
    EXPECT_EQ(v.BroadcastPort, "123456789");
}

} // namespace
} // namespace tessadorn
