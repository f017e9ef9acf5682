// libFuzzer targets for the parsers of the modem's query replies (built by scripts/fuzz.sh, one
// executable per reply: REPLY_PARSER names it).
//
// Any bytes: the parser ends without a crash, refuses a reply without touching what it would
// fill, and what it accepts holds only the first line of the reply, split as the reply says.
#include "modem/Replies.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

namespace {

using tessadorn::DeviceConfig;
namespace replies = tessadorn::replies;

void require(bool condition) {
    if (!condition) std::abort();
}

// Values the parser must leave alone when it refuses the reply.
DeviceConfig::Values before() {
    DeviceConfig::Values v;
    for (std::string* s : {&v.SerialNumber,  &v.FirmwareVersion, &v.Imei,
                           &v.ApnName,       &v.ApnUser,         &v.ApnPassword,
                           &v.GgaMode,       &v.GgaLatitude,     &v.GgaLongitude,
                           &v.GpsType,       &v.GpsPort,         &v.BroadcastOn,
                           &v.BroadcastHost, &v.BroadcastPort,   &v.BroadcastStream,
                           &v.CasterHost,    &v.CasterPort,      &v.CasterMountpoint,
                           &v.CasterUser,    &v.CasterPassword,  &v.CasterKind})
        *s = "(before)";
    return v;
}

// A field of an accepted reply: a piece of the first line, without its separators.
void requireField(const std::string& field, std::string_view separators) {
    require(field.find_first_of("\r\n") == std::string::npos);
    require(field.find_first_of(separators) == std::string::npos);
}

// The first line's text up to CR or LF.
std::string_view firstLine(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

// The reference reading of a decimal number, as wide as it needs to be.
bool referenceDecimal(std::string_view text, long long& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > (1LL << 40)) return false; // far out of range
    }
    if (negative) value = -value;
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

[[maybe_unused]] void configuration(std::string_view text) {
    auto v = before();
    int mode = -7;
    if (!replies::parseGetCfg(text, v, mode)) {
        require(v == before() && mode == -7);
        return;
    }
    require(mode == 1 || mode == 2);
    require((mode == 2) == firstLine(text).starts_with("CLIENT,"));
    for (const auto* f :
         {&v.SerialNumber, &v.FirmwareVersion, &v.Imei, &v.ApnName, &v.ApnUser, &v.ApnPassword})
        requireField(*f, ",");
}

[[maybe_unused]] void position(std::string_view text) {
    auto v = before();
    if (!replies::parseGetGga(text, v)) {
        require(v == before());
        return;
    }
    requireField(v.GgaMode, ",");
    if (v.GgaMode == "MANUAL") {
        require(v.GpsType == "(before)" && v.GpsPort == "(before)");
        requireField(v.GgaLatitude, ",");
        requireField(v.GgaLongitude, ",");
    } else {
        require(v.GgaLatitude == "(before)" && v.GgaLongitude == "(before)");
        requireField(v.GpsType, ",");
        requireField(v.GpsPort, ",");
    }
}

[[maybe_unused]] void broadcast(std::string_view text) {
    auto v = before();
    if (!replies::parseGetBrd(text, v)) {
        require(v == before());
        return;
    }
    requireField(v.BroadcastOn, ",");
    requireField(v.BroadcastHost, ",");
    requireField(v.BroadcastPort, ",");
    require(replies::readDecimal(v.BroadcastOn).has_value());
}

[[maybe_unused]] void storedCaster(std::string_view text) {
    auto v = before();
    if (!replies::parseAddrServer(text, v)) {
        require(v == before());
        return;
    }
    require(v.CasterKind == "0" || v.CasterKind == "1");
    for (const auto* f : {&v.CasterHost, &v.CasterPort, &v.CasterMountpoint})
        requireField(*f, ",:");
    if (v.CasterKind == "1") require(v.CasterUser == "null" && v.CasterPassword == "null");
}

[[maybe_unused]] void apn(std::string_view text) {
    int ready = -7, sim = -7;
    if (!replies::parseApn(text, ready, sim)) {
        require(ready == -7 && sim == -7);
        return;
    }
    long long want = 0;
    require(referenceDecimal(text, want) && want == ready);
    if (text.size() > 2)
        require(referenceDecimal(text.substr(2), want) && want == sim);
    else
        require(sim == 0);
}

[[maybe_unused]] void signal(std::string_view text) {
    long long want = 0;
    const bool fits = referenceDecimal(text, want);
    const auto level = replies::readDecimal(text);
    require(level.has_value() == fits);
    if (level) require(*level == want);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    REPLY_PARSER(text);
    return 0;
}
