#pragma once

#include <string>
#include <vector>

namespace tessadorn {

// The command line of tessadorn.
struct ProgramOptions {
    enum class Action { Run, Help, Version, ListPorts, UdevRule, Error };

    Action action = Action::Run;
    std::string error; // for Action::Error: what was wrong, one line

    std::string port; // empty: the default port
    bool simulate = false;
    std::vector<std::string> simulatorArgs;
    std::string configDir;
    bool debug = false;
    std::string screenshot;
    int screenshotWaitSeconds = 20;
    std::string renderDir;

    // `args` without the program name. --help, --version and --list-ports win over the rest.
    static ProgramOptions parse(const std::vector<std::string>& args);
    // Whether `arg` is an option of tessadorn (it ends the simulator's options after --simulate).
    static bool isProgramOption(const std::string& arg);
    // The text of --help.
    static std::string usage();
};

} // namespace tessadorn
