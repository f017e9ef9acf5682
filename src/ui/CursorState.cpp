#include "ui/CursorState.h"

namespace tessadorn {

void CursorState::showWait() {
    std::function<void(bool)> observer;
    {
        std::lock_guard lock(m_Mutex);
        m_Remembered = m_Waiting;
        m_Waiting = true;
        observer = m_Observer;
    }
    if (observer) observer(true);
}

void CursorState::restore() {
    std::function<void(bool)> observer;
    bool now = false;
    {
        std::lock_guard lock(m_Mutex);
        m_Waiting = m_Remembered;
        now = m_Waiting;
        observer = m_Observer;
    }
    if (observer) observer(now);
}

bool CursorState::waiting() const {
    std::lock_guard lock(m_Mutex);
    return m_Waiting;
}

void CursorState::setObserver(std::function<void(bool)> observer) {
    std::lock_guard lock(m_Mutex);
    m_Observer = std::move(observer);
}

} // namespace tessadorn
