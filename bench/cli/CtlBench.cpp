// ctl_bench [--runs N] [--baud I] [--table FILE] [--sim PATH]
//
// tessadornctl's commands as the program runs them (cli::run), in this process, against a fresh
// tessadorn-sim on a pseudo-terminal at baud index I (default 4, 115200 bit/s), behind a port
// that counts the writes and the bytes read. A first status finds the modem and keeps its rate;
// the timed runs start at that held rate, as a user's second command does.
//
// - status: the search at the held rate, the start's reads and one poll, against the protocol
//   floor: 300 ms after every command written plus the bytes read at the line rate (goal <= 1.10).
// - mountpoints: the same start, "#SIGNAL OFF" and the source table (igs-ip.txt by default),
//   against the line-rate floor: the same sum plus the 1000 ms pause after the table, which
//   the modem needs to close its caster connection (goal <= 1.05).
#include "CountingSerialPort.h"
#include "DebugFileSink.h"
#include "ProtocolFloor.h"

#include "app/SimulatorProcess.h"
#include "cli/Commands.h"
#include "modem/SourceTableRequest.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/TermiosSerialPort.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace tessadorn;
using namespace tessadorn::bench;

namespace {

struct Options {
    int runs = 5;
    int baudIndex = 4;
    std::string table = std::string(TESSADORN_TEST_DATA) + "/igs-ip.txt";
    std::string simulator = TESSADORN_SIM_EXECUTABLE;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return false;
        const std::string v = argv[++i];
        if (a == "--runs")
            o.runs = std::max(1, std::atoi(v.c_str()));
        else if (a == "--baud")
            o.baudIndex = std::clamp(std::atoi(v.c_str()), 0, 4);
        else if (a == "--table")
            o.table = v;
        else if (a == "--sim")
            o.simulator = v;
        else
            return false;
    }
    return true;
}

cli::Request request(std::vector<std::string> words) {
    cli::Request q;
    q.words = std::move(words);
    q.timeoutSeconds = 60;
    return q;
}

struct Bench {
    cli::Environment& env;
    CountingSerialPort& port;
    int baudIndex;

    // One timed command; false when it did not end with status 0.
    bool measure(const std::vector<std::string>& words, double fixedSeconds, double goal,
                 int runs) {
        std::vector<double> ratios, elapsed;
        for (int run = 1; run <= runs; ++run) {
            const auto before = port.counts();
            const auto start = std::chrono::steady_clock::now();
            const cli::Result r = cli::run(request(words), env);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (r.status != cli::kDone) {
                std::printf("%s: status %d (%s)\n", words[0].c_str(), r.status,
                            r.messages.empty() ? "" : r.messages.back().c_str());
                return false;
            }
            const auto counts = port.counts() - before;
            const ProtocolFloor floor = ProtocolFloor::of(counts, baudIndex);
            const double total = floor.seconds() + fixedSeconds;
            std::printf("  %-12s %.3f s  floor %.3f s (%lld writes x 300 ms + %lld bytes x 10 / "
                        "%d = %.3f s + %.3f s fixed)  ratio %.3f\n",
                        words[0].c_str(), seconds, total, static_cast<long long>(counts.writes),
                        static_cast<long long>(counts.bytesRead), baudRateForIndex(baudIndex),
                        floor.lineSeconds, fixedSeconds, seconds / total);
            elapsed.push_back(seconds);
            ratios.push_back(seconds / total);
        }
        std::printf(
            "%-12s elapsed median %.3f s; ratio min %.3f median %.3f (goal <= %.2f: %s)\n\n",
            words[0].c_str(), median(elapsed), *std::min_element(ratios.begin(), ratios.end()),
            median(ratios), goal, median(ratios) <= goal ? "met" : "MISSED");
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: ctl_bench [--runs N] [--baud I] [--table FILE] [--sim PATH]\n");
        return 2;
    }
    DebugFileSink sink("/dev/null");
    SimulatorProcess simulator;
    if (!simulator.start(options.simulator,
                         {"--quiet", "--baud", std::to_string(options.baudIndex), "--register-ms",
                          "0", "--apn-ms", "0", "--table-delay-ms", "300", "--table",
                          "bench.example.net=" + options.table},
                         5000, "/dev/null")) {
        std::fprintf(stderr, "cannot start the simulator: %s\n", simulator.error().c_str());
        return 1;
    }
    char folder[] = "/tmp/ctl_bench.XXXXXX";
    if (!mkdtemp(folder)) return 1;
    TermiosSerialPort termios(simulator.ptyPath());
    CountingSerialPort port(termios);
    cli::Environment env;
    env.port = &port;
    env.clock = &RealClock::instance();
    env.portName = simulator.ptyPath();
    env.casterListPath = std::string(folder) + "/ntripcfg.txt";
    env.profilePath = std::string(folder) + "/tessadorn.cfg";
    env.writer = &AtomicFile::standard();

    int failures = 0;
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"caster", "add", "Bench", "bench.example.net", "2101"},
             {"caster", "use", "Bench"},
             {"status"}}) { // finds the modem and keeps its rate
        const cli::Result r = cli::run(request(words), env);
        if (r.status != cli::kDone) {
            std::printf("%s: status %d (%s)\n", words[0].c_str(), r.status,
                        r.messages.empty() ? "" : r.messages.back().c_str());
            ++failures;
        }
    }
    std::printf("tessadornctl at the held rate %d bit/s (baud index %d), %d runs each\n",
                baudRateForIndex(options.baudIndex), options.baudIndex, options.runs);
    Bench bench{env, port, options.baudIndex};
    if (failures == 0 && !bench.measure({"status"}, 0, 1.10, options.runs)) ++failures;
    if (failures == 0 && !bench.measure({"mountpoints"}, SourceTableRequest::kClosePauseMs / 1000.0,
                                        1.05, options.runs))
        ++failures;
    simulator.stop();
    std::filesystem::remove_all(folder);
    return failures == 0 ? 0 : 1;
}
