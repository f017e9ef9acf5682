#include "modem/CasterSync.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace tessadorn {
namespace {

// The list before each case: the APN block of the file, and three casters.
CasterDocument listBefore() {
    CasterDocument doc;
    doc.reset();
    doc.carrier = "no";
    doc.apn = "web.example";
    doc.carrierUser = "wu";
    doc.carrierPassword = "wp";
    doc.server = "9";
    doc.user = "before";
    doc.password = "before-pw";
    doc.entries[0] = {"Home", "caster.example", "2101", "alice", "secret", "0", "1"};
    doc.entries[1] = {"Home again", "caster.example", "2101", "alice", "secret", "0", "2"};
    doc.entries[2] = {"Base", "10.0.0.9", "5000", "", "", "1", "1"};
    doc.count = 3;
    return doc;
}

DeviceConfig::Values modem() {
    DeviceConfig::Values d;
    d.ApnName = "web.example";
    d.ApnUser = "wu";
    d.ApnPassword = "wp";
    d.CasterHost = "caster.example";
    d.CasterPort = "2101";
    d.CasterUser = "alice";
    d.CasterPassword = "secret";
    d.CasterKind = "0";
    return d;
}

struct ApnCase {
    const char* name;
    std::function<void(DeviceConfig::Values&)> change;
    bool taken;
};

void PrintTo(const ApnCase& c, std::ostream* os) {
    *os << c.name;
}

class CasterSyncApn : public ::testing::TestWithParam<ApnCase> {};

TEST_P(CasterSyncApn, TakesTheModemsBlockWhenAnyPartDiffers) {
    DebugCapture debug;
    auto doc = listBefore();
    auto d = modem();
    GetParam().change(d);
    EXPECT_EQ(caster_sync::syncApn(d, doc), GetParam().taken);
    const auto before = listBefore();
    if (GetParam().taken) {
        EXPECT_EQ(doc.apn, d.ApnName);
        EXPECT_EQ(doc.carrierUser, d.ApnUser);
        EXPECT_EQ(doc.carrierPassword, d.ApnPassword);
        EXPECT_EQ(doc.carrier, "yes");
    } else {
        EXPECT_EQ(doc.apn, before.apn);
        EXPECT_EQ(doc.carrierUser, before.carrierUser);
        EXPECT_EQ(doc.carrierPassword, before.carrierPassword);
        EXPECT_EQ(doc.carrier, "no");
    }
    EXPECT_EQ(doc.server, before.server) << "the APN never touches the current caster";
}

// A value the file cannot carry back (a "<" ends a value there) is not taken, and the debug
// output says why; a longer value is cut to the file's 49 bytes (below).
const ApnCase kApnCases[] = {
    {"all equal", [](auto&) {}, false},
    {"only the password differs", [](auto& d) { d.ApnPassword = "new"; }, true},
    {"only the user differs", [](auto& d) { d.ApnUser = "wu2"; }, true},
    {"only the name differs", [](auto& d) { d.ApnName = "web2.example"; }, true},
    {"case differs", [](auto& d) { d.ApnName = "Web.example"; }, true},
    {"all empty", [](auto& d) { d.ApnName = d.ApnUser = d.ApnPassword = ""; }, true},
    {"49 bytes", [](auto& d) { d.ApnName = std::string(49, 'a'); }, true},
    {"a < in the name", [](auto& d) { d.ApnName = "web<x"; }, false},
    {"a < in the password", [](auto& d) { d.ApnPassword = "p<w"; }, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, CasterSyncApn, ::testing::ValuesIn(kApnCases));

TEST(CasterSyncApn, AValueTheFileCannotCarryIsNamedInTheDebugOutput) {
    DebugCapture debug;
    auto doc = listBefore();
    auto d = modem();
    d.ApnName = "web<x";
    EXPECT_FALSE(caster_sync::syncApn(d, doc));
    bool said = false;
    for (const auto& line : debug.lines())
        said = said || line.find("APN") != std::string::npos;
    EXPECT_TRUE(said);
}

struct MatchCase {
    const char* name;
    std::function<void(DeviceConfig::Values&)> change;
    const char* server; // nullptr: no match, nothing changes
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.name;
}

class CasterSyncMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(CasterSyncMatch, TheFirstMatchingEntryBecomesCurrent) {
    DebugCapture debug;
    auto doc = listBefore();
    auto d = modem();
    GetParam().change(d);
    const bool matched = caster_sync::matchStoredCaster(d, doc);
    EXPECT_EQ(matched, GetParam().server != nullptr);
    if (matched) {
        EXPECT_EQ(doc.server, GetParam().server);
        EXPECT_EQ(doc.user, d.CasterUser);
        EXPECT_EQ(doc.password, d.CasterPassword);
    } else {
        EXPECT_EQ(doc.server, "9");
        EXPECT_EQ(doc.user, "before");
        EXPECT_EQ(doc.password, "before-pw");
    }
    EXPECT_FALSE(doc.hasCurrent) << "the match never sets the current section";
    EXPECT_EQ(doc.apn, "web.example");
}

const MatchCase kMatchCases[] = {
    {"host, port, user and password", [](auto&) {}, "0"},
    {"same host, other port", [](auto& d) { d.CasterPort = "2102"; }, nullptr},
    {"same host, other user", [](auto& d) { d.CasterUser = "bob"; }, nullptr},
    {"same host, other password", [](auto& d) { d.CasterPassword = "x"; }, nullptr},
    {"host differs in case", [](auto& d) { d.CasterHost = "Caster.example"; }, nullptr},
    {"host null", [](auto& d) { d.CasterHost = "null"; }, nullptr},
    {"port null", [](auto& d) { d.CasterPort = "null"; }, nullptr},
    {"a Tessadorn server by host and port",
     [](auto& d) {
         d.CasterHost = "10.0.0.9";
         d.CasterPort = "5000";
         d.CasterUser = d.CasterPassword = "null";
         d.CasterKind = "1";
     },
     "2"},
    {"a Tessadorn server never matches a caster entry", [](auto& d) { d.CasterKind = "1"; },
     nullptr},
    {"a caster never matches a Tessadorn entry",
     [](auto& d) {
         d.CasterHost = "10.0.0.9";
         d.CasterPort = "5000";
         d.CasterUser = d.CasterPassword = "";
     },
     nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, CasterSyncMatch, ::testing::ValuesIn(kMatchCases));

TEST(CasterSyncMatch, OnlyCountedEntriesAreTried) {
    auto doc = listBefore();
    doc.count = 0;
    EXPECT_FALSE(caster_sync::matchStoredCaster(modem(), doc));
    EXPECT_EQ(doc.server, "9");
}

// The modem's APN block reaches the list as the file can hold it, so that the next start finds
// it equal and writes nothing.
TEST(CasterSync, ApnFromTheModemIsKeptAsTheFileHoldsIt) {
    struct Case {
        std::size_t length;
        std::size_t kept;
    };
    for (const auto& c : {Case{0, 0}, Case{49, 49}, Case{50, 49}, Case{99, 49}}) {
        DeviceConfig::Values device;
        device.ApnName = std::string(c.length, 'a');
        device.ApnUser = std::string(c.length, 'u');
        device.ApnPassword = std::string(c.length, 'p');
        CasterDocument doc;
        doc.apn = "x";
        ASSERT_TRUE(caster_sync::syncApn(device, doc)) << c.length;
        EXPECT_EQ(doc.apn, std::string(c.kept, 'a')) << c.length;
        EXPECT_EQ(doc.carrierUser, std::string(c.kept, 'u')) << c.length;
        EXPECT_EQ(doc.carrierPassword, std::string(c.kept, 'p')) << c.length;
        EXPECT_EQ(doc.carrier, "yes");
        EXPECT_FALSE(caster_sync::syncApn(device, doc)) << c.length << ": equal the next time";
    }
}

} // namespace
} // namespace tessadorn
