#include "store/FieldCheck.h"

#include <cstdio>

namespace tessadorn {

namespace {

// How the message names a character, or an empty text when the value may hold it.
std::string describe(unsigned char c, std::string_view forbidden) {
    switch (c) {
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
    if (forbidden.find(static_cast<char>(c)) == std::string_view::npos) return {};
    if (c == ' ') return "a blank";
    if (c == '"') return "a double quote (\")";
    return "\"" + std::string(1, static_cast<char>(c)) + "\"";
}

// The characters each use of a caster field cannot carry besides control characters.
std::string_view forbiddenFor(FieldUse use) {
    switch (use) {
    case FieldUse::ListOnly:
        return "<";
    case FieldUse::Address:
        return "< ,:/";
    case FieldUse::Carrier:
        return "<,\"";
    case FieldUse::Credential:
        break;
    }
    return "< ,:";
}

} // namespace

std::string refusedValueMessage(std::string_view field, std::string_view value, FieldUse use) {
    return refusedValueMessage(field, value, forbiddenFor(use));
}

std::string refusedValueMessage(std::string_view field, std::string_view value,
                                std::string_view forbidden) {
    for (char ch : value) {
        const std::string what = describe(static_cast<unsigned char>(ch), forbidden);
        if (!what.empty())
            return "The field \"" + std::string(field) + "\" may not contain " + what + ".";
    }
    return {};
}

} // namespace tessadorn
