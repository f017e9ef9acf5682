// watch_serve_bench [--rounds N] [--interval I]
//
// A command on a port that a tessadornctl watch holds against the same command on a free port:
// two tessadorn-sim pseudo-terminals, a watch (--json --interval I, 5 s by default) on the second.
// N times (5 by default) each: `auto on` and `auto off` in turn on the free port and on the
// watched one (served by the watch), each checked in the simulator's log (the setting reached
// the modem) before its time counts; the median served time against the median direct one
// (goal <= 1.10). Then `status`: asked of the watch's socket directly (the answer from what the
// watch knows; goal < 100 ms) against a direct `status` (its start-up's protocol pauses), its
// serial number checked against the watch's "found". All the while every line of the watch is
// timed: each must follow the one before within I seconds and one poll (1.5 s).
#include "app/SimulatorProcess.h"
#include "cli/WatchWire.h"
#include "platform/LocalSocket.h"
#include "platform/WatchSocketPath.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace tessadorn;
using Steady = std::chrono::steady_clock;

namespace {

constexpr double kGoalRatio = 1.10;
constexpr double kGoalStatusMs = 100;
constexpr double kOnePollS = 1.5;

double now() {
    return std::chrono::duration<double>(Steady::now().time_since_epoch()).count();
}

int countIn(const std::string& path, const std::string& needle) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    int n = 0;
    for (std::size_t at = 0; (at = text.find(needle, at)) != std::string::npos; at += needle.size())
        ++n;
    return n;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The lines of the watch with their times, read on a thread of their own.
struct WatchLines {
    std::mutex mutex;
    std::vector<std::pair<double, std::string>> lines;
    std::thread reader;
    void start(int fd) {
        reader = std::thread([this, fd] {
            std::string rest;
            char buffer[4096];
            for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
                rest.append(buffer, static_cast<std::size_t>(n));
                for (std::size_t end; (end = rest.find('\n')) != std::string::npos;) {
                    std::lock_guard lock(mutex);
                    lines.emplace_back(now(), rest.substr(0, end));
                    rest.erase(0, end + 1);
                }
            }
        });
    }
    std::string firstOf(const std::string& kind) {
        std::lock_guard lock(mutex);
        for (const auto& [t, line] : lines)
            if (line.find("\"class\":\"" + kind + "\"") != std::string::npos) return line;
        return {};
    }
};

} // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    int interval = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
        if (a == "--interval") interval = std::max(1, std::atoi(argv[i + 1]));
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("watch_serve_bench." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string run = (dir / "run").string();
    ::setenv("TESSADORN_RUNTIME_DIR", run.c_str(), 1);
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);

    SimulatorProcess sims[2];
    std::string links[2], logs[2];
    for (int i = 0; i < 2; ++i) {
        links[i] = (dir / ("com" + std::to_string(i))).string();
        logs[i] = (dir / ("sim" + std::to_string(i) + ".log")).string();
        if (!sims[i].start(TESSADORN_SIM_EXECUTABLE,
                           {"--baud", "2", "--link", links[i], "--exit-with-parent"}, 10000,
                           logs[i])) {
            std::fprintf(stderr, "simulator %d: %s\n", i, sims[i].error().c_str());
            return 1;
        }
    }

    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {
        TESSADORN_CTL_EXECUTABLE,    "--port", links[1], "--config-dir",
        (dir / "watchcfg").string(), "--json", "watch",  "--interval",
        std::to_string(interval)};
    std::vector<char*> argvOut;
    for (auto& a : args)
        argvOut.push_back(a.data());
    argvOut.push_back(nullptr);
    pid_t watchPid = -1;
    if (posix_spawn(&watchPid, TESSADORN_CTL_EXECUTABLE, &actions, nullptr, argvOut.data(),
                    environ) != 0)
        return 1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    WatchLines watch;
    watch.start(pipeFds[0]);
    const double waitUntil = now() + 60;
    while (watch.firstOf("status").empty() && now() < waitUntil)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string found = watch.firstOf("found");
    if (found.empty()) {
        std::fprintf(stderr, "the watch found no modem\n");
        return 1;
    }
    const double servingFrom = now();

    const auto ctl = [&](int port, const std::string& command) {
        const std::string line = std::string(TESSADORN_CTL_EXECUTABLE) + " --port " + links[port] +
                                 " --config-dir " + (dir / "cfg").string() + " " + command +
                                 " >/dev/null 2>&1";
        const double t0 = now();
        const int status = std::system(line.c_str());
        const double took = now() - t0;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took : -1.0;
    };
    std::vector<double> direct, served;
    bool right = true;
    for (int r = 0; r < rounds && right; ++r) {
        for (const char* setting : {"on", "off"}) {
            for (int port = 0; port < 2; ++port) {
                const std::string heard = std::string("<- #AUTO ") +
                                          (setting[0] == 'o' && setting[1] == 'n' ? "ON" : "OFF");
                const int before = countIn(logs[port], heard);
                const double took = ctl(port, std::string("auto ") + setting);
                if (took < 0 || countIn(logs[port], heard) != before + 1) {
                    std::fprintf(stderr, "auto %s on the %s port did not reach the modem\n",
                                 setting, port == 0 ? "free" : "watched");
                    right = false;
                }
                (port == 0 ? direct : served).push_back(took);
            }
        }
    }

    // status: the watch's answer on its socket, against a direct run.
    std::vector<double> answers;
    std::string serial;
    for (int i = 0; i < rounds && right; ++i) {
        int fd = -1;
        for (const std::string& path : WatchSocketPath::candidates(links[1]))
            if ((fd = connectLocal(path)) >= 0) break;
        cli::Request q;
        q.words = {"status"};
        std::string reply;
        cli::Result result;
        const double t0 = now();
        const bool ok = fd >= 0 && writeFrame(fd, cli::WatchWire::encodeRequest(q, {})) &&
                        readFrame(fd, reply, 10000) && cli::WatchWire::decodeResult(reply, result);
        answers.push_back((now() - t0) * 1000);
        if (fd >= 0) ::close(fd);
        const cli::Value* s = result.data.get("serial");
        serial = s ? s->text : std::string();
        if (!ok || result.status != 0 || serial.empty() ||
            found.find("\"serial\":\"" + serial + "\"") == std::string::npos) {
            std::fprintf(stderr, "the served status is not the watch's modem\n");
            right = false;
        }
    }
    std::vector<double> directStatus;
    for (int i = 0; i < 2 && right; ++i)
        directStatus.push_back(ctl(0, "status") * 1000);
    const double servingTo = now();

    double worstGap = 0;
    int late = 0, lines = 0;
    {
        std::lock_guard lock(watch.mutex);
        double previous = servingFrom;
        for (const auto& [t, line] : watch.lines) {
            if (t < servingFrom) continue;
            ++lines;
            worstGap = std::max(worstGap, t - previous);
            if (t - previous > interval + kOnePollS) ++late;
            previous = t;
        }
        worstGap = std::max(worstGap, servingTo - previous);
        if (servingTo - previous > interval + kOnePollS) ++late;
    }
    ::kill(watchPid, SIGTERM);
    int status = 0;
    ::waitpid(watchPid, &status, 0);
    watch.reader.join();
    ::close(pipeFds[0]);
    for (SimulatorProcess& s : sims)
        s.stop();
    std::filesystem::remove_all(dir);
    if (!right) return 1;

    const double ratio = median(served) / median(direct);
    std::printf("auto on|off       %d each: direct median %.0f ms, served by the watch %.0f ms: "
                "ratio %.3f (goal <= %.2f: %s)\n",
                rounds * 2, median(direct) * 1000, median(served) * 1000, ratio, kGoalRatio,
                ratio <= kGoalRatio ? "met" : "missed");
    const double answer = median(answers);
    std::printf("status            %s: the watch answers in %.1f ms (goal < %.0f ms: ratio %.3f, "
                "%s); a direct status %.0f ms (%.0fx)\n",
                serial.c_str(), answer, kGoalStatusMs, answer / kGoalStatusMs,
                answer < kGoalStatusMs ? "met" : "missed", median(directStatus),
                median(directStatus) / std::max(answer, 0.001));
    std::printf("watch lines       %d while serving, %d late; the longest gap %.2f s (interval %d "
                "s + one poll %.1f s); the watch ended with %d\n",
                lines, late, worstGap, interval, kOnePollS,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return ratio <= kGoalRatio && answer < kGoalStatusMs && late == 0 ? 0 : 1;
}
