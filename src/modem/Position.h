#pragma once

#include <optional>
#include <string_view>

namespace tessadorn {

// The limits of a manual position the modem accepts, in degrees.
constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;

// A place on the earth in decimal degrees, north and east positive.
struct Position {
    double latitude = 0;
    double longitude = 0;
    bool operator==(const Position&) const = default;
};

// The one reader of positions written as text (a source table's fields, the modem's manual
// position).
//
// A decimal number with blanks around it and an optional sign; none for an empty text, anything
// else in it, or a value that is not finite.
std::optional<double> readNumber(std::string_view text);
// A latitude within -90 to 90.
std::optional<double> readLatitude(std::string_view text);
// A longitude within -180 to 360 (some casters count east up to 360), brought to -180 to 180.
std::optional<double> readLongitude(std::string_view text);
// Both; none when either is none, or the position is exactly 0,0 (what casters write when they
// do not know it).
std::optional<Position> readPosition(std::string_view latitude, std::string_view longitude);

} // namespace tessadorn
