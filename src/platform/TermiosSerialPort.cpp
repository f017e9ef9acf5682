#include "platform/TermiosSerialPort.h"

#include "platform/TermiosSpeed.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tessadorn {
namespace {

// Raw 8N1 at the given speed; everything else about the line stays as found except parity
// checking, flow control and the modem-line handling, which are switched off.
void applyLineSettings(int fd, int baudIndex) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return; // failures of the settings calls are ignored
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    // Reads are timed with poll(); the driver itself returns at once.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, termiosSpeedForIndex(baudIndex));
    cfsetospeed(&tio, termiosSpeedForIndex(baudIndex));
    tcsetattr(fd, TCSANOW, &tio);

    // DTR and RTS held off. A pseudo-terminal has no modem lines: that failure is ignored.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);
}

} // namespace

TermiosSerialPort::TermiosSerialPort(std::string devicePath, Clock& clock)
    : m_Path(std::move(devicePath)), m_Clock(clock) {}

TermiosSerialPort::~TermiosSerialPort() {
    close();
}

bool TermiosSerialPort::open(int baudIndex) {
    if (isOpen()) return true; // an open port is left as it is; callers close to change the rate
    const int fd = ::open(m_Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_OpenError = errno;
        return false;
    }
    if (!isatty(fd)) {
        ::close(fd);
        m_OpenError = ENOTTY;
        return false;
    }
    m_OpenError = 0;
    if (ioctl(fd, TIOCEXCL) != 0) {
        // Exclusive use cannot be had on every device; the open still counts.
    }
    applyLineSettings(fd, baudIndex);
    tcflush(fd, TCIFLUSH);
    m_Gone = false;
    m_Fd = fd;
    return true;
}

void TermiosSerialPort::close() {
    const int fd = m_Fd.exchange(-1);
    if (fd >= 0) {
        ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
}

std::size_t TermiosSerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    const std::int64_t deadline = m_Clock.nowMs() + kReadTimeoutMs;
    const int fd = m_Fd.load();
    std::size_t got = 0;
    while (got < capacity && fd >= 0 && !m_Gone) {
        const std::int64_t left = deadline - m_Clock.nowMs();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0) {
            if (errno == EINTR) continue;
            m_Gone = true;
            break;
        }
        if (r == 0) break; // time-out
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(fd, buffer + got, capacity - got);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            m_Gone = true; // EOF or EIO: the other side is gone
            break;
        }
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            m_Gone = true;
            break;
        }
    }
    if (got == 0) {
        // An empty read always takes its time-out, so no caller can spin on a dead device.
        const std::int64_t left = deadline - m_Clock.nowMs();
        if (left > 0) m_Clock.sleepMs(static_cast<int>(left));
    }
    return got;
}

void TermiosSerialPort::write(const std::uint8_t* data, std::size_t length) {
    const int fd = m_Fd.load();
    std::size_t done = 0;
    const auto aborted = [this] {
        const std::atomic<bool>* abort = m_Abort.load();
        return abort != nullptr && abort->load();
    };
    while (fd >= 0 && !m_Gone && done < length && !aborted()) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kWriteWaitStepMs) < 0 && errno != EINTR) m_Gone = true;
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) m_Gone = true;
            continue;
        }
        m_Gone = true; // write errors are ignored by the link; the device is treated as gone
    }
}

void TermiosSerialPort::purgeReceive() {
    const int fd = m_Fd.load();
    if (fd >= 0) tcflush(fd, TCIFLUSH);
}

} // namespace tessadorn
