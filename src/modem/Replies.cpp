#include "modem/Replies.h"

#include <limits>

namespace tessadorn::replies {
namespace {

constexpr std::size_t kShortest = 3; // a reply of this length or less is refused

std::string cutAtLineEnd(std::string_view s) {
    const auto end = s.find_first_of("\r\n");
    return std::string(s.substr(0, end));
}

} // namespace

std::optional<int> readDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // The magnitude is kept below 2^32, so it never overflows; past INT_MAX + 1 it cannot fit.
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i++] - '0');
        if (value > kLimit) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

std::vector<std::string> splitFirstLine(std::string_view text, std::string_view separators) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == '\r' || c == '\n') break;
        if (separators.find(c) != std::string_view::npos)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

bool parseGetCfg(std::string_view text, DeviceConfig::Values& v, int& mode) {
    if (text.size() <= kShortest) return false;
    const auto f = splitFirstLine(text, ",");
    if (f.size() < 7) return false;
    mode = f[0] == "CLIENT" ? 2 : 1;
    v.SerialNumber = cutAtLineEnd(f[1]);
    v.FirmwareVersion = f[2];
    v.Imei = cutAtLineEnd(f[3]);
    v.ApnName = f[4];
    v.ApnUser = f[5];
    v.ApnPassword = f[6];
    return true;
}

bool parseGetGga(std::string_view text, DeviceConfig::Values& v) {
    if (text.size() <= kShortest) return false;
    const auto f = splitFirstLine(text, ",");
    if (f.size() < 3) return false;
    v.GgaMode = f[0];
    if (f[0] == "MANUAL") {
        v.GgaLatitude = f[1];
        v.GgaLongitude = f[2];
    } else {
        v.GpsType = f[1];
        v.GpsPort = f[2];
    }
    return true;
}

bool parseGetBrd(std::string_view text, DeviceConfig::Values& v) {
    if (text.size() <= kShortest) return false;
    const auto f = splitFirstLine(text, ",");
    if (f.size() < 3 || !readDecimal(f[0])) return false;
    v.BroadcastOn = f[0];
    v.BroadcastHost = f[1];
    v.BroadcastPort = f[2];
    v.BroadcastStream = "TESSADORN";
    return true;
}

bool parseAddrServer(std::string_view text, DeviceConfig::Values& v) {
    if (text.size() <= kShortest) return false;
    auto f = splitFirstLine(text, ",:");
    if (f.size() < 3) return false;
    v.CasterHost = f[0];
    v.CasterPort = f[1];
    v.CasterMountpoint = f[2];
    if (f.size() == 4) {
        v.CasterUser = DeviceConfig::kNone;
        v.CasterPassword = DeviceConfig::kNone;
        v.CasterKind = "1";
    } else {
        f.resize(std::max<std::size_t>(f.size(), 5));
        v.CasterUser = f[3];
        v.CasterPassword = f[4];
        v.CasterKind = "0";
    }
    return true;
}

bool parseApn(std::string_view text, int& apnReady, int& simState) {
    const auto ready = readDecimal(text);
    const auto sim = text.size() > 2 ? readDecimal(text.substr(2)) : std::optional<int>(0);
    if (!ready || !sim) return false;
    apnReady = *ready;
    simState = *sim;
    return true;
}

} // namespace tessadorn::replies
