#include "platform/LocalSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessadorn {

namespace {

bool localAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

// Waits for `events` on fd for up to timeoutMs (negative: forever); false on time-out or error.
bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int result;
    do {
        result = ::poll(&p, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

bool receiveAll(int fd, char* into, std::size_t count, int timeoutMs) {
    while (count > 0) {
        if (!waitFor(fd, POLLIN, timeoutMs)) return false;
        const ssize_t got = ::recv(fd, into, count, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        into += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

bool peerMayConnect(const PeerCredentials& peer, uid_t owner, std::optional<gid_t> group) {
    if (peer.uid == owner || peer.uid == 0) return true;
    if (!group) return false;
    return peer.gid == *group ||
           std::find(peer.groups.begin(), peer.groups.end(), *group) != peer.groups.end();
}

bool peerCredentials(int fd, PeerCredentials& peer) {
    ucred cred{};
    socklen_t length = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0) return false;
    peer.pid = cred.pid;
    peer.uid = cred.uid;
    peer.gid = cred.gid;
    peer.groups.clear();
#ifdef SO_PEERGROUPS
    std::vector<gid_t> groups(64);
    socklen_t size = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &size) != 0 && errno == ERANGE) {
        groups.resize(size / sizeof(gid_t) + 1);
        size = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &size) != 0) size = 0;
    }
    groups.resize(size / sizeof(gid_t));
    peer.groups = std::move(groups);
#endif
    return true;
}

bool writeFrame(int fd, std::string_view bytes) {
    const auto n = static_cast<std::uint32_t>(bytes.size());
    std::string out;
    out.reserve(bytes.size() + 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((n >> shift) & 0xFF);
    out += bytes;
    std::size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t put = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        sent += static_cast<std::size_t>(put);
    }
    return true;
}

bool readFrame(int fd, std::string& bytes, int timeoutMs, std::size_t maxBytes) {
    unsigned char head[4];
    if (!receiveAll(fd, reinterpret_cast<char*>(head), 4, timeoutMs)) return false;
    const std::size_t n = (std::size_t{head[0]} << 24) | (std::size_t{head[1]} << 16) |
                          (std::size_t{head[2]} << 8) | std::size_t{head[3]};
    if (n > maxBytes) return false;
    bytes.assign(n, '\0');
    return n == 0 || receiveAll(fd, bytes.data(), n, timeoutMs);
}

bool peerHungUp(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

int connectLocal(const std::string& path) {
    sockaddr_un address{};
    if (!localAddress(path, address)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

LocalServer::~LocalServer() {
    if (m_Fd < 0) return;
    ::close(m_Fd);
    // Only our own socket file: another server may have taken the name since.
    struct stat now {};
    if (::lstat(m_Path.c_str(), &now) == 0 && now.st_dev == m_Dev && now.st_ino == m_Ino)
        ::unlink(m_Path.c_str());
}

bool LocalServer::listen(const std::string& path, std::string& why) {
    sockaddr_un address{};
    if (!localAddress(path, address)) {
        why = "the socket's path is too long: " + path;
        return false;
    }
    struct stat old {};
    if (::lstat(path.c_str(), &old) == 0) {
        if (!S_ISSOCK(old.st_mode)) {
            why = path + " exists and is no socket";
            return false;
        }
        if (const int other = connectLocal(path); other >= 0) {
            ::close(other);
            why = "another process serves " + path;
            return false;
        }
        ::unlink(path.c_str()); // left by a process that ended
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.c_str(), 0666) != 0 || ::listen(fd, 16) != 0) {
        why = path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    struct stat mine {};
    ::lstat(path.c_str(), &mine);
    m_Fd = fd;
    m_Path = path;
    m_Dev = mine.st_dev;
    m_Ino = mine.st_ino;
    return true;
}

int LocalServer::accept(int timeoutMs) {
    if (m_Fd < 0 || !waitFor(m_Fd, POLLIN, timeoutMs)) return -1;
    return ::accept4(m_Fd, nullptr, nullptr, SOCK_CLOEXEC);
}

} // namespace tessadorn
