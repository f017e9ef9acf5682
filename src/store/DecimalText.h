#pragma once

#include <climits>
#include <string_view>

namespace tessadorn {

// The one way the caster list's numbers are read, as C's atoi reads them: leading white space
// (blank, TAB, CR, LF, VT, FF), an optional sign, then the digits up to the first other
// character; no digit gives 0. Values beyond the range of int stop at its bounds.
inline int decimalValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

} // namespace tessadorn
