#include "modem/Protocol.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

namespace p = protocol;

struct CommandCase {
    const char* name;
    p::Command command;
    std::string want;
};

TEST(Protocol, FormattedCommandsAreExact) {
    const std::string ibss(p::ibssSuffix());
    const std::string relay(p::relayHost());
    const std::string tag(p::broadcastTag());
    const CommandCase cases[] = {
        {"apn", p::apn("internet.example"), "APN internet.example\r\n"},
        {"user", p::apnUser(""), "USER \r\n"},
        {"password", p::apnPassword("p w"), "PASSWORD p w\r\n"},
        {"connect2", p::connect2("10.0.0.5", "2101"), "#CONNECT2 10.0.0.5:2101\r\n"},
        {"list 1", p::list(1, "caster.example", "2101", "u", "pw"),
         "#LIST 1,caster.example:2101\r\n"},
        {"list 2", p::list(2, "caster.example", "2102", "u", "pw"),
         "#LIST 2,caster.example:2102\r\n"},
        {"list none", p::list(0, "c.example", "80", "u", "pw"), "#LIST c.example:80\r\n"},
        {"list other", p::list(7, "c.example", "80", "u", "pw"), "#LIST c.example:80\r\n"},
        {"list ibss", p::list(3, "org", "2101", "dev", "secret"),
         "#LIST 2,org." + ibss + ":2101 dev.org:secret\r\n"},
        {"connect 1 auth", p::connect(1, true, "h", "2101", "MP", "u", "pw"),
         "#CONNECT 1,h:2101/MP u:pw\r\n"},
        {"connect 1", p::connect(1, false, "h", "2101", "MP", "u", "pw"),
         "#CONNECT 1,h:2101/MP\r\n"},
        {"connect 2 auth", p::connect(2, true, "h", "2101", "MP", "u", "pw"),
         "#CONNECT 2,h:2101/MP u:pw\r\n"},
        {"connect 2", p::connect(2, false, "h", "2101", "MP", "u", "pw"),
         "#CONNECT 2,h:2101/MP\r\n"},
        {"connect none auth", p::connect(0, true, "h", "2101", "MP", "u", "pw"),
         "#CONNECT h:2101/MP u:pw\r\n"},
        {"connect none", p::connect(0, false, "h", "2101", "MP", "u", "pw"),
         "#CONNECT h:2101/MP\r\n"},
        {"connect ibss ignores auth", p::connect(3, false, "org", "2101", "MP", "dev", "pw"),
         "#CONNECT 2,org." + ibss + ":2101/MP dev.org:pw\r\n"},
        {"password with separators goes in as it is",
         p::connect(1, true, "h", "1", "M", "u", "a:b, c"), "#CONNECT 1,h:1/M u:a:b, c\r\n"},
        {"trimble", p::setGgaTrimble(2), "#SETGGA,AUTO,TRIMBLE,COM2\r\n"},
        {"manual", p::setGgaManual(41.123456789, -2.5), "#SETGGA,MANUAL,41.123457,-2.500000\r\n"},
        {"com 0", p::comRate(0), "#COM 9600\r\n"},
        {"com 4", p::comRate(4), "#COM 115200\r\n"},
        {"broadcast on", p::setBroadcast(true), "#SETBRD,1," + relay + ",2102," + tag + "\r\n"},
        {"broadcast off", p::setBroadcast(false), "#SETBRD,0," + relay + ",2102," + tag + "\r\n"},
        {"otap", p::otapSet("apn.example", "me", "pw"),
         "AT^SJOTAP=\"wqzt\",\"" + std::string(p::updateDescriptorUrl()) +
             "\",\"a:\",,,\"gprs\",\"apn.example\",\"me\",\"pw\",,\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(c.command.ok()) << c.name << ": " << c.command.refused;
        EXPECT_EQ(c.command.text, c.want) << c.name;
    }
}

// Every fixed command, token and reply prefix against literals written out here: the fake modems
// of the tests match commands by these same constants, so a typo in one would fool both sides.
TEST(Protocol, FixedTextsAreExact) {
    const std::pair<std::string_view, std::string_view> texts[] = {
        {p::kDevice, "\r\nDEVICE?\r\n"},
        {p::kGetCfg, "#GETCFG?\r\n"},
        {p::kGetGga, "#GETGGA?\r\n"},
        {p::kGetBrd, "#GETBRD?\r\n"},
        {p::kIp, "IP?\r\n"},
        {p::kAutoQuery, "#AUTO?\r\n"},
        {p::kStConnect, "#STCONNECT\r\n"},
        {p::kAddrServer, "ADDRSERVER?\r\n"},
        {p::kApnQuery, "#APN\r\n"},
        {p::kSignalOnce, "#SIGNALONCE\r\n"},
        {p::kModeBase, "MODE=BASE\r\n"},
        {p::kModeRover, "MODE=ROVER\r\n"},
        {p::kAutoOn, "#AUTO ON\r\n"},
        {p::kAutoOff, "#AUTO OFF\r\n"},
        {p::kStopConnection, "#STOPCONNECTION\r\n"},
        {p::kSignalOff, "#SIGNAL OFF\r\n"},
        {p::kSave, "SAVE\r\n"},
        {p::kReset, "RESET\r\n"},
        {p::kExit0, "\r\n#EXIT0\r\n"},
        {p::kExit0Again, "\r\n\r\n#EXIT0\r\n"},
        {p::kSetGgaKv318, "#SETGGA,AUTO,KV-318,COM0\r\n"},
        {p::kSetGgaWavecom, "#SETGGA,AUTO,WAVECOM,COM0\r\n"},
        {p::kSetGgaUnknown, "#SETGGA,AUTO,UNKNOWN,COM0\r\n"},
        {p::kSetGgaTopcon, "#SETGGA,AUTO,TOPCON,COM4\r\n"},
        {p::kAt, "AT\r\n"},
        {p::kOtapStart, "AT^SJOTAP\r\n"},
        {p::kOtapTrace, "at^scfg=\"Trace/Syslog/OTAP\",\"1\"\r\n"},
        {p::kRelayPort, "2102"},
        {p::kTokDevice, "TESSADORN"},
        {p::kTokOkLine, "<OK\r\n"},
        {p::kTokOkPrompt, "<OK"},
        {p::kTokOn, "ON"},
        {p::kTokOff, "OFF"},
        {p::kTokCmdOk, "CMD_OK"},
        {p::kTokCmdError, "CMD_ERROR"},
        {p::kTokSignalOff, "SIGNAL OFF"},
        {p::kTokBye, "Bye"},
        {p::kTokOk, "OK"},
        {p::kTokEndSourceTable, "ENDSOURCETABLE"},
        {p::kTokError41, "ERROR 4_1"},
        {p::kTokError42, "ERROR 4_2"},
        {p::kTokError43, "ERROR 4_3"},
        {p::kTokError5, "ERROR 5"},
        {p::kTokOtap, "OTAP"},
        {p::kTokRebootNow, "Reboot now"},
        {p::kTokOperationFailed, "operation failed"},
        {p::kTokErrorColon, "ERROR:"},
        {p::kTokTransferFinished, "Transfer finished."},
        {p::kTokOtapStarted, "OTAP.OUT STARTED"},
        {p::kReplyGetCfg, "#GETCFG,"},
        {p::kReplyGetGga, "#GETGGA,"},
        {p::kReplyGetBrd, "#GETBRD,"},
        {p::kReplyIp, "IP,"},
        {p::kReplyAddrServer, "ADDRSERVER,"},
        {p::kReplyApn, "+APN:"},
        {p::kReplySignal, "+SIGNAL:"},
    };
    for (const auto& [constant, literal] : texts)
        EXPECT_EQ(constant, literal);
}

TEST(Protocol, LongArgumentsAreNeverCut) {
    const std::string org(200, 'o'), dev(200, 'd'), pw(200, 'p');
    const auto cmd = p::list(3, org, "2101", dev, pw);
    ASSERT_TRUE(cmd.ok());
    EXPECT_EQ(cmd.text.size(),
              std::string("#LIST 2,.:2101 .:\r\n").size() + p::ibssSuffix().size() + 3 * 200 + 200);
    EXPECT_EQ(cmd.text.substr(cmd.text.size() - 2), "\r\n");
}

TEST(Protocol, ArgumentsThatWouldInjectACommandAreRefused) {
    const std::string nul("a\0b", 3);
    const p::Command refused[] = {
        p::apn("web\r\nRESET"),
        p::apnUser("x\n"),
        p::apnPassword(nul),
        p::connect2("h", "21\r01"),
        p::list(1, "h\n", "1", "", ""),
        p::list(3, "o", "1", "d\r", "p"),
        p::connect(2, true, "h", "1", "M", "u", "p\r\n#AUTO OFF"),
        p::otapSet("apn", "u\n", "p"),
        p::comRate(5),
        p::comRate(-1),
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(c.ok()) << c.text;
        EXPECT_TRUE(c.text.empty());
    }
}

TEST(Protocol, FormatChecksItsArguments) {
    EXPECT_FALSE(p::format("%s %s\r\n", {"one"}).ok());
    EXPECT_FALSE(p::format("%s\r\n", {"one", "two"}).ok());
    EXPECT_FALSE(p::format("%d\r\n", {"1"}).ok());
    EXPECT_EQ(p::format("100%% %s\r\n", {"x"}).text, "100% x\r\n");
}

} // namespace
} // namespace tessadorn
