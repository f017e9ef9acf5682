#include "platform/DebugLogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace tessadorn {

namespace {

constexpr int kMode = 0600;

// "2026-12-07 10:53:01.123 "
std::string timestamp() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d ", static_cast<int>(now.tv_usec / 1000));
    return text;
}

} // namespace

DebugLogFile::~DebugLogFile() {
    if (m_Fd >= 0) ::close(m_Fd);
}

bool DebugLogFile::open(const std::string& path, std::int64_t limitBytes, std::string& error) {
    std::lock_guard lock(m_Mutex);
    if (m_Fd >= 0) ::close(m_Fd);
    m_Path = path;
    m_Limit = limitBytes > 0 ? limitBytes : kDefaultLimitBytes;
    if (!openFile(false)) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool DebugLogFile::isOpen() const {
    std::lock_guard lock(m_Mutex);
    return m_Fd >= 0;
}

bool DebugLogFile::openFile(bool truncate) {
    const int flags =
        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | (truncate ? O_TRUNC : 0);
    m_Fd = ::open(m_Path.c_str(), flags, kMode);
    if (m_Fd < 0) return false;
    // A file left from before with a wider mode is narrowed: it may hold passwords too.
    struct stat st {};
    if (::fstat(m_Fd, &st) == 0) {
        if ((st.st_mode & 07777) != kMode) ::fchmod(m_Fd, kMode);
        m_Size = st.st_size;
    }
    return true;
}

void DebugLogFile::rotate() {
    ::close(m_Fd);
    m_Fd = -1;
    const std::string previous = m_Path + ".1";
    std::rename(m_Path.c_str(), previous.c_str());
    m_Size = 0;
    openFile(true);
}

void DebugLogFile::write(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    // One event, one line: line ends inside it (a command's leading CR LF) are shown escaped.
    std::string text = timestamp();
    for (const char c : line) {
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else
            text += c;
    }
    text += '\n';
    std::lock_guard lock(m_Mutex);
    if (m_Fd < 0) return;
    // After lines were lost (a full disk), the first line that fits says how many.
    if (m_Dropped > 0)
        text = timestamp() + std::to_string(m_Dropped) + " lines not written: " + m_DropReason +
               "\n" + text;
    if (m_Size > 0 && m_Size + static_cast<std::int64_t>(text.size()) > m_Limit) {
        rotate();
        if (m_Fd < 0) return;
    }
    if (append(text))
        m_Dropped = 0;
    else
        ++m_Dropped;
}

bool DebugLogFile::append(std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_Fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A full disk: the line is lost, the program goes on. The part of it that was
            // written is cut off again, so that the file holds whole lines only.
            m_DropReason = std::strerror(n < 0 ? errno : ENOSPC);
            if (done > 0) {
                const off_t end = ::lseek(m_Fd, 0, SEEK_END);
                if (end >= static_cast<off_t>(done))
                    (void)!::ftruncate(m_Fd, end - static_cast<off_t>(done));
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    m_Size += static_cast<std::int64_t>(done);
    return true;
}

} // namespace tessadorn
