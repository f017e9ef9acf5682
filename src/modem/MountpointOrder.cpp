#include "modem/MountpointOrder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <numeric>

namespace tessadorn {

namespace {

std::optional<double> number(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

} // namespace

std::optional<Position> MountpointOrder::parse(std::string_view latitude,
                                               std::string_view longitude) {
    const auto lat = number(latitude);
    const auto lon = number(longitude);
    if (!lat || !lon) return std::nullopt;
    if (std::fabs(*lat) > kMaxLatitude || *lon < -kMaxLongitude || *lon > 2 * kMaxLongitude)
        return std::nullopt;
    if (*lat == 0 && *lon == 0) return std::nullopt;
    return Position{*lat, *lon > kMaxLongitude ? *lon - 2 * kMaxLongitude : *lon};
}

std::optional<Position> MountpointOrder::station(const SourceTable& table, int index) {
    return parse(table.field(index, 9), table.field(index, 10));
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
