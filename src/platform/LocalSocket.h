#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tessadorn {

// Who is at the other end of a local socket, as the kernel saw it when it connected.
struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    // The supplementary groups, where the system tells them.
    std::vector<gid_t> groups;
};

// True for a peer that may use what a process of user `owner` serves: that user, root, or a
// member of `group` (its primary group or one of its others), when a group is given.
bool peerMayConnect(const PeerCredentials& peer, uid_t owner, std::optional<gid_t> group);

// The credentials of the peer of a connected local socket; false when the system has none.
bool peerCredentials(int fd, PeerCredentials& peer);

// Messages on a stream socket: each one its length (4 bytes, most significant first) and its
// bytes. Writes never raise SIGPIPE; a peer gone makes them fail.
bool writeFrame(int fd, std::string_view bytes);
// The next message within `timeoutMs` (negative: however long it takes); false when the peer
// closed, the time ran out or the length is beyond `maxBytes`.
bool readFrame(int fd, std::string& bytes, int timeoutMs, std::size_t maxBytes = 16u << 20);
// True once the peer closed its end (without reading anything).
bool peerHungUp(int fd);

// A connection to the local (AF_UNIX) socket at `path`; -1 when nobody listens there.
int connectLocal(const std::string& path);

// A listening local socket at a path of the file system, removed again when it ends. A socket
// file left by a process that ended is replaced; one that somebody still listens on is not.
class LocalServer {
  public:
    LocalServer() = default;
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // Listens at `path` (mode 0666: who may talk is decided by the peer's credentials); false
    // with the reason.
    bool listen(const std::string& path, std::string& why);
    // The next connection within `timeoutMs`, or -1.
    int accept(int timeoutMs);
    const std::string& path() const { return m_Path; }

  private:
    int m_Fd = -1;
    std::string m_Path;
    dev_t m_Dev = 0;
    ino_t m_Ino = 0;
};

} // namespace tessadorn
