#include "CasterRequest.h"

#include <algorithm>
#include <cctype>

namespace tessadorn::sim {

std::optional<CasterRequest> CasterRequest::parse(std::string_view argument, bool needMountpoint) {
    CasterRequest r;
    if (argument.size() >= 2 && (argument[0] == '1' || argument[0] == '2') && argument[1] == ',') {
        r.version = argument[0] - '0';
        argument.remove_prefix(2);
    }
    std::string_view address = argument;
    const auto blank = argument.find(' ');
    if (blank != std::string_view::npos) {
        address = argument.substr(0, blank);
        std::string_view login = argument.substr(blank + 1);
        const auto colon = login.find(':');
        if (colon == std::string_view::npos || login.find(' ') != std::string_view::npos)
            return std::nullopt;
        r.user = std::string(login.substr(0, colon));
        r.password = std::string(login.substr(colon + 1));
        r.hasCredentials = true;
    }
    const auto slash = address.find('/');
    if (slash != std::string_view::npos) {
        r.mountpoint = std::string(address.substr(slash + 1));
        address = address.substr(0, slash);
        if (r.mountpoint.empty()) return std::nullopt;
    }
    if (needMountpoint != !r.mountpoint.empty()) return std::nullopt;
    const auto colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    r.host = std::string(address.substr(0, colon));
    r.port = std::string(address.substr(colon + 1));
    const bool digits = !r.port.empty() && r.port.size() <= 5 &&
                        std::all_of(r.port.begin(), r.port.end(),
                                    [](unsigned char c) { return std::isdigit(c) != 0; });
    if (!digits || std::stoi(r.port) == 0 || std::stoi(r.port) > 65535) return std::nullopt;
    return r;
}

} // namespace tessadorn::sim
