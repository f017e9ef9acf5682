#include "modem/MountpointOrder.h"

#include "modem/SourceRow.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace tessadorn {

namespace {

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

} // namespace

std::optional<Position> MountpointOrder::parse(std::string_view latitude,
                                               std::string_view longitude) {
    return readPosition(latitude, longitude);
}

std::optional<Position> MountpointOrder::station(const SourceTable& table, int index) {
    return SourceRow::placeOf(table, index);
}

std::optional<Position> MountpointOrder::manualPosition(const DeviceConfig::Values& device) {
    if (device.GgaMode != "MANUAL") return std::nullopt;
    return parse(device.GgaLatitude, device.GgaLongitude);
}

double MountpointOrder::distanceKm(Position from, Position to) {
    // Haversine: well-conditioned for short distances as well as long ones.
    const double dLat = radians(to.latitude - from.latitude);
    const double dLon = radians(to.longitude - from.longitude);
    const double s = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(radians(from.latitude)) * std::cos(radians(to.latitude)) *
                         std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(s)));
}

std::optional<double> MountpointOrder::distanceKm(const SourceTable& table, int index,
                                                  Position from) {
    const auto at = station(table, index);
    if (!at) return std::nullopt;
    return distanceKm(from, *at);
}

std::vector<int> MountpointOrder::byDistance(const SourceTable& table,
                                             std::optional<Position> from) {
    std::vector<int> order(static_cast<std::size_t>(table.count()));
    std::iota(order.begin(), order.end(), 0);
    if (!from) return order;
    // Rows without a position sort as infinitely far.
    std::vector<double> key(order.size());
    for (int i = 0; i < table.count(); ++i) {
        const auto d = distanceKm(table, i, *from);
        key[static_cast<std::size_t>(i)] = d ? *d : HUGE_VAL;
    }
    std::stable_sort(order.begin(), order.end(), [&key](int a, int b) {
        return key[static_cast<std::size_t>(a)] < key[static_cast<std::size_t>(b)];
    });
    return order;
}

} // namespace tessadorn
