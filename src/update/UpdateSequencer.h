#pragma once

#include "modem/ModemSession.h"
#include "modem/UpdateRun.h"
#include "ui/Dialog.h"
#include "update/UpdateFlags.h"
#include "update/UpdateValues.h"

#include <string>

namespace tessadorn {

// The update dialog's own thread: waits for "Start Update" and "Continue", then runs the update
// (UpdateRun: leaves the correction firmware, finds the cellular engine, starts the download and
// follows it) with the dialog's progress bar, status line and message boxes as its hooks. Every
// outcome is reported with a message box and brings the dialog back to idle, so the user can
// correct the APN values and start again. Ends when stop sequencer is set (found at the next
// 100 ms poll, or as the abort of a serial wait).
class UpdateSequencer {
  public:
    static constexpr int kPollMs = 100;

    UpdateSequencer(Dialog& dialog, UpdateFlags& flags, ModemSession& session);

    void run();

  private:
    // One cycle from idle back to idle; false when the thread should end.
    bool cycle();
    bool idle();
    bool waitForCable(UpdateValues& values);
    void prepare();
    void stage(int top, std::string_view text);
    void finish(UpdateRun::Outcome outcome);

    // Polls every 100 ms until `flag` is set; false when stop sequencer came first.
    bool pollUntil(const std::atomic<bool>& flag);
    bool stopping() const { return m_Flags.stopSequencer.load(); }
    void status(std::string_view text);
    void showRunning(bool shown);
    void message(std::string_view text);

    Dialog& m_Dialog;
    ControlModel& m_Controls;
    UpdateFlags& m_Flags;
    ModemSession& m_Session;
};

} // namespace tessadorn
