#include "link/Protocol.h"

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

namespace {

// Which control character an argument holds, or nullptr.
const char* forbidden(std::string_view arg) {
    for (char c : arg) {
        if (c == '\r') return "CR";
        if (c == '\n') return "LF";
        if (c == '\0') return "NUL";
    }
    return nullptr;
}

std::string printable(std::string_view fmt) {
    std::string s;
    for (char c : fmt) {
        if (c == '\r')
            s += "\\r";
        else if (c == '\n')
            s += "\\n";
        else
            s += c;
    }
    return s;
}

} // namespace

Command fixed(std::string_view text) {
    return Command{std::string(text), {}};
}

Command format(std::string_view fmt, std::initializer_list<std::string_view> args) {
    Command cmd;
    auto arg = args.begin();
    int n = 0;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%' || i + 1 == fmt.size()) {
            cmd.text += fmt[i];
            continue;
        }
        const char conv = fmt[++i];
        if (conv == '%') {
            cmd.text += '%';
            continue;
        }
        ++n;
        if (conv != 's' || arg == args.end()) {
            cmd.text.clear();
            cmd.refused = "command \"" + printable(fmt) + "\" has no argument " + std::to_string(n);
            return cmd;
        }
        if (const char* what = forbidden(*arg)) {
            cmd.text.clear();
            cmd.refused =
                "argument " + std::to_string(n) + " of \"" + printable(fmt) + "\" holds " + what;
            return cmd;
        }
        cmd.text += *arg++;
    }
    if (arg != args.end()) {
        cmd.text.clear();
        cmd.refused = "command \"" + printable(fmt) + "\" has too many arguments";
    }
    return cmd;
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
    static constexpr std::string_view kRates[] = {"9600", "19200", "38400", "57600", "115200"};
    if (baudIndex < 0 || baudIndex > 4) {
        return Command{{}, "no serial rate for baud index " + std::to_string(baudIndex)};
    }
    return format("#COM %s\r\n", {kRates[baudIndex]});
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
