#include "platform/SerialPortFinder.h"

#include "platform/PortHolder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

namespace tessadorn {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, empty when there is none.
std::string attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// A text that a udev rule can carry between double quotes.
bool ruleSafe(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x20 && b < 0x7F && c != '"' && c != '\\';
    });
}

// A name for a device link: letters, digits, '.', '_' and '-'; anything else becomes '_'.
std::string linkName(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (!(std::isalnum(b) && b < 0x80) && c != '.' && c != '_' && c != '-') c = '_';
    }
    return out;
}

} // namespace

const std::string& SerialDevice::stableName() const {
    if (!links.empty()) return links.front();
    if (!byId.empty()) return byId.front();
    return path;
}

std::string SerialDevice::describe() const {
    std::string line;
    for (const auto& name : links)
        line += name + "  ";
    for (const auto& name : byId)
        line += name + "  ";
    line += path;
    std::string adapter = maker;
    if (!model.empty()) adapter += (adapter.empty() ? "" : " ") + model;
    if (!serial.empty()) adapter += (adapter.empty() ? "" : ", ") + std::string("serial ") + serial;
    if (!adapter.empty()) line += "  (" + adapter + ")";
    for (const auto& holder : holders)
        line += "  in use by " + holder;
    return line;
}

SerialPortFinder::SerialPortFinder(std::string byIdFolder, std::string sysTtyFolder,
                                   std::string devFolder, std::string procFolder)
    : m_ByIdFolder(std::move(byIdFolder)), m_SysTtyFolder(std::move(sysTtyFolder)),
      m_DevFolder(std::move(devFolder)), m_ProcFolder(std::move(procFolder)) {}

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

void SerialPortFinder::readUsb(const std::string& name, SerialDevice& device) const {
    std::error_code ec;
    fs::path at = fs::canonical(fs::path(m_SysTtyFolder) / name / "device", ec);
    // The port's device sits below the USB interface, which sits below the USB device.
    for (int up = 0; !ec && up < 6 && at.has_relative_path(); ++up, at = at.parent_path()) {
        if (!fs::exists(at / "idVendor", ec)) continue;
        device.vendorId = attribute(at / "idVendor");
        device.productId = attribute(at / "idProduct");
        device.maker = attribute(at / "manufacturer");
        device.model = attribute(at / "product");
        device.serial = attribute(at / "serial");
        return;
    }
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
        readUsb(name, found[path]);
    }
    for (const auto& [link, target] : byIdLinks()) {
        SerialDevice& device = found[target];
        device.path = target;
        device.byId.push_back(link);
    }
    // The links of this program's own rule.
    for (const auto& entry : fs::directory_iterator(m_DevFolder, ec)) {
        if (entry.path().filename().string().rfind(kLinkPrefix, 0) != 0) continue;
        std::error_code linkError;
        const fs::path target = fs::canonical(entry.path(), linkError);
        if (linkError || !found.count(target.string())) continue;
        found[target.string()].links.push_back(entry.path().string());
    }
    const PortHolder processes(m_ProcFolder);
    std::vector<SerialDevice> out;
    for (auto& [path, device] : found) {
        std::sort(device.links.begin(), device.links.end());
        for (const pid_t pid : processes.holders(path))
            device.holders.push_back(processes.describe(pid));
        out.push_back(std::move(device));
    }
    std::stable_partition(out.begin(), out.end(), [](const SerialDevice& d) {
        return !d.byId.empty() || !d.links.empty();
    });
    return out;
}

std::string SerialPortFinder::defaultPort() const {
    const auto links = byIdLinks();
    std::set<std::string> adapters;
    for (const auto& link : links)
        adapters.insert(link.second);
    // One adapter may show under several names (its interfaces); two adapters are a choice
    // the user must make.
    if (adapters.size() != 1) return kFallbackPort;
    // The link of this program's own rule names the adapter whatever its by-id name.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_DevFolder, ec)) {
        std::error_code linkError;
        if (entry.path().filename().string().rfind(kLinkPrefix, 0) == 0 &&
            fs::canonical(entry.path(), linkError).string() == *adapters.begin())
            return entry.path().string();
    }
    return links.front().first;
}

std::string SerialPortFinder::udevRule(const SerialDevice& device, std::string& why) {
    if (device.vendorId.empty()) {
        why = device.path + " is no USB serial adapter.";
        return {};
    }
    if (device.serial.empty()) {
        why = "The adapter at " + device.path +
              " has no USB serial number: a rule could not tell it from others of its make.";
        return {};
    }
    if (!ruleSafe(device.serial) || !ruleSafe(device.vendorId) || !ruleSafe(device.productId)) {
        why = "The adapter at " + device.path + " has a serial number a udev rule cannot match.";
        return {};
    }
    std::string about = device.maker;
    if (!device.model.empty()) about += (about.empty() ? "" : " ") + device.model;
    if (!ruleSafe(about)) about = "USB serial adapter";
    return "# " + about + ", serial " + device.serial + " (" + device.path +
           "): ModemManager keeps away, and it is /dev/" + kLinkPrefix + linkName(device.serial) +
           "\n" + "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"" + device.vendorId +
           "\", ATTRS{idProduct}==\"" + device.productId + "\", ATTRS{serial}==\"" + device.serial +
           "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\", SYMLINK+=\"" + kLinkPrefix +
           linkName(device.serial) + "\"\n";
}

} // namespace tessadorn

namespace tessadorn {

std::string SerialPortFinder::udevRules(const std::vector<SerialDevice>& devices,
                                        std::string& why) {
    std::string rules;
    why.clear();
    for (const auto& device : devices) {
        if (device.vendorId.empty()) continue;
        std::string reason;
        const std::string rule = udevRule(device, reason);
        rules += rule;
        if (rule.empty() && why.empty()) why = reason;
    }
    if (rules.empty()) {
        if (why.empty()) why = "No USB serial adapter is plugged in.";
        return {};
    }
    return std::string("# Save as ") + kRulesFile +
           ", then: sudo udevadm control --reload && sudo udevadm trigger\n" + rules;
}

} // namespace tessadorn
