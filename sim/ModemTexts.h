#pragma once

#include <string_view>

// The modem's own texts: the commands it understands and the replies it gives. The simulator
// keeps them here, written from the modem's command set rather than taken from the program, so
// that a wrong command text in the program meets a modem that does not know it.
namespace tessadorn::sim::texts {

// ---- Commands of the correction firmware ----
// As the modem reads them: one line, without the CR LF that ends it (nor the CR LF that the
// identification and exit commands begin with).
inline constexpr std::string_view kDevice = "DEVICE?";
inline constexpr std::string_view kGetCfg = "#GETCFG?";
inline constexpr std::string_view kGetGga = "#GETGGA?";
inline constexpr std::string_view kGetBrd = "#GETBRD?";
inline constexpr std::string_view kIp = "IP?";
inline constexpr std::string_view kAutoQuery = "#AUTO?";
inline constexpr std::string_view kStConnect = "#STCONNECT";
inline constexpr std::string_view kAddrServer = "ADDRSERVER?";
inline constexpr std::string_view kApnQuery = "#APN";
inline constexpr std::string_view kSignalOnce = "#SIGNALONCE";
inline constexpr std::string_view kModeBase = "MODE=BASE";
inline constexpr std::string_view kModeRover = "MODE=ROVER";
inline constexpr std::string_view kSave = "SAVE";
inline constexpr std::string_view kReset = "RESET";
inline constexpr std::string_view kAutoOn = "#AUTO ON";
inline constexpr std::string_view kAutoOff = "#AUTO OFF";
inline constexpr std::string_view kStopConnection = "#STOPCONNECTION";
inline constexpr std::string_view kSignalOff = "#SIGNAL OFF";
inline constexpr std::string_view kSignalOn = "#SIGNAL ON";
inline constexpr std::string_view kExit0 = "#EXIT0";

// Commands followed by their argument on the same line.
inline constexpr std::string_view kApn = "APN ";
inline constexpr std::string_view kUser = "USER ";
inline constexpr std::string_view kPassword = "PASSWORD ";
inline constexpr std::string_view kSetGga = "#SETGGA,";
inline constexpr std::string_view kCom = "#COM ";
inline constexpr std::string_view kSetBrd = "#SETBRD,";
inline constexpr std::string_view kList = "#LIST ";
inline constexpr std::string_view kConnect2 = "#CONNECT2 ";
inline constexpr std::string_view kConnect = "#CONNECT ";

// The port of the maker's relay caster (its host is a value of the build).
inline constexpr std::string_view kRelayPort = "2102";

// ---- Replies of the correction firmware ----
inline constexpr std::string_view kOkLine = "<OK\r\n";       // a setting taken, a query answered
inline constexpr std::string_view kOkPrompt = "<OK";         // a caster command done
inline constexpr std::string_view kErrorLine = "<ERROR\r\n"; // a command it does not know
inline constexpr std::string_view kDeviceName = "TESSADORN";
inline constexpr std::string_view kOn = "ON";
inline constexpr std::string_view kOff = "OFF";
inline constexpr std::string_view kCmdOk = "CMD_OK";
inline constexpr std::string_view kCmdError = "CMD_ERROR";
inline constexpr std::string_view kBye = "Bye";
inline constexpr std::string_view kShutdown = "SHUTDOWN";
inline constexpr std::string_view kError41 = "ERROR 4_1"; // caster unreachable
inline constexpr std::string_view kError42 = "ERROR 4_2"; // login refused
inline constexpr std::string_view kError43 = "ERROR 4_3"; // no such mountpoint
inline constexpr std::string_view kError5 = "ERROR 5";    // any other failure

// Prefixes of the query replies; the fields follow, then CR LF and "<OK\r\n".
inline constexpr std::string_view kReplyGetCfg = "#GETCFG,";
inline constexpr std::string_view kReplyGetGga = "#GETGGA,";
inline constexpr std::string_view kReplyGetBrd = "#GETBRD,";
inline constexpr std::string_view kReplyIp = "IP,";
inline constexpr std::string_view kReplyAddrServer = "ADDRSERVER,";
inline constexpr std::string_view kReplyApn = "+APN:";
inline constexpr std::string_view kReplySignal = "+SIGNAL:";

// ---- The cellular engine (after "#EXIT0") ----
// It reads its commands in any letter case.
inline constexpr std::string_view kAt = "AT";
inline constexpr std::string_view kOtapSet = "AT^SJOTAP=";
inline constexpr std::string_view kOtapStart = "AT^SJOTAP";
inline constexpr std::string_view kOtapTrace = "at^scfg=\"Trace/Syslog/OTAP\",\"1\"";
inline constexpr std::string_view kOtapPassword = "wqzt"; // first field of the OTAP set command
inline constexpr std::string_view kOtapBearer = "gprs";   // its sixth field
inline constexpr std::string_view kOtapStarted = "OTAP.OUT STARTED";

// The host name of the maker's relay caster, a value of the build.
std::string_view relayHost();

} // namespace tessadorn::sim::texts
