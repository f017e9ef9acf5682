#pragma once

#include <string>
#include <string_view>

namespace tessadorn {

// What a caster field is used for, which decides the characters it may hold.
enum class FieldUse {
    ListOnly,   // kept in the caster list only (the name)
    Address,    // sent in the modem's LIST and CONNECT commands as host or port
    Credential, // sent in those commands as user or password
    // The modem's APN, user and password: kept in the caster list, handed back in the modem's
    // comma-separated configuration reply, and put between quotes by the update.
    Carrier,
};

// Checks a value typed for the caster list (device code page) before it is stored. The file
// writes values as they are, so "<" or a control character (CR, LF, TAB, NUL, ...) would make
// the next load fail; the modem splits its commands at blanks, commas and colons (and an
// address at "/"), so those would send it another host, user or password than the one typed.
// Returns the message naming the field and the first such character, or an empty text when
// the value can be stored. `field` is the field's name as the dialog shows it ("Password").
std::string refusedValueMessage(std::string_view field, std::string_view value, FieldUse use);

// The same check for any typed value: control characters are always refused, and so is every
// character of `forbidden` (what the value's destination cannot carry back).
std::string refusedValueMessage(std::string_view field, std::string_view value,
                                std::string_view forbidden);

} // namespace tessadorn
