#pragma once

// ser2net (Debian's package) in front of a pseudo-terminal, on 127.0.0.1 and a free port, with
// a configuration file written here; and a TCP forwarder that delays each direction, for slow
// links. Header-only, for tests and benchmarks.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tessadorn::test {

// A port nobody listens on now (bound to 0 and let go).
inline int freeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(s);
    return ntohs(a.sin_port);
}

inline int connectLoopback(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return s;
    ::close(s);
    return -1;
}

class Ser2net {
  public:
    // `device`: the path ser2net opens when a client connects (the simulator's pty link).
    Ser2net(std::string folder, std::string device)
        : m_Folder(std::move(folder)), m_Device(std::move(device)), m_Port(freeLoopbackPort()) {}
    ~Ser2net() { stop(); }

    int port() const { return m_Port; }
    std::string address() const { return "rfc2217://127.0.0.1:" + std::to_string(m_Port); }

    // Starts ser2net (again on the same port) and waits until it takes connections.
    bool start() {
        const std::string config = m_Folder + "/ser2net.yaml";
        std::ofstream(config) << "connection: &modem\n"
                              << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << m_Port << "\n"
                              << "  connector: serialdev," << m_Device << ",9600n81,local\n"
                              << "  options:\n    kickolduser: true\n";
        const std::string pidFile = m_Folder + "/ser2net.pid";
        const std::string log = m_Folder + "/ser2net.log";
        m_Pid = ::fork();
        if (m_Pid == 0) {
            // Descriptors only: the parent's buffered output stays the parent's.
            const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            const int nullFd = ::open("/dev/null", O_WRONLY);
            ::dup2(logFd, STDERR_FILENO);
            ::dup2(nullFd, STDOUT_FILENO);
            ::execlp("ser2net", "ser2net", "-n", "-d", "-c", config.c_str(), "-P", pidFile.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 200; ++i) {
            if (const int s = connectLoopback(m_Port); s >= 0) {
                ::close(s);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    void stop() {
        if (m_Pid <= 0) return;
        ::kill(m_Pid, SIGKILL);
        ::waitpid(m_Pid, nullptr, 0);
        m_Pid = -1;
    }

  private:
    std::string m_Folder;
    std::string m_Device;
    int m_Port;
    pid_t m_Pid = -1;
};

// Forwards 127.0.0.1:port() to 127.0.0.1:target, holding every chunk `delayMs` in each
// direction: a round trip of twice that, as on a slow mobile link.
class DelayingForwarder {
  public:
    DelayingForwarder(int target, int delayMs) : m_Target(target), m_DelayMs(delayMs) {
        m_Listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_Listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ::bind(m_Listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(m_Listen, reinterpret_cast<sockaddr*>(&a), &size);
        m_Port = ntohs(a.sin_port);
        ::listen(m_Listen, 4);
        m_Thread = std::thread([this] { run(); });
    }
    ~DelayingForwarder() {
        m_Stop = true;
        m_Thread.join();
        ::close(m_Listen);
    }
    int port() const { return m_Port; }

  private:
    using Steady = std::chrono::steady_clock;
    struct Chunk {
        Steady::time_point due;
        std::vector<char> bytes;
    };
    struct Pair {
        int fd[2];                   // 0: the client, 1: the target
        std::deque<Chunk> toward[2]; // bytes due for fd[i]
        bool open = true;
    };

    void run() {
        std::vector<Pair> pairs;
        while (!m_Stop) {
            std::vector<pollfd> fds{{m_Listen, POLLIN, 0}};
            for (const Pair& p : pairs)
                for (const int fd : p.fd)
                    fds.push_back({fd, POLLIN, 0});
            ::poll(fds.data(), fds.size(), 5);
            // A pair accepted now has no entry in `fds` yet: it is read from the next round.
            const std::size_t polledPairs = pairs.size();
            if (fds[0].revents & POLLIN) {
                const int client = ::accept4(m_Listen, nullptr, nullptr, SOCK_CLOEXEC);
                const int target = connectLoopback(m_Target);
                if (client >= 0 && target >= 0) {
                    pairs.push_back({{client, target}, {}, true});
                } else {
                    if (client >= 0) ::close(client);
                    if (target >= 0) ::close(target);
                }
            }
            std::size_t at = 1;
            for (std::size_t i = 0; i < pairs.size(); ++i) {
                Pair& p = pairs[i];
                for (int side = 0; side < 2 && i < polledPairs; ++side, ++at) {
                    if (!(fds[at].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                    char buffer[4096];
                    const ssize_t n = ::recv(p.fd[side], buffer, sizeof buffer, 0);
                    if (n <= 0) {
                        p.open = false;
                        continue;
                    }
                    p.toward[1 - side].push_back(
                        {Steady::now() + std::chrono::milliseconds(m_DelayMs),
                         std::vector<char>(buffer, buffer + n)});
                }
                for (int side = 0; side < 2; ++side)
                    while (!p.toward[side].empty() && p.toward[side].front().due <= Steady::now()) {
                        const auto& bytes = p.toward[side].front().bytes;
                        ::send(p.fd[side], bytes.data(), bytes.size(), MSG_NOSIGNAL);
                        p.toward[side].pop_front();
                    }
            }
            for (auto it = pairs.begin(); it != pairs.end();) {
                if (it->open) {
                    ++it;
                    continue;
                }
                ::close(it->fd[0]);
                ::close(it->fd[1]);
                it = pairs.erase(it);
            }
        }
        for (Pair& p : pairs) {
            ::close(p.fd[0]);
            ::close(p.fd[1]);
        }
    }

    int m_Target;
    int m_DelayMs;
    int m_Listen = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

} // namespace tessadorn::test
