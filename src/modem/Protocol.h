#pragma once

#include "link/Command.h"
#include "modem/Position.h"

#include <string>
#include <string_view>

namespace tessadorn::protocol {

// Fixed values of the deployment, set at build time.
std::string_view relayHost();
std::string_view ibssSuffix();
std::string_view updateDescriptorUrl();
std::string_view broadcastTag(); // 13 characters, last field of "#SETBRD"
constexpr std::string_view kRelayPort = "2102";
constexpr std::string_view kOtapPassword = "wqzt";

using tessadorn::Command;
inline Command fixed(std::string_view text) {
    return Command::fixed(text);
}
inline Command format(std::string_view fmt, std::initializer_list<std::string_view> args) {
    return Command::format(fmt, args);
}

// ---- Commands of the correction firmware ----
constexpr std::string_view kDevice = "\r\nDEVICE?\r\n";
constexpr std::string_view kGetCfg = "#GETCFG?\r\n";
constexpr std::string_view kGetGga = "#GETGGA?\r\n";
constexpr std::string_view kGetBrd = "#GETBRD?\r\n";
constexpr std::string_view kIp = "IP?\r\n";
constexpr std::string_view kAutoQuery = "#AUTO?\r\n";
constexpr std::string_view kStConnect = "#STCONNECT\r\n";
constexpr std::string_view kAddrServer = "ADDRSERVER?\r\n";
constexpr std::string_view kApnQuery = "#APN\r\n";
constexpr std::string_view kSignalOnce = "#SIGNALONCE\r\n";
constexpr std::string_view kModeBase = "MODE=BASE\r\n";
constexpr std::string_view kModeRover = "MODE=ROVER\r\n";
constexpr std::string_view kAutoOn = "#AUTO ON\r\n";
constexpr std::string_view kAutoOff = "#AUTO OFF\r\n";
constexpr std::string_view kStopConnection = "#STOPCONNECTION\r\n";
constexpr std::string_view kSignalOff = "#SIGNAL OFF\r\n";
constexpr std::string_view kSave = "SAVE\r\n";
constexpr std::string_view kReset = "RESET\r\n";
constexpr std::string_view kExit0 = "\r\n#EXIT0\r\n";
constexpr std::string_view kExit0Again = "\r\n\r\n#EXIT0\r\n";

// GPS position sources of "#SETGGA" for the receiver types with a fixed port.
constexpr std::string_view kSetGgaKv318 = "#SETGGA,AUTO,KV-318,COM0\r\n";
constexpr std::string_view kSetGgaWavecom = "#SETGGA,AUTO,WAVECOM,COM0\r\n";
constexpr std::string_view kSetGgaUnknown = "#SETGGA,AUTO,UNKNOWN,COM0\r\n";
constexpr std::string_view kSetGgaTopcon = "#SETGGA,AUTO,TOPCON,COM4\r\n";

// ---- Commands of the cellular engine (after "#EXIT0") ----
constexpr std::string_view kAt = "AT\r\n";
constexpr std::string_view kOtapStart = "AT^SJOTAP\r\n";
constexpr std::string_view kOtapTrace = "at^scfg=\"Trace/Syslog/OTAP\",\"1\"\r\n";

// ---- Formatted commands ----
Command apn(std::string_view name);                             // "APN %s\r\n"
Command apnUser(std::string_view user);                         // "USER %s\r\n"
Command apnPassword(std::string_view pass);                     // "PASSWORD %s\r\n"
Command connect2(std::string_view host, std::string_view port); // "#CONNECT2 %s:%s\r\n"
Command setGgaTrimble(int comPort);                             // "#SETGGA,AUTO,TRIMBLE,COM%d\r\n"
// "#SETGGA,MANUAL,%1.6f,%1.6f\r\n"; refused unless the latitude is within +-90 and the longitude
// within +-180 (so never a value that is not finite).
Command setGgaManual(double latitude, double longitude);
Command comRate(int baudIndex); // "#COM 9600\r\n" ... "#COM 115200\r\n"
Command setBroadcast(bool on);  // "#SETBRD,1,<relay>,2102,<tag>\r\n"
Command otapSet(std::string_view apn, std::string_view user, std::string_view password);

// The source-table request for a caster, by its NTRIP version code read as a number
// (1 = NTRIP 1.0, 2 = NTRIP 2.0, 3 = IBSS, anything else: no version).
Command list(int version, std::string_view ip, std::string_view port, std::string_view user,
             std::string_view password);
// The mountpoint connection; `authorize` when the caster requires user and password
// (an IBSS caster always sends them).
Command connect(int version, bool authorize, std::string_view ip, std::string_view port,
                std::string_view mountpoint, std::string_view user, std::string_view password);

// A number as "%.6f" writes it in the C locale ("41.500000"), whatever locale the process runs
// in: a decimal comma would split the command's fields.
std::string decimal6(double value);

// ---- Answer tokens ----
constexpr std::string_view kTokDevice = "TESSADORN";
constexpr std::string_view kTokOkLine = "<OK\r\n";
constexpr std::string_view kTokOkPrompt = "<OK";
constexpr std::string_view kTokOn = "ON";
constexpr std::string_view kTokOff = "OFF";
constexpr std::string_view kTokCmdOk = "CMD_OK";
constexpr std::string_view kTokCmdError = "CMD_ERROR";
constexpr std::string_view kTokSignalOff = "SIGNAL OFF";
constexpr std::string_view kTokBye = "Bye";
constexpr std::string_view kTokOk = "OK";
constexpr std::string_view kTokShutdown = "SHUTDOWN";
constexpr std::string_view kTokEndSourceTable = "ENDSOURCETABLE";
constexpr std::string_view kTokStr = "STR;";
// The source table's other records (a caster, a network).
constexpr std::string_view kRecordCas = "CAS;";
constexpr std::string_view kRecordNet = "NET;";
constexpr std::string_view kTokError41 = "ERROR 4_1";
constexpr std::string_view kTokError42 = "ERROR 4_2";
constexpr std::string_view kTokError43 = "ERROR 4_3";
constexpr std::string_view kTokError5 = "ERROR 5";
constexpr std::string_view kTokOtap = "OTAP";
constexpr std::string_view kTokRebootNow = "Reboot now";
constexpr std::string_view kTokOperationFailed = "operation failed";
constexpr std::string_view kTokErrorColon = "ERROR:";
constexpr std::string_view kTokTransferFinished = "Transfer finished.";
constexpr std::string_view kTokOtapStarted = "OTAP.OUT STARTED";

// Reply prefixes (start tokens of the captures).
constexpr std::string_view kReplyGetCfg = "#GETCFG,";
constexpr std::string_view kReplyGetGga = "#GETGGA,";
constexpr std::string_view kReplyGetBrd = "#GETBRD,";
constexpr std::string_view kReplyIp = "IP,";
constexpr std::string_view kReplyAddrServer = "ADDRSERVER,";
constexpr std::string_view kReplyApn = "+APN:";
constexpr std::string_view kReplySignal = "+SIGNAL:";

} // namespace tessadorn::protocol
