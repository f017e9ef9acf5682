// watch_fleet_bench [--modems N] [--seconds S] [--interval I]
//
// N tessadornctl watch processes (50 by default), each on its own tessadorn-sim pseudo-terminal,
// as a base-station operator would run them under systemd. Once every watch said "found", the
// CPU time of the N watches (utime + stime from /proc) is taken over S seconds (30 by default)
// and reported as a share of one core (goal < 5 %), with the simulators' own share beside it.
// Each watch writes a heartbeat line when nothing changed for I seconds (5 by default): a line
// is on time when it follows the one before within I seconds plus one poll (the 500 ms pause
// and its exchanges, 1.5 s allowed). Reports the longest gap of any watch over I and how many
// lines were late; then SIGTERM ends every watch, and each must end with 0.
#include "app/SimulatorProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace tessadorn;
using Steady = std::chrono::steady_clock;

namespace {

constexpr double kGoalPercent = 5.0;
constexpr double kOnePollS = 1.5;

double seconds(Steady::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// utime + stime of a process in seconds.
double cpuOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::vector<std::string> fields;
    std::string field;
    for (std::size_t i = close + 2; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += text[i];
        }
    }
    // Fields from the state on: utime is the 12th, stime the 13th (0-based 11, 12).
    if (fields.size() < 13) return 0;
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Watch {
    pid_t pid = -1;
    int out = -1;
    std::string rest;
    bool found = false;
    std::vector<double> lineTimes; // of status and heartbeat lines
};

} // namespace

int main(int argc, char** argv) {
    int modems = 50;
    double measureS = 30;
    int interval = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--modems")
            modems = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--seconds")
            measureS = std::max(1.0, std::atof(argv[i + 1]));
        else if (a == "--interval")
            interval = std::max(1, std::atoi(argv[i + 1]));
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("watch_fleet_bench." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);

    std::vector<SimulatorProcess> sims(static_cast<std::size_t>(modems));
    std::vector<Watch> watches(static_cast<std::size_t>(modems));
    for (int i = 0; i < modems; ++i) {
        const std::string link = (dir / ("com" + std::to_string(i))).string();
        if (!sims[i].start(TESSADORN_SIM_EXECUTABLE,
                           {"--baud", "2", "--quiet", "--link", link, "--exit-with-parent"}, 10000,
                           "/dev/null")) {
            std::fprintf(stderr, "simulator %d: %s\n", i, sims[i].error().c_str());
            return 1;
        }
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return 1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string cfg = (dir / ("cfg" + std::to_string(i))).string();
        const std::string intervalText = std::to_string(interval);
        std::vector<std::string> args = {TESSADORN_CTL_EXECUTABLE,
                                         "--port",
                                         link,
                                         "--config-dir",
                                         cfg,
                                         "--json",
                                         "watch",
                                         "--interval",
                                         intervalText};
        std::vector<char*> argvOut;
        for (auto& a : args)
            argvOut.push_back(a.data());
        argvOut.push_back(nullptr);
        const std::string state = "XDG_STATE_HOME=" + (dir / "state").string();
        std::vector<char*> envOut;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("XDG_STATE_HOME=", 0) != 0) envOut.push_back(*e);
        envOut.push_back(const_cast<char*>(state.c_str()));
        envOut.push_back(nullptr);
        Watch& w = watches[static_cast<std::size_t>(i)];
        if (posix_spawn(&w.pid, TESSADORN_CTL_EXECUTABLE, &actions, nullptr, argvOut.data(),
                        envOut.data()) != 0) {
            std::fprintf(stderr, "cannot start tessadornctl\n");
            return 1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        w.out = pipeFds[0];
    }

    // Reads what the watches wrote, until `until`.
    auto pump = [&](Steady::time_point until, bool record) {
        std::vector<pollfd> fds;
        for (const Watch& w : watches)
            fds.push_back({w.out, POLLIN, 0});
        while (Steady::now() < until) {
            const int wait = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Steady::now())
                    .count());
            if (poll(fds.data(), fds.size(), std::max(1, std::min(wait, 200))) <= 0) continue;
            const double now = seconds(Steady::now());
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    fds[i].fd = -1;
                    continue;
                }
                Watch& w = watches[i];
                w.rest.append(buffer, static_cast<std::size_t>(n));
                for (std::size_t end; (end = w.rest.find('\n')) != std::string::npos;) {
                    const std::string line = w.rest.substr(0, end);
                    w.rest.erase(0, end + 1);
                    if (line.find("\"class\":\"found\"") != std::string::npos) w.found = true;
                    if (record && (line.find("\"class\":\"status\"") != std::string::npos ||
                                   line.find("\"class\":\"heartbeat\"") != std::string::npos))
                        w.lineTimes.push_back(now);
                }
            }
            if (!record &&
                std::all_of(watches.begin(), watches.end(), [](const Watch& w) { return w.found; }))
                return;
        }
    };
    const auto started = Steady::now();
    pump(started + std::chrono::seconds(120), false);
    const int found = static_cast<int>(
        std::count_if(watches.begin(), watches.end(), [](const Watch& w) { return w.found; }));
    std::printf("%d of %d watches found their modem in %.1f s\n", found, modems,
                std::chrono::duration<double>(Steady::now() - started).count());

    double watchCpu0 = 0, simCpu0 = 0;
    for (int i = 0; i < modems; ++i) {
        watchCpu0 += cpuOf(watches[static_cast<std::size_t>(i)].pid);
        simCpu0 += cpuOf(sims[static_cast<std::size_t>(i)].pid());
    }
    const auto measureStart = Steady::now();
    const double t0 = seconds(measureStart);
    pump(measureStart + std::chrono::milliseconds(static_cast<long>(measureS * 1000)), true);
    const double wall = std::chrono::duration<double>(Steady::now() - measureStart).count();
    double watchCpu = 0, simCpu = 0;
    for (int i = 0; i < modems; ++i) {
        watchCpu += cpuOf(watches[static_cast<std::size_t>(i)].pid);
        simCpu += cpuOf(sims[static_cast<std::size_t>(i)].pid());
    }
    watchCpu -= watchCpu0;
    simCpu -= simCpu0;

    // Lines on time: from the start of the measurement, each line within the interval and a
    // poll of the one before (or of the start).
    double worstGap = 0;
    int late = 0, lines = 0;
    for (const Watch& w : watches) {
        double previous = t0;
        for (const double t : w.lineTimes) {
            worstGap = std::max(worstGap, t - previous);
            if (t - previous > interval + kOnePollS) ++late;
            previous = t;
            ++lines;
        }
        const double tail = t0 + wall - previous;
        if (tail > interval + kOnePollS) ++late;
        worstGap = std::max(worstGap, tail);
    }
    const double share = watchCpu / wall * 100.0;
    std::printf("CPU of %d watches %.2f s over %.1f s: %.2f %% of a core (goal < %.0f %%: ratio "
                "%.3f); the simulators %.2f %%\n",
                modems, watchCpu, wall, share, kGoalPercent, share / kGoalPercent,
                simCpu / wall * 100.0);
    std::printf("lines             %d status and heartbeat lines, %d late; the longest gap %.2f s "
                "(interval %d s + one poll %.1f s)\n",
                lines, late, worstGap, interval, kOnePollS);
    if (FILE* load = std::fopen("/proc/loadavg", "r")) {
        char text[128] = {};
        if (std::fgets(text, sizeof text, load)) std::printf("load average      %s", text);
        std::fclose(load);
    }

    int clean = 0;
    for (Watch& w : watches)
        kill(w.pid, SIGTERM);
    for (Watch& w : watches) {
        int status = 0;
        waitpid(w.pid, &status, 0);
        clean += WIFEXITED(status) && WEXITSTATUS(status) == 0;
        close(w.out);
    }
    std::printf("SIGTERM           %d of %d watches ended with status 0\n", clean, modems);
    for (SimulatorProcess& s : sims)
        s.stop();
    std::filesystem::remove_all(dir);
    return clean == modems && found == modems ? 0 : 1;
}
