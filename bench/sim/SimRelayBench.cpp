// sim_relay_bench [TABLE]: relays a source table (igs-ip.txt by default) through tessadorn-sim on
// a pseudo-terminal at 115200 bit/s, read one byte per read call as the program scans it, and
// prints the elapsed time as a ratio to the line-rate floor (bytes x 10 / 115200 s) and the CPU
// time of the reading thread.

#include "app/SimulatorProcess.h"
#include "link/SerialChannel.h"
#include "link/Transactions.h"
#include "modem/Protocol.h"
#include "platform/TermiosSerialPort.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace tessadorn;
namespace p = tessadorn::protocol;

namespace {

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    const std::string table = argc > 1 ? argv[1] : std::string(TESSADORN_TEST_DATA) + "/igs-ip.txt";
    const auto tableBytes = std::filesystem::file_size(table);
    SimulatorProcess simulator;
    if (!simulator.start(TESSADORN_SIM_EXECUTABLE,
                         {"--quiet", "--baud", "4", "--table-delay-ms", "600", "--table",
                          "bench.example.net=" + table},
                         5000)) {
        std::fprintf(stderr, "cannot start the simulator: %s\n", simulator.error().c_str());
        return 1;
    }
    TermiosSerialPort port(simulator.ptyPath());
    SerialChannel serial(port, RealClock::instance());
    if (serial.Open(4) != 1) {
        std::fprintf(stderr, "cannot open %s\n", simulator.ptyPath().c_str());
        return 1;
    }
    std::atomic<int> reading{0};
    Transactions tx(serial, reading);
    if (tx.SendWaitEither(p::list(1, "bench.example.net", "2101", "", ""), p::kTokCmdOk,
                          p::kTokCmdError, 1, 512) != 1) {
        std::fprintf(stderr, "the LIST command was not accepted\n");
        return 1;
    }

    // "CMD_OK" ends with CR LF; the caster's table follows 600 ms after the command, so none
    // of it waits in the terminal's buffer when the clock starts at its first byte.
    std::uint8_t b = 0;
    for (int i = 0; i < 2; ++i) {
        if (serial.ReadBlock(&b, 1) != 1) {
            std::fprintf(stderr, "no line end after CMD_OK\n");
            return 1;
        }
    }
    const std::string end = std::string(p::kTokEndSourceTable) + "\r\n";
    std::string got;
    got.reserve(tableBytes + 64);
    if (serial.ReadBlock(&b, 1) != 1) {
        std::fprintf(stderr, "nothing relayed\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    got.push_back(static_cast<char>(b));
    while (serial.ReadBlock(&b, 1) == 1) {
        got.push_back(static_cast<char>(b));
        if (got.size() >= end.size() && got.compare(got.size() - end.size(), end.size(), end) == 0)
            break;
    }
    const double cpu = threadCpuSeconds() - cpuStart;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::ifstream in(table, std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    const bool complete = got == expected && got.size() == tableBytes;
    // Timed from the arrival of the first byte: the others take the line's time.
    const double bytes = static_cast<double>(got.size() - 1);
    const double floor = bytes * 10.0 / 115200.0;
    std::printf("relayed        %zu bytes of %s (%s)\n", got.size(),
                std::filesystem::path(table).filename().c_str(),
                complete ? "complete" : "INCOMPLETE");
    std::printf("elapsed        %.3f s\n", elapsed);
    std::printf("line floor     %.3f s (bytes x 10 / 115200)\n", floor);
    std::printf("ratio          %.4f (goal <= 1.05)\n", elapsed / floor);
    std::printf("reader CPU     %.3f s = %.2f %% of one core (goal < 5 %%)\n", cpu,
                100.0 * cpu / elapsed);
    return complete ? 0 : 1;
}
