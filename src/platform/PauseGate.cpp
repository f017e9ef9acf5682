#include "platform/PauseGate.h"

namespace tessadorn {

void PauseGate::attach() {
    std::lock_guard lock(m_Mutex);
    m_Attached = true;
}

void PauseGate::detach() {
    {
        std::lock_guard lock(m_Mutex);
        m_Attached = false;
        m_Parked = false;
    }
    m_Changed.notify_all();
}

bool PauseGate::checkpoint() {
    std::unique_lock lock(m_Mutex);
    if ((m_Requests > 0 || m_Announced > 0) && !m_Stop) {
        m_Parked = true;
        m_Changed.notify_all();
        m_Changed.wait(lock, [this] { return (m_Requests == 0 && m_Announced == 0) || m_Stop; });
        m_Parked = false;
    }
    return !m_Stop;
}

void PauseGate::announce() {
    std::lock_guard lock(m_Mutex);
    ++m_Announced;
    updateYield();
}

void PauseGate::withdraw() {
    {
        std::lock_guard lock(m_Mutex);
        if (m_Announced > 0) --m_Announced;
        updateYield();
    }
    m_Changed.notify_all();
}

void PauseGate::pause() {
    std::unique_lock lock(m_Mutex);
    ++m_Requests;
    updateYield();
    m_Changed.wait(lock, [this] { return !m_Attached || m_Parked || m_Stop; });
}

void PauseGate::resume() {
    {
        std::lock_guard lock(m_Mutex);
        if (m_Requests > 0) --m_Requests;
        updateYield();
    }
    m_Changed.notify_all();
}

void PauseGate::stop() {
    {
        std::lock_guard lock(m_Mutex);
        m_Stop = true;
    }
    m_Changed.notify_all();
}

bool PauseGate::stopping() const {
    std::lock_guard lock(m_Mutex);
    return m_Stop;
}

bool PauseGate::parked() const {
    std::lock_guard lock(m_Mutex);
    return m_Parked;
}

} // namespace tessadorn
