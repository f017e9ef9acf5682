#include "app/SimulatorProcess.h"

#include "platform/ProgramFolder.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tessadorn {
namespace {

bool executable(const std::filesystem::path& p) {
    return !p.empty() && ::access(p.c_str(), X_OK) == 0 && std::filesystem::is_regular_file(p);
}

} // namespace

SimulatorProcess::~SimulatorProcess() {
    stop();
}

std::string SimulatorProcess::findExecutable(const std::string& given) {
    if (!given.empty()) return executable(given) ? given : std::string();
    const std::filesystem::path self = executablePath();
    if (self.empty()) return {};
    const auto dir = self.parent_path();
    const std::filesystem::path beside = dir / "tessadorn-sim";
    return executable(beside) ? beside.string() : std::string();
}

bool SimulatorProcess::start(const std::string& executablePath,
                             const std::vector<std::string>& arguments, int timeoutMs,
                             const std::string& stderrPath) {
    if (m_Pid > 0) {
        m_Error = "the simulator is running already";
        return false;
    }
    m_PtyPath.clear();
    m_Error.clear();
    m_ExitStatus = -1;
    if (&executablePath != &m_Executable) m_Executable = executablePath;
    if (&arguments != &m_Arguments) m_Arguments = arguments;
    m_TimeoutMs = timeoutMs;
    if (&stderrPath != &m_StderrPath) m_StderrPath = stderrPath;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        m_Error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> args{executablePath, "--exit-with-parent"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (!stderrPath.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    const int rc =
        posix_spawn(&pid, executablePath.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        m_Error = "cannot start " + executablePath + ": " + std::strerror(rc);
        return false;
    }
    m_Pid = pid;
    m_Stdout = out[0];

    // The first line is the path of the pseudo-terminal.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{m_Stdout, POLLIN, 0};
        const int r = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
        if (r < 0 && errno == EINTR) continue;
        char buf[256];
        const ssize_t n = r > 0 ? ::read(m_Stdout, buf, sizeof buf) : 0;
        if (n <= 0) {
            m_Error = r == 0 ? "the simulator did not tell its pseudo-terminal in time"
                             : "the simulator ended before it told its pseudo-terminal";
            stop();
            return false;
        }
        line.append(buf, static_cast<std::size_t>(n));
    }
    m_PtyPath = line.substr(0, line.find('\n'));
    return true;
}

bool SimulatorProcess::restart() {
    if (m_Executable.empty()) {
        m_Error = "the simulator was never started";
        return false;
    }
    stop();
    return start(m_Executable, m_Arguments, m_TimeoutMs, m_StderrPath);
}

std::string SimulatorProcess::describeExit(int waitStatus) {
    int code = waitStatus;
    if (waitStatus >= 0 && WIFEXITED(waitStatus))
        code = WEXITSTATUS(waitStatus);
    else if (waitStatus >= 0 && WIFSIGNALED(waitStatus))
        code = 128 + WTERMSIG(waitStatus);
    return "exit status " + std::to_string(code);
}

bool SimulatorProcess::running() {
    if (m_Pid <= 0) return false;
    int status = 0;
    if (::waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
        m_ExitStatus = status;
        m_Pid = -1;
        return false;
    }
    return true;
}

bool SimulatorProcess::stop(int timeoutMs) {
    if (m_Pid > 0) {
        ::kill(m_Pid, SIGTERM);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        pid_t r = 0;
        while ((r = ::waitpid(m_Pid, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (r == 0) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, &status, 0);
        }
        m_ExitStatus = r == m_Pid ? status : -1;
        m_Pid = -1;
    }
    if (m_Stdout >= 0) ::close(m_Stdout);
    m_Stdout = -1;
    return m_ExitStatus >= 0 && WIFEXITED(m_ExitStatus) && WEXITSTATUS(m_ExitStatus) == 0;
}

} // namespace tessadorn
