// profile_bench [--runs N] [--modems M]
//
// profile apply against tessadorn-sim at 115200 bit/s:
// - on a modem that already matches (in this process, behind a port that counts the traffic):
//   the time over the protocol floor of the reads it needs, 300 ms after every command written
//   plus the bytes read at the line rate (goal <= 1.10);
// - with three settings that differ (automatic connection, the manual position, the caster's
//   mountpoint), alternating between two profiles: the time over the floor of all the traffic,
//   and how much of it the three commands and their read-back are;
// - the fleet script (scripts/apply-profile-fleet.sh, the tessadornctl program) on M simulated
//   modems (default 50) at once, half of them differing: its check must find that half (exit
//   status 5) and its apply change them and leave the others (exit status 0) before the wall
//   time over that of one differing modem (goal <= 1.5), the peak memory of the tessadornctl
//   processes together and the CPU time of the whole run are reported.
#include "CountingSerialPort.h"
#include "DebugFileSink.h"
#include "ProtocolFloor.h"

#include "app/SimulatorProcess.h"
#include "cli/Commands.h"
#include "cli/ProfileModel.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/TermiosSerialPort.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

using namespace tessadorn;
using namespace tessadorn::bench;
namespace fs = std::filesystem;

namespace {

constexpr int kBaud = 4;

cli::Request request(std::vector<std::string> words) {
    cli::Request q;
    q.words = std::move(words);
    q.timeoutSeconds = 60;
    return q;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A profile of a rover: automatic connection, a manual position and a caster's mountpoint.
cli::Value roverProfile(bool autoOn, double latitude, const char* mountpoint) {
    cli::Value doc = cli::Value::object();
    doc.set("tessadorn_profile", cli::Value::num(1))
        .set("auto_connect", cli::Value::boolean(autoOn))
        .set("gps", cli::Value::object()
                        .set("latitude", cli::Value::num(latitude))
                        .set("longitude", cli::Value::num(2.25)))
        .set("caster", cli::Value::object()
                           .set("host", cli::Value::str("caster.example.com"))
                           .set("port", cli::Value::str("2101"))
                           .set("mountpoint", cli::Value::str(mountpoint))
                           .set("auth", cli::Value::boolean(false)));
    return doc;
}

// The sum of the resident memory of every process called `name`, in kB.
long residentKb(const std::string& name) {
    long total = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream comm(entry.path() / "comm");
        std::string command;
        if (!(comm >> command) || command != name) continue;
        std::ifstream status(entry.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) total += std::atol(line.c_str() + 6);
    }
    return total;
}

struct Fleet {
    std::vector<std::unique_ptr<SimulatorProcess>> modems;
    std::vector<std::string> links;
};

// What the fleet script said: its exit status and its lines by their state.
struct FleetLines {
    int status = -1;
    int changed = 0, unchanged = 0, differs = 0, failed = 0;
};

FleetLines readLines(const std::string& file, int status) {
    FleetLines r;
    r.status = status;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.find("  changed") != std::string::npos)
            ++r.changed;
        else if (line.find("  unchanged") != std::string::npos)
            ++r.unchanged;
        else if (line.find("  differs") != std::string::npos)
            ++r.differs;
        else
            ++r.failed;
    }
    return r;
}

// Runs the fleet script on `links`; its wall time, or -1 when a modem is not reported.
double runScript(const std::vector<std::string>& links, const std::string& profile,
                 const std::string& state, bool check, long& peakKb, double& cpuSeconds,
                 FleetLines* said = nullptr) {
    std::string command = "CHECK=" + std::string(check ? "1" : "0") +
                          " PARALLEL=" + std::to_string(links.size()) + " FLEET_STATE=" + state +
                          " TESSADORNCTL=" + TESSADORN_CTL_EXECUTABLE + " sh " +
                          TESSADORN_FLEET_SCRIPT + " " + profile;
    for (const auto& link : links)
        command += " " + link;
    command += " >" + state + "/lines";
    std::atomic<bool> running{true};
    peakKb = 0;
    std::thread sampler([&] {
        while (running) {
            peakKb = std::max(peakKb, residentKb("tessadornctl"));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double wall = secondsSince(start);
    getrusage(RUSAGE_CHILDREN, &after);
    running = false;
    sampler.join();
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    cpuSeconds = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                 seconds(before.ru_stime);
    const FleetLines lines =
        readLines(state + "/lines", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    if (said) *said = lines;
    const int reported = lines.changed + lines.unchanged + lines.differs + lines.failed;
    return reported == static_cast<int>(links.size()) ? wall : -1;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5, modems = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        if (a == "--modems") modems = std::max(2, std::atoi(argv[i + 1]));
    }
    DebugFileSink sink("/dev/null");
    char folder[] = "/tmp/profile_bench.XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string dir = folder;

    // ---- In this process: a matching modem, then three settings that differ ----
    SimulatorProcess simulator;
    if (!simulator.start(
            TESSADORN_SIM_EXECUTABLE,
            {"--quiet", "--baud", std::to_string(kBaud), "--connect-ms", "0", "--gps", "UNKNOWN"},
            5000, "/dev/null")) {
        std::fprintf(stderr, "cannot start the simulator: %s\n", simulator.error().c_str());
        return 1;
    }
    TermiosSerialPort termios(simulator.ptyPath());
    CountingSerialPort port(termios);
    cli::Value document;
    cli::Environment env;
    env.port = &port;
    env.clock = &RealClock::instance();
    env.portName = simulator.ptyPath();
    env.casterListPath = dir + "/ntripcfg.txt";
    env.profilePath = dir + "/tessadorn.cfg";
    env.writer = &AtomicFile::standard();
    // The file's JSON is read by the program's start-up (Qt); here the document is handed over.
    env.parseJson = [&](const std::string&, std::string&) { return std::optional(document); };
    env.formatJson = [](const cli::Value&) { return std::string("{}"); };
    const std::string file = dir + "/profile.json";
    std::ofstream(file) << "{}";

    int failures = 0;
    const auto apply = [&](const cli::Value& doc, double& seconds, ProtocolFloor& floor,
                           CountingSerialPort::Counts& counts) {
        document = doc;
        const auto before = port.counts();
        const auto start = std::chrono::steady_clock::now();
        const cli::Result r = cli::run(request({"profile", "apply", file}), env);
        seconds = secondsSince(start);
        counts = port.counts() - before;
        floor = ProtocolFloor::of(counts, kBaud);
        if (r.status != cli::kDone) {
            std::printf("apply: status %d (%s)\n", r.status,
                        r.messages.empty() ? "" : r.messages.back().c_str());
            ++failures;
        }
        return r.data.get("changed") && r.data.get("changed")->flag;
    };
    double seconds = 0;
    ProtocolFloor floor;
    CountingSerialPort::Counts counts;
    const cli::Value a = roverProfile(true, 41.5, "DEMO01");
    const cli::Value b = roverProfile(false, 41.25, "DEMOMSM");
    apply(a, seconds, floor, counts); // finds the modem, keeps its rate, takes profile a
    std::printf("profile apply at %d bit/s, %d runs each\n", baudRateForIndex(kBaud), runs);

    std::vector<double> ratios;
    for (int run = 0; run < runs && failures == 0; ++run) {
        const bool changed = apply(a, seconds, floor, counts);
        std::printf("  matching   %.3f s  floor %.3f s (%lld writes, %lld bytes)  ratio %.3f%s\n",
                    seconds, floor.seconds(), static_cast<long long>(counts.writes),
                    static_cast<long long>(counts.bytesRead), seconds / floor.seconds(),
                    changed ? "  CHANGED" : "");
        ratios.push_back(seconds / floor.seconds());
    }
    if (!ratios.empty())
        std::printf("matching   ratio median %.3f (goal <= 1.10: %s)\n\n", median(ratios),
                    median(ratios) <= 1.10 ? "met" : "MISSED");
    const ProtocolFloor readsFloor = floor;
    const auto readWrites = counts.writes;

    ratios.clear();
    for (int run = 0; run < runs && failures == 0; ++run) {
        const bool changed = apply(run % 2 ? a : b, seconds, floor, counts);
        // The three commands and the read-back: the traffic beyond a matching apply's reads.
        const double commandsFloor = floor.seconds() - readsFloor.seconds();
        // The position source and the caster connection each empty the line first, and a
        // quiet line ends that after one read timeout.
        const double drains = 2 * SerialPort::kReadTimeoutMs / 1000.0;
        const double total = floor.seconds() + drains;
        std::printf("  3 changed  %.3f s  floor %.3f s (%lld writes, %lld beyond the reads: "
                    "%.3f s; + 2 drains x %d ms)  ratio %.3f%s\n",
                    seconds, total, static_cast<long long>(counts.writes),
                    static_cast<long long>(counts.writes - readWrites), commandsFloor,
                    SerialPort::kReadTimeoutMs, seconds / total, changed ? "" : "  NOT CHANGED");
        ratios.push_back(seconds / total);
    }
    if (!ratios.empty())
        std::printf("3 changed  ratio median %.3f (goal <= 1.10: %s)\n\n", median(ratios),
                    median(ratios) <= 1.10 ? "met" : "MISSED");
    simulator.stop();

    // ---- The fleet script on many modems at once ----
    Fleet fleet;
    for (int i = 0; i < modems; ++i) {
        auto sim = std::make_unique<SimulatorProcess>();
        const std::string link = dir + "/modem" + std::to_string(i);
        // Half of them with automatic connection off: the profile turns it on.
        if (!sim->start(TESSADORN_SIM_EXECUTABLE,
                        {"--quiet", "--baud", std::to_string(kBaud), "--gps", "UNKNOWN", "--auto",
                         i % 2 ? "0" : "1", "--link", link},
                        5000, "/dev/null")) {
            std::fprintf(stderr, "cannot start simulator %d: %s\n", i, sim->error().c_str());
            return 1;
        }
        fleet.modems.push_back(std::move(sim));
        fleet.links.push_back(link);
    }
    const std::string fleetProfile = dir + "/fleet.json";
    std::ofstream(fleetProfile) << "{\"tessadorn_profile\": 1, \"auto_connect\": true}\n";
    fs::create_directories(dir + "/one");
    fs::create_directories(dir + "/all");
    long peakKb = 0;
    double cpu = 0;
    // A first look (--check) finds every modem and keeps its rate, as a second run would; it
    // must find the half that differs, and end with the status for drift.
    FleetLines looked, applied;
    runScript({fleet.links[1]}, fleetProfile, dir + "/one", true, peakKb, cpu);
    runScript(fleet.links, fleetProfile, dir + "/all", true, peakKb, cpu, &looked);
    const int differing = modems / 2;
    const bool lookedRight = looked.status == 5 && looked.differs == differing &&
                             looked.unchanged == modems - differing && looked.failed == 0;
    std::printf("fleet script --check on %d modems: %d differ, %d unchanged, %d failed, exit "
                "status %d (set up: %d differ, status 5)%s\n",
                modems, looked.differs, looked.unchanged, looked.failed, looked.status, differing,
                lookedRight ? "" : "  WRONG");
    const double one = runScript({fleet.links[1]}, fleetProfile, dir + "/one", false, peakKb, cpu);
    std::printf("fleet script, one differing modem: %.3f s, peak %ld kB, CPU %.2f s\n", one, peakKb,
                cpu);
    // The one modem is set now; the others still half differ.
    std::vector<std::string> rest(fleet.links.begin(), fleet.links.end());
    const double all = runScript(rest, fleetProfile, dir + "/all", false, peakKb, cpu, &applied);
    // The work timed must have been done right before its time means anything: every differing
    // modem but the one set before changed, every other one unchanged, none failed.
    const bool appliedRight = all >= 0 && applied.status == 0 && applied.changed == differing - 1 &&
                              applied.unchanged == modems - differing + 1 && applied.failed == 0;
    std::printf("fleet script, %d modems at once: %s%.3f s (%d changed, %d unchanged, %d failed; "
                "set up: %d changed, %d unchanged)",
                modems, all < 0 ? "NOT EVERY MODEM REPORTED, " : "", all, applied.changed,
                applied.unchanged, applied.failed, differing - 1, modems - differing + 1);
    if (appliedRight && lookedRight)
        std::printf(", %.2fx one modem (goal <= 1.5: %s); peak %ld kB for the tessadornctl "
                    "processes together; CPU %.2f s (%.2f s a modem)\n",
                    all / one, all / one <= 1.5 ? "met" : "MISSED", peakKb, cpu, cpu / modems);
    else
        std::printf(": NOT DONE RIGHT, no ratio\n");
    if (!appliedRight || !lookedRight) ++failures;
    for (auto& sim : fleet.modems)
        sim->stop();
    fs::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
