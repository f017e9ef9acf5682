#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tessadorn {

// Runs tessadorn-sim as a child process and hands out the pseudo-terminal it serves the modem
// on. The child is stopped (SIGTERM, then waited for; SIGKILL if it does not end in time) when
// the object goes away. The child also ends by itself when this process ends.
class SimulatorProcess {
  public:
    SimulatorProcess() = default;
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Starts `executable` with `arguments` and waits up to `timeoutMs` for the path it prints
    // first. `stderrPath`: where the child's log goes ("" keeps this process's stderr,
    // "/dev/null" silences it). False with a reason in error() when it did not come up.
    bool start(const std::string& executable, const std::vector<std::string>& arguments,
               int timeoutMs = 5000, const std::string& stderrPath = "");
    // SIGTERM and wait; true when the child ended cleanly (exit status 0).
    bool stop(int timeoutMs = 3000);
    // Starts the simulator again as the last start() did (stopping it first if it runs); it
    // serves a new pseudo-terminal.
    bool restart();

    const std::string& ptyPath() const { return m_PtyPath; }
    pid_t pid() const { return m_Pid; }
    // False once the child ended; the first call after its end reaps it (no zombie is left).
    bool running();
    // The wait status of the child's end (see describeExit), -1 while it runs or never ran.
    int exitStatus() const { return m_ExitStatus; }
    // "exit status N" for a wait status, as a shell counts it (128 + the signal that ended it).
    static std::string describeExit(int waitStatus);
    const std::string& error() const { return m_Error; }

    // Where tessadorn-sim is: `given` when not empty, else beside the running executable.
    // Empty when it is not there.
    static std::string findExecutable(const std::string& given = "");

  private:
    pid_t m_Pid = -1;
    int m_Stdout = -1;
    int m_ExitStatus = -1;
    std::string m_Executable;
    std::vector<std::string> m_Arguments;
    int m_TimeoutMs = 5000;
    std::string m_StderrPath;
    std::string m_PtyPath;
    std::string m_Error;
};

} // namespace tessadorn
