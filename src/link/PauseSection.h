#pragma once

#include "platform/Clock.h"
#include "platform/PauseGate.h"
#include "platform/WaitCursor.h"

#include <atomic>
#include <string>
#include <string_view>

namespace tessadorn {

// A dialog borrowing the serial line from the monitor thread, for as long as this object lives:
// wait cursor on, "<name>: Esperant ..." logged, wait (in 50 ms steps) until no transaction
// runs, pause the monitor between two of its exchanges, "<name>: Thread Pausat ..." logged.
// On every way out the remembered cursor comes back and the monitor resumes.
class PauseSection {
  public:
    struct Options {
        bool debugLines = true; // the direct connection and the update pause without them
        bool waitCursor = true; // the update shows no wait cursor
    };
    static constexpr int kPollMs = 50;

    PauseSection(std::string_view name, const std::atomic<int>& reading, PauseGate& gate,
                 WaitCursor& cursor, Clock& clock);
    PauseSection(std::string_view name, const std::atomic<int>& reading, PauseGate& gate,
                 WaitCursor& cursor, Clock& clock, Options options);
    ~PauseSection();

    PauseSection(const PauseSection&) = delete;
    PauseSection& operator=(const PauseSection&) = delete;

    // Restores the cursor and resumes the monitor now (before a message box, say); the
    // destructor then does nothing more.
    void end();

  private:
    PauseGate& m_Gate;
    WaitCursor& m_Cursor;
    Options m_Options;
    bool m_Ended = false;
};

} // namespace tessadorn
