#include "modem/CasterAddress.h"

namespace tessadorn {

namespace {
// A caster's NTRIP version code ("1", "2", "3" = IBSS, "0" none chosen) read as a number: the
// leading decimal digits, 0 without any; a number too long for the modem's forms reads as 0.
int casterVersion(std::string_view vntrip) {
    int value = 0;
    for (char c : vntrip) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > 9999) return 0;
    }
    return value;
}
} // namespace

CasterAddress sourceTableAddress(const CasterEntry& caster) {
    return {ntripKindOf(casterVersion(caster.vntrip)),
            caster.ip,
            caster.port,
            caster.user,
            caster.Password,
            false};
}

CasterAddress connectionAddress(const CasterEntry& caster, bool authorize, std::string user,
                                std::string password) {
    return {ntripKindOf(casterVersion(caster.vntrip)),
            caster.ip,
            caster.port,
            std::move(user),
            std::move(password),
            authorize};
}

} // namespace tessadorn
