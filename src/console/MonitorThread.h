#pragma once

#include "console/MonitorHooks.h"
#include "console/StatusDisplay.h"
#include "modem/ModemSession.h"
#include "modem/MonitorObserver.h"

#include <vector>

namespace tessadorn {

// The background worker of the main dialog: runs the modem layer's monitor (search, start-up,
// polling every 500 ms, three failed polls and the modem is lost, a gone port waited for) and
// draws what it finds on the status panel; the observers (the window's history) hear every poll.
//
// It only ever pauses between two exchanges with the modem (PauseGate::checkpoint), and ends at
// the next one once the gate stops; the channel's abort flag cuts a running read short.
class MonitorThread {
  public:
    MonitorThread(ModemSession& session, StatusDisplay& display, MonitorHooks& hooks,
                  std::vector<MonitorObserver*> observers = {});

    // The worker's body: returns when the gate stops (or the port cannot be opened).
    void run();

  private:
    void ready();

    ModemSession& m_Session;
    StatusDisplay& m_Display;
    MonitorHooks& m_Hooks;
    std::vector<MonitorObserver*> m_Observers;
};

} // namespace tessadorn
