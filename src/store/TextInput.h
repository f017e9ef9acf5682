#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessadorn::text_input {

// A decimal number as the user typed it, read in the C locale whatever the environment says:
// optional blanks around it, an optional sign, digits with an optional "." and exponent. The
// whole text must be the number, and the number finite; nothing else is read as one.
std::optional<double> parseDecimal(std::string_view text);

} // namespace tessadorn::text_input
