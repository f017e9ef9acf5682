// Every named operation of the modem layer against a scripted modem on the fake port, in virtual
// time: the exact bytes it writes (so its resends), how far it reads for an answer, and the result
// it names for each answer the modem can give. Answers are placed against the read limits: a
// token whose last byte is the limit's last read is found; one byte later it is not, and the
// command is sent again.
#include "FakeSerialPort.h"
#include "TempDir.h"
#include "modem/ConnectionCommands.h"
#include "modem/DeviceSettings.h"
#include "modem/ModemSession.h"
#include "modem/Protocol.h"
#include "modem/SourceTableRequest.h"
#include "modem/StatusQueries.h"
#include "modem/UpdateEngine.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tessadorn {
namespace {

using Attempt = StatusQueries::Attempt;

// Bytes the modem sends some time after it received a copy of a command (or after the start).
struct Segment {
    int afterMs;
    std::string bytes;
    int copy = 1; // the copy of the command they answer
};

struct Rig {
    test::TempDir dir;
    VirtualClock clock;
    test::ScriptedModem modem;
    test::FakeSerialPort port{clock, modem};
    ModemSession session{port, clock, dir.file("tessadorn.cfg"), AtomicFile::standard()};
    DebugCapture debug;
};

struct ExchangeCase {
    const char* name;
    std::function<std::string(Rig&)> run; // the operation, with its result named
    // The modem's answers by command; a copy without a segment goes unanswered.
    std::map<std::string, std::vector<Segment>> answers;
    std::vector<std::string> sent; // every write, in order
    std::string result;
    std::int64_t elapsedMs = -1;      // virtual time the operation took (-1: not checked)
    std::vector<Segment> before = {}; // there from the start
};

std::string fill(std::size_t n) {
    return std::string(n, '.');
}

// 100 bytes every 100 ms for two seconds, holding `text`.
std::vector<Segment> busyLine(const std::string& text) {
    std::vector<Segment> line;
    for (int at = 100; at <= 2000; at += 100)
        line.push_back({at, text + fill(100 - text.size())});
    return line;
}

std::vector<std::string> times(int n, const std::string& command) {
    return std::vector<std::string>(static_cast<std::size_t>(n), command);
}

std::string named(bool ok) {
    return ok ? "true" : "false";
}

std::string named(StatusQueries::OnOff v) {
    switch (v) {
    case StatusQueries::OnOff::On:
        return "On";
    case StatusQueries::OnOff::Off:
        return "Off";
    case StatusQueries::OnOff::NoAnswer:
        break;
    }
    return "NoAnswer";
}

std::string named(CasterReply r) {
    const char* names[] = {"NoAnswer",      "Accepted",          "ServerNotResponding",
                           "NotAuthorized", "InvalidMountpoint", "ConnectionError"};
    return names[static_cast<int>(r)];
}

std::string named(SourceTableScanner::End e, const SourceTable& t) {
    const char* names[] = {"None",          "Table",           "ServerNotResponding",
                           "NotAuthorized", "ConnectionError", "ReadFailures"};
    return std::string(names[static_cast<int>(e)]) + " " + std::to_string(t.count());
}

template <typename T> std::string named(const std::optional<T>& v) {
    return v ? std::to_string(*v) : "none";
}

const CasterAddress kCaster{NtripKind::Ntrip2, "caster.example", "2101", "alice", "secret", true};
const std::string kList = "#LIST 2,caster.example:2101\r\n";
const std::string kConnect = "#CONNECT 2,caster.example:2101/MP1 alice:secret\r\n";
const std::string kTable = "\r\nSOURCETABLE 200 OK\r\n"
                           "STR;MP1;One;RTCM 3.1;x;2;GPS;N;DEU;0;0;0;1;G;none;B;N;0;\r\n"
                           "ENDSOURCETABLE\r\n";

std::string listing(Rig& r) {
    SourceTable table;
    const auto end = SourceTableRequest(r.session).readTable(kCaster, table);
    return named(end, table);
}
std::string connecting(Rig& r) {
    return named(ConnectionCommands(r.session).connectMountpoint(kCaster, "MP1"));
}
// The two waits after a source table, as the debug output tells them.
std::string closing(Rig& r) {
    SourceTableRequest(r.session).closeExchange();
    std::string out;
    for (const auto& line : r.debug.lines())
        if (line.find("Found") != std::string::npos) out += line.substr(6, line.size() - 10) + ";";
    return out;
}
// What the position source read leaves in the device values (the type was TRIMBLE before).
std::string positionSource(Rig& r, bool manualIsUnknownType) {
    r.session.device().update([](DeviceConfig::Values& d) { d.GpsType = "TRIMBLE"; });
    const bool ok = StatusQueries(r.session).readPositionSource(manualIsUnknownType);
    const auto d = r.session.device().read();
    return named(ok) + " " + d.GgaMode + " " + d.GpsType + " " + d.GgaLatitude + " " +
           d.GgaLongitude;
}
std::string stopping(Rig& r) {
    return named(ConnectionCommands(r.session).stopConnection());
}

void PrintTo(const ExchangeCase& c, std::ostream* os) {
    *os << c.name;
}

class Exchanges : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Exchanges, SendReadAndNameTheResult) {
    const auto& c = GetParam();
    Rig r;
    ASSERT_TRUE(r.session.serial().Open(2));
    std::map<std::string, int> copies;
    r.modem.setUnmatched([&](std::string_view bytes, int, std::int64_t now) {
        const auto it = c.answers.find(std::string(bytes));
        if (it == c.answers.end()) return;
        const int copy = ++copies[it->first];
        for (const auto& s : it->second)
            if (s.copy == copy) r.modem.push(s.bytes, now + s.afterMs);
    });
    for (const auto& s : c.before)
        r.modem.push(s.bytes, s.afterMs);
    const std::int64_t start = r.clock.nowMs();
    EXPECT_EQ(c.run(r), c.result);
    std::vector<std::string> sent;
    for (const auto& w : r.port.writes())
        sent.push_back(w.bytes);
    EXPECT_EQ(sent, c.sent);
    if (c.elapsedMs >= 0) {
        EXPECT_EQ(r.clock.nowMs() - start, c.elapsedMs);
    }
    EXPECT_FALSE(r.session.reading()) << "the exchange is over";
}

const std::string kOkLine = "<OK\r\n";

INSTANTIATE_TEST_SUITE_P(
    Modem, Exchanges,
    ::testing::Values(
        // ---- Stopping the connection and the role: 2048 reads, 5 resends ----
        ExchangeCase{"StopAtRead2048",
                     stopping,
                     {{"#STOPCONNECTION\r\n", {{0, fill(2043) + kOkLine}}}},
                     {"#STOPCONNECTION\r\n"},
                     "true"},
        ExchangeCase{"StopAtRead2049",
                     stopping,
                     {{"#STOPCONNECTION\r\n", {{0, fill(2044) + kOkLine}}}},
                     times(6, "#STOPCONNECTION\r\n"),
                     "false"},
        // Five empty reads of 500 ms and the 300 ms after each write: about 17 s in all.
        ExchangeCase{"StopUnanswered", stopping, {}, times(6, "#STOPCONNECTION\r\n"), "false",
                     6 * (300 + 5 * 500)},
        ExchangeCase{
            "BaseAtRead2048",
            [](Rig& r) { return named(ConnectionCommands(r.session).setRole(true)); },
            {{"MODE=BASE\r\n", {{0, fill(2043) + kOkLine}}}},
            {"MODE=BASE\r\n"},
            "true"},
        ExchangeCase{
            "RoverAtRead2049",
            [](Rig& r) { return named(ConnectionCommands(r.session).setRole(false)); },
            {{"MODE=ROVER\r\n", {{0, fill(2044) + kOkLine}}}},
            times(6, "MODE=ROVER\r\n"),
            "false"},
        ExchangeCase{
            "AutoOn",
            [](Rig& r) { return named(ConnectionCommands(r.session).setAutoConnect(true)); },
            {{"#AUTO ON\r\n", {{0, kOkLine}}}},
            {"#AUTO ON\r\n"},
            "true"},
        ExchangeCase{
            "AutoOffUnanswered",
            [](Rig& r) { return named(ConnectionCommands(r.session).setAutoConnect(false)); },
            {},
            times(6, "#AUTO OFF\r\n"),
            "false"},
        ExchangeCase{"DirectConnection",
                     [](Rig& r) {
                         return named(
                             ConnectionCommands(r.session).connectDirect("10.0.0.5", "2101"));
                     },
                     {{"#CONNECT2 10.0.0.5:2101\r\n", {{0, "OK\r\n"}}}},
                     {"#CONNECT2 10.0.0.5:2101\r\n"},
                     "true"},

        // ---- The source table: "#SIGNAL OFF", LIST within 512 reads and one resend ----
        ExchangeCase{
            "SignalOff",
            [](Rig& r) { return named(SourceTableRequest(r.session).signalOff()); },
            {{"#SIGNAL OFF\r\n", {{0, "SIGNAL OFF\r\n<OK\r\n"}}}},
            {"#SIGNAL OFF\r\n"},
            "true"},
        ExchangeCase{
            "SignalOffUnanswered",
            [](Rig& r) { return named(SourceTableRequest(r.session).signalOff()); },
            {},
            times(6, "#SIGNAL OFF\r\n"),
            "false"},
        ExchangeCase{"ListAtRead512",
                     listing,
                     {{kList, {{0, fill(506) + "CMD_OK" + kTable}}}},
                     {kList},
                     "Table 1"},
        ExchangeCase{"ListAtRead513",
                     listing,
                     {{kList, {{0, fill(507) + "CMD_OK" + kTable}}}},
                     {kList, kList},
                     "ReadFailures 0"},
        ExchangeCase{"ListRefused", listing, {{kList, {{0, "CMD_ERROR\r\n"}}}}, {kList},
                     "ReadFailures 0",
                     300 /* no table is waited for */},
        ExchangeCase{"ListUnanswered", listing, {}, {kList, kList}, "ReadFailures 0"},
        ExchangeCase{"ListServerNotResponding",
                     listing,
                     {{kList, {{0, "CMD_OK\r\n"}, {3000, "ERROR 4_1\r\n"}}}},
                     {kList},
                     "ServerNotResponding 0"},
        ExchangeCase{"ListNotAuthorized",
                     listing,
                     {{kList, {{0, "CMD_OK\r\nERROR 4_2\r\n"}}}},
                     {kList},
                     "NotAuthorized 0"},
        ExchangeCase{"ListConnectionError",
                     listing,
                     {{kList, {{0, "CMD_OK\r\nERROR 5\r\n"}}}},
                     {kList},
                     "ConnectionError 0"},
        // "ERROR 4_3" is a connection's answer only: inside a table it is text.
        ExchangeCase{"ListIgnoresInvalidMountpoint",
                     listing,
                     {{kList, {{0, "CMD_OK\r\nERROR 4_3\r\n" + kTable}}}},
                     {kList},
                     "Table 1"},
        // After the table: "SHUTDOWN" within 128 reads, 1000 ms, "<OK" within 128 reads.
        ExchangeCase{"CloseWithin128Reads",
                     closing,
                     {},
                     {},
                     "SHUTDOWN Found;OK Found;",
                     1000,
                     {{0, fill(120) + "SHUTDOWN" + fill(125) + "<OK"}}},
        ExchangeCase{"CloseShutdownAtRead129",
                     closing,
                     {},
                     {},
                     "SHUTDOWN Not Found;OK Not Found;",
                     -1,
                     {{0, fill(121) + "SHUTDOWN"}}},
        ExchangeCase{"CloseOkAtRead129",
                     closing,
                     {},
                     {},
                     "SHUTDOWN Found;OK Not Found;",
                     -1,
                     {{0, "SHUTDOWN" + fill(126) + "<OK"}}},
        // The "<OK" comes during the pause: read at its end, not before.
        ExchangeCase{"ClosePausesASecond",
                     closing,
                     {},
                     {},
                     "SHUTDOWN Found;OK Found;",
                     1000,
                     {{0, "SHUTDOWN\r\n"}, {400, "<OK\r\n"}}},

        // ---- The mountpoint connection: CMD_OK within 512 reads, then the outcome ----
        ExchangeCase{"ConnectAccepted",
                     connecting,
                     {{kConnect, {{0, "CMD_OK\r\n<OK\r\n"}}}},
                     {kConnect},
                     "Accepted"},
        ExchangeCase{"ConnectCmdOkAtRead512",
                     connecting,
                     {{kConnect, {{0, fill(506) + "CMD_OK" + fill(509) + "<OK"}}}},
                     {kConnect},
                     "Accepted"},
        ExchangeCase{"ConnectCmdOkAtRead513",
                     connecting,
                     {{kConnect, {{0, fill(507) + "CMD_OK<OK"}}}},
                     times(6, kConnect),
                     "ConnectionError"},
        ExchangeCase{"ConnectOutcomeAtRead513",
                     connecting,
                     {{kConnect, {{0, "CMD_OK" + fill(510) + "<OK"}}}},
                     {kConnect},
                     "NoAnswer"},
        ExchangeCase{"ConnectRefused", connecting, {{kConnect, {{0, "CMD_ERROR\r\n"}}}},
                     {kConnect}, "ConnectionError"},
        ExchangeCase{"ConnectUnanswered", connecting, {}, times(6, kConnect), "ConnectionError"},
        ExchangeCase{"ConnectServerNotResponding",
                     connecting,
                     {{kConnect, {{0, "CMD_OK\r\nERROR 4_1\r\n"}}}},
                     {kConnect},
                     "ServerNotResponding"},
        ExchangeCase{"ConnectNotAuthorized",
                     connecting,
                     {{kConnect, {{0, "CMD_OK\r\nERROR 4_2\r\n"}}}},
                     {kConnect},
                     "NotAuthorized"},
        ExchangeCase{"ConnectInvalidMountpoint",
                     connecting,
                     {{kConnect, {{0, "CMD_OK\r\nERROR 4_3\r\n"}}}},
                     {kConnect},
                     "InvalidMountpoint"},
        ExchangeCase{"ConnectConnectionError",
                     connecting,
                     {{kConnect, {{0, "CMD_OK\r\nERROR 5\r\n"}}}},
                     {kConnect},
                     "ConnectionError"},
        // A slow caster: the outcome is waited for through 120 empty reads (a minute).
        ExchangeCase{"ConnectSlowCasterAccepts",
                     connecting,
                     {{kConnect, {{0, "CMD_OK\r\n"}, {20000, "<OK\r\n"}}}},
                     {kConnect},
                     "Accepted"},
        ExchangeCase{"ConnectSlowCasterRefuses",
                     connecting,
                     {{kConnect, {{0, "CMD_OK\r\n"}, {55000, "ERROR 4_2\r\n"}}}},
                     {kConnect},
                     "NotAuthorized"},
        ExchangeCase{"ConnectCasterTooSlow",
                     connecting,
                     {{kConnect, {{0, "CMD_OK\r\n"}, {65000, "<OK\r\n"}}}},
                     {kConnect},
                     "NoAnswer"},

        // ---- Device settings: 2048 reads; position source and relay 2 resends ----
        ExchangeCase{"TrimbleAtRead2048",
                     [](Rig& r) {
                         return named(
                             DeviceSettings(r.session).setReceiver(GpsReceiver::Trimble, 2));
                     },
                     {{"#SETGGA,AUTO,TRIMBLE,COM2\r\n", {{0, fill(2043) + kOkLine}}}},
                     {"#SETGGA,AUTO,TRIMBLE,COM2\r\n"},
                     "true"},
        ExchangeCase{"TopconAtRead2049",
                     [](Rig& r) {
                         return named(
                             DeviceSettings(r.session).setReceiver(GpsReceiver::Topcon, 0));
                     },
                     {{"#SETGGA,AUTO,TOPCON,COM4\r\n", {{0, fill(2044) + kOkLine}}}},
                     times(3, "#SETGGA,AUTO,TOPCON,COM4\r\n"),
                     "false"},
        ExchangeCase{"ManualPosition",
                     [](Rig& r) {
                         return named(DeviceSettings(r.session).setManualPosition(41.5, -2.25));
                     },
                     {{"#SETGGA,MANUAL,41.500000,-2.250000\r\n", {{0, kOkLine}}}},
                     {"#SETGGA,MANUAL,41.500000,-2.250000\r\n"},
                     "true"},
        ExchangeCase{"ModemRateUnanswered",
                     [](Rig& r) { return named(DeviceSettings(r.session).setModemRate(4)); },
                     {},
                     times(3, "#COM 115200\r\n"),
                     "false"},
        ExchangeCase{"RelayOffUnanswered",
                     [](Rig& r) { return named(DeviceSettings(r.session).setRelay(false)); },
                     {},
                     times(3, "#SETBRD,0," + std::string(protocol::relayHost()) + ",2102," +
                                  std::string(protocol::broadcastTag()) + "\r\n"),
                     "false"},
        // APN: each value even after a refusal, SAVE after all three, RESET once.
        ExchangeCase{"ApnAccepted",
                     [](Rig& r) { return named(DeviceSettings(r.session).setApn("n", "u", "p")); },
                     {{"APN n\r\n", {{0, kOkLine}}},
                      {"USER u\r\n", {{0, kOkLine}}},
                      {"PASSWORD p\r\n", {{0, kOkLine}}},
                      {"SAVE\r\n", {{0, kOkLine}}},
                      {"RESET\r\n", {{0, kOkLine}}}},
                     {"APN n\r\n", "USER u\r\n", "PASSWORD p\r\n", "SAVE\r\n", "RESET\r\n"},
                     "true"},
        ExchangeCase{"ApnResetUnanswered",
                     [](Rig& r) { return named(DeviceSettings(r.session).setApn("n", "u", "p")); },
                     {{"APN n\r\n", {{0, kOkLine}}},
                      {"USER u\r\n", {{0, kOkLine}}},
                      {"PASSWORD p\r\n", {{0, kOkLine}}},
                      {"SAVE\r\n", {{0, kOkLine}}}},
                     {"APN n\r\n", "USER u\r\n", "PASSWORD p\r\n", "SAVE\r\n", "RESET\r\n"},
                     "true"},
        // Closing while the modem is silent on the APN: nothing more goes out.
        ExchangeCase{"ApnClosedDuringTheExchange",
                     [](Rig& r) {
                         r.port.atTime(1000, [&r] { r.session.abortLink(); });
                         return named(DeviceSettings(r.session).setApn("n", "u", "p"));
                     },
                     {},
                     {"APN n\r\n"},
                     "false"},
        ExchangeCase{"ApnSaveRefused",
                     [](Rig& r) { return named(DeviceSettings(r.session).setApn("n", "u", "p")); },
                     {{"APN n\r\n", {{0, kOkLine}}},
                      {"USER u\r\n", {{0, kOkLine}}},
                      {"PASSWORD p\r\n", {{0, kOkLine}}}},
                     [] {
                         std::vector<std::string> s{"APN n\r\n", "USER u\r\n", "PASSWORD p\r\n"};
                         for (const auto& c : times(6, "SAVE\r\n"))
                             s.push_back(c);
                         return s;
                     }(),
                     "false"},

        // ---- Status queries: at the start 5 resends, while polling one attempt ----
        ExchangeCase{
            "IdentifiesAtRead2048",
            [](Rig& r) { return named(StatusQueries(r.session).identifies()); },
            {{"\r\nDEVICE?\r\n", {{0, fill(2039) + "TESSADORN"}}}},
            {"\r\nDEVICE?\r\n"},
            "true"},
        ExchangeCase{
            "IdentifiesOnTheResend",
            [](Rig& r) { return named(StatusQueries(r.session).identifies()); },
            {{"\r\nDEVICE?\r\n", {{0, "\r\nTESSADORN NTRIP MODEM\r\n", 2}}}},
            {"\r\nDEVICE?\r\n", "\r\nDEVICE?\r\n"},
            "true"},
        ExchangeCase{
            "AutoStateAtRead2048",
            [](Rig& r) { return named(StatusQueries(r.session).readAutoConnect()); },
            {{"#AUTO?\r\n", {{0, fill(2046) + "ON"}}}},
            {"#AUTO?\r\n"},
            "On"},
        ExchangeCase{
            "AutoStateUnanswered",
            [](Rig& r) { return named(StatusQueries(r.session).readAutoConnect()); },
            {},
            times(6, "#AUTO?\r\n"),
            "NoAnswer"},
        ExchangeCase{"ConnectionStateAtStart",
                     [](Rig& r) {
                         return named(
                             StatusQueries(r.session).readConnectionState(Attempt::AtStart));
                     },
                     {},
                     times(6, "#STCONNECT\r\n"),
                     "NoAnswer"},
        ExchangeCase{"ConnectionStateWhilePolling",
                     [](Rig& r) {
                         return named(
                             StatusQueries(r.session).readConnectionState(Attempt::WhilePolling));
                     },
                     {},
                     times(2, "#STCONNECT\r\n"),
                     "NoAnswer"},
        ExchangeCase{
            "SignalPollAtRead2048",
            [](Rig& r) { return named(StatusQueries(r.session).readSignal()); },
            {{"#SIGNALONCE\r\n", {{0, fill(2031) + "+SIGNAL:17\r\n<OK\r\n"}}}},
            {"#SIGNALONCE\r\n"},
            "17"},
        ExchangeCase{
            "SignalPollUnanswered",
            [](Rig& r) { return named(StatusQueries(r.session).readSignal()); },
            {},
            {"#SIGNALONCE\r\n"},
            "none"},
        // A manual position names no receiver; the second read at the start calls it UNKNOWN.
        ExchangeCase{"ManualPositionKeepsTheType",
                     [](Rig& r) { return positionSource(r, false); },
                     {{"#GETGGA?\r\n", {{0, "#GETGGA,MANUAL,41.5,2.25\r\n<OK\r\n"}}}},
                     {"#GETGGA?\r\n"},
                     "true MANUAL TRIMBLE 41.5 2.25"},
        ExchangeCase{"ManualPositionAsUnknown",
                     [](Rig& r) { return positionSource(r, true); },
                     {{"#GETGGA?\r\n", {{0, "#GETGGA,MANUAL,41.5,2.25\r\n<OK\r\n"}}}},
                     {"#GETGGA?\r\n"},
                     "true MANUAL UNKNOWN 41.5 2.25"},
        ExchangeCase{"AutomaticSourceAsItIs",
                     [](Rig& r) { return positionSource(r, true); },
                     {{"#GETGGA?\r\n", {{0, "#GETGGA,AUTO,TOPCON,COM4\r\n<OK\r\n"}}}},
                     {"#GETGGA?\r\n"},
                     "true AUTO TOPCON  "},
        ExchangeCase{"ServerIpAtStartAtRead500",
                     [](Rig& r) {
                         return named(StatusQueries(r.session).readServerIp(Attempt::AtStart));
                     },
                     {{"IP?\r\n", {{0, fill(481) + "IP,10.0.0.9\r\n<OK\r\n"}}}},
                     {"IP?\r\n"},
                     "true"},
        ExchangeCase{"ServerIpAtStartOnTheResend",
                     [](Rig& r) {
                         return named(StatusQueries(r.session).readServerIp(Attempt::AtStart));
                     },
                     {{"IP?\r\n", {{0, "IP,10.0.0.9\r\n<OK\r\n", 2}}}},
                     {"IP?\r\n", "IP?\r\n"},
                     "true"},
        ExchangeCase{"ServerIpWhilePollingAtRead2048",
                     [](Rig& r) {
                         return named(
                             StatusQueries(r.session).readServerIp(Attempt::WhilePolling));
                     },
                     {{"IP?\r\n", {{0, fill(2029) + "IP,10.0.0.9\r\n<OK\r\n"}}}},
                     {"IP?\r\n"},
                     "true"},
        // ---- Leaving the correction firmware for the update ----
        ExchangeCase{
            "ByeAtRead2048",
            [](Rig& r) { return named(UpdateEngine(r.session).leaveFirmware()); },
            {{"\r\n#EXIT0\r\n", {{0, fill(2045) + "Bye"}}}},
            {"\r\n#EXIT0\r\n"},
            "true"},
        ExchangeCase{
            "ByeOnTheResend",
            [](Rig& r) { return named(UpdateEngine(r.session).leaveFirmware()); },
            {{"\r\n#EXIT0\r\n", {{0, "Bye\r\n", 2}}}},
            {"\r\n#EXIT0\r\n", "\r\n#EXIT0\r\n"},
            "true"},
        // A busy line is drained first: a "Bye" in what was streaming is no answer.
        ExchangeCase{
            "ByeOnABusyLineIsNoAnswer",
            [](Rig& r) { return named(UpdateEngine(r.session).leaveFirmware()); },
            {},
            {"\r\n#EXIT0\r\n", "\r\n#EXIT0\r\n"},
            "false",
            -1,
            busyLine("..Bye..")},
        ExchangeCase{
            "NoBye",
            [](Rig& r) { return named(UpdateEngine(r.session).leaveFirmware()); },
            {},
            {"\r\n#EXIT0\r\n", "\r\n#EXIT0\r\n"},
            "false"},
        ExchangeCase{"BlindExit",
                     [](Rig& r) {
                         UpdateEngine(r.session).leaveFirmwareBlindly();
                         return std::string("sent");
                     },
                     {},
                     {"\r\n\r\n#EXIT0\r\n"},
                     "sent"},
        // The engine's "OK" is read after the settling pause: what came before it is read
        // then, and a slower "OK" is still found.
        ExchangeCase{
            "EngineAnswersAfterThePause",
            [](Rig& r) { return named(UpdateEngine(r.session).engineAnswers(200)); },
            {{"AT\r\n", {{450, "OK\r\n"}}}},
            {"AT\r\n"},
            "true",
            500}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessadorn
