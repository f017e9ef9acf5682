#pragma once

#include "ui/MessageBoxRequest.h"

#include <future>
#include <mutex>

namespace tessadorn {

// The answer to a message box that another thread waits for. Whoever holds it last gives the
// answer; when it is destroyed unanswered (the box went away, the view shut down) the waiting
// thread gets kIdCancel. The waiting side keeps only the future, never a second reference.
class PendingAnswer {
  public:
    PendingAnswer() = default;
    ~PendingAnswer() { answer(kIdCancel); }
    PendingAnswer(const PendingAnswer&) = delete;
    PendingAnswer& operator=(const PendingAnswer&) = delete;

    std::future<int> future() { return m_Promise.get_future(); }
    // The first answer counts.
    void answer(int button) {
        std::lock_guard lock(m_Mutex);
        if (m_Answered) return;
        m_Answered = true;
        m_Promise.set_value(button);
    }

  private:
    std::mutex m_Mutex;
    bool m_Answered = false;
    std::promise<int> m_Promise;
};

} // namespace tessadorn
