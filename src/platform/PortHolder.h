#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tessadorn {

// Who holds a serial device, found in the process table (/proc): the processes, other than
// this one, with the device open. The folder is a parameter so that a test can name its own.
class PortHolder {
  public:
    explicit PortHolder(std::string procFolder = "/proc");

    // The processes that have the device `path` open (a link is followed), lowest first.
    std::vector<pid_t> holders(const std::string& path) const;
    // The process's command name ("ModemManager"), empty when unknown.
    std::string name(pid_t pid) const;
    // "ModemManager (process 812)", or "process 812" when its name is unknown.
    std::string describe(pid_t pid) const;
    // The process's command line, word by word (empty when unknown).
    std::vector<std::string> arguments(pid_t pid) const;
    // The systemd service the process runs in ("tessadorn-watch@dev-ttyUSB0.service"), from its
    // control group; empty when it runs in none.
    std::string serviceUnit(pid_t pid) const;

  private:
    std::string m_Proc;
};

// True for the name of the desktop's modem manager, which probes new serial adapters.
bool isModemManager(const std::string& processName);

} // namespace tessadorn
