#include "SimSettings.h"
#include "CasterRequest.h"
#include "NetworkCaster.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace tessadorn::sim;

TEST(SimSettings, KeysAcceptGoodValuesAndRefuseBadOnes) {
    struct Case {
        const char* key;
        const char* value;
        bool ok;
    };
    const Case cases[] = {
        {"role", "base", true},
        {"role", "BASE", false},
        {"baud", "4", true},
        {"baud", "5", false},
        {"baud", "", false},
        {"baud", "2x", false},
        {"signal", "-1", true},
        {"signal", "5", false},
        {"gps", "TOPCON", true},
        {"gps", "GARMIN", false},
        {"gga-mode", "MANUAL", true},
        {"gga-mode", "manual", false},
        {"pacing", "off", true},
        {"pacing", "maybe", false},
        {"table", "h:2101=f.txt", true},
        {"table", "h:2101", false},
        {"table", "=f.txt", false},
        {"otap", "silent", true},
        {"otap", "late", false},
        {"event", "500:signal=1", true},
        {"event", "500:signal=9", false},
        {"event", "x:signal=1", false},
        {"event", "500:event=1:a=b", false},
        {"scenario", "no-sim", true},
        {"scenario", "nope", false},
        {"frequency", "1", false},
    };
    for (const auto& c : cases) {
        SimSettings s;
        std::string error;
        EXPECT_EQ(applySetting(s, c.key, c.value, error), c.ok) << c.key << "=" << c.value;
        EXPECT_EQ(error.empty(), c.ok) << c.key << "=" << c.value;
    }
}

TEST(SimSettings, FileAndScenarioSetTheState) {
    const std::string path = ::testing::TempDir() + "sim-settings.txt";
    {
        std::ofstream out(path);
        out << "# a base on a slow line\n\nrole = base\nbaud=0\n  serial = TD77 \n"
            << "scenario = no-sim\nevent = 3000:sim=5\nrefuse=#GETBRD?\n";
    }
    SimSettings s;
    std::string error;
    ASSERT_TRUE(loadSettingsFile(path, s, error)) << error;
    EXPECT_TRUE(s.base);
    EXPECT_EQ(s.baudIndex, 0);
    EXPECT_EQ(s.serialNumber, "TD77");
    EXPECT_EQ(s.simState, 0);
    EXPECT_EQ(s.signal, -1);
    ASSERT_EQ(s.timeline.size(), 1u);
    EXPECT_EQ(s.timeline[0].atMs, 3000);
    EXPECT_EQ(s.timeline[0].key, "sim");
    ASSERT_EQ(s.refused.size(), 1u);

    {
        std::ofstream out(path);
        out << "role = base\nbaud 3\n";
    }
    EXPECT_FALSE(loadSettingsFile(path, s, error));
    EXPECT_NE(error.find(":2:"), std::string::npos) << error;
    std::remove(path.c_str());
    EXPECT_FALSE(loadSettingsFile(path, s, error));
}

TEST(CasterRequest, ParsesEveryFormOfTheCasterCommands) {
    struct Case {
        const char* text;
        bool mount;
        bool ok;
        int version = 0;
        const char* host = "";
        const char* port = "";
        const char* mountpoint = "";
        const char* user = "";
        const char* password = "";
    };
    const Case cases[] = {
        {"1,caster.net:2101", false, true, 1, "caster.net", "2101", "", "", ""},
        {"2,caster.net:2101", false, true, 2, "caster.net", "2101", "", "", ""},
        {"caster.net:80", false, true, 0, "caster.net", "80", "", "", ""},
        {"2,org.ibss.example:2101 dev.org:pw", false, true, 2, "org.ibss.example", "2101", "",
         "dev.org", "pw"},
        {"1,c.net:2101/MP u:p:q", true, true, 1, "c.net", "2101", "MP", "u", "p:q"},
        {"c.net:2101/MP", true, true, 0, "c.net", "2101", "MP", "", ""},
        {"c.net:2101/MP u:", true, true, 0, "c.net", "2101", "MP", "u", ""},
        {"c.net:2101", true, false},
        {"c.net:2101/MP", false, false},
        {"c.net:2101/", true, false},
        {"c.net", false, false},
        {":2101", false, false},
        {"c.net:0", false, false},
        {"c.net:65536", false, false},
        {"c.net:65535", false, true, 0, "c.net", "65535", "", "", ""},
        {"c.net:1", false, true, 0, "c.net", "1", "", "", ""},
        {"c.net:99999999999", false, false},
        {"c.net:21a", false, false},
        {"c.net:2101/MP user", true, false},
        {"c.net:2101/MP u:p w", true, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        const auto r = CasterRequest::parse(c.text, c.mount);
        ASSERT_EQ(r.has_value(), c.ok) << c.text;
        if (!r) continue;
        EXPECT_EQ(r->version, c.version) << c.text;
        EXPECT_EQ(r->host, c.host) << c.text;
        EXPECT_EQ(r->port, c.port) << c.text;
        EXPECT_EQ(r->mountpoint, c.mountpoint) << c.text;
        EXPECT_EQ(r->user, c.user) << c.text;
        EXPECT_EQ(r->password, c.password) << c.text;
    }
}

TEST(NetworkCaster, RequestsCarryTheNtripHeaders) {
    auto r = CasterRequest::parse("1,127.0.0.1:2101/MOUNT user:pass", true);
    ASSERT_TRUE(r);
    EXPECT_EQ(NetworkCaster::requestText(*r, "/MOUNT"),
              "GET /MOUNT HTTP/1.0\r\nUser-Agent: NTRIP TessadornSim/1.0\r\n"
              "Authorization: Basic dXNlcjpwYXNz\r\n\r\n");
    r = CasterRequest::parse("2,caster.example:2101", false);
    ASSERT_TRUE(r);
    EXPECT_EQ(NetworkCaster::requestText(*r, "/"),
              "GET / HTTP/1.1\r\nHost: caster.example:2101\r\nNtrip-Version: Ntrip/2.0\r\n"
              "User-Agent: NTRIP TessadornSim/1.0\r\nConnection: close\r\n\r\n");
    // Base64 padding of one and two left-over bytes.
    r = CasterRequest::parse("c:1/M ab:c", true);
    EXPECT_NE(NetworkCaster::requestText(*r, "/M").find("Basic YWI6Yw==\r\n"), std::string::npos);
    r = CasterRequest::parse("c:1/M ab:cd", true);
    EXPECT_NE(NetworkCaster::requestText(*r, "/M").find("Basic YWI6Y2Q=\r\n"), std::string::npos);
}

TEST(NetworkCaster, ReadsTheCastersAnswerToAStreamRequest) {
    using O = CasterAnswer::Outcome;
    const std::pair<const char*, O> cases[] = {
        {"ICY 200 OK\r\n", O::Ok},
        {"HTTP/1.1 200 OK\r\nContent-Type: gnss/data\r\n\r\n", O::Ok},
        {"HTTP/1.1 200 OK\r\nContent-Type: gnss/sourcetable\r\n\r\n", O::NoMountpoint},
        {"SOURCETABLE 200 OK\r\nServer: x\r\n", O::NoMountpoint},
        {"HTTP/1.0 401 Unauthorized\r\n", O::Unauthorized},
        {"HTTP/1.1 404 Not Found\r\n\r\n", O::NoMountpoint},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n", O::Failed},
        {"garbage", O::Failed},
        {"", O::Failed},
    };
    for (const auto& [head, outcome] : cases)
        EXPECT_EQ(NetworkCaster::classifyStreamAnswer(head), outcome) << head;
}
