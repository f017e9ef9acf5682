#pragma once

namespace tessadorn {

// The limits of a manual position the modem accepts, in degrees.
constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;

} // namespace tessadorn
