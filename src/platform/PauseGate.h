#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace tessadorn {

// The handshake by which a dialog borrows the serial line from a worker thread.
//
// The worker calls checkpoint() between two of its exchanges with the modem; while a pause is
// requested it parks there. pause() returns once the worker is parked (so it is certainly not
// inside an exchange), or at once when no worker is attached or the gate is stopping.
// resume() lets the worker go on. stop() releases everyone for good.
//
// A section that is coming announces itself first (announce(), before it waits for a running
// exchange to end): the worker parks at its next checkpoint from then on, and yieldFlag() is
// raised until the matching resume, so that a wait which may be cut short without harm (the
// search for the modem, while nothing has answered at the rate being tried) ends early and lets
// the worker reach its checkpoint.
class PauseGate {
  public:
    // Worker side.
    void attach();
    void detach();
    // Returns false once the gate is stopping: the worker should end.
    bool checkpoint();

    // Section side.
    void announce();
    void pause();
    // The announced section paused the worker (or gave up): its announcement is spent.
    void withdraw();
    void resume();

    // Raised from an announcement or a pause request until the matching resume.
    bool yieldRequested() const { return m_Yield.load(); }
    const std::atomic<bool>& yieldFlag() const { return m_Yield; }

    void stop();
    bool stopping() const;
    // True while the worker is parked at its checkpoint.
    bool parked() const;

  private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    void updateYield() { m_Yield.store(m_Requests > 0 || m_Announced > 0); }

    int m_Requests = 0;
    int m_Announced = 0;
    std::atomic<bool> m_Yield{false};
    bool m_Attached = false;
    bool m_Parked = false;
    bool m_Stop = false;
};

} // namespace tessadorn
