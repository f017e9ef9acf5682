#include "platform/ProgramFolder.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace tessadorn {

namespace {

std::mutex& overrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& overrideFolder() {
    static std::string folder;
    return folder;
}

std::string executableFolder() {
    const std::filesystem::path exe = executablePath();
    if (exe.has_parent_path()) return exe.parent_path().string();
    std::error_code error;
    const std::filesystem::path cwd = std::filesystem::current_path(error);
    return error ? std::string(".") : cwd.string();
}

} // namespace

std::string executablePath() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

std::string programFolder() {
    {
        std::lock_guard lock(overrideMutex());
        if (!overrideFolder().empty()) return overrideFolder();
    }
    return executableFolder();
}

std::string programFilePath(std::string_view fileName) {
    return (std::filesystem::path(programFolder()) / std::filesystem::path(fileName)).string();
}

void setProgramFolderForTesting(std::string folder) {
    std::lock_guard lock(overrideMutex());
    overrideFolder() = std::move(folder);
}

} // namespace tessadorn
