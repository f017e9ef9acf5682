// The simulator as a real NTRIP client (--network) against rtklib's str2str serving as an
// NTRIP 1.0 caster on loopback. All traffic stays on 127.0.0.1.

#include "app/SimulatorProcess.h"
#include "link/Protocol.h"
#include "link/SerialChannel.h"
#include "link/Transactions.h"
#include "platform/TermiosSerialPort.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace tessadorn;
namespace p = tessadorn::protocol;

namespace {

const char* kStr2Str = "/usr/bin/str2str";
const char* kStrRow =
    "STR;MOUNT;Identifier;RTCM 3.2;1004(1);2;GPS;NET;DEU;50.0;8.0;0;0;gen;none;B;N;9600;";

// A loopback port nobody listens on right now.
int freePort() {
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

bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// str2str with one mountpoint "MOUNT" for user:pass; stopped with SIGINT when done.
class Caster {
  public:
    Caster() : m_InPort(freePort()), m_Port(freePort()) {
        std::vector<std::string> args = {
            kStr2Str, "-in", "tcpsvr://:" + std::to_string(m_InPort), "-out",
            "ntripc://user:pass@:" + std::to_string(m_Port) + "/MOUNT:" + (kStrRow + 10)};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_Pid, kStr2Str, &actions, nullptr, argv.data(), environ) != 0) m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 50 && m_Pid > 0 && !accepts(m_Port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~Caster() {
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
    bool up() const { return m_Pid > 0 && accepts(m_Port); }
    std::string port() const { return std::to_string(m_Port); }

  private:
    int m_InPort;
    int m_Port;
    pid_t m_Pid = -1;
};

const std::array<std::string_view, 5> kOutcomes = {p::kTokOkPrompt, p::kTokError41, p::kTokError42,
                                                   p::kTokError43, p::kTokError5};

} // namespace

TEST(SimCasterNetwork, ListAndConnectThroughARealCaster) {
    if (access(kStr2Str, X_OK) != 0) GTEST_SKIP() << "rtklib's str2str is not installed";
    Caster caster;
    ASSERT_TRUE(caster.up()) << "str2str did not start";
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(
        TESSADORN_SIM_EXECUTABLE,
        {"--quiet", "--network", "--no-pacing", "--baud", "4", "--network-timeout-ms", "3000"},
        5000))
        << sim.error();
    TermiosSerialPort port(sim.ptyPath());
    SerialChannel serial(port, RealClock::instance());
    ASSERT_EQ(serial.Open(4), 1);
    std::atomic<int> reading{0};
    Transactions tx(serial, reading);

    // The caster's own table, header lines and all, framed by the modem.
    ASSERT_EQ(tx.SendWaitEither(p::list(1, "127.0.0.1", caster.port(), "", ""), p::kTokCmdOk,
                                p::kTokCmdError, 1, 512),
              1);
    std::string table;
    std::uint8_t b = 0;
    while (serial.ReadBlock(&b, 1) == 1 && table.size() < 4096) {
        table.push_back(static_cast<char>(b));
        if (table.size() >= 3 && table.compare(table.size() - 3, 3, "<OK") == 0) break;
    }
    EXPECT_EQ(table.rfind("\r\nSOURCETABLE 200 OK\r\n", 0), 0u) << table;
    EXPECT_NE(table.find(std::string("\r\n\r\n") + kStrRow + "\r\nENDSOURCETABLE\r\n"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("ENDSOURCETABLE\r\n\r\nSHUTDOWN\r\n<OK"), std::string::npos) << table;

    const int closedPort = freePort();
    struct Case {
        const char* name;
        p::Command command;
        int outcome;
    };
    const Case cases[] = {
        {"right login", p::connect(1, true, "127.0.0.1", caster.port(), "MOUNT", "user", "pass"),
         1},
        {"wrong login", p::connect(1, true, "127.0.0.1", caster.port(), "MOUNT", "user", "nope"),
         3},
        {"unknown mountpoint",
         p::connect(1, true, "127.0.0.1", caster.port(), "NOPE", "user", "pass"), 4},
        {"closed port",
         p::connect(1, false, "127.0.0.1", std::to_string(closedPort), "MOUNT", "", ""), 2},
    };
    for (const auto& c : cases) {
        serial.Drain(64);
        ASSERT_EQ(tx.SendWaitEither(c.command, p::kTokCmdOk, p::kTokCmdError, 5, 512), 1) << c.name;
        EXPECT_EQ(serial.WaitOneOfFiveLimited(kOutcomes, 512), c.outcome) << c.name;
    }
}
