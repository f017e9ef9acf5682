#pragma once

#include "app/SimulatorProcess.h"
#include "platform/Clock.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tessadorn {

// Keeps the simulated modem of --simulate running: notices its end, reaps it, says so and
// starts it again on a new pseudo-terminal, which is handed to `newPort` (the port takes it for
// its next open). A simulator that keeps stopping is started at most `kRestartLimit` times
// within `kRestartWindowMs`; past that the watch says so and stops trying.
//
// `log` gets every line worth keeping; the status listener (any thread may set it) gets the
// one-line texts meant for the window's status line. Both are called on the watching thread.
class SimulatorWatch {
  public:
    static constexpr int kRestartLimit = 5;
    static constexpr std::int64_t kRestartWindowMs = 60000;
    static constexpr int kCheckIntervalMs = 100;

    using Say = std::function<void(const std::string&)>;

    SimulatorWatch(SimulatorProcess& simulator, Clock& clock,
                   std::function<void(const std::string& ptyPath)> newPort, Say log);
    ~SimulatorWatch();
    SimulatorWatch(const SimulatorWatch&) = delete;
    SimulatorWatch& operator=(const SimulatorWatch&) = delete;

    void setStatusListener(Say status);
    // True once the watch gave up (any thread): what it said last is its last word.
    bool gaveUp() const { return m_GaveUp.load(); }

    enum class Step { Running, Restarted, RestartFailed, GaveUp };
    // One look at the simulator, and what came of it. Called by the watching thread; tests
    // call it themselves instead.
    Step check();

    // A thread that calls check() every kCheckIntervalMs until stopWatching() or the end of
    // the object.
    void startWatching();
    void stopWatching();

  private:
    void say(const std::string& text, bool status);

    SimulatorProcess& m_Simulator;
    Clock& m_Clock;
    std::function<void(const std::string&)> m_NewPort;
    Say m_Log;
    std::mutex m_StatusMutex;
    Say m_Status;

    // Touched by the thread that calls check() only.
    std::deque<std::int64_t> m_Starts;
    bool m_Restarting = false;
    std::atomic<bool> m_GaveUp{false};

    std::mutex m_StopMutex;
    std::condition_variable m_StopCv;
    bool m_Stop = false;
    std::thread m_Thread;
};

} // namespace tessadorn
