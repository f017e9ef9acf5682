#include "TempDir.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace tessadorn::test {

TempDir::TempDir() {
    static std::atomic<int> serial{0};
    const fs::path dir =
        fs::temp_directory_path() / ("tessadorn-store-" + std::to_string(::getpid()) + "-" +
                                     std::to_string(serial.fetch_add(1)));
    fs::remove_all(dir);
    fs::create_directories(dir);
    m_Path = dir.string();
}

TempDir::~TempDir() {
    std::error_code error;
    fs::permissions(m_Path, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(m_Path, error);
}

std::string TempDir::file(std::string_view name) const {
    return (fs::path(m_Path) / name).string();
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

int fileMode(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) return -1;
    return static_cast<int>(status.permissions() & fs::perms::mask);
}

std::string listFolder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& n : names)
        joined += n + ";";
    return joined;
}

std::string dataFile(std::string_view name) {
    return readBytes((fs::path(TESSADORN_STORE_DATA) / name).string());
}

} // namespace tessadorn::test
