#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessadorn::sim {

// The caster a "#LIST" or "#CONNECT" command names, as the modem reads its argument text:
//   [1,|2,]host:port[/mountpoint][ user:password]
// "1," asks for NTRIP 1.0, "2," for NTRIP 2.0, no prefix for a plain (NTRIP 1.0) request. The
// credentials are split at the first colon, so a password may hold colons but no blank: the
// modem takes its arguments as they come, without quoting.
struct CasterRequest {
    int version = 0; // 0 none, 1, 2
    std::string host;
    std::string port;
    std::string mountpoint;
    std::string user;
    std::string password;
    bool hasCredentials = false;

    // `argument` is the text after "#LIST " or "#CONNECT " without the line end.
    // `needMountpoint` for "#CONNECT". Empty when the text cannot be understood.
    static std::optional<CasterRequest> parse(std::string_view argument, bool needMountpoint);

    // "host:port", how the settings name a caster.
    std::string address() const { return host + ":" + port; }
};

} // namespace tessadorn::sim
