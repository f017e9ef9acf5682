#pragma once

#include "modem/ModemSession.h"
#include "modem/UpdateEngine.h"
#include "ui/Dialog.h"
#include "update/UpdateFlags.h"
#include "update/UpdateValues.h"

#include <string>

namespace tessadorn {

// The update itself, on its own thread: waits for "Start Update" and "Continue", leaves the
// modem's correction firmware, finds its cellular engine at one of the five rates, hands it the
// update parameters, starts the download and follows the engine's progress lines until it
// reboots, fails or falls silent. Every outcome is reported with a message box and brings the
// dialog back to idle, so the user can correct the APN values and start again. Ends when stop
// sequencer is set (found at the next 100 ms poll, or as the abort of a serial wait).
class UpdateSequencer {
  public:
    static constexpr int kPollMs = 100;
    static constexpr int kRates = 5;

    // Outcomes of one update, numbered as the user sees them ("Tessadorn Update Error (n).").
    enum Outcome {
        Success = 0,
        SetRefused = 1,
        StartRefused = 2,
        TraceNotStarted = 3,
        EngineSilent = 4,
        OperationFailed = 6,
        EngineError = 7,
        Stopped = -1, // the dialog closed meanwhile: nothing to report
    };

    UpdateSequencer(Dialog& dialog, UpdateFlags& flags, ModemSession& session);

    void run();

    static std::string outcomeMessage(Outcome outcome);

  private:
    // One cycle from idle back to idle; false when the thread should end.
    bool cycle();
    bool idle();
    bool waitForCable(UpdateValues& values);
    void prepare();
    void leaveFirmware();
    // The baud index the engine answered at, or -1.
    int findEngine();
    Outcome startDownload(const UpdateValues& values);
    Outcome followEngine();
    void finish(Outcome outcome);

    // Polls every 100 ms until `flag` is set; false when stop sequencer came first.
    bool pollUntil(const std::atomic<bool>& flag);
    bool stopping() const { return m_Flags.stopSequencer.load(); }
    void sleep(int ms) { m_Session.clock().sleepMs(ms); }
    void status(std::string_view text);
    void showRunning(bool shown);
    void message(std::string_view text);

    Dialog& m_Dialog;
    ControlModel& m_Controls;
    UpdateFlags& m_Flags;
    ModemSession& m_Session;
    UpdateEngine m_Engine;
};

} // namespace tessadorn
