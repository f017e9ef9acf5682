#include "link/SerialChannel.h"
#include "ChannelRig.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace tessadorn {
namespace {

using test::FakeSerialPort;
using test::ScriptedModem;
using namespace std::string_literals;

using Rig = test::ChannelRig;

enum class Reader {
    WaitToken,
    WaitTokenLimited,
    WaitEither,
    WaitOneOfFive,
    Capture,
    CaptureLimited
};

struct ReaderCase {
    const char* name;
    Reader reader;
    std::vector<std::string> tokens;
    std::string stream;        // what the modem sends
    int want;                  // reader result
    std::string captured = {}; // for the captures, when want == 1
    int readLimit = 2048;
    std::size_t capacity = 100;
    bool splittable = true; // the case survives a silent gap at every byte position
};

void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << c.name;
}

int runReader(Rig& rig, const ReaderCase& c, std::string& out) {
    auto& ch = rig.channel;
    switch (c.reader) {
    case Reader::WaitToken:
        return ch.WaitToken(c.tokens[0]);
    case Reader::WaitTokenLimited:
        return ch.WaitTokenLimited(c.tokens[0], c.readLimit);
    case Reader::WaitEither:
        return ch.WaitEither(c.tokens[0], c.tokens[1], c.readLimit);
    case Reader::WaitOneOfFive:
        return ch.WaitOneOfFive({c.tokens[0], c.tokens[1], c.tokens[2], c.tokens[3], c.tokens[4]});
    case Reader::Capture:
        return ch.Capture(c.tokens[0], c.tokens[1], out, c.capacity);
    case Reader::CaptureLimited:
        return ch.CaptureLimited(c.tokens[0], c.tokens[1], out, c.capacity, c.readLimit);
    }
    return -1;
}

const std::vector<std::string> kFive = {"<OK", "ERROR 4_1", "ERROR 4_2", "ERROR 4_3", "ERROR 5"};

const ReaderCase kReaderCases[] = {
    {"DeviceAnswer", Reader::WaitTokenLimited, {"TESSADORN"}, "\r\nTESSADORN RTK v2\r\n", 1},
    {"LowerCaseIsNoAnswer", Reader::WaitToken, {"TESSADORN"}, "tessadorn\r\n", 0},
    {"OffIsTwo", Reader::WaitEither, {"ON", "OFF"}, "OFF\r\n", 2},
    {"OnIsOne", Reader::WaitEither, {"ON", "OFF"}, "ON\r\n", 1},
    {"OnInsideAWord", Reader::WaitEither, {"ON", "OFF"}, "CONNECTED\r\n", 1},
    {"DoubledFirstLetter", Reader::WaitEither, {"ON", "OFF"}, "OOFF", 2},
    {"PromptAfterStrayBracket", Reader::WaitToken, {"<OK\r\n"}, "<<OK\r\n", 1},
    {"EndOfTableAfterStrayE", Reader::WaitToken, {"ENDSOURCETABLE"}, "EENDSOURCETABLE\r\n", 1},
    {"ConnectOk", Reader::WaitOneOfFive, kFive, "CMD_OK\r\n<OK\r\n", 1},
    {"CredentialsRefused", Reader::WaitOneOfFive, kFive, "ERROR 4_2\r\n", 3},
    {"OtherFailure", Reader::WaitOneOfFive, kFive, "ERROR ERROR 5\r\n", 5},
    {"ApnCapture", Reader::Capture, {"+APN:", "<OK\r\n"}, "+APN:1,5\r\n<OK\r\n", 1, "1,5\r\n"},
    {"CaptureRestartsAtEveryStart",
     Reader::Capture,
     {"+APN:", "<OK\r\n"},
     "+APN:0,0\r\n+APN:1,5\r\n<OK\r\n",
     1,
     "1,5\r\n"},
    {"EndTokenAlone", Reader::Capture, {"+APN:", "<OK\r\n"}, "<OK\r\n", 0},
    {"StartThenEnd", Reader::Capture, {"+APN:", "<OK\r\n"}, "+APN:<OK\r\n", 0},
    {"ReplyWithoutOk", Reader::Capture, {"#GETCFG,", "<OK\r\n"}, "#GETCFG,CLIENT,1\r\n", 0},
    {"CaptureSkipsNul",
     Reader::Capture,
     {"IP,", "<OK\r\n"},
     "IP,10.0\0.0.1\r\n<OK\r\n"s,
     1,
     "10.0.0.1\r\n"},
    {"LimitedCaptureKeepsNul",
     Reader::CaptureLimited,
     {"IP,", "<OK\r\n"},
     "IP,10.0\0.0.1\r\n<OK\r\n"s,
     1,
     "10.0\0.0.1\r\n"s},
    {"CaptureNeverOverflowsTheBuffer",
     Reader::Capture,
     {"+SIGNAL:", "<OK\r\n"},
     "+SIGNAL:123456789012345678901234567890\r\n<OK\r\n",
     1,
     "123456789",
     2048,
     10},
    {"ReadLimitStopsBeforeToken",
     Reader::WaitTokenLimited,
     {"TESSADORN"},
     std::string(100, 'x') + "TESSADORN",
     0,
     "",
     100,
     100,
     false},
};

class ReaderCases : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderCases, WholeStream) {
    const auto& c = GetParam();
    Rig rig;
    rig.modem.push(c.stream, 0);
    std::string out = "stale";
    EXPECT_EQ(runReader(rig, c, out), c.want);
    if (c.want == 1 && (c.reader == Reader::Capture || c.reader == Reader::CaptureLimited)) {
        EXPECT_EQ(out, c.captured);
    }
}

// Cases that survive a silent gap anywhere (not those that depend on the exact read count).
std::vector<ReaderCase> splittableCases() {
    std::vector<ReaderCase> out;
    for (const auto& c : kReaderCases)
        if (c.splittable) out.push_back(c);
    return out;
}

class SplitReaderCases : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(SplitReaderCases, SplitAtEveryByteWithSilenceAndGarbage) {
    const auto& c = GetParam();
    // Garbage before the reply must not change anything, and neither may a silent gap of one
    // empty read at any byte position.
    const std::string garbage = "\r\n#junk;;\x01\r\n";
    const std::string stream = garbage + c.stream;
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        Rig rig;
        rig.modem.push(stream.substr(0, cut), 0);
        rig.modem.push(stream.substr(cut), 600); // one empty read between the halves
        std::string out;
        ASSERT_EQ(runReader(rig, c, out), c.want) << "cut at " << cut;
        if (c.want == 1 && (c.reader == Reader::Capture || c.reader == Reader::CaptureLimited)) {
            ASSERT_EQ(out, c.captured) << "cut at " << cut;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, ReaderCases, ::testing::ValuesIn(kReaderCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Readers, SplitReaderCases, ::testing::ValuesIn(splittableCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Silence costs exactly the empty-read limit, whatever the read limit. A device that goes away
// during the wait (the adapter pulled at 200 ms) ends every reader with the read it went in.
struct SilenceCase {
    const char* name;
    std::function<int(SerialChannel&)> read;
    std::int64_t wantMs;
};

TEST(SerialChannel, SilenceEndsEachReaderAfterItsEmptyReadLimit) {
    const SilenceCase cases[] = {
        {"WaitToken", [](SerialChannel& c) { return c.WaitToken("OK"); }, 5 * 500},
        {"WaitTokenLimited", [](SerialChannel& c) { return c.WaitTokenLimited("OK", 2048); },
         5 * 500},
        {"WaitEither", [](SerialChannel& c) { return c.WaitEither("ON", "OFF", 2048); }, 5 * 500},
        {"WaitOneOfFive",
         [](SerialChannel& c) {
             return c.WaitOneOfFive({"a", "b", "c", "d", "e"});
         },
         240 * 500},
        {"WaitOneOfFiveLimited",
         [](SerialChannel& c) {
             return c.WaitOneOfFiveLimited({"a", "b", "c", "d", "e"}, 512);
         },
         120 * 500},
        {"Capture",
         [](SerialChannel& c) {
             std::string s;
             return c.Capture("+APN:", "<OK\r\n", s, 20);
         },
         5 * 500},
        {"ReadBlock",
         [](SerialChannel& c) {
             std::uint8_t b[4];
             return c.ReadBlock(b, 4);
         },
         5 * (500 + 1000)},
    };
    for (const auto& c : cases) {
        for (const bool gone : {false, true}) {
            Rig rig;
            if (gone) rig.port.absentBetween(200, 1'000'000);
            EXPECT_EQ(c.read(rig.channel), 0) << c.name;
            EXPECT_EQ(rig.clock.nowMs(), gone ? 500 : c.wantMs)
                << c.name << (gone ? ", device gone" : "");
            EXPECT_EQ(rig.port.deviceGone(), gone) << c.name;
        }
    }
}

TEST(SerialChannel, WaitOneOfFiveLimitedStopsAtItsReadLimitEvenWhileBytesFlow) {
    Rig rig;
    rig.modem.push(std::string(600, '.') + "<OK", 0);
    EXPECT_EQ(rig.channel.WaitOneOfFiveLimited({"<OK", "E1", "E2", "E3", "E5"}, 512), 0);
    EXPECT_EQ(rig.modem.pending() + rig.channel.Buffered(), 600u - 512u + 3u);
    EXPECT_EQ(rig.modem.pending(), 0u) << "the port's bytes came in one read";
    // What one reader did not take is the next one's, as it would be on the port.
    EXPECT_EQ(rig.channel.WaitTokenLimited("<OK", 91), 1);
    EXPECT_EQ(rig.channel.Buffered(), 0u);
    EXPECT_EQ(rig.clock.nowMs(), 0);
}

// Opening, closing and purging drop the bytes read ahead along with what the port holds.
TEST(SerialChannel, BytesReadAheadGoWhereThePortsBytesGo) {
    const std::pair<const char*, void (*)(SerialChannel&)> drops[] = {
        {"purge", [](SerialChannel& c) { c.PurgeReceive(); }},
        {"close and open", [](SerialChannel& c) { c.Close(), c.Open(2); }},
        {"reopen", [](SerialChannel& c) { c.Reopen(); }},
        {"drain", [](SerialChannel& c) { c.Drain(64); }},
    };
    for (const auto& [name, drop] : drops) {
        Rig rig;
        rig.modem.push("xxTESSADORN", 0);
        EXPECT_EQ(rig.channel.WaitTokenLimited("yy", 2), 0) << name;
        EXPECT_EQ(rig.channel.Buffered(), 9u) << name;
        drop(rig.channel);
        EXPECT_EQ(rig.channel.Buffered(), 0u) << name;
        EXPECT_EQ(rig.channel.WaitToken("TESSADORN"), 0) << name;
    }
}

TEST(SerialChannel, TokenBytesWithEmptyReadsBetweenThemStillMatch) {
    Rig rig;
    rig.modem.push("TES", 0);
    rig.modem.push("SAD", 1100); // two empty reads
    rig.modem.push("ORN", 2200);
    EXPECT_EQ(rig.channel.WaitTokenLimited("TESSADORN", 2048), 1);
}

TEST(SerialChannel, WriteCommandLogsAndWaits) {
    // The wait counts from when the answer can be back: a remote port's round trip is added.
    for (const auto& [roundTrip, waited] : {std::pair{0, 300}, std::pair{600, 900}}) {
        Rig rig;
        rig.port.setRoundTrip(roundTrip);
        DebugCapture log;
        rig.channel.WriteCommand("#GETCFG?\r\n");
        EXPECT_EQ(rig.port.written(), "#GETCFG?\r\n");
        EXPECT_EQ(rig.clock.nowMs(), waited) << roundTrip;
        EXPECT_EQ(log.count("OK CMD: #GETCFG?\r\n"), 1);
        EXPECT_EQ(rig.port.purges(), 0);
    }
}

TEST(SerialChannel, ReadBlockCollectsAcrossReads) {
    Rig rig;
    rig.modem.push("ab", 0);
    rig.modem.push("cd", 1200);
    std::uint8_t b[4] = {};
    EXPECT_EQ(rig.channel.ReadBlock(b, 4), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 4), "abcd");
}

// What arrived before the drain is thrown away unread; what comes after is read until a read
// brings no more than the threshold.
TEST(SerialChannel, DrainPurgesWhatArrivedAndReadsUntilTheLineIsQuiet) {
    Rig rig;
    for (int i = 0; i < 5; ++i)
        rig.modem.push(std::string(1024, 'x'), 0);
    rig.modem.push("tail", 0);
    EXPECT_EQ(rig.channel.Drain(64), 1);
    EXPECT_EQ(rig.modem.pending(), 0u);
    EXPECT_EQ(rig.port.emptyReads(), 1) << "the stale bytes were read, not purged";
    EXPECT_EQ(rig.clock.nowMs(), 500);

    // A busy line: 100 bytes every 100 ms for two seconds, then quiet.
    Rig busy;
    for (int at = 100; at <= 2000; at += 100)
        busy.modem.push(std::string(100, 'y'), at);
    EXPECT_EQ(busy.channel.Drain(64), 1);
    EXPECT_EQ(busy.modem.pending(), 0u);
    EXPECT_EQ(busy.clock.nowMs(), 2500) << "read until a read of 500 ms brought nothing";
}

TEST(SerialChannel, ClosedPortGivesOnlyEmptyReads) {
    Rig rig;
    rig.modem.push("TESSADORN", 0);
    rig.channel.Close();
    EXPECT_EQ(rig.channel.WaitToken("TESSADORN"), 0);
    EXPECT_EQ(rig.clock.nowMs(), 2500);
}

TEST(SerialChannel, AbortEndsAReaderAtOnce) {
    Rig rig;
    std::atomic<bool> abort{true};
    rig.channel.SetAbortFlag(&abort);
    EXPECT_EQ(rig.channel.WaitOneOfFive({"a", "b", "c", "d", "e"}), 0);
    EXPECT_EQ(rig.clock.nowMs(), 0);
}

// The channel, not whoever opened it, knows the rate the port is open at.
TEST(SerialChannel, RemembersTheRateItWasLastOpenedAt) {
    Rig rig; // opened at 38400
    EXPECT_EQ(rig.channel.OpenIndex(), 2);
    const std::pair<int, int> opens[] = {{4, 4}, {0, 0}, {7, 2}, {-1, 2}, {3, 3}};
    for (const auto& [index, want] : opens) {
        rig.channel.Close();
        ASSERT_EQ(rig.channel.Open(index), 1);
        EXPECT_EQ(rig.channel.OpenIndex(), want) << index;
        EXPECT_EQ(rig.port.baudIndex(), index) << index;
    }
    rig.port.failOpenAt(1);
    rig.channel.Close();
    EXPECT_EQ(rig.channel.Open(1), 0);
    EXPECT_EQ(rig.channel.OpenIndex(), 3) << "a failed open changes nothing";
    rig.port.failOpenAt(-100);
    EXPECT_EQ(rig.channel.Reopen(), 1);
    EXPECT_EQ(rig.port.baudIndex(), 3) << "reopened at the rate it was last opened at";
    SerialChannel fresh(rig.port, rig.clock);
    EXPECT_EQ(fresh.Reopen(), 0) << "a channel never opened has no rate to reopen at";
}

} // namespace
} // namespace tessadorn
