#include "modem/SourceRow.h"

#include "platform/TextCodec.h"

#include <charconv>

namespace tessadorn {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A whole number of decimal digits, blanks around it allowed.
std::optional<int> wholeNumber(std::string_view text) {
    text = trimmed(text);
    int value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || value < 0)
        return std::nullopt;
    return value;
}

// A flag written as one of two letters or digits; none for anything else.
std::optional<bool> flag(std::string_view text, std::string_view yes, std::string_view no) {
    text = trimmed(text);
    if (text == yes) return true;
    if (text == no) return false;
    return std::nullopt;
}

std::optional<Position> placeFrom(std::string_view latitude, std::string_view longitude,
                                  std::string_view solution) {
    if (wholeNumber(solution).value_or(0) != 0) return std::nullopt;
    return readPosition(latitude, longitude);
}

} // namespace

std::string sourceText(std::string_view field) {
    return sourceTextToUtf8(field, SourceTable::kMaxField);
}

std::optional<Position> SourceRow::placeOf(const SourceTable& table, int index) {
    return placeFrom(table.field(index, 9), table.field(index, 10), table.field(index, 12));
}

SourceRow SourceRow::read(const SourceTableEntry& e) {
    SourceRow r;
    r.mountpoint = sourceText(e.mountpoint);
    r.identifier = sourceText(e.identifier);
    r.format = sourceText(e.format);
    r.formatDetails = sourceText(e.formatDetails);
    r.carrier = wholeNumber(e.carrier);
    r.navSystem = sourceText(e.navSystem);
    r.network = sourceText(e.network);
    r.country = sourceText(e.country);
    r.latitude = readLatitude(e.latitude);
    r.longitude = readLongitude(e.longitude);
    r.place = placeFrom(e.latitude, e.longitude, e.solution);
    r.nmea = flag(e.nmea, "1", "0");
    r.solution = wholeNumber(e.solution);
    r.generator = sourceText(e.generator);
    r.compression = sourceText(e.compression);
    r.authentication = sourceText(e.authentication);
    const std::string_view auth = trimmed(e.authentication);
    if (auth == "N") r.authenticationRequired = false;
    if (auth == "B" || auth == "D") r.authenticationRequired = true;
    r.fee = flag(e.fee, "Y", "N");
    r.bitrate = wholeNumber(e.bitrate);
    return r;
}

std::string SourceRow::placeNote() const {
    if (place) return {};
    return networkSolution() ? kNetworkNoPlace : kNoPlace;
}

} // namespace tessadorn
