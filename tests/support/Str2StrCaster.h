#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tessadorn::test {

// rtklib's str2str serving as an NTRIP 1.0 caster on loopback, with one mountpoint for one
// user; stopped with SIGINT when the object goes away. All traffic stays on 127.0.0.1.
class Str2StrCaster {
  public:
    static constexpr const char* kExecutable = "/usr/bin/str2str";

    static bool installed() { return access(kExecutable, X_OK) == 0; }

    // A loopback port nobody listens on right now.
    static int freePort() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int port = -1;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        close(fd);
        return port;
    }

    static bool accepts(int port) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        return ok;
    }

    // `strFields`: the STR row without "STR;" (mountpoint first).
    Str2StrCaster(const std::string& user, const std::string& password,
                  const std::string& strFields)
        : m_InPort(freePort()), m_Port(freePort()) {
        const std::string mountpoint = strFields.substr(0, strFields.find(';'));
        std::vector<std::string> args = {
            kExecutable, "-in", "tcpsvr://:" + std::to_string(m_InPort), "-out",
            "ntripc://" + user + ":" + password + "@:" + std::to_string(m_Port) + "/" + mountpoint +
                ":" + strFields.substr(mountpoint.size() + 1)};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_Pid, kExecutable, &actions, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 50 && m_Pid > 0 && !accepts(m_Port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~Str2StrCaster() {
        if (m_Pid <= 0) return;
        kill(m_Pid, SIGINT);
        int status = 0;
        for (int i = 0; i < 100 && waitpid(m_Pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (waitpid(m_Pid, &status, WNOHANG) == 0) {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, &status, 0);
        }
    }
    Str2StrCaster(const Str2StrCaster&) = delete;
    Str2StrCaster& operator=(const Str2StrCaster&) = delete;

    bool up() const { return m_Pid > 0 && accepts(m_Port); }
    std::string port() const { return std::to_string(m_Port); }

  private:
    int m_InPort;
    int m_Port;
    pid_t m_Pid = -1;
};

} // namespace tessadorn::test
