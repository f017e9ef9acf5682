#pragma once

#include "platform/WaitCursor.h"

#include <functional>
#include <mutex>

namespace tessadorn {

// The dialogs' mouse cursor: the wait cursor or the normal one. showWait() remembers the cursor
// shown before, restore() brings the remembered one back. The observer (set before any thread
// uses the cursor) hears every change.
class CursorState final : public WaitCursor {
  public:
    void showWait() override;
    void restore() override;
    bool waiting() const;
    void setObserver(std::function<void(bool waiting)> observer);

  private:
    mutable std::mutex m_Mutex;
    bool m_Waiting = false;
    bool m_Remembered = false;
    std::function<void(bool)> m_Observer;
};

} // namespace tessadorn
