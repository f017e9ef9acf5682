#include "NetworkCaster.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessadorn::sim {
namespace {

using Clock = std::chrono::steady_clock;

std::string base64(const std::string& in) {
    static const char* kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) |
                           (static_cast<unsigned char>(in[i + 1]) << 8) |
                           static_cast<unsigned char>(in[i + 2]);
        for (int s = 18; s >= 0; s -= 6)
            out += kAlphabet[(v >> s) & 63];
    }
    if (i < in.size()) {
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < in.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// A TCP connection, -1 when the caster cannot be reached before the deadline.
int connectTo(const CasterRequest& request, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(request.host.c_str(), request.port.c_str(), &hints, &found) != 0) return -1;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
        bool ok = false;
        if (errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int err = 0;
            socklen_t len = sizeof err;
            ok = poll(&p, 1, msLeft(deadline)) == 1 &&
                 getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
        }
        if (!ok) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

bool sendAll(int fd, const std::string& text, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, msLeft(deadline)) != 1) return false;
    }
    return true;
}

// Reads until the caster closes, `enough` says the answer is complete, or the deadline.
template <typename Enough>
std::string receive(int fd, Clock::time_point deadline, Enough&& enough) {
    std::string data;
    char buf[4096];
    while (!enough(data)) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, msLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) break;
        data.append(buf, static_cast<std::size_t>(n));
    }
    return data;
}

int elapsedSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// One request to the caster: connect, send, read until `enough` or the deadline, close.
// False when the caster could not be reached at all.
template <typename Enough>
bool askCaster(const CasterRequest& request, const std::string& text, int timeoutMs,
               Enough&& enough, std::string& reply) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int fd = connectTo(request, deadline);
    if (fd < 0) return false;
    if (sendAll(fd, text, deadline)) reply = receive(fd, deadline, enough);
    ::close(fd);
    return true;
}

} // namespace

std::string NetworkCaster::requestText(const CasterRequest& request, const std::string& path) {
    std::string text = "GET " + path + (request.version == 2 ? " HTTP/1.1\r\n" : " HTTP/1.0\r\n");
    if (request.version == 2) {
        text += "Host: " + request.host + ":" + request.port + "\r\n";
        text += "Ntrip-Version: Ntrip/2.0\r\n";
    }
    text += "User-Agent: NTRIP TessadornSim/1.0\r\n";
    if (request.hasCredentials)
        text += "Authorization: Basic " + base64(request.user + ":" + request.password) + "\r\n";
    if (request.version == 2) text += "Connection: close\r\n";
    text += "\r\n";
    return text;
}

CasterAnswer::Outcome NetworkCaster::classifyStreamAnswer(const std::string& head) {
    using O = CasterAnswer::Outcome;
    const auto lineEnd = head.find("\r\n");
    const std::string status = head.substr(0, lineEnd);
    if (startsWith(status, "SOURCETABLE 200")) return O::NoMountpoint;
    if (status.find(" 401") != std::string::npos) return O::Unauthorized;
    if (startsWith(status, "ICY 200")) return O::Ok;
    if (startsWith(status, "HTTP/1.") && status.size() > 12 && status.compare(8, 5, " 200 ") == 0) {
        // An NTRIP 2.0 caster answers an unknown mountpoint with its table as a 200 reply.
        if (head.find("gnss/sourcetable") != std::string::npos) return O::NoMountpoint;
        return O::Ok;
    }
    if (startsWith(status, "HTTP/1.") && status.find(" 404") != std::string::npos)
        return O::NoMountpoint;
    return O::Failed;
}

CasterAnswer NetworkCaster::fetchTable(const CasterRequest& request) {
    const auto start = Clock::now();
    CasterAnswer answer;
    const bool reached = askCaster(
        request, requestText(request, "/"), m_TimeoutMs,
        [](const std::string& d) {
            return d.find("ENDSOURCETABLE") != std::string::npos &&
                   d.find('\n', d.find("ENDSOURCETABLE")) != std::string::npos;
        },
        answer.bytes);
    const std::string status = answer.bytes.substr(0, answer.bytes.find("\r\n"));
    if (!reached)
        answer.outcome = CasterAnswer::Outcome::Unreachable;
    else if (answer.bytes.empty())
        answer.outcome = CasterAnswer::Outcome::Failed;
    else if (status.find(" 401") != std::string::npos)
        answer.outcome = CasterAnswer::Outcome::Unauthorized;
    else if (answer.bytes.find("ENDSOURCETABLE") != std::string::npos)
        answer.outcome = CasterAnswer::Outcome::Ok;
    else
        answer.outcome = CasterAnswer::Outcome::Failed;
    answer.elapsedMs = elapsedSince(start);
    return answer;
}

bool NetworkCaster::reachable(const CasterRequest& request) {
    const int fd = connectTo(request, Clock::now() + std::chrono::milliseconds(m_TimeoutMs));
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

CasterAnswer NetworkCaster::openStream(const CasterRequest& request) {
    const auto start = Clock::now();
    CasterAnswer answer;
    std::string head;
    // The status line and, for an HTTP reply, its header block. The simulated modem does not
    // keep the stream.
    const bool reached = askCaster(
        request, requestText(request, "/" + request.mountpoint), m_TimeoutMs,
        [](const std::string& d) {
            return startsWith(d, "ICY 200") || startsWith(d, "SOURCETABLE") ||
                   d.find("\r\n\r\n") != std::string::npos ||
                   (d.find("\r\n") != std::string::npos && d.find(" 401") != std::string::npos);
        },
        head);
    if (!reached)
        answer.outcome = CasterAnswer::Outcome::Unreachable;
    else
        answer.outcome = head.empty() ? CasterAnswer::Outcome::Failed : classifyStreamAnswer(head);
    answer.elapsedMs = elapsedSince(start);
    return answer;
}

} // namespace tessadorn::sim
