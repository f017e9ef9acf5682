#pragma once

#include <string_view>

namespace tessadorn {

// A caster's NTRIP version code ("1", "2", "3" = IBSS, "0" none chosen) read as a number: the
// leading decimal digits, 0 without any; a number too long for the modem's forms reads as 0.
inline int casterVersion(std::string_view vntrip) {
    int value = 0;
    for (char c : vntrip) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > 9999) return 0;
    }
    return value;
}

} // namespace tessadorn
