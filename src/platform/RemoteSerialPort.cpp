#include "platform/RemoteSerialPort.h"

#include "platform/PortOpenFailure.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessadorn {

namespace {

using Codec = TelnetCodec;

void keepLinkAlive(int fd) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const int idle = RemoteSerialPort::kKeepIdleS, interval = RemoteSerialPort::kKeepIntervalS,
              count = RemoteSerialPort::kKeepCount;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    const unsigned unacked = RemoteSerialPort::kUnackedMs;
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacked, sizeof unacked);
}

const char* settingName(std::uint8_t command) {
    switch (command) {
    case Codec::kSetBaudRate:
        return "rate";
    case Codec::kSetDataSize:
        return "data size";
    case Codec::kSetParity:
        return "parity";
    default:
        return "stop bits";
    }
}

} // namespace

RemoteSerialPort::RemoteSerialPort(RemotePortAddress address, Clock& clock)
    : m_Address(std::move(address)), m_Name(m_Address.text()), m_Clock(clock) {}

RemoteSerialPort::RemoteSerialPort(std::string name, std::string why, Clock& clock)
    : m_Name(std::move(name)), m_BadAddress(std::move(why)), m_Clock(clock) {}

RemoteSerialPort::~RemoteSerialPort() {
    close();
}

bool RemoteSerialPort::aborted() const {
    const std::atomic<bool>* abort = m_Abort.load();
    return abort != nullptr && abort->load();
}

bool RemoteSerialPort::interrupted() const {
    const std::atomic<bool>* interrupt = m_Interrupt.load();
    return interrupt != nullptr && interrupt->load();
}

void RemoteSerialPort::fail(std::string why) {
    std::lock_guard lock(m_FailureMutex);
    m_Failure = std::move(why);
}

std::string RemoteSerialPort::openFailure() const {
    std::lock_guard lock(m_FailureMutex);
    return m_Failure;
}

std::string RemoteSerialPort::goneMessage() const {
    return "The connection to the remote port " + m_Name +
           " broke; the port is closed until it answers again.";
}

int RemoteSerialPort::connectSocket(int timeoutMs, std::string& why, bool& refusedOrSilent) {
    refusedOrSilent = false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(m_Address.port);
    if (const int r = getaddrinfo(m_Address.host.c_str(), service.c_str(), &hints, &found)) {
        why = "The host of the remote port " + m_Name + " (" + m_Address.host +
              ") is not known: " + gai_strerror(r) + ".";
        return -1;
    }
    const std::int64_t deadline = m_Clock.nowMs() + timeoutMs;
    int error = ETIMEDOUT;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        const int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            error = errno;
            continue;
        }
        keepLinkAlive(s);
        int result = ::connect(s, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        while (result == EINPROGRESS || result == EINTR) {
            const std::int64_t left = deadline - m_Clock.nowMs();
            if (left <= 0 || aborted()) {
                result = ETIMEDOUT;
                break;
            }
            pollfd p{s, POLLOUT, 0};
            const int r = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, kStepMs)));
            if (r > 0) {
                socklen_t size = sizeof result;
                if (getsockopt(s, SOL_SOCKET, SO_ERROR, &result, &size) != 0) result = errno;
            } else if (r < 0 && errno != EINTR) {
                result = errno;
            }
        }
        if (result == 0) {
            fd = s;
        } else {
            error = result;
            ::close(s);
        }
    }
    freeaddrinfo(found);
    if (fd >= 0) return fd;
    refusedOrSilent = error == ECONNREFUSED || error == ETIMEDOUT || error == EHOSTUNREACH ||
                      error == ENETUNREACH;
    if (error == ETIMEDOUT)
        why = "The remote port " + m_Name + " did not answer within " +
              std::to_string(timeoutMs / 1000) + " s (host " + m_Address.host + ", port " +
              std::to_string(m_Address.port) + ").";
    else
        why = "The remote port " + m_Name + " refused the connection (host " + m_Address.host +
              ", port " + std::to_string(m_Address.port) + "): " + std::strerror(error) +
              (error == ECONNREFUSED ? "; is ser2net running there?" : ".");
    return -1;
}

bool RemoteSerialPort::sendAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (aborted()) return true; // closing: the rest is dropped, the link is not broken
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kStepMs) < 0 && errno != EINTR) return false;
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
            continue;
        }
        return false;
    }
    return true;
}

bool RemoteSerialPort::pump(int fd, int waitMs) {
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, std::max(waitMs, 0));
    if (r < 0) return errno == EINTR;
    if (r == 0) return true;
    if (!(p.revents & POLLIN)) return !(p.revents & (POLLERR | POLLHUP | POLLNVAL));
    std::uint8_t chunk[4096];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n == 0) return false; // the server closed the connection
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    const auto size = static_cast<std::size_t>(n);
    if (m_Address.kind == RemotePortAddress::Kind::RawTcp) {
        m_Pending.insert(m_Pending.end(), chunk, chunk + size);
        return true;
    }
    std::vector<std::uint8_t> data;
    if (m_SettingLine) {
        // A byte at a time, so that what came before an answer is told from what came after.
        for (std::size_t i = 0; i < size; ++i) {
            m_Codec.feed(chunk + i, 1, data);
            auto answers = m_Codec.takeComPortReplies();
            if (answers.empty()) continue;
            data.clear();
            m_Pending.clear();
            m_PendingAt = 0;
            m_Answers.insert(m_Answers.end(), answers.begin(), answers.end());
        }
    } else {
        m_Codec.feed(chunk, size, data);
        m_Codec.takeComPortReplies(); // notifications: kept in the codec's state
    }
    m_Pending.insert(m_Pending.end(), data.begin(), data.end());
    const auto replies = m_Codec.takeReplies();
    return replies.empty() || sendAll(fd, replies);
}

bool RemoteSerialPort::negotiate(int fd, int baudIndex, std::string& why) {
    m_Codec = TelnetCodec();
    m_Answers.clear();
    if (!sendAll(fd, m_Codec.greeting())) {
        why = "The remote port " + m_Name + " closed the connection at once.";
        return false;
    }
    const std::int64_t deadline = m_Clock.nowMs() + kAnswerTimeoutMs;
    while (!m_Codec.comPortAgreed()) {
        if (m_Codec.comPortRefused()) {
            why = "The remote port " + m_Name +
                  " does not carry the line's settings (no RFC 2217): give ser2net's accepter "
                  "as telnet(rfc2217), or name a raw port's fixed rate with tcp://" +
                  m_Address.hostPort() + "@RATE.";
            return false;
        }
        const std::int64_t left = deadline - m_Clock.nowMs();
        if (left <= 0 || aborted()) {
            why = "The remote port " + m_Name + " did not agree to RFC 2217 within " +
                  std::to_string(kAnswerTimeoutMs / 1000) + " s.";
            return false;
        }
        if (!pump(fd, static_cast<int>(std::min<std::int64_t>(left, kStepMs)))) {
            why = "The remote port " + m_Name + " closed the connection while it was set up.";
            return false;
        }
    }
    return setLine(fd, baudIndex, true, why);
}

bool RemoteSerialPort::setLine(int fd, int baudIndex, bool wholeLine, std::string& why) {
    const auto rate = static_cast<std::uint32_t>(baudRateForIndex(baudIndex));
    struct Wanted {
        std::uint8_t command;
        std::vector<std::uint8_t> value;
    };
    std::vector<Wanted> wanted{{Codec::kSetBaudRate, Codec::rateValue(rate)}};
    if (wholeLine) {
        wanted.push_back({Codec::kSetDataSize, {8}});
        wanted.push_back({Codec::kSetParity, {1}});   // none
        wanted.push_back({Codec::kSetStopSize, {1}}); // one
    }
    std::vector<std::uint8_t> out;
    for (const auto& w : wanted) {
        const auto command = Codec::comPortCommand(w.command, w.value);
        out.insert(out.end(), command.begin(), command.end());
    }
    // No flow control. Not waited for: ser2net on a device without modem lines may not answer.
    if (wholeLine) {
        const auto control = Codec::comPortCommand(Codec::kSetControl, {1});
        out.insert(out.end(), control.begin(), control.end());
    }
    m_Answers.clear(); // answers to earlier commands are not these
    m_SettingLine = true;
    struct SettingLineEnds {
        bool& flag;
        ~SettingLineEnds() { flag = false; }
    } settingLineEnds{m_SettingLine};
    const std::int64_t sent = m_Clock.nowMs();
    if (!sendAll(fd, out)) {
        why = "The connection to the remote port " + m_Name + " broke while the line was set.";
        return false;
    }
    const std::int64_t deadline = sent + kAnswerTimeoutMs + m_RoundTripMs.load();
    std::size_t answered = 0;
    while (answered < wanted.size()) {
        std::vector<TelnetCodec::ComPortReply> answers;
        answers.swap(m_Answers);
        for (const auto& reply : answers) {
            if (answered >= wanted.size() || reply.command != wanted[answered].command) continue;
            if (reply.value != wanted[answered].value) {
                const std::string asked =
                    reply.command == Codec::kSetBaudRate ? std::to_string(rate) : "8N1";
                const std::string got = reply.command == Codec::kSetBaudRate
                                            ? std::to_string(Codec::rateFromValue(reply.value))
                                            : "another value";
                why = "The remote port " + m_Name + " refused the " + settingName(reply.command) +
                      " " + asked + " (it answered " + got + ").";
                return false;
            }
            if (reply.command == Codec::kSetBaudRate) m_ConfirmedRate = rate;
            ++answered;
        }
        if (answered >= wanted.size()) break;
        const std::int64_t left = deadline - m_Clock.nowMs();
        if (left <= 0 || aborted()) {
            why = "The remote port " + m_Name + " did not confirm the " +
                  settingName(wanted[answered].command) + " within " +
                  std::to_string((deadline - sent) / 1000) + " s.";
            return false;
        }
        if (!pump(fd, static_cast<int>(std::min<std::int64_t>(left, kStepMs)))) {
            why = "The connection to the remote port " + m_Name + " broke while the line was set.";
            return false;
        }
    }
    const int took = static_cast<int>(m_Clock.nowMs() - sent);
    if (m_BestRoundTripMs < 0 || took < m_BestRoundTripMs) m_BestRoundTripMs = took;
    m_RoundTripMs = m_BestRoundTripMs;
    return true;
}

bool RemoteSerialPort::claimAddress(std::string& why) {
    if (m_ClaimFd >= 0) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string file = std::string(runtime && *runtime ? runtime : "/tmp") + "/tessadorn-";
    for (const char c : m_Name)
        file += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? c : '_';
    file += ".lock";
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true; // no lock to be had (a read-only folder): used unguarded
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (fcntl(fd, F_SETLK, &whole) == 0) {
        m_ClaimFd = fd;
        return true;
    }
    struct flock holder = whole;
    const int pid = fcntl(fd, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK ? holder.l_pid : 0;
    ::close(fd);
    why = describePortOpenFailure(m_Name, EBUSY, pid);
    return false;
}

void RemoteSerialPort::releaseAddress() {
    if (m_ClaimFd >= 0) ::close(m_ClaimFd);
    m_ClaimFd = -1;
}

bool RemoteSerialPort::open(int baudIndex) {
    if (isOpen()) return true; // an open port is left as it is
    if (!m_BadAddress.empty()) {
        fail(m_BadAddress);
        return false;
    }
    if (m_Address.fixedBaudIndex >= 0 && baudIndex != m_Address.fixedBaudIndex) {
        fail("The raw TCP port " + m_Name + " runs at " +
             std::to_string(baudRateForIndex(m_Address.fixedBaudIndex)) + " bit/s only.");
        return false;
    }
    std::string why;
    if (!claimAddress(why)) {
        fail(why);
        return false;
    }
    bool absent = false;
    const int fd = connectSocket(kConnectTimeoutMs, why, absent);
    if (fd < 0) {
        releaseAddress();
        m_Unreachable = absent;
        fail(why);
        return false;
    }
    m_Unreachable = false;
    m_Pending.clear();
    m_PendingAt = 0;
    if (m_Address.kind == RemotePortAddress::Kind::Rfc2217 && !negotiate(fd, baudIndex, why)) {
        ::close(fd);
        releaseAddress();
        fail(why);
        return false;
    }
    fail({});
    m_Gone = false;
    m_Fd = fd;
    return true;
}

void RemoteSerialPort::closeSocket() {
    const int fd = m_Fd.exchange(-1);
    if (fd >= 0) ::close(fd);
    releaseAddress();
    m_Pending.clear();
    m_PendingAt = 0;
}

void RemoteSerialPort::close() {
    closeSocket();
}

void RemoteSerialPort::connectionBroke() {
    m_Gone = true;
    closeSocket();
}

bool RemoteSerialPort::waitForDevice(int timeoutMs) {
    const std::int64_t deadline = m_Clock.nowMs() + std::max(timeoutMs, 0);
    std::string why;
    bool absent = false;
    // A connection takes a round trip: a slow link gets the time it needs, whatever the step.
    const int fd =
        connectSocket(std::max(timeoutMs, kProbeMs + 2 * m_RoundTripMs.load()), why, absent);
    if (fd >= 0) {
        ::close(fd);
        m_Unreachable = false;
        return true;
    }
    m_Unreachable = absent;
    // A refused connection comes back at once: the rest of the wait passes here.
    const std::int64_t left = deadline - m_Clock.nowMs();
    if (left > 0) m_Clock.sleepMs(static_cast<int>(left));
    return false;
}

int RemoteSerialPort::changeRate(int baudIndex) {
    const int fd = m_Fd.load();
    if (fd < 0 || m_Gone) return 0;
    if (m_Address.kind == RemotePortAddress::Kind::RawTcp)
        return baudIndex == m_Address.fixedBaudIndex ? 1 : 0;
    std::string why;
    if (setLine(fd, baudIndex, false, why)) return 1;
    fail(why);
    // A refused rate leaves the connection as it was; a silent or closed one is gone.
    if (why.find("refused") == std::string::npos) connectionBroke();
    return 0;
}

std::size_t RemoteSerialPort::takePending(std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t n = std::min(capacity, m_Pending.size() - m_PendingAt);
    std::copy_n(m_Pending.begin() + static_cast<std::ptrdiff_t>(m_PendingAt), n, buffer);
    m_PendingAt += n;
    if (m_PendingAt == m_Pending.size()) {
        m_Pending.clear();
        m_PendingAt = 0;
    }
    return n;
}

std::size_t RemoteSerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    return readUpTo(buffer, capacity, false);
}

std::size_t RemoteSerialPort::readAvailable(std::uint8_t* buffer, std::size_t capacity) {
    return readUpTo(buffer, capacity, true);
}

std::size_t RemoteSerialPort::readUpTo(std::uint8_t* buffer, std::size_t capacity, bool firstOnly) {
    const std::int64_t deadline = m_Clock.nowMs() + kReadTimeoutMs;
    std::size_t got = takePending(buffer, capacity);
    while (got < capacity && !(firstOnly && got > 0) && !m_Gone && !interrupted()) {
        const int fd = m_Fd.load();
        if (fd < 0) break;
        const std::int64_t left = deadline - m_Clock.nowMs();
        if (left <= 0) break;
        if (!pump(fd, static_cast<int>(std::min<std::int64_t>(left, kStepMs)))) {
            connectionBroke();
            break;
        }
        got += takePending(buffer + got, capacity - got);
    }
    if (got == 0 && !interrupted()) {
        // An empty read always takes its time-out, so no caller can spin on a dead link.
        const std::int64_t left = deadline - m_Clock.nowMs();
        if (left > 0) m_Clock.sleepMs(static_cast<int>(left));
    }
    return got;
}

void RemoteSerialPort::write(const std::uint8_t* data, std::size_t length) {
    const int fd = m_Fd.load();
    if (fd < 0 || m_Gone) return;
    // The server asked for a pause (its device's buffer is full): wait, reading meanwhile, until
    // it resumes, the program closes, or the link is seen to be dead.
    for (int waited = 0; m_Codec.sendingSuspended() && !aborted() && waited < kUnackedMs;
         waited += kStepMs)
        if (!pump(fd, kStepMs)) {
            connectionBroke();
            return;
        }
    const bool sent = m_Address.kind == RemotePortAddress::Kind::RawTcp
                          ? sendAll(fd, std::vector<std::uint8_t>(data, data + length))
                          : sendAll(fd, Codec::escape(data, length));
    if (!sent) connectionBroke();
}

void RemoteSerialPort::purgeReceive() {
    const int fd = m_Fd.load();
    m_Pending.clear();
    m_PendingAt = 0;
    if (fd < 0) return;
    // What the connection holds now goes too; answers to options are still given.
    for (int i = 0; i < 64; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) break;
        if (!pump(fd, 0)) {
            connectionBroke();
            break;
        }
    }
    m_Pending.clear();
    m_PendingAt = 0;
}

} // namespace tessadorn
