#include "app/ProgramOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace tessadorn {

namespace {

const char* const kWithValue[] = {"--port", "--config-dir", "--screenshot", "--screenshot-wait",
                                  "--render-dialogs"};
const char* const kFlags[] = {"--simulate", "--debug", "--list-ports", "--help", "-h", "--version"};

bool takesValue(const std::string& arg) {
    return std::find(std::begin(kWithValue), std::end(kWithValue), arg) != std::end(kWithValue);
}

} // namespace

bool ProgramOptions::isProgramOption(const std::string& arg) {
    return takesValue(arg) ||
           std::find(std::begin(kFlags), std::end(kFlags), arg) != std::end(kFlags);
}

std::string ProgramOptions::usage() {
    return "Usage: tessadorn [OPTION...]\n"
           "Configures and controls the Tessadorn cellular NTRIP modem over a serial line.\n"
           "\n"
           "  --port PATH              the modem's serial device; by default the USB serial\n"
           "                           adapter under /dev/serial/by-id when there is exactly\n"
           "                           one, else /dev/ttyS0\n"
           "  --list-ports             print the serial devices found, with their by-id names\n"
           "  --simulate [SIMOPTION...]  run on the simulated modem (tessadorn-sim on a\n"
           "                           pseudo-terminal); the options up to the next option of\n"
           "                           tessadorn go to the simulator (see tessadorn-sim --help)\n"
           "  --config-dir DIR         keep the caster list (ntripcfg.txt) and the device\n"
           "                           profile (tessadorn.cfg) in DIR; by default beside the\n"
           "                           executable when one of them is there, else in\n"
           "                           ~/.config/tessadorn\n"
           "  --debug                  write the debug output (every command) to stderr too;\n"
           "                           it always goes to ~/.local/state/tessadorn/tessadorn.log\n"
           "  --screenshot FILE        without a display: write the screen as PNG once the\n"
           "                           main dialog is up and again once the modem is ready or\n"
           "                           the time is up, then end\n"
           "  --screenshot-wait SECONDS  the time for --screenshot (default 20)\n"
           "  --render-dialogs DIR     without a display: write every dialog as DIR/NNN.png\n"
           "  -h, --help               show this help and exit\n"
           "  --version                show the version and exit\n"
           "\n"
           "Exit status: 0 when the program ended normally, 1 when the serial port could not\n"
           "be opened or the simulated modem did not start, 2 for a wrong command line.\n";
}

ProgramOptions ProgramOptions::parse(const std::vector<std::string>& args) {
    ProgramOptions o;
    auto fail = [&o](std::string text) {
        if (o.action == Action::Run) {
            o.action = Action::Error;
            o.error = std::move(text);
        }
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h" || a == "--version") {
            ProgramOptions only;
            only.action = a == "--version" ? Action::Version : Action::Help;
            return only;
        }
        if (a == "--list-ports") {
            o.action = Action::ListPorts;
            continue;
        }
        if (a == "--simulate") {
            o.simulate = true;
            while (i + 1 < args.size() && !isProgramOption(args[i + 1]))
                o.simulatorArgs.push_back(args[++i]);
            continue;
        }
        if (a == "--debug") {
            o.debug = true;
            continue;
        }
        if (!takesValue(a)) {
            fail("unknown option " + a);
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty() || isProgramOption(args[i + 1])) {
            fail(a + " needs a value");
            continue;
        }
        const std::string& v = args[++i];
        if (a == "--port") {
            o.port = v;
        } else if (a == "--config-dir") {
            o.configDir = v;
        } else if (a == "--screenshot") {
            o.screenshot = v;
        } else if (a == "--screenshot-wait") {
            char* end = nullptr;
            errno = 0;
            const long seconds = std::strtol(v.c_str(), &end, 10);
            if (errno != 0 || *end != '\0' || seconds < 1 || seconds > 3600)
                fail("--screenshot-wait needs a number of seconds from 1 to 3600, not " + v);
            else
                o.screenshotWaitSeconds = static_cast<int>(seconds);
        } else if (a == "--render-dialogs") {
            o.renderDir = v;
        }
    }
    return o;
}

} // namespace tessadorn
