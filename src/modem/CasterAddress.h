#pragma once

#include "store/CasterEntry.h"

#include <string>

namespace tessadorn {

// A caster as the modem is told to reach it: kind, address, and the user and password sent
// when `authorize` is set (an IBSS caster always sends them).
struct CasterAddress {
    NtripKind kind = NtripKind::Other;
    std::string ip;
    std::string port;
    std::string user;
    std::string password;
    bool authorize = false;
};

// The address of the caster's source table: the entry's own user and password (an IBSS caster
// needs them for its table too).
CasterAddress sourceTableAddress(const CasterEntry& caster);
// The address of a mountpoint connection: the user and password of the current caster's
// authentication settings.
CasterAddress connectionAddress(const CasterEntry& caster, bool authorize, std::string user,
                                std::string password);

} // namespace tessadorn
