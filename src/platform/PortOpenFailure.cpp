#include "platform/PortOpenFailure.h"

#include "platform/PortHolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tessadorn {

namespace {

// The name of the group owning `path` (after following links), empty when unknown.
std::string owningGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    std::vector<char> buffer(16384);
    group entry{};
    group* result = nullptr;
    if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &result) != 0 || !result)
        return std::to_string(st.st_gid);
    return result->gr_name;
}

} // namespace

std::string describePortOpenFailure(const std::string& path, int error, int holderPid,
                                    const std::string& procFolder) {
    if (error == EBUSY && holderPid > 0) {
        const PortHolder processes(procFolder);
        const std::string name = processes.name(holderPid);
        std::string text =
            "The port " + path + " is in use by " +
            (name.empty() ? "another program (process " + std::to_string(holderPid) + ")"
                          : processes.describe(holderPid)) +
            ".";
        const auto words = processes.arguments(holderPid);
        if (name == "tessadornctl" &&
            std::find(words.begin(), words.end(), "watch") != words.end()) {
            // A watch serves tessadornctl's commands on its port, but not another program.
            const std::string unit = processes.serviceUnit(holderPid);
            text += " It is a watch of the modem: tessadornctl's commands on this port are run by "
                    "it, but to use the port here, stop the watch first: " +
                    (unit.empty() ? "end it (kill " + std::to_string(holderPid) + ")."
                                  : "sudo systemctl stop " + unit);
        }
        if (isModemManager(name))
            text += " ModemManager probes every new serial adapter for a while. To keep it away "
                    "from this one for good, install the rule that \"tessadorn --udev-rule\" "
                    "prints (see the README), or stop it: sudo systemctl stop ModemManager.";
        return text;
    }
    std::string text = "cannot open the serial port " + path + ": " + std::strerror(error);
    switch (error) {
    case EACCES:
    case EPERM: {
        const std::string groupName = owningGroup(path);
        if (groupName.empty()) return text + ". Your user may not open it.";
        return text + ". Your user must be in the group \"" + groupName +
               "\" that owns it: sudo usermod -aG " + groupName +
               " $USER, then log out and in again.";
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return text + ". Is the modem's cable plugged in? \"tessadorn --list-ports\" shows the "
                      "serial devices found; choose one with --port PATH.";
    case EBUSY:
        return text + ". Another program is using it; close that program first.";
    case ENOTTY:
        return text + ". It is not a serial device; choose one with --port PATH "
                      "(\"tessadorn --list-ports\" shows them).";
    default:
        return text + ".";
    }
}

} // namespace tessadorn
