#include "platform/FileLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tessadorn {

FileLock::FileLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_Reason = std::strerror(errno);
        return;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        m_Reason = std::strerror(errno);
        ::close(fd);
        return;
    }
    m_Fd = fd;
}

FileLock::~FileLock() {
    if (m_Fd >= 0) ::close(m_Fd); // closing the only descriptor lets the lock go
}

} // namespace tessadorn
