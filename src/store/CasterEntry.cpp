#include "store/CasterEntry.h"

namespace tessadorn {

ServerKind serverKind(std::string_view Tessadorn) {
    if (Tessadorn == "1") return ServerKind::Tessadorn;
    if (Tessadorn == "0") return ServerKind::Caster;
    return ServerKind::Other;
}

NtripKind ntripKind(std::string_view vntrip) {
    switch (decimalValue(vntrip)) {
    case 1:
        return NtripKind::Ntrip1;
    case 2:
        return NtripKind::Ntrip2;
    case 3:
        return NtripKind::Ibss;
    default:
        return NtripKind::Other;
    }
}

void CasterEntry::clear() {
    *this = CasterEntry{};
}

} // namespace tessadorn
