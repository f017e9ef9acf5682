// tessadorn-sim: the Tessadorn modem on a pseudo-terminal.
//
// Prints the path of the pseudo-terminal as its first line on stdout, then serves the modem on it
// until SIGINT or SIGTERM. Every command the modem receives is written to stderr.

#include "PtyRunner.h"
#include "SimModem.h"
#include "SimSettings.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramInfo.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::atomic<bool> g_Stop{false};

void onSignal(int) {
    g_Stop = true;
}

void usage(FILE* out) {
    std::fprintf(out, "%s",
                 "usage: tessadorn-sim [options]\n"
                 "  --link PATH          keep a symbolic link PATH to the pseudo-terminal\n"
                 "  --settings FILE      read key = value settings from FILE\n"
                 "  --network            fetch tables and connect to casters over the network\n"
                 "  --no-pacing          send at once instead of at the line rate\n"
                 "  --quiet              do not log the received commands\n"
                 "  --exit-with-parent   end when the process that started it ends\n"
                 "  --help, --version    show this help or the version and exit\n"
                 "  --KEY VALUE, --KEY=VALUE   any setting, for example:\n"
                 "      --role base|rover  --baud 0..4  --serial SN  --firmware VERSION\n"
                 "      --gps KV-318|TRIMBLE|WAVECOM|UNKNOWN|TOPCON  --table HOST[:PORT]=FILE\n"
                 "      --default-table FILE  --unreachable HOST[:PORT]  --caster-login U:P\n"
                 "      --sim N  --signal -1..4  --apn-ready 0|1  --event MS:KEY=VALUE\n"
                 "      --silent 1  --garbage TEXT  --refuse COMMAND  --byte-delay-ms N\n"
                 "      --restart-at-ms N  --drop-at-ms N  --drop-after-commands N\n"
                 "      --engine-baud 0..4  --otap success|fail|error|silent\n"
                 "  --scenario NAME      one of:\n");
    std::fprintf(out, "%s", tessadorn::sim::scenarioNames().c_str());
}

// The command as text that fits one log line.
std::string printable(const std::string& bytes) {
    std::string s;
    for (unsigned char c : bytes) {
        if (c == '\r')
            s += "\\r";
        else if (c == '\n')
            s += "\\n";
        else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            s += hex;
        } else
            s += static_cast<char>(c);
    }
    return s;
}

// The demo table: beside the executable (the build folder), in the installed data folder
// (<prefix>/share/tessadorn beside <prefix>/bin), else in the source tree it was built from.
std::string demoTable(const char* argv0) {
    std::filesystem::path exe = tessadorn::executablePath();
    if (exe.empty()) exe = argv0;
    std::error_code ec;
    for (const auto& candidate :
         {exe.parent_path() / "demo-sourcetable.txt",
          exe.parent_path().parent_path() / "share" / "tessadorn" / "demo-sourcetable.txt",
          std::filesystem::path(TESSADORN_SIM_DATA_DIR) / "demo-sourcetable.txt"}) {
        if (std::filesystem::exists(candidate, ec)) return candidate.string();
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    using namespace tessadorn::sim;
    SimSettings settings;
    settings.defaultTable = demoTable(argv[0]);
    std::string link;
    bool quiet = false;
    bool withParent = false;
    std::string error;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", tessadorn::kSimulatorName, tessadorn::kProgramVersion);
            return 0;
        }
        if (arg.rfind("--", 0) != 0) {
            std::fprintf(stderr, "tessadorn-sim: unexpected argument \"%s\"\n", arg.c_str());
            usage(stderr);
            return 1;
        }
        arg.erase(0, 2);
        if (arg == "network" || arg == "quiet" || arg == "exit-with-parent" || arg == "no-pacing") {
            if (arg == "network") settings.network = true;
            if (arg == "no-pacing") settings.pacing = false;
            if (arg == "quiet") quiet = true;
            if (arg == "exit-with-parent") withParent = true;
            continue;
        }
        std::string key = arg, value;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            key = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            std::fprintf(stderr, "tessadorn-sim: --%s needs a value\n", key.c_str());
            return 1;
        }
        bool ok = true;
        if (key == "link")
            link = value;
        else if (key == "settings")
            ok = loadSettingsFile(value, settings, error);
        else
            ok = applySetting(settings, key, value, error);
        if (!ok) {
            std::fprintf(stderr, "tessadorn-sim: %s\n", error.c_str());
            return 1;
        }
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const std::int64_t dropAtMs = settings.dropAtMs;
    const int dropAfterCommands = settings.dropAfterCommands;
    SimModem modem(settings, 0);
    PtyRunner runner(modem);
    if (!runner.open(error)) {
        std::fprintf(stderr, "tessadorn-sim: %s\n", error.c_str());
        return 2;
    }
    if (!quiet) {
        modem.setCommandListener([](const std::string& command, std::int64_t nowMs) {
            std::fprintf(stderr, "[%7lld.%03lld] <- %s\n", static_cast<long long>(nowMs / 1000),
                         static_cast<long long>(nowMs % 1000), printable(command).c_str());
        });
    }
    if (!link.empty()) {
        std::error_code ec;
        if (std::filesystem::is_symlink(link, ec)) std::filesystem::remove(link, ec);
        std::filesystem::create_symlink(runner.slavePath(), link, ec);
        if (ec) {
            std::fprintf(stderr, "tessadorn-sim: cannot link %s: %s\n", link.c_str(),
                         ec.message().c_str());
            return 2;
        }
    }
    std::printf("%s\n", runner.slavePath().c_str());
    std::fflush(stdout);

    const pid_t parent = getppid();
    const bool dropped =
        runner.run([&] { return g_Stop.load() || (withParent && getppid() != parent); }, dropAtMs,
                   dropAfterCommands);
    if (dropped) std::fprintf(stderr, "tessadorn-sim: link dropped\n");
    if (!link.empty()) {
        std::error_code ec;
        std::filesystem::remove(link, ec);
    }
    return 0;
}
