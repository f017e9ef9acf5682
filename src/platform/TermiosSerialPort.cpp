#include "platform/TermiosSerialPort.h"

#include "platform/PortHolder.h"
#include "platform/PortOpenFailure.h"
#include "platform/TermiosSpeed.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <tuple>
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

// The devices the ports of this process hold. A record lock belongs to the process, so a
// second port of this program would get the lock again, and closing its descriptor would drop
// the first port's lock: the second port is refused before it opens anything.
std::mutex g_ClaimsMutex;
std::set<std::pair<dev_t, ino_t>> g_Claims;

bool claim(dev_t dev, ino_t ino) {
    std::lock_guard lock(g_ClaimsMutex);
    return g_Claims.emplace(dev, ino).second;
}

void unclaim(dev_t dev, ino_t ino) {
    std::lock_guard lock(g_ClaimsMutex);
    g_Claims.erase({dev, ino});
}

// Who holds a lock on the file (dev, ino), from the system's table of locks (the record lock of
// another copy of this program, or the lock of another serial tool); 0 when nobody is found.
pid_t lockHolderFromTable(dev_t dev, ino_t ino) {
    std::ifstream table("/proc/locks");
    std::string line;
    while (std::getline(table, line)) {
        // "1: POSIX  ADVISORY  WRITE 1234 00:05:87 0 EOF"; waiters carry "->" before the type.
        std::istringstream words(line);
        std::string word, previous;
        while (words >> word) {
            unsigned major = 0, minor = 0;
            unsigned long long inode = 0;
            char c1 = 0, c2 = 0;
            std::istringstream id(word);
            if ((id >> std::hex >> major >> c1 >> minor >> c2 >> std::dec >> inode) && c1 == ':' &&
                c2 == ':' && id.peek() == EOF) {
                if (makedev(major, minor) == dev && inode == ino) {
                    const long pid = std::strtol(previous.c_str(), nullptr, 10);
                    if (pid > 0) return static_cast<pid_t>(pid);
                }
                break;
            }
            previous = word;
        }
    }
    return 0;
}

// Who holds the device: the lock table first, else a process that has it open (one that took
// it with TIOCEXCL and no lock, as ModemManager's probe does).
pid_t holderOf(const std::string& path, dev_t dev, ino_t ino) {
    if (const pid_t pid = lockHolderFromTable(dev, ino)) return pid;
    const auto open = PortHolder().holders(path);
    return open.empty() ? 0 : open.front();
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_rdev == b.st_rdev;
}

} // namespace

TermiosSerialPort::TermiosSerialPort(std::string devicePath, Clock& clock)
    : m_Path(std::move(devicePath)), m_Clock(clock) {}

TermiosSerialPort::~TermiosSerialPort() {
    close();
}

std::string TermiosSerialPort::devicePath() const {
    std::lock_guard lock(m_PathMutex);
    return m_Path;
}

void TermiosSerialPort::setDevicePath(std::string path) {
    std::lock_guard lock(m_PathMutex);
    m_Path = std::move(path);
}

std::string TermiosSerialPort::openedPath() const {
    std::lock_guard lock(m_PathMutex);
    return m_OpenedPath;
}

bool TermiosSerialPort::open(int baudIndex) {
    if (isOpen()) return true; // an open port is left as it is; callers close to change the rate
    const std::string path = devicePath();
    m_HolderPid = 0;
    struct stat node {};
    if (::stat(path.c_str(), &node) == 0) {
        if (!claim(node.st_dev, node.st_ino)) {
            m_OpenError = EBUSY;
            m_HolderPid = ::getpid();
            return false;
        }
        m_Claimed = true;
        m_ClaimDev = node.st_dev;
        m_ClaimIno = node.st_ino;
    }
    const auto fail = [&](int fd, int error, pid_t holder) {
        if (fd >= 0) ::close(fd);
        if (m_Claimed) unclaim(m_ClaimDev, m_ClaimIno);
        m_Claimed = false;
        m_OpenError = error;
        m_HolderPid = holder;
        return false;
    };

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        // Another program's TIOCEXCL ends the open before any lock can be asked about.
        return fail(-1, error, error == EBUSY ? holderOf(path, node.st_dev, node.st_ino) : 0);
    }
    if (!isatty(fd)) return fail(fd, ENOTTY, 0);

    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    whole.l_start = 0;
    whole.l_len = 0; // to the end of the file, however far it grows
    if (fcntl(fd, F_SETLK, &whole) != 0 && (errno == EACCES || errno == EAGAIN)) {
        struct flock holder = whole;
        const pid_t pid =
            fcntl(fd, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK ? holder.l_pid : 0;
        return fail(fd, EBUSY, pid > 0 ? pid : holderOf(path, node.st_dev, node.st_ino));
    }
    // A device without record locks (ENOLCK) is still used; TIOCEXCL keeps later opens out
    // where the device knows it.
    ioctl(fd, TIOCEXCL);
    m_OpenError = 0;
    applyLineSettings(fd, baudIndex);
    tcflush(fd, TCIFLUSH);
    m_LastPresenceCheckMs = m_Clock.nowMs();
    {
        std::lock_guard lock(m_PathMutex);
        m_OpenedPath = path;
    }
    m_Gone = false;
    m_Fd = fd;
    return true;
}

void TermiosSerialPort::closeDescriptor() {
    const int fd = m_Fd.exchange(-1);
    if (fd >= 0) {
        ioctl(fd, TIOCNXCL);
        ::close(fd); // drops the record lock
    }
    if (m_Claimed) unclaim(m_ClaimDev, m_ClaimIno);
    m_Claimed = false;
}

void TermiosSerialPort::close() {
    closeDescriptor();
}

void TermiosSerialPort::deviceWentAway() {
    m_Gone = true;
    closeDescriptor();
}

bool TermiosSerialPort::pathNamesOpenDevice(int fd) {
    m_LastPresenceCheckMs = m_Clock.nowMs();
    const std::string path = devicePath();
    struct stat named {
    }, held{};
    if (::stat(path.c_str(), &named) != 0)
        return !(errno == ENOENT || errno == ENOTDIR); // other failures prove nothing
    if (::fstat(fd, &held) != 0) return false;
    return sameFile(named, held);
}

bool TermiosSerialPort::devicePresent() const {
    struct stat named {};
    return ::stat(devicePath().c_str(), &named) == 0 && S_ISCHR(named.st_mode);
}

bool TermiosSerialPort::waitForDevice(int timeoutMs) {
    const std::int64_t deadline = m_Clock.nowMs() + std::max(timeoutMs, 0);
    for (;;) {
        if (devicePresent()) return true;
        const std::int64_t left = deadline - m_Clock.nowMs();
        if (left <= 0) return false;
        m_Clock.sleepMs(static_cast<int>(std::min<std::int64_t>(left, kDeviceWaitStepMs)));
    }
}

std::size_t TermiosSerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    return readUpTo(buffer, capacity, false);
}

std::size_t TermiosSerialPort::readAvailable(std::uint8_t* buffer, std::size_t capacity) {
    return readUpTo(buffer, capacity, true);
}

std::size_t TermiosSerialPort::readUpTo(std::uint8_t* buffer, std::size_t capacity,
                                        bool firstOnly) {
    const std::int64_t deadline = m_Clock.nowMs() + kReadTimeoutMs;
    const int fd = m_Fd.load();
    const std::atomic<bool>* interrupt = m_Interrupt.load();
    const auto interrupted = [interrupt] { return interrupt != nullptr && interrupt->load(); };
    std::size_t got = 0;
    while (got < capacity && fd >= 0 && !m_Gone && !interrupted()) {
        const std::int64_t now = m_Clock.nowMs();
        const std::int64_t left = deadline - now;
        if (left <= 0) break;
        if (now - m_LastPresenceCheckMs >= kPresenceCheckMs && !pathNamesOpenDevice(fd)) {
            deviceWentAway();
            break;
        }
        // The wait is cut into steps, so that a removed node is noticed while nothing arrives.
        pollfd p{fd, POLLIN, 0};
        const int r =
            ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, kPresenceCheckMs)));
        if (r < 0) {
            if (errno == EINTR) continue;
            deviceWentAway();
            break;
        }
        if (r == 0) continue; // the time-out and the path are looked at above
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(fd, buffer + got, capacity - got);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                if (!firstOnly) continue;
                // A few bytes of a stream: let more come, within the time-out.
                const std::int64_t at = m_Clock.nowMs();
                const bool streaming = at - m_LastDataMs <= kStreamGapMs;
                const std::int64_t gather = std::min<std::int64_t>(kGatherMs, deadline - at);
                if (streaming && got < kGatherBelow && got < capacity && gather > 0 &&
                    !interrupted()) {
                    m_Clock.sleepMs(static_cast<int>(gather));
                    const ssize_t more = ::read(fd, buffer + got, capacity - got);
                    if (more > 0) got += static_cast<std::size_t>(more);
                }
                m_LastDataMs = m_Clock.nowMs();
                break;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            deviceWentAway(); // EOF after a hang-up, EIO, ENXIO: the other side is gone
            break;
        }
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            deviceWentAway();
            break;
        }
    }
    if (got == 0 && !interrupted()) {
        // An empty read always takes its time-out, so no caller can spin on a dead device.
        const std::int64_t left = deadline - m_Clock.nowMs();
        if (left > 0) m_Clock.sleepMs(static_cast<int>(left));
    }
    return got;
}

void TermiosSerialPort::write(const std::uint8_t* data, std::size_t length) {
    const int fd = m_Fd.load();
    if (fd < 0 || m_Gone) return;
    if (m_Clock.nowMs() - m_LastPresenceCheckMs >= kPresenceCheckMs && !pathNamesOpenDevice(fd)) {
        deviceWentAway();
        return;
    }
    std::size_t done = 0;
    const auto aborted = [this] {
        const std::atomic<bool>* abort = m_Abort.load();
        return abort != nullptr && abort->load();
    };
    while (done < length && !aborted()) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            const int r = ::poll(&p, 1, kWriteWaitStepMs);
            if ((r < 0 && errno != EINTR) ||
                (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) ||
                (r == 0 && !pathNamesOpenDevice(fd))) {
                deviceWentAway();
                return;
            }
            continue;
        }
        deviceWentAway(); // write errors are ignored by the link; the device is treated as gone
        return;
    }
}

std::string TermiosSerialPort::openFailure() const {
    if (m_OpenError.load() == 0) return {};
    return describePortOpenFailure(devicePath(), m_OpenError.load(),
                                   static_cast<int>(m_HolderPid.load()));
}

std::string TermiosSerialPort::goneMessage() const {
    return "The serial device " + openedPath() + " went away; the port is closed until it is back.";
}

void TermiosSerialPort::purgeReceive() {
    const int fd = m_Fd.load();
    if (fd >= 0) tcflush(fd, TCIFLUSH);
}

} // namespace tessadorn
