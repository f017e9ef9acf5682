#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace tessadorn {

// The debug output kept in a file: one line per event with the local time in front; the CR LF
// that ends an event becomes a plain line end, line ends inside it are written as \r and \n. The
// file has mode 0600, as the commands it records carry caster and APN passwords. It is kept to a
// bounded size: when a line would take it past the limit, it becomes "<path>.1" (replacing the one
// before) and a new file starts, so at most twice the limit is ever kept. A line that cannot be
// written (a full disk) is dropped whole and the program goes on; once lines fit again, a line
// says how many were lost and why. Thread-safe.
class DebugLogFile {
  public:
    static constexpr std::int64_t kDefaultLimitBytes = 1024 * 1024;

    DebugLogFile() = default;
    ~DebugLogFile();
    DebugLogFile(const DebugLogFile&) = delete;
    DebugLogFile& operator=(const DebugLogFile&) = delete;

    // Opens `path` for appending (creating it). False with a reason in `error`.
    bool open(const std::string& path, std::int64_t limitBytes, std::string& error);
    bool isOpen() const;
    void write(std::string_view line);

    const std::string& path() const { return m_Path; }

  private:
    bool openFile(bool truncate);
    void rotate();
    bool append(std::string_view text);

    mutable std::mutex m_Mutex;
    std::string m_Path;
    std::int64_t m_Limit = kDefaultLimitBytes;
    std::int64_t m_Size = 0;
    int m_Fd = -1;
    std::int64_t m_Dropped = 0; // lines lost since the last one written
    std::string m_DropReason;
};

} // namespace tessadorn
