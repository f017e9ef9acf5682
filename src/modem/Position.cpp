#include "modem/Position.h"

#include <charconv>
#include <cmath>

namespace tessadorn {

std::optional<double> readNumber(std::string_view text) {
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

std::optional<double> readLatitude(std::string_view text) {
    const auto value = readNumber(text);
    if (!value || std::fabs(*value) > kMaxLatitude) return std::nullopt;
    return value;
}

std::optional<double> readLongitude(std::string_view text) {
    const auto value = readNumber(text);
    if (!value || *value < -kMaxLongitude || *value > 2 * kMaxLongitude) return std::nullopt;
    return *value > kMaxLongitude ? *value - 2 * kMaxLongitude : *value;
}

std::optional<Position> readPosition(std::string_view latitude, std::string_view longitude) {
    const auto lat = readLatitude(latitude);
    const auto lon = readLongitude(longitude);
    if (!lat || !lon || (*lat == 0 && *lon == 0)) return std::nullopt;
    return Position{*lat, *lon};
}

} // namespace tessadorn
