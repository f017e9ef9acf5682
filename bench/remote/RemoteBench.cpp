// remote_bench [--rows N]: the modem behind ser2net (RFC 2217) on 127.0.0.1, against the same
// simulated modem on its local pseudo-terminal.
//
// 1. The search for a modem at 57600 bit/s, starting at 38400 (the default held rate): over the
//    local pty, over ser2net, and over ser2net behind a forwarder that holds each direction
//    300 ms (a 600 ms round trip). Goal: ser2net within 1.5 x local + one round trip per rate
//    tried; the slow link still finds the modem. Each run checks the rate it found.
// 2. A table of N rows (10 000 by default) relayed at 115200 bit/s over ser2net, read through the
//    channel as the program reads it: elapsed time over the line floor (bytes x 10 / 115200;
//    goal <= 1.05), the table compared byte for byte with what the modem sent.

#include "Ser2netRig.h"
#include "app/SimulatorProcess.h"
#include "link/SerialChannel.h"
#include "link/Transactions.h"
#include "modem/ModemSearch.h"
#include "modem/ModemSession.h"
#include "modem/Protocol.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/RemoteSerialPort.h"
#include "platform/TermiosSerialPort.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

using namespace tessadorn;
namespace p = tessadorn::protocol;
using Steady = std::chrono::steady_clock;

namespace {

double since(Steady::time_point t0) {
    return std::chrono::duration<double>(Steady::now() - t0).count();
}

struct SearchRun {
    double seconds = 0;
    int foundIndex = -1;
    int roundTripMs = 0;
};

// Opens the port at 38400 and runs the program's search until the modem answers.
SearchRun search(SerialPort& port, const std::string& folder) {
    ModemSession session(port, RealClock::instance(), folder + "/tessadorn.cfg",
                         AtomicFile::standard());
    session.holdRate(kBaud38400);
    SearchRun run;
    const auto t0 = Steady::now();
    if (!session.serial().Open(session.baudIndex())) return run;
    int rounds = 0;
    const auto going = [&] { return since(t0) < 120; };
    ModemSearch finder(session,
                       {[](std::string_view) {}, going, [&] { return ++rounds < 2 && going(); }});
    if (finder.find()) run.foundIndex = session.baudIndex();
    run.seconds = since(t0);
    run.roundTripMs = port.roundTripMs();
    session.serial().Close();
    return run;
}

std::string generateRemoteTable(int rows) {
    std::string t = "SOURCETABLE 200 OK\r\nServer: Bench/1.0\r\n\r\n";
    for (int i = 0; i < rows; ++i)
        t += "STR;MP" + std::to_string(100000 + i) + ";Reference station " + std::to_string(i) +
             " (roof);RTCM 3.2;1004(1),1005(10),1012(1);2;GPS+GLO+GAL;EUREF;DEU;" +
             std::to_string(36 + (i * 37) % 34) + "." + std::to_string(i % 97) + ";" +
             std::to_string(-9 + (i * 13) % 40) + "." + std::to_string(i % 89) +
             ";0;0;sNTRIP;none;B;N;9600;\r\n";
    return t + "ENDSOURCETABLE\r\n";
}

// The table through ser2net: 0 when it came whole within the goal's reach of the floor.
int tableOverSer2net(int rows, const std::string& folder) {
    const std::string table = folder + "/table.txt";
    const std::string text = generateRemoteTable(rows);
    std::ofstream(table, std::ios::binary) << text;
    const std::string link = folder + "/table-pty";
    SimulatorProcess simulator;
    if (!simulator.start(TESSADORN_SIM_EXECUTABLE,
                         {"--quiet", "--baud", "4", "--table-delay-ms", "600", "--table",
                          "bench.example.net=" + table, "--link", link},
                         5000)) {
        std::fprintf(stderr, "cannot start the simulator: %s\n", simulator.error().c_str());
        return 1;
    }
    test::Ser2net ser2net(folder, link);
    if (!ser2net.start()) {
        std::fprintf(stderr, "ser2net did not start (is it installed?)\n");
        return 1;
    }
    RemoteSerialPort port({RemotePortAddress::Kind::Rfc2217, "127.0.0.1", ser2net.port()});
    SerialChannel serial(port, RealClock::instance());
    if (serial.Open(kBaud115200) != 1) {
        std::fprintf(stderr, "cannot open %s: %s\n", ser2net.address().c_str(),
                     port.openFailure().c_str());
        return 1;
    }
    std::atomic<int> reading{0};
    Transactions tx(serial, reading);
    if (tx.SendWaitEither(p::list(1, "bench.example.net", "2101", "", ""), p::kTokCmdOk,
                          p::kTokCmdError, 1, 512) != 1) {
        std::fprintf(stderr, "the LIST command was not accepted\n");
        return 1;
    }
    std::uint8_t b = 0;
    for (int i = 0; i < 2; ++i)
        if (serial.ReadBlock(&b, 1) != 1) return 1; // CMD_OK's line end
    const std::string end = std::string(p::kTokEndSourceTable) + "\r\n";
    std::string got;
    got.reserve(text.size() + 64);
    if (serial.ReadBlock(&b, 1) != 1) {
        std::fprintf(stderr, "nothing relayed\n");
        return 1;
    }
    // From the first byte: the others take the line's time.
    const auto t0 = Steady::now();
    got.push_back(static_cast<char>(b));
    while (serial.ReadBlock(&b, 1) == 1) {
        got.push_back(static_cast<char>(b));
        if (got.size() >= end.size() && got.compare(got.size() - end.size(), end.size(), end) == 0)
            break;
    }
    const double elapsed = since(t0);
    const bool whole = got == text;
    const double floor = static_cast<double>(got.size() - 1) * 10.0 / 115200.0;
    std::printf("\ntable over ser2net at 115200 bit/s\n");
    std::printf("  relayed      %zu bytes, %d rows (%s)\n", got.size(), rows,
                whole ? "whole" : "NOT WHOLE");
    std::printf("  elapsed      %.3f s, line floor %.3f s\n", elapsed, floor);
    std::printf("  ratio        %.4f (goal <= 1.05)\n", elapsed / floor);
    return whole && elapsed / floor <= 1.05 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    int rows = 10000;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--rows" && i + 1 < argc) rows = std::stoi(argv[++i]);
    setDebugSink([](std::string_view) {});
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("remote-bench-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(folder);
    int failures = 0;
    {
        const std::string link = folder + "/pty";
        SimulatorProcess simulator;
        if (!simulator.start(TESSADORN_SIM_EXECUTABLE, {"--quiet", "--baud", "3", "--link", link},
                             5000)) {
            std::fprintf(stderr, "cannot start the simulator: %s\n", simulator.error().c_str());
            return 1;
        }
        TermiosSerialPort local(simulator.ptyPath());
        const SearchRun l = search(local, folder);
        test::Ser2net ser2net(folder, link);
        if (!ser2net.start()) {
            std::fprintf(stderr, "ser2net did not start (is it installed?)\n");
            return 1;
        }
        RemoteSerialPort remote({RemotePortAddress::Kind::Rfc2217, "127.0.0.1", ser2net.port()});
        const SearchRun r = search(remote, folder);
        test::DelayingForwarder slowLink(ser2net.port(), 300);
        RemoteSerialPort slow({RemotePortAddress::Kind::Rfc2217, "127.0.0.1", slowLink.port()});
        const SearchRun s = search(slow, folder);

        // The held rate and the four of the scan up to 57600.
        constexpr int kRatesTried = 5;
        const double goal = 1.5 * l.seconds + kRatesTried * r.roundTripMs / 1000.0;
        std::printf("search for a modem at 57600, from 38400, then 9600 onwards\n");
        const auto line = [](const char* what, const SearchRun& run) {
            std::printf("  %-22s %7.3f s, found at %s, round trip %d ms\n", what, run.seconds,
                        run.foundIndex >= 0
                            ? std::to_string(baudRateForIndex(run.foundIndex)).c_str()
                            : "NOTHING",
                        run.roundTripMs);
        };
        line("local pty", l);
        line("ser2net", r);
        line("ser2net, 600 ms trip", s);
        std::printf("  ser2net / (1.5 x local + %d round trips) = %.3f (goal <= 1)\n", kRatesTried,
                    r.seconds / goal);
        std::printf("  600 ms trip / local = %.3f (goal: found)\n", s.seconds / l.seconds);
        const bool right =
            l.foundIndex == kBaud57600 && r.foundIndex == kBaud57600 && s.foundIndex == kBaud57600;
        if (!right) std::printf("  WRONG: a search did not find the modem at 57600\n");
        failures += right && r.seconds <= goal ? 0 : 1;
    }
    failures += tableOverSer2net(rows, folder);
    std::filesystem::remove_all(folder);
    return failures == 0 ? 0 : 1;
}
