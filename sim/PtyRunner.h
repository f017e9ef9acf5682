#pragma once

#include "SimModem.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tessadorn::sim {

// Puts a SimModem on a pseudo-terminal. The program opens the slave side as its serial port; the
// runner reads the master side, takes the line speed the program set from the slave's settings
// (on Linux the master reports the slave's termios) and feeds the modem with it, so bytes sent at
// the wrong rate are lost as on a real line. The modem's output is written when each byte is
// due. While no program has the slave open, what the modem sends is lost.
class PtyRunner {
  public:
    // The modem's clock starts at 0 when the runner is made.
    explicit PtyRunner(SimModem& modem);
    ~PtyRunner();
    PtyRunner(const PtyRunner&) = delete;
    PtyRunner& operator=(const PtyRunner&) = delete;

    // Creates the pseudo-terminal (raw, at the modem's rate). False with a reason on failure.
    bool open(std::string& error);
    const std::string& slavePath() const { return m_SlavePath; }

    // Runs until `stop` says so or the link drops (the settings' drop moment, after which the
    // master is closed). Returns true when the link was dropped.
    bool run(const std::function<bool()>& stop, std::int64_t dropAtMs, int dropAfterCommands);

    // The modem's clock: microseconds since the runner was made.
    std::int64_t nowUs() const;
    // The baud index the program set on the line, -1 for a rate without one.
    int lineBaudIndex() const;

  private:
    void closeMaster();

    SimModem& m_Modem;
    int m_Master = -1;
    std::string m_SlavePath;
    std::int64_t m_EpochUs;
};

} // namespace tessadorn::sim
