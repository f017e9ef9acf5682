#include "store/FieldCheck.h"

#include <cstdio>

namespace tessadorn {

namespace {

// How the message names a character, or nullptr when the field may hold it.
std::string describe(unsigned char c, FieldUse use) {
    switch (c) {
    case '<':
        return "\"<\"";
    case '\r':
        return "a line break (CR)";
    case '\n':
        return "a line break (LF)";
    case '\t':
        return "a tab (TAB)";
    case '\0':
        return "a NUL character";
    default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", c);
        return std::string("a control character (") + code + ")";
    }
    if (use == FieldUse::ListOnly) return {};
    switch (c) {
    case ' ':
        return "a blank";
    case ',':
        return "\",\"";
    case ':':
        return "\":\"";
    case '/':
        return use == FieldUse::Address ? "\"/\"" : std::string();
    default:
        return {};
    }
}

} // namespace

std::string refusedValueMessage(std::string_view field, std::string_view value, FieldUse use) {
    for (char ch : value) {
        const std::string what = describe(static_cast<unsigned char>(ch), use);
        if (!what.empty())
            return "The field \"" + std::string(field) + "\" may not contain " + what + ".";
    }
    return {};
}

} // namespace tessadorn
