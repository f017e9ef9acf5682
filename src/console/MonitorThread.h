#pragma once

#include "console/MonitorHooks.h"
#include "console/StatusDisplay.h"
#include "modem/ModemSession.h"
#include "modem/StatusQueries.h"

#include <atomic>
#include <string>

namespace tessadorn {

// The background worker that finds the modem on the serial port, identifies it, reads its
// configuration into DeviceConfig, fills the status panel and then polls APN, SIM and signal
// state until three polls in a row fail (or the port's device is gone), when it clears the
// panel and searches again.
//
// It only ever pauses between two exchanges with the modem (PauseGate::checkpoint), and ends at
// the next one once the gate stops; the channel's abort flag cuts a running read short.
class MonitorThread {
  public:
    static constexpr int kPollMs = 500;
    static constexpr int kFailedPollLimit = 3;

    MonitorThread(ModemSession& session, StatusDisplay& display, MonitorHooks& hooks);

    // The worker's body: returns when the gate stops (or the port cannot be opened).
    void run();

  private:
    bool running() { return !m_Session.monitorGate().stopping(); }
    // Where the worker may be paused, between two exchanges; false once it must stop.
    bool pauseCheckpoint() { return m_Session.monitorGate().checkpoint(); }
    // Finds the modem's rate: a try at the held rate, then the scan; false once stopping.
    bool identify();
    // The start-up the command line runs too, drawn on the panel as it goes; false when the
    // configuration could not be read (the modem is identified again).
    bool startUp();
    // The ready face of each role, once the start-up is done.
    void serverReady();
    void clientReady();
    void poll();
    void linkLost();
    void drawApnState(int apnReady, int simState, int signal);

    ModemSession& m_Session;
    StatusQueries m_Queries;
    StatusDisplay& m_Display;
    MonitorHooks& m_Hooks;
};

} // namespace tessadorn
