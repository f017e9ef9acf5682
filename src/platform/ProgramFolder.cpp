#include "platform/ProgramFolder.h"

#include "platform/ProgramInfo.h"

#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace tessadorn {

namespace fs = std::filesystem;

std::string executablePath() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

std::string executableFolder() {
    const fs::path exe = executablePath();
    if (exe.has_parent_path()) return exe.parent_path().string();
    std::error_code error;
    const fs::path cwd = fs::current_path(error);
    return error ? std::string(".") : cwd.string();
}

std::string userConfigFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return (fs::path(base.toStdString()) / kProgramName).string();
}

std::string userStateFolder() {
    // XDG base directories: a relative XDG_STATE_HOME is to be ignored.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return (fs::path(state) / kProgramName).string();
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return (fs::path(home.toStdString()) / ".local" / "state" / kProgramName).string();
}

std::string ProgramFolderChoice::describe() const {
    switch (reason) {
    case Reason::Given:
        return "Files in " + folder + " (--config-dir)";
    case Reason::BesideExecutable:
        return "Files in " + folder + " (beside the executable, where they already were)";
    case Reason::UserConfig:
        break;
    }
    return "Files in " + folder + " (the user's configuration folder)";
}

ProgramFolderChoice chooseProgramFolder(const std::string& given,
                                        const std::string& besideExecutable,
                                        const std::string& userConfig) {
    using Reason = ProgramFolderChoice::Reason;
    if (!given.empty()) return {given, Reason::Given};
    std::error_code error;
    const fs::path beside(besideExecutable);
    if (!besideExecutable.empty() && (fs::exists(beside / kCasterListFileName, error) ||
                                      fs::exists(beside / kProfileFileName, error)))
        return {besideExecutable, Reason::BesideExecutable};
    return {userConfig, Reason::UserConfig};
}

bool makePrivateFolder(const std::string& folder, std::string& error) {
    if (folder.empty()) {
        error = "no folder given";
        return false;
    }
    // Each missing folder from the top down, so that every one created gets mode 0700.
    fs::path path;
    std::error_code ec;
    for (const auto& part : fs::path(folder)) {
        path /= part;
        if (fs::is_directory(path, ec)) continue;
        if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) continue;
        error = "cannot create " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    if (!fs::is_directory(folder, ec)) {
        error = folder + " is not a folder";
        return false;
    }
    return true;
}

} // namespace tessadorn
