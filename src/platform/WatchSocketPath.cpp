#include "platform/WatchSocketPath.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tessadorn {

namespace {

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder, made (with `mode`) when missing; false with the reason.
bool ensureSocketFolder(const std::string& folder, mode_t mode, std::string& why) {
    if (isFolder(folder)) return true;
    if (::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST) {
        ::chmod(folder.c_str(), mode); // whatever the umask made of it
        return true;
    }
    why = "cannot create " + folder + ": " + std::strerror(errno);
    return false;
}

} // namespace

std::string WatchSocketPath::name(const std::string& devicePath) {
    struct stat st {};
    if (::stat(devicePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return {};
    return "watch-" + std::to_string(major(st.st_rdev)) + "-" + std::to_string(minor(st.st_rdev)) +
           ".sock";
}

std::string WatchSocketPath::forServing(const std::string& devicePath, std::string& why) {
    const std::string file = name(devicePath);
    if (file.empty()) {
        why = "no serial device at " + devicePath;
        return {};
    }
    if (const std::string chosen = environmentText("TESSADORN_RUNTIME_DIR"); !chosen.empty())
        return ensureSocketFolder(chosen, 0755, why) ? chosen + "/" + file : std::string();
    // A service's own runtime folder (systemd's RuntimeDirectory=tessadorn/INSTANCE).
    if (std::string service = environmentText("RUNTIME_DIRECTORY"); !service.empty()) {
        service = service.substr(0, service.find(':'));
        if (isFolder(service)) return service + "/" + file;
    }
    const std::string system = "/run/tessadorn";
    if ((isFolder(system) && ::access(system.c_str(), W_OK | X_OK) == 0) ||
        (::geteuid() == 0 && ensureSocketFolder(system, 0755, why)))
        return system + "/" + file;
    const std::string user = environmentText("XDG_RUNTIME_DIR");
    if (user.empty()) {
        why = system + " is not writable and XDG_RUNTIME_DIR is not set";
        return {};
    }
    return ensureSocketFolder(user + "/tessadorn", 0700, why) ? user + "/tessadorn/" + file
                                                              : std::string();
}

std::vector<std::string> WatchSocketPath::candidates(const std::string& devicePath) {
    const std::string file = name(devicePath);
    if (file.empty()) return {};
    if (const std::string chosen = environmentText("TESSADORN_RUNTIME_DIR"); !chosen.empty())
        return {chosen + "/" + file};
    std::vector<std::string> paths{"/run/tessadorn/" + file};
    // The services' folders, one a port: /run/tessadorn/INSTANCE/, and the runtime folder of the
    // unit we ship, /run/tessadorn-watch/INSTANCE/ (where its metrics are too).
    for (const char* services : {"/run/tessadorn", "/run/tessadorn-watch"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(services, ec))
            if (entry.is_directory(ec)) paths.push_back((entry.path() / file).string());
    }
    if (const std::string user = environmentText("XDG_RUNTIME_DIR"); !user.empty())
        paths.push_back(user + "/tessadorn/" + file);
    return paths;
}

} // namespace tessadorn
