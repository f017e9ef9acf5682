// console_ready_bench [--runs N] [--rates I,I...] [--log FILE] [--sim PATH]
//
// Start to ready face at the remembered rate: the monitor thread runs in this process against a
// fresh tessadorn-sim (registered, APN up) listening at the rate the monitor holds, so the
// first raw DEVICE command is answered. Two moments are timed from the start of
// MonitorThread::run(): the ready face (m_DeviceReady set) and the end of the first poll (its
// signal picture drawn, before the poll pause). Each is reported against the protocol floor:
// 300 ms after each command written plus the bytes read at the line rate.

#include "ConsoleRig.h"
#include "DebugFileSink.h"
#include "ProtocolFloor.h"

#include "platform/SerialPort.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace tessadorn;
using namespace tessadorn::bench;

namespace {

constexpr double kGoal = 1.10;
constexpr int kMomentTimeoutMs = 30000;

struct Options {
    int runs = 5;
    std::vector<int> rates{2, 4};
    std::string log = "/dev/null";
    std::string simulator = TESSADORN_SIM_EXECUTABLE;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return false;
        const std::string v = argv[++i];
        if (a == "--runs") {
            o.runs = std::max(1, std::atoi(v.c_str()));
        } else if (a == "--rates") {
            o.rates.clear();
            std::stringstream in(v);
            std::string item;
            while (std::getline(in, item, ','))
                o.rates.push_back(std::atoi(item.c_str()));
        } else if (a == "--log") {
            o.log = v;
        } else if (a == "--sim") {
            o.simulator = v;
        } else {
            return false;
        }
    }
    return true;
}

struct Sample {
    double elapsed = 0;
    ProtocolFloor floor;
    CountingSerialPort::Counts counts;
    double ratio() const { return elapsed / floor.seconds(); }
    // Against the pauses alone: the modem's answers arrive while the program waits.
    double settleRatio() const { return elapsed / floor.settleSeconds; }
};

double minimum(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

Sample sampleOf(const ConsoleRig::Milestone& m, int baudIndex) {
    Sample s;
    s.elapsed = m.seconds;
    s.counts = m.counts;
    s.floor = ProtocolFloor::of(m.counts, baudIndex);
    return s;
}

void printSample(const char* name, const Sample& s, int rate) {
    std::printf("  %-10s %.3f s  floor %.3f s (%lld writes x 300 ms + %lld bytes x 10 / %d = "
                "%.3f s)  ratio %.3f (to the pauses alone %.3f)\n",
                name, s.elapsed, s.floor.seconds(), static_cast<long long>(s.counts.writes),
                static_cast<long long>(s.counts.bytesRead), rate, s.floor.lineSeconds, s.ratio(),
                s.settleRatio());
}

void summary(const char* name, const std::vector<Sample>& samples) {
    std::vector<double> elapsed, floors, ratios, settleRatios;
    for (const auto& s : samples) {
        elapsed.push_back(s.elapsed);
        floors.push_back(s.floor.seconds());
        ratios.push_back(s.ratio());
        settleRatios.push_back(s.settleRatio());
    }
    std::printf("%-10s elapsed min %.3f s median %.3f s; floor median %.3f s; ratio min %.3f "
                "median %.3f (goal <= %.2f: %s)\n",
                name, minimum(elapsed), median(elapsed), median(floors), minimum(ratios),
                median(ratios), kGoal, median(ratios) <= kGoal ? "met" : "MISSED");
    std::printf("%-10s ratio to the pauses alone: min %.3f median %.3f\n", "",
                minimum(settleRatios), median(settleRatios));
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: console_ready_bench [--runs N] [--rates I,I...] "
                             "[--log FILE] [--sim PATH]\n");
        return 2;
    }
    DebugFileSink sink(options.log);
    int failures = 0;
    for (const int baudIndex : options.rates) {
        const int rate = baudRateForIndex(baudIndex);
        std::printf("start to ready face at %d bit/s (baud index %d), %d runs\n", rate, baudIndex,
                    options.runs);
        std::vector<Sample> ready, firstPoll;
        for (int run = 1; run <= options.runs; ++run) {
            ConsoleRig rig(options.simulator);
            ConsoleRig::Options rigOptions;
            rigOptions.baudIndex = baudIndex;
            // A modem that has been on for a while: SIM registered and APN up from the start.
            rigOptions.simulatorArguments = {"--quiet", "--register-ms", "0", "--apn-ms", "0"};
            if (!rig.start(rigOptions)) {
                std::fprintf(stderr, "cannot start the simulator: %s\n", rig.error().c_str());
                return 1;
            }
            const bool reached =
                rig.waitReady(kMomentTimeoutMs) && rig.waitFirstPoll(kMomentTimeoutMs);
            rig.stop();
            if (!reached) {
                std::printf("run %d: the modem did not become ready (DeviceReady %d, status "
                            "\"%s\")\n",
                            run, rig.deviceReady(), rig.panel().text(ids::Status).c_str());
                ++failures;
                continue;
            }
            if (rig.rateFound() != baudIndex)
                std::printf("run %d: answered at baud index %d, not at the held one\n", run,
                            rig.rateFound());
            std::printf("run %d: panel \"%s\", \"%s\"\n", run, rig.panel().text(ids::Line0).c_str(),
                        rig.panel().text(ids::Firmware).c_str());
            ready.push_back(sampleOf(rig.ready(), baudIndex));
            firstPoll.push_back(sampleOf(rig.firstPoll(), baudIndex));
            printSample("ready", ready.back(), rate);
            printSample("first poll", firstPoll.back(), rate);
        }
        if (!ready.empty()) {
            summary("ready", ready);
            summary("first poll", firstPoll);
        }
        std::printf("\n");
    }
    return failures == 0 ? 0 : 1;
}
