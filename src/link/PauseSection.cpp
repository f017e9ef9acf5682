#include "link/PauseSection.h"

#include "platform/DebugOutput.h"

namespace tessadorn {

PauseSection::PauseSection(std::string_view name, const std::atomic<int>& reading, PauseGate& gate,
                           WaitCursor& cursor, Clock& clock)
    : PauseSection(name, reading, gate, cursor, clock, Options{}) {}

PauseSection::PauseSection(std::string_view name, const std::atomic<int>& reading, PauseGate& gate,
                           WaitCursor& cursor, Clock& clock, Options options)
    : m_Gate(gate), m_Cursor(cursor), m_Options(options) {
    if (m_Options.waitCursor) m_Cursor.showWait();
    if (m_Options.debugLines) debugLine(std::string(name) + ": Esperant ...\r\n");
    // Announced first: a search for the modem gives the line up at once instead of trying its
    // rate to the end.
    m_Gate.announce();
    while (reading.load() != 0 && !m_Gate.stopping())
        clock.sleepMs(kPollMs);
    m_Gate.pause();
    m_Gate.withdraw();
    if (m_Options.debugLines) debugLine(std::string(name) + ": Thread Pausat ...\r\n");
}

PauseSection::~PauseSection() {
    end();
}

void PauseSection::end() {
    if (m_Ended) return;
    m_Ended = true;
    if (m_Options.waitCursor) m_Cursor.restore();
    m_Gate.resume();
}

} // namespace tessadorn
