#pragma once

#include "modem/DeviceConfig.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// The modem's query replies as captured (the text after the reply's prefix, line end included).
// Every parser refuses a text of 3 characters or less, looks only at the text up to the first
// CR or LF, and splits it at its separators without quoting; empty fields count.
namespace replies {

// Reads a decimal number: optional leading blanks, an optional sign, then digits up to the first
// non-digit. No digits give 0; a number outside the range of int gives no number (the reply
// then fails to parse).
std::optional<int> readDecimal(std::string_view text);

// Splits the first line of `text` at any of `separators`.
std::vector<std::string> splitFirstLine(std::string_view text, std::string_view separators);

// "#GETCFG," reply: role, serial number, firmware, IMEI, APN, APN user, APN password (at least
// 7 fields). Sets `mode` to 2 for "CLIENT" and 1 for anything else.
bool parseGetCfg(std::string_view text, DeviceConfig::Values& v, int& mode);
// "#GETGGA," reply: mode, then latitude and longitude for "MANUAL", else GPS type and port.
bool parseGetGga(std::string_view text, DeviceConfig::Values& v);
// "#GETBRD," reply: broadcast on, host, port. Sets the stream name too.
bool parseGetBrd(std::string_view text, DeviceConfig::Values& v);
// "ADDRSERVER," reply, commas and colons alike: host, port, mountpoint[, user, password].
// Exactly four fields mark a Tessadorn server.
bool parseAddrServer(std::string_view text, DeviceConfig::Values& v);
// "+APN:" reply: APN ready from the first character, SIM state from the third. False, and
// nothing written, when a number is out of range.
bool parseApn(std::string_view text, int& apnReady, int& simState);

} // namespace replies
} // namespace tessadorn
