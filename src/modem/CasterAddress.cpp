#include "modem/CasterAddress.h"

namespace tessadorn {

CasterAddress sourceTableAddress(const CasterEntry& caster) {
    return {caster.vntrip.value(), caster.ip, caster.port, caster.user, caster.Password, false};
}

CasterAddress connectionAddress(const CasterEntry& caster, bool authorize, std::string user,
                                std::string password) {
    return {caster.vntrip.value(), caster.ip,           caster.port,
            std::move(user),       std::move(password), authorize};
}

} // namespace tessadorn
