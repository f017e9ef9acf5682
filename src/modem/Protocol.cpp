#include "modem/Protocol.h"

#include "platform/SerialPort.h"

#include <charconv>
#include <cmath>

namespace tessadorn::protocol {

std::string_view relayHost() {
    return TESSADORN_RELAY_HOST;
}
std::string_view ibssSuffix() {
    return TESSADORN_IBSS_SUFFIX;
}
std::string_view updateDescriptorUrl() {
    return TESSADORN_UPDATE_URL;
}
std::string_view broadcastTag() {
    return TESSADORN_BROADCAST_TAG;
}

Command apn(std::string_view name) {
    return format("APN %s\r\n", {name});
}
Command apnUser(std::string_view user) {
    return format("USER %s\r\n", {user});
}
Command apnPassword(std::string_view pass) {
    return format("PASSWORD %s\r\n", {pass});
}

Command connect2(std::string_view host, std::string_view port) {
    return format("#CONNECT2 %s:%s\r\n", {host, port});
}

Command setGgaTrimble(int comPort) {
    return fixed("#SETGGA,AUTO,TRIMBLE,COM" + std::to_string(comPort) + "\r\n");
}

std::string decimal6(double value) {
    // to_chars never looks at the locale; 330 characters hold any double in fixed notation.
    char buf[400];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return {};
    return std::string(buf, result.ptr);
}

Command setGgaManual(double latitude, double longitude) {
    if (!(std::fabs(latitude) <= kMaxLatitude))
        return Command{{}, "latitude " + decimal6(latitude) + " is not within -90 to 90"};
    if (!(std::fabs(longitude) <= kMaxLongitude))
        return Command{{}, "longitude " + decimal6(longitude) + " is not within -180 to 180"};
    return format("#SETGGA,MANUAL,%s,%s\r\n", {decimal6(latitude), decimal6(longitude)});
}

Command comRate(int baudIndex) {
    if (!isBaudIndex(baudIndex)) {
        return Command{{}, "no serial rate for baud index " + std::to_string(baudIndex)};
    }
    return format("#COM %s\r\n", {std::to_string(baudRateForIndex(baudIndex))});
}

Command setBroadcast(bool on) {
    return format(on ? "#SETBRD,1,%s,%s,%s\r\n" : "#SETBRD,0,%s,%s,%s\r\n",
                  {relayHost(), kRelayPort, broadcastTag()});
}

Command otapSet(std::string_view apnName, std::string_view user, std::string_view password) {
    return format("AT^SJOTAP=\"%s\",\"%s\",\"a:\",,,\"gprs\",\"%s\",\"%s\",\"%s\",,\r\n",
                  {kOtapPassword, updateDescriptorUrl(), apnName, user, password});
}

Command list(int version, std::string_view ip, std::string_view port, std::string_view user,
             std::string_view password) {
    switch (version) {
    case 1:
        return format("#LIST 1,%s:%s\r\n", {ip, port});
    case 2:
        return format("#LIST 2,%s:%s\r\n", {ip, port});
    case 3:
        return format("#LIST 2,%s.%s:%s %s.%s:%s\r\n",
                      {ip, ibssSuffix(), port, user, ip, password});
    default:
        return format("#LIST %s:%s\r\n", {ip, port});
    }
}

Command connect(int version, bool authorize, std::string_view ip, std::string_view port,
                std::string_view mountpoint, std::string_view user, std::string_view password) {
    switch (version) {
    case 1:
        return authorize
                   ? format("#CONNECT 1,%s:%s/%s %s:%s\r\n", {ip, port, mountpoint, user, password})
                   : format("#CONNECT 1,%s:%s/%s\r\n", {ip, port, mountpoint});
    case 2:
        return authorize
                   ? format("#CONNECT 2,%s:%s/%s %s:%s\r\n", {ip, port, mountpoint, user, password})
                   : format("#CONNECT 2,%s:%s/%s\r\n", {ip, port, mountpoint});
    case 3:
        return format("#CONNECT 2,%s.%s:%s/%s %s.%s:%s\r\n",
                      {ip, ibssSuffix(), port, mountpoint, user, ip, password});
    default:
        return authorize
                   ? format("#CONNECT %s:%s/%s %s:%s\r\n", {ip, port, mountpoint, user, password})
                   : format("#CONNECT %s:%s/%s\r\n", {ip, port, mountpoint});
    }
}

} // namespace tessadorn::protocol
