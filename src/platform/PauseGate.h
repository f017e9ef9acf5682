#pragma once

#include <condition_variable>
#include <mutex>

namespace tessadorn {

// The handshake by which a dialog borrows the serial line from a worker thread.
//
// The worker calls checkpoint() between two of its exchanges with the modem; while a pause is
// requested it parks there. pause() returns once the worker is parked (so it is certainly not
// inside an exchange), or at once when no worker is attached or the gate is stopping.
// resume() lets the worker go on. stop() releases everyone for good.
class PauseGate {
  public:
    // Worker side.
    void attach();
    void detach();
    // Returns false once the gate is stopping: the worker should end.
    bool checkpoint();

    // Section side.
    void pause();
    void resume();

    void stop();
    bool stopping() const;
    // True while the worker is parked at its checkpoint.
    bool parked() const;

  private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    int m_Requests = 0;
    bool m_Attached = false;
    bool m_Parked = false;
    bool m_Stop = false;
};

} // namespace tessadorn
