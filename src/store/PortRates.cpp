#include "store/PortRates.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tessadorn {

namespace {

constexpr int kRates = 5;

} // namespace

std::string PortRates::stableName(const std::string& port) {
    std::error_code error;
    const auto target = std::filesystem::canonical(port, error);
    if (error) return port;
    for (const auto& link : std::filesystem::directory_iterator("/dev/serial/by-id", error)) {
        std::error_code e;
        if (std::filesystem::canonical(link.path(), e) == target && !e) return link.path().string();
    }
    return port;
}

std::optional<int> PortRates::rateFor(const std::string& port) const {
    std::ifstream in(m_Path);
    const std::string name = stableName(port);
    for (std::string line; std::getline(in, line);) {
        const auto blank = line.rfind(' ');
        if (blank == std::string::npos || line.substr(0, blank) != name) continue;
        const std::string index = line.substr(blank + 1);
        if (index.size() == 1 && index[0] >= '0' && index[0] < '0' + kRates) return index[0] - '0';
    }
    return std::nullopt;
}

bool PortRates::remember(const std::string& port, int index) {
    if (index < 0 || index >= kRates) return false;
    // Every command finds the modem: a rate already kept costs no write.
    if (rateFor(port) == index) return true;
    const std::string name = stableName(port);
    std::ifstream in(m_Path);
    std::ostringstream out;
    for (std::string line; std::getline(in, line);)
        if (line.rfind(name + " ", 0) != 0 || line.find(' ', name.size() + 1) != std::string::npos)
            out << line << '\n';
    out << name << ' ' << index << '\n';
    return m_Writer.replace(m_Path, out.str(), 0600);
}

} // namespace tessadorn
