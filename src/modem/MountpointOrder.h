#pragma once

#include "modem/DeviceConfig.h"
#include "modem/Position.h"
#include "modem/SourceTable.h"

#include <optional>
#include <string_view>
#include <vector>

namespace tessadorn {

// The rows of a source table ordered by their distance from a position, nearest first; rows
// without a place of their own (network solutions, unknown or 0,0 positions) come after all
// the others.
class MountpointOrder {
  public:
    // Mean radius of the earth, in km.
    static constexpr double kEarthRadiusKm = 6371.0088;

    // A station's position from its latitude and longitude fields (decimal degrees, blanks
    // around them allowed). None when either is missing or not a number, the latitude is not
    // within -90 to 90, the longitude not within -180 to 360 (some casters count east up to 360),
    // or the position is exactly 0,0 (what casters write when they do not know it).
    static std::optional<Position> parse(std::string_view latitude, std::string_view longitude);
    // The place of row `index` (none for a network solution, see SourceRow).
    static std::optional<Position> station(const SourceTable& table, int index);
    // The manual position the modem reports for its GGA, if it reports one that parse() takes.
    static std::optional<Position> manualPosition(const DeviceConfig::Values& device);

    // Great-circle distance in km.
    static double distanceKm(Position from, Position to);
    // Distance in km from `from` to row `index`, or none when the row has no usable position.
    static std::optional<double> distanceKm(const SourceTable& table, int index, Position from);

    // Row indexes, nearest first; rows of equal distance, and rows without a usable position
    // (after all the others), keep the table's order. Without a position: the table's order.
    static std::vector<int> byDistance(const SourceTable& table, std::optional<Position> from);
};

} // namespace tessadorn
