#pragma once

#include "modem/ModemSession.h"

#include <functional>
#include <string_view>

namespace tessadorn {

// The over-the-air update's exchanges: leaving the correction firmware for the modem's cellular
// engine, finding the engine, handing it the update's parameters and following its progress.
// The port is opened and closed here at whatever rate a step needs; the link's own rate (the
// session's) is left alone.
class UpdateEngine {
  public:
    static constexpr int kByeReadLimit = 2048;
    static constexpr std::size_t kDrainThreshold = 64;

    // A line of the engine's progress.
    enum class Event {
        Silent = 0,           // nothing for the whole wait
        Progress = 1,         // "OTAP"
        RebootNow = 2,        // the engine installs and restarts: done
        OperationFailed = 3,  // "operation failed"
        Error = 4,            // "ERROR:"
        TransferFinished = 5, // a file has arrived
    };
    // How handing over the parameters went.
    enum class Start { Started, SetRefused, StartRefused, TraceNotStarted };

    explicit UpdateEngine(ModemSession& session);

    // Closes the port and reopens it at `baudIndex` after `settleMs`; true when it opened.
    bool reopen(int baudIndex, int settleMs);
    bool open(int baudIndex);
    void close();
    // Drains the line, then "#EXIT0" until "Bye" (one resend).
    bool leaveFirmware();
    // The second exit command, written blindly.
    void leaveFirmwareBlindly();
    // "AT", a pause of `settleMs`, then the engine's "OK".
    bool engineAnswers(int settleMs);
    // "AT^SJOTAP=..." with the update's APN, user and password, "AT^SJOTAP", and the trace
    // command that makes the engine report its progress.
    Start startDownload(std::string_view apn, std::string_view user, std::string_view password,
                        const std::function<void()>& stepDone);
    // The next progress line, or Silent.
    Event nextEvent();

  private:
    ModemSession& m_Session;
};

} // namespace tessadorn
