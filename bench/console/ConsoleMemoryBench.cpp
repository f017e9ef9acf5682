// console_memory_bench [--wait SECONDS] [--screenshot FILE] [--program PATH] [--log FILE]
//
// Peak resident memory of the whole program: runs `tessadorn --simulate --screenshot FILE
// --screenshot-wait SECONDS` (offscreen) as a child, waits for it with wait4() and reports its
// ru_maxrss. The simulator is the program's own child; while the program runs, the peaks of
// both are also read from /proc (VmHWM) so that the number is known to be the program's.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr double kGoalMiB = 80;

struct Options {
    int waitSeconds = 10;
    std::string screenshot;
    std::string program = TESSADORN_PROGRAM;
    std::string log = "/dev/null";
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return false;
        const std::string v = argv[++i];
        if (a == "--wait")
            o.waitSeconds = std::max(1, std::atoi(v.c_str()));
        else if (a == "--screenshot")
            o.screenshot = v;
        else if (a == "--program")
            o.program = v;
        else if (a == "--log")
            o.log = v;
        else
            return false;
    }
    return true;
}

// VmHWM of a process in KiB, or -1 when it is gone.
long peakKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

// The children of every thread of `pid`.
std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> out;
    std::error_code ec;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::ifstream in(task.path() / "children");
        pid_t child = 0;
        while (in >> child)
            out.push_back(child);
    }
    return out;
}

double mib(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: console_memory_bench [--wait SECONDS] [--screenshot FILE] "
                             "[--program PATH] [--log FILE]\n");
        return 2;
    }
    const bool ownScreenshot = o.screenshot.empty();
    if (ownScreenshot)
        o.screenshot = (std::filesystem::temp_directory_path() /
                        ("console_memory_bench-" + std::to_string(getpid()) + ".png"))
                           .string();
    std::filesystem::remove(o.screenshot);

    // The program keeps its files in a folder of the run's own, and its debug lines go to the
    // log given (--debug puts them on stderr).
    const std::filesystem::path files =
        std::filesystem::temp_directory_path() /
        ("console_memory_bench-" + std::to_string(getpid()) + "-files");
    std::filesystem::create_directories(files);
    std::vector<std::string> args{
        o.program,      "--debug",           "--config-dir",
        files.string(), "--simulate",        "--screenshot",
        o.screenshot,   "--screenshot-wait", std::to_string(o.waitSeconds)};
    std::vector<char*> argv2;
    for (auto& a : args)
        argv2.push_back(a.data());
    argv2.push_back(nullptr);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, o.log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const auto started = std::chrono::steady_clock::now();
    const int rc = posix_spawn(&pid, o.program.c_str(), &actions, nullptr, argv2.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", o.program.c_str(), std::strerror(rc));
        return 1;
    }

    // Watch both peaks while the program runs; it ends by itself after the screenshot.
    long programPeak = -1, simulatorPeak = -1;
    int status = 0;
    rusage usage{};
    const auto limit = started + std::chrono::seconds(o.waitSeconds + 30);
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (done < 0) {
            std::perror("wait4");
            return 1;
        }
        if (std::chrono::steady_clock::now() > limit) {
            std::fprintf(stderr, "the program did not end; stopping it\n");
            kill(pid, SIGTERM);
            wait4(pid, &status, 0, &usage);
            break;
        }
        programPeak = std::max(programPeak, peakKiB(pid));
        for (const pid_t child : childrenOf(pid))
            simulatorPeak = std::max(simulatorPeak, peakKiB(child));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const bool exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const bool shot = std::filesystem::exists(o.screenshot);
    if (ownScreenshot) std::filesystem::remove(o.screenshot);
    std::filesystem::remove_all(files);

    const long maxrss = usage.ru_maxrss; // KiB
    std::printf("whole program: tessadorn --simulate --screenshot ... --screenshot-wait %d "
                "(offscreen), ran %.1f s, %s, screenshot %s\n",
                o.waitSeconds, elapsed,
                exitedCleanly
                    ? "exit status 0"
                    : (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                         : std::string("killed by a signal"))
                          .c_str(),
                shot ? "written" : "MISSING");
    std::printf("peak RSS       %.1f MiB (%ld KiB, wait4 ru_maxrss) (goal < %.0f MiB: %s)\n",
                mib(maxrss), maxrss, kGoalMiB, mib(maxrss) < kGoalMiB ? "met" : "MISSED");
    std::printf("ratio to goal  %.3f\n", mib(maxrss) / kGoalMiB);
    // ru_maxrss of a waited child is the larger of its own peak and its waited children's; the
    // /proc peaks tell which of the two it is.
    std::printf("from /proc     program VmHWM %.1f MiB, simulator VmHWM %.1f MiB (not counted)\n",
                mib(programPeak), mib(simulatorPeak));
    if (programPeak > 0 && maxrss > programPeak + 1024)
        std::printf("note           ru_maxrss is above the program's own peak: it is the "
                    "simulator's\n");
    return exitedCleanly && shot ? 0 : 1;
}
