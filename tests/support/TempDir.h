#pragma once

#include <string>
#include <string_view>

namespace tessadorn::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_Path; }
    std::string file(std::string_view name) const;

  private:
    std::string m_Path;
};

// Whole-file helpers for tests.
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, std::string_view bytes);
// Permission bits of the file (e.g. 0600), -1 when it does not exist.
int fileMode(const std::string& path);
// Names of the files in `folder`, sorted.
std::string listFolder(const std::string& folder);
// A file of tests/data/store.
std::string dataFile(std::string_view name);

} // namespace tessadorn::test
