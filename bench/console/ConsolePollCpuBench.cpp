// console_poll_cpu_bench [--seconds N] [--baud I] [--animation] [--log FILE] [--sim PATH]
//
// CPU while a ready modem is polled: the monitor thread runs in this process against
// tessadorn-sim until its first poll is drawn; from then on the CPU time of this whole process
// (monitor thread, and the animation thread with --animation; the simulator is another
// process) is taken over N seconds (30 by default) and reported as a share of one core.

#include "ConsoleRig.h"
#include "DebugFileSink.h"

#include "platform/SerialPort.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <thread>

using namespace tessadorn;
using namespace tessadorn::bench;

namespace {

constexpr double kGoalPercent = 1.0;

struct Options {
    double seconds = 30;
    int baudIndex = 2;
    bool animation = false;
    std::string log = "/dev/null";
    std::string simulator = TESSADORN_SIM_EXECUTABLE;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--animation") {
            o.animation = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string v = argv[++i];
        if (a == "--seconds")
            o.seconds = std::max(1.0, std::atof(v.c_str()));
        else if (a == "--baud")
            o.baudIndex = std::atoi(v.c_str());
        else if (a == "--log")
            o.log = v;
        else if (a == "--sim")
            o.simulator = v;
        else
            return false;
    }
    return true;
}

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double seconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: console_poll_cpu_bench [--seconds N] [--baud I] "
                             "[--animation] [--log FILE] [--sim PATH]\n");
        return 2;
    }
    DebugFileSink sink(options.log);
    ConsoleRig rig(options.simulator);
    ConsoleRig::Options rigOptions;
    rigOptions.baudIndex = options.baudIndex;
    rigOptions.animation = options.animation;
    rigOptions.simulatorArguments = {"--quiet", "--register-ms", "0", "--apn-ms", "0"};
    if (!rig.start(rigOptions)) {
        std::fprintf(stderr, "cannot start the simulator: %s\n", rig.error().c_str());
        return 1;
    }
    if (!rig.waitReady(30000) || !rig.waitFirstPoll(30000)) {
        std::fprintf(stderr, "the modem did not become ready\n");
        return 1;
    }

    const auto countsBefore = rig.counts();
    const long linesBefore = sink.lines();
    const long panelBefore = rig.panel().calls();
    rusage usageBefore{};
    getrusage(RUSAGE_SELF, &usageBefore);
    const double cpuBefore = processCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();

    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));

    const double cpu = processCpuSeconds() - cpuBefore;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto traffic = rig.counts() - countsBefore;
    const long lines = sink.lines() - linesBefore;
    const long panelCalls = rig.panel().calls() - panelBefore;
    const bool stillReady = rig.deviceReady() == 1;
    rig.stop();

    const double percent = 100.0 * cpu / wall;
    std::printf("CPU while a ready modem is polled at %d bit/s%s, %.1f s after the first poll\n",
                baudRateForIndex(options.baudIndex),
                options.animation ? " (with the animation thread)" : "", wall);
    std::printf("process CPU    %.4f s (user %.4f s, system %.4f s) over %.3f s\n", cpu,
                seconds(usage.ru_utime) - seconds(usageBefore.ru_utime),
                seconds(usage.ru_stime) - seconds(usageBefore.ru_stime), wall);
    std::printf("share          %.3f %% of one core (goal < %.0f %%: %s)\n", percent, kGoalPercent,
                percent < kGoalPercent ? "met" : "MISSED");
    std::printf("traffic        %lld commands, %lld bytes read in %lld read calls (%lld empty), "
                "%lld purges\n",
                static_cast<long long>(traffic.writes), static_cast<long long>(traffic.bytesRead),
                static_cast<long long>(traffic.reads), static_cast<long long>(traffic.emptyReads),
                static_cast<long long>(traffic.purges));
    std::printf("also           %ld debug lines, %ld panel calls, %ld voluntary and %ld "
                "involuntary context switches\n",
                lines, panelCalls, usage.ru_nvcsw - usageBefore.ru_nvcsw,
                usage.ru_nivcsw - usageBefore.ru_nivcsw);
    if (traffic.writes > 0)
        std::printf("per command    %.3f ms CPU\n", 1000.0 * cpu / traffic.writes);
    if (!stillReady) {
        std::printf("the modem was lost during the measurement\n");
        return 1;
    }
    return 0;
}
