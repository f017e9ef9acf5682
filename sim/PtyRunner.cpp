#include "PtyRunner.h"

#include "platform/SerialPort.h"
#include "platform/TermiosSpeed.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace tessadorn::sim {
namespace {

std::int64_t monotonicUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr int kMaxWaitMs = 50;    // bounds every wait, so a stop request is seen soon
constexpr int kHangupWaitMs = 10; // poll cannot wait on a master without a slave

} // namespace

PtyRunner::PtyRunner(SimModem& modem) : m_Modem(modem), m_EpochUs(monotonicUs()) {}

PtyRunner::~PtyRunner() {
    closeMaster();
}

std::int64_t PtyRunner::nowUs() const {
    return monotonicUs() - m_EpochUs;
}

void PtyRunner::closeMaster() {
    if (m_Master >= 0) ::close(m_Master);
    m_Master = -1;
}

bool PtyRunner::open(std::string& error) {
    m_Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_Master < 0 || grantpt(m_Master) != 0 || unlockpt(m_Master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        closeMaster();
        return false;
    }
    char name[256];
    if (ptsname_r(m_Master, name, sizeof name) != 0) {
        error = std::string("no name for the pseudo-terminal: ") + std::strerror(errno);
        closeMaster();
        return false;
    }
    m_SlavePath = name;
    // Raw from the start: an echoing line would hand the modem its own answers back.
    termios tio{};
    if (tcgetattr(m_Master, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, termiosSpeedForIndex(m_Modem.listeningBaudIndex()));
        cfsetospeed(&tio, termiosSpeedForIndex(m_Modem.listeningBaudIndex()));
        tcsetattr(m_Master, TCSANOW, &tio);
    }
    fcntl(m_Master, F_SETFL, fcntl(m_Master, F_GETFL) | O_NONBLOCK);
    return true;
}

int PtyRunner::lineBaudIndex() const {
    termios tio{};
    if (m_Master < 0 || tcgetattr(m_Master, &tio) != 0) return -1;
    return baudIndexForTermiosSpeed(cfgetospeed(&tio));
}

bool PtyRunner::run(const std::function<bool()>& stop, std::int64_t dropAtMs,
                    int dropAfterCommands) {
    std::string pending; // due but not yet taken by the pseudo-terminal
    char buf[4096];
    while (!stop()) {
        std::int64_t now = nowUs();
        if ((dropAtMs >= 0 && now >= dropAtMs * 1000) ||
            (dropAfterCommands >= 0 && m_Modem.commandsReceived() >= dropAfterCommands)) {
            closeMaster();
            return true;
        }

        pollfd p{m_Master, static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
        std::int64_t next = std::min(m_Modem.nextOutputUs(), m_Modem.nextEventUs());
        if (dropAtMs >= 0) next = std::min(next, dropAtMs * 1000);
        const std::int64_t waitUs = std::clamp<std::int64_t>(next - now, 0, kMaxWaitMs * 1000);
        int timeoutMs = static_cast<int>((waitUs + 999) / 1000);
        int r = ::poll(&p, 1, pending.empty() ? timeoutMs : std::min(timeoutMs, 1));
        if (r < 0 && errno != EINTR) return false;
        const bool hungUp = r > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN);
        if (hungUp) {
            // Nobody has the port open: wait without spinning, and what is sent is lost.
            const timespec ts{0, static_cast<long>(std::min(timeoutMs, kHangupWaitMs)) * 1000000L};
            nanosleep(&ts, nullptr);
            pending.clear();
            m_Modem.takeDue(nowUs(), -1);
            continue;
        }
        now = nowUs();
        if (r > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(m_Master, buf, sizeof buf);
            if (n > 0)
                m_Modem.feedUs(std::string_view(buf, static_cast<std::size_t>(n)), lineBaudIndex(),
                               now);
        }
        pending += m_Modem.takeDue(now, lineBaudIndex());
        if (!pending.empty()) {
            const ssize_t n = ::write(m_Master, pending.data(), pending.size());
            if (n > 0) pending.erase(0, static_cast<std::size_t>(n));
        }
    }
    return false;
}

} // namespace tessadorn::sim
