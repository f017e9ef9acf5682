#pragma once

#include <functional>
#include <mutex>

namespace tessadorn::cli {

// A request to end a command that runs until it is told to (watch), from any thread: the
// command says what ending means (setAction), the program's signal handling calls request().
// An action set after the request runs at once.
class StopRequest {
  public:
    void request() {
        std::function<void()> action;
        {
            std::lock_guard lock(m_Mutex);
            m_Requested = true;
            action = m_Action;
        }
        if (action) action();
    }
    void setAction(std::function<void()> action) {
        bool requested;
        {
            std::lock_guard lock(m_Mutex);
            m_Action = action;
            requested = m_Requested;
        }
        if (requested && action) action();
    }
    bool requested() const {
        std::lock_guard lock(m_Mutex);
        return m_Requested;
    }

  private:
    mutable std::mutex m_Mutex;
    bool m_Requested = false;
    std::function<void()> m_Action;
};

} // namespace tessadorn::cli
