#pragma once

#include "BenchHooks.h"
#include "CountingSerialPort.h"
#include "RecordingPanel.h"
#include "app/SimulatorProcess.h"

#include "console/StatusDisplay.h"
#include "modem/ModemSession.h"
#include "platform/AtomicFile.h"
#include "platform/TermiosSerialPort.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessadorn::bench {

// The main console's monitor as the program runs it, without Qt: tessadorn-sim on a
// pseudo-terminal, a TermiosSerialPort on it behind a counting port, the monitor thread with a
// recording panel, and optionally the animation thread beside it.
//
// Two moments are timed from the start of MonitorThread::run():
//   ready      the monitor set the ready flag and asks for the ready face's inputs;
//   first poll the first poll drew the signal picture (before its 500 ms pause).
// Each comes with the port's counters at that moment.
class ConsoleRig {
  public:
    struct Options {
        int baudIndex = 2;                           // the remembered rate, also the modem's
        std::vector<std::string> simulatorArguments; // besides --baud
        bool animation = false;
    };
    struct Milestone {
        bool reached = false;
        double seconds = 0;
        CountingSerialPort::Counts counts;
    };

    explicit ConsoleRig(std::string simulatorExecutable);
    ~ConsoleRig();
    ConsoleRig(const ConsoleRig&) = delete;
    ConsoleRig& operator=(const ConsoleRig&) = delete;

    // Starts the simulator and the workers; false with error() when the simulator failed.
    bool start(const Options& options);
    // Waits at most `timeoutMs` for the moment; true when it came.
    bool waitReady(int timeoutMs);
    bool waitFirstPoll(int timeoutMs);
    Milestone ready() const;
    Milestone firstPoll() const;
    // Stops the workers (the running read is cut short) and then the simulator.
    void stop();

    CountingSerialPort::Counts counts() const { return m_Counting->counts(); }
    const RecordingPanel& panel() const { return m_Panel; }
    const BenchHooks& hooks() const { return *m_Hooks; }
    const std::string& error() const { return m_Error; }
    int deviceReady() const { return m_Session && m_Session->deviceReady() ? 1 : 0; }
    // The baud index the modem answered at, -1 before it answered.
    int rateFound() const { return m_Session ? m_Session->baudIndex() : -1; }

  private:
    void mark(Milestone& milestone);
    bool waitFor(const Milestone& milestone, int timeoutMs);

    std::string m_SimulatorExecutable;
    std::string m_Error;
    SimulatorProcess m_Simulator;
    std::unique_ptr<TermiosSerialPort> m_Port;
    std::unique_ptr<CountingSerialPort> m_Counting;
    // The device profile is read once for the held rate and removed: the benchmark leaves no
    // file behind.
    std::unique_ptr<ModemSession> m_Session;
    RecordingPanel m_Panel;
    StatusDisplay m_Display{m_Panel};
    std::unique_ptr<BenchHooks> m_Hooks;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::chrono::steady_clock::time_point m_RunStart;
    Milestone m_Ready;
    Milestone m_FirstPoll;

    std::thread m_Monitor;
    std::thread m_Animation;
};

} // namespace tessadorn::bench
