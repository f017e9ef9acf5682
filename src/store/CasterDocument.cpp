#include "store/CasterDocument.h"

#include <utility>

namespace tessadorn {

void CasterDocument::reset() {
    count = 0;
    hasCurrent = false;
    server = FileNumber{};
    auth = "yes";
    user.clear();
    password.clear();
    carrier.clear();
    apn.clear();
    carrierUser.clear();
    carrierPassword.clear();
    AutoConnection.clear();
}

bool CasterDocument::fileCanCarry(std::string_view value, std::size_t limit) {
    return value.size() <= limit && value.find('<') == std::string_view::npos;
}

std::string CasterDocument::fieldTheFileCannotCarry() const {
    // Only what the writer puts into the file: the current section while it is set, the APN
    // block while carrier is "yes", the counted casters.
    if (hasCurrent) {
        if (!fileCanCarry(server.text(), kMaxServer)) return "server";
        const std::pair<const char*, const std::string*> current[] = {
            {"user", &user}, {"password", &password}, {"AutoConnection", &AutoConnection}};
        for (const auto& [name, value] : current)
            if (!fileCanCarry(*value)) return name;
        if (carrier == "yes") {
            const std::pair<const char*, const std::string*> block[] = {
                {"apn", &apn},
                {"carrier user", &carrierUser},
                {"carrier password", &carrierPassword}};
            for (const auto& [name, value] : block)
                if (!fileCanCarry(*value)) return name;
        }
    }
    for (int i = 0; i < count && i < kMaxEntries; ++i) {
        const CasterEntry& e = entries[static_cast<std::size_t>(i)];
        const std::pair<const char*, const std::string*> fields[] = {
            {"name", &e.name},           {"ip", &e.ip},
            {"port", &e.port},           {"user", &e.user},
            {"Password", &e.Password},   {"Tessadorn", &e.Tessadorn.text()},
            {"vntrip", &e.vntrip.text()}};
        for (const auto& [name, value] : fields)
            if (!fileCanCarry(*value)) return "caster " + std::to_string(i) + " " + name;
    }
    return {};
}

} // namespace tessadorn
