#pragma once

#include "store/CasterListEdits.h"

#include <atomic>
#include <mutex>
#include <string>

namespace tessadorn {

// Where the update stands, as the dialog's OK and the desktop window's close see it.
enum class UpdatePhase {
    Idle,            // APN fields and "Start Update" shown
    WaitingForCable, // animation running, "Continue" shown; OK asks before closing
    Running,         // talking to the modem; nothing closes the dialog
};

// The flags the dialog's three threads share: the button handlers and OK on the dialog thread,
// the cable animation and the update sequencer. The workers poll them every 100 ms.
struct UpdateFlags {
    std::atomic<bool> startRequested{false};
    std::atomic<bool> continueRequested{false};
    std::atomic<bool> stopAnimation{false};
    std::atomic<bool> stopSequencer{false};
    std::atomic<UpdatePhase> phase{UpdatePhase::Idle};

    // The status line as the sequencer last set it: a re-layout puts back the template's text,
    // and the dialog restores this one.
    std::mutex statusMutex;
    std::string status;

    // The APN block the edits were filled with; set before the sequencer starts, read-only after.
    caster_list::ApnPrefill prefill;
};

} // namespace tessadorn
