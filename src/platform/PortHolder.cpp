#include "platform/PortHolder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tessadorn {

namespace fs = std::filesystem;

PortHolder::PortHolder(std::string procFolder) : m_Proc(std::move(procFolder)) {}

std::vector<pid_t> PortHolder::holders(const std::string& path) const {
    std::vector<pid_t> found;
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) return found;
    const pid_t self = ::getpid();
    std::error_code ec;
    for (const auto& process : fs::directory_iterator(m_Proc, ec)) {
        const std::string name = process.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (pid == self) continue;
        std::error_code fdError; // another user's process: its descriptors are not ours to see
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            struct stat open {};
            if (::stat(fd.path().c_str(), &open) == 0 && S_ISCHR(open.st_mode) &&
                open.st_rdev == device.st_rdev) {
                found.push_back(pid);
                break;
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string PortHolder::name(pid_t pid) const {
    std::ifstream comm(m_Proc + "/" + std::to_string(pid) + "/comm");
    std::string line;
    std::getline(comm, line);
    return line;
}

std::string PortHolder::describe(pid_t pid) const {
    const std::string process = "process " + std::to_string(pid);
    const std::string n = name(pid);
    return n.empty() ? process : n + " (" + process + ")";
}

std::vector<std::string> PortHolder::arguments(pid_t pid) const {
    std::ifstream cmdline(m_Proc + "/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::vector<std::string> words;
    for (std::string word; std::getline(cmdline, word, '\0');)
        words.push_back(word);
    return words;
}

std::string PortHolder::serviceUnit(pid_t pid) const {
    std::ifstream cgroup(m_Proc + "/" + std::to_string(pid) + "/cgroup");
    // "0::/system.slice/system-tessadorn\x2dwatch.slice/tessadorn-watch@dev-ttyUSB0.service"
    for (std::string line; std::getline(cgroup, line);) {
        const std::string suffix = ".service";
        const std::size_t at = line.rfind('/');
        const std::string last = at == std::string::npos ? line : line.substr(at + 1);
        if (last.size() > suffix.size() &&
            last.compare(last.size() - suffix.size(), suffix.size(), suffix) == 0)
            return last;
    }
    return {};
}

bool isModemManager(const std::string& processName) {
    return processName == "ModemManager";
}

} // namespace tessadorn
