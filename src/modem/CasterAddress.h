#pragma once

#include "store/CasterEntry.h"

#include <string>

namespace tessadorn {

// NTRIP kind of a caster as the modem's LIST and CONNECT commands distinguish them.
enum class NtripKind { None = 0, Ntrip1 = 1, Ntrip2 = 2, Ibss = 3 };

// A caster as the modem is told to reach it: kind, address, and the user and password sent
// when `authorize` is set (an IBSS caster always sends them).
struct CasterAddress {
    NtripKind kind = NtripKind::None;
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

// The NTRIP kind of a version number as the caster list holds it; anything unknown has none.
constexpr NtripKind ntripKindOf(int version) {
    return version >= 1 && version <= 3 ? static_cast<NtripKind>(version) : NtripKind::None;
}

} // namespace tessadorn
