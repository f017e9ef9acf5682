#pragma once

#include "store/DecimalText.h"
#include "store/FileValue.h"

#include <string>
#include <string_view>

namespace tessadorn {

// The kind of server a caster entry names, by its `Tessadorn` flag: exactly "1" is a Tessadorn
// server (address and port only), exactly "0" an NTRIP caster; any other text is neither.
enum class ServerKind { Caster, Tessadorn, Other };
ServerKind serverKind(std::string_view Tessadorn);

// A caster's NTRIP kind, by its `vntrip` read as a decimal number: 1 NTRIP 1.0, 2 NTRIP 2.0,
// 3 IBSS; any other number (0: none chosen in the server edit dialog) is Other. The value of
// each kind is the version number of the modem's LIST and CONNECT forms.
enum class NtripKind { Other = 0, Ntrip1 = 1, Ntrip2 = 2, Ibss = 3 };
NtripKind ntripKind(std::string_view vntrip);

// The flag and the version code of a caster as the file holds them, read once.
using TessadornFlag = FileValue<ServerKind, serverKind>;
using NtripVersion = FileValue<NtripKind, ntripKind>;

// One caster of the caster list. Every field is a text in the device code page
// (Windows-1252), at most 49 bytes when it comes from the file.
class CasterEntry {
  public:
    std::string name;        // shown in every list of casters
    std::string ip;          // host name or IP address; for an IBSS entry the organisation
    std::string port;        // TCP port, decimal text
    std::string user;        // NTRIP user; for an IBSS entry the device name
    std::string Password;    // NTRIP password
    TessadornFlag Tessadorn; // "1": a Tessadorn server (address and port only), "0": a caster
    NtripVersion vntrip;     // "1" NTRIP 1.0, "2" NTRIP 2.0, "3" IBSS, "0" none chosen

    // Empties every field.
    void clear();

    bool operator==(const CasterEntry&) const = default;
};

} // namespace tessadorn
