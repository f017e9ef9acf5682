#pragma once

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

} // namespace tessadorn
