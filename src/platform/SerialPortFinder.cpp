#include "platform/SerialPortFinder.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace tessadorn {

namespace fs = std::filesystem;

SerialPortFinder::SerialPortFinder(std::string byIdFolder, std::string sysTtyFolder,
                                   std::string devFolder)
    : m_ByIdFolder(std::move(byIdFolder)), m_SysTtyFolder(std::move(sysTtyFolder)),
      m_DevFolder(std::move(devFolder)) {}

std::vector<std::pair<std::string, std::string>> SerialPortFinder::byIdLinks() const {
    std::vector<std::pair<std::string, std::string>> links;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_ByIdFolder, ec)) {
        std::error_code linkError;
        const fs::path target = fs::canonical(entry.path(), linkError);
        if (linkError) continue; // a dangling link: the adapter is going away
        links.emplace_back(entry.path().string(), target.string());
    }
    std::sort(links.begin(), links.end());
    return links;
}

std::vector<SerialDevice> SerialPortFinder::devices() const {
    std::map<std::string, SerialDevice> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_SysTtyFolder, ec)) {
        std::error_code deviceError;
        const fs::path device = entry.path() / "device";
        if (!fs::exists(device, deviceError)) continue; // virtual terminals, pseudo-terminals
        const std::string name = entry.path().filename().string();
        // ttyS0..ttyS31 exist whether there is a UART or not; a real one belongs to a bus
        // driver (pnp, pci), the placeholders to the platform device "serial8250".
        if (name.rfind("ttyS", 0) == 0 &&
            fs::canonical(device, deviceError).filename() == "serial8250")
            continue;
        // The same name as the by-id links resolve to, so that a device shows once.
        const std::string path =
            fs::weakly_canonical(fs::path(m_DevFolder) / name, deviceError).string();
        found[path].path = path;
    }
    for (const auto& [link, target] : byIdLinks()) {
        SerialDevice& device = found[target];
        device.path = target;
        device.byId.push_back(link);
    }
    std::vector<SerialDevice> out;
    for (auto& [path, device] : found)
        out.push_back(std::move(device));
    return out;
}

std::string SerialPortFinder::defaultPort() const {
    const auto links = byIdLinks();
    std::set<std::string> adapters;
    for (const auto& link : links)
        adapters.insert(link.second);
    // One adapter may show under several names (its interfaces); two adapters are a choice
    // the user must make.
    if (adapters.size() == 1) return links.front().first;
    return kFallbackPort;
}

} // namespace tessadorn
