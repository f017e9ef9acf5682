// watch_day_bench [--hours H] [--prometheus] [--no-log]
//
// tessadornctl watch (cli::run, as the program runs it) over a simulated day in virtual time:
// a rover on a virtual serial port (DayModem: the signal wandering by the hour, the SIM out now
// and then, the adapter pulled twice), polled every 500 ms. The lines go to /dev/null, written
// and flushed one by one as on a terminal; the debug lines (every command) to a log file as the
// program keeps it (a temporary one; --no-log: none). Reports the polls, the lines by kind, the
// resident memory at every virtual hour (flat: the last hour against the first), and the CPU time
// per poll as a share of one core at the poll's own pace (the 500 ms pause and the exchanges, as
// the virtual clock counts them; goal < 0.1 %).
#include "DayModem.h"

#include "cli/Commands.h"
#include "cli/StopRequest.h"
#include "platform/AtomicFile.h"
#include "platform/DebugLogFile.h"
#include "platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tessadorn;
using namespace tessadorn::bench;

namespace {

constexpr double kGoalPercent = 0.1;
constexpr std::int64_t kHourMs = 3'600'000;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Resident memory in KiB (VmRSS).
long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    double hours = 24;
    bool prometheus = false;
    bool log = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--hours" && i + 1 < argc)
            hours = std::atof(argv[++i]);
        else if (a == "--prometheus")
            prometheus = true;
        else if (a == "--no-log")
            log = false;
        else {
            std::fprintf(stderr, "usage: watch_day_bench [--hours H] [--prometheus] [--no-log]\n");
            return 2;
        }
    }
    const std::int64_t endMs = static_cast<std::int64_t>(hours * kHourMs);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("watch_day_bench." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    DebugLogFile logFile;
    std::string logError;
    if (log &&
        !logFile.open((dir / "tessadorn.log").string(), DebugLogFile::kDefaultLimitBytes, logError))
        std::fprintf(stderr, "no log file: %s\n", logError.c_str());
    setDebugSink([&logFile, log](std::string_view line) {
        if (log) logFile.write(line);
    });
    VirtualClock clock;
    DayModem port(clock, 0);
    cli::StopRequest stop;
    std::FILE* sink = std::fopen("/dev/null", "w");
    std::map<std::string, long> lines;
    std::vector<long> rss; // at every virtual hour
    std::int64_t nextHour = 0;

    cli::Environment env;
    env.port = &port;
    env.clock = &clock;
    env.portName = "/dev/ttyUSB0";
    env.casterListPath = (dir / "ntripcfg.txt").string();
    env.profilePath = (dir / "tessadorn.cfg").string();
    env.writer = &AtomicFile::standard();
    env.stop = &stop;
    env.wallMs = [&clock] { return 1'765'152'000'000 + clock.nowMs(); };
    env.onEvent = [&](const cli::Value& event, const std::string& text) {
        ++lines[event.get("class")->text];
        std::fputs(text.c_str(), sink);
        std::fputc('\n', sink);
        std::fflush(sink);
        if (clock.nowMs() >= nextHour) {
            rss.push_back(residentKiB());
            nextHour += kHourMs;
        }
        if (clock.nowMs() >= endMs) stop.request();
    };
    cli::Request request;
    request.words = {"watch"};
    request.options["interval"] = "60";
    if (prometheus) request.options["prometheus"] = (dir / "tessadorn.prom").string();

    const double cpu0 = cpuSeconds();
    const cli::Result result = cli::run(request, env);
    const double cpu = cpuSeconds() - cpu0;
    setDebugSink({});
    std::fclose(sink);
    std::filesystem::remove_all(dir);
    if (result.status != cli::kDone) {
        for (const auto& m : result.messages)
            std::fprintf(stderr, "watch: %s\n", m.c_str());
        return 1;
    }

    const std::uint64_t polls = port.polls();
    const double virtualMsPerPoll = static_cast<double>(clock.nowMs()) / static_cast<double>(polls);
    const double cpuPerPollUs = cpu * 1e6 / static_cast<double>(polls);
    const double share = cpuPerPollUs / 1000.0 / virtualMsPerPoll * 100.0;
    std::printf("virtual time      %.1f h, %llu polls (%.0f ms a poll: 500 ms pause + exchanges)\n",
                static_cast<double>(clock.nowMs()) / kHourMs,
                static_cast<unsigned long long>(polls), virtualMsPerPoll);
    std::printf("commands          %llu, %llu bytes out, %llu bytes in\n",
                static_cast<unsigned long long>(port.commands()),
                static_cast<unsigned long long>(port.bytesOut()),
                static_cast<unsigned long long>(port.bytesIn()));
    std::printf("lines            ");
    for (const auto& [kind, n] : lines)
        std::printf(" %s %ld", kind.c_str(), n);
    std::printf("\n");
    if (rss.size() >= 2)
        std::printf("resident memory   %ld KiB after the first hour, %ld KiB after the last "
                    "(growth %+ld KiB, %.2f %%)\n",
                    rss[1], rss.back(), rss.back() - rss[1],
                    100.0 * static_cast<double>(rss.back() - rss[1]) / static_cast<double>(rss[1]));
    std::printf("CPU               %.2f s in all, %.1f us a poll\n", cpu, cpuPerPollUs);
    std::printf("share of a core   %.4f %% at the poll's pace (goal < %.1f %%: ratio %.3f)\n",
                share, kGoalPercent, share / kGoalPercent);
    return 0;
}
