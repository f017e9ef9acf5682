#include "store/PortRates.h"

#include "platform/FileLock.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tessadorn {

namespace {

constexpr int kRates = 5;

// The rate index of a line "NAME INDEX", or -1 for a line this program did not write.
int portRateIndex(const std::string& line, std::string* name = nullptr) {
    const auto blank = line.rfind(' ');
    if (blank == std::string::npos || blank == 0 || blank + 2 != line.size()) return -1;
    const char digit = line[blank + 1];
    if (digit < '0' || digit >= '0' + kRates) return -1;
    if (line.find('\0') != std::string::npos) return -1;
    if (name) *name = line.substr(0, blank);
    return digit - '0';
}

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

std::optional<std::string> PortRates::load(std::string& why) const {
    std::error_code e;
    const auto status = std::filesystem::status(m_Path, e);
    if (status.type() == std::filesystem::file_type::not_found) return std::string();
    if (!e && !std::filesystem::is_regular_file(status)) {
        why = m_Path + " is not a regular file";
        return std::nullopt;
    }
    std::ifstream in(m_Path, std::ios::binary);
    if (!in) {
        const int error = errno;
        why = m_Path + " cannot be read (" + std::strerror(error) + ")";
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        why = m_Path + " cannot be read";
        return std::nullopt;
    }
    std::istringstream lines(bytes.str());
    for (std::string line; std::getline(lines, line);)
        if (portRateIndex(line) < 0) {
            why = m_Path + " holds a line this program did not write";
            return std::nullopt;
        }
    return bytes.str();
}

std::optional<int> PortRates::rateFor(const std::string& port) const {
    std::string why;
    const auto text = load(why);
    if (!text) return std::nullopt;
    const std::string wanted = stableName(port);
    std::istringstream lines(*text);
    for (std::string line, name; std::getline(lines, line);)
        if (const int index = portRateIndex(line, &name); index >= 0 && name == wanted)
            return index;
    return std::nullopt;
}

bool PortRates::remember(const std::string& port, int index, std::string* why) {
    if (index < 0 || index >= kRates) return false;
    const FileLock lock(m_Path + ".lock");
    std::string reason;
    const auto text = load(reason);
    if (!text) {
        if (why) *why = reason + ": left as it is; the rate of " + port + " is not kept.";
        return false;
    }
    const std::string name = stableName(port);
    std::istringstream lines(*text);
    std::ostringstream out;
    bool kept = false;
    for (std::string line, lineName; std::getline(lines, line);) {
        const int lineIndex = portRateIndex(line, &lineName);
        if (lineName != name) {
            out << line << '\n';
            continue;
        }
        // Every command finds the modem: a rate already kept costs no write.
        if (lineIndex == index) kept = true;
    }
    if (kept) return true;
    out << name << ' ' << index << '\n';
    if (m_Writer.replaceExplained(m_Path, out.str(), 0600, reason)) return true;
    if (why)
        *why =
            m_Path + " cannot be written (" + reason + "); the rate of " + port + " is not kept.";
    return false;
}

} // namespace tessadorn
