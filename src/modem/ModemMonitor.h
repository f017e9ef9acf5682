#pragma once

#include "modem/ModemSession.h"
#include "modem/MonitorObserver.h"
#include "modem/StatusQueries.h"
#include "store/CasterStore.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// How the program watches its modem, whoever shows it (the window's monitor thread, tessadornctl
// watch): opens the port, finds the modem's rate, runs the start-up (configuration, the role's
// reads, the caster list following the modem), then polls APN, SIM and signal state every
// kPollMs until kFailedPollLimit polls in a row fail, the port's device goes away (the search
// then waits for it and opens it again) or the modem is sent away; then it lets the modem go
// and searches again, until the session's monitor gate stops.
//
// It only ever pauses between two exchanges (PauseGate::checkpoint). What it finds goes to its
// face (what the window draws at each step) and to its observers (found, every poll, lost).
class ModemMonitor {
  public:
    static constexpr int kPollMs = 500;
    static constexpr int kFailedPollLimit = 3;

    // The window's moments; every hook may be left empty.
    struct Face {
        // The search's status line ("Connecting at 9600...", "Starting Communication...").
        std::function<void(std::string_view)> statusLine;
        // The port's device is gone; the search waits for it.
        std::function<void()> portGone;
        // The start-up knows the modem's role (kModeServer or kModeClient).
        std::function<void(int mode)> roleKnown;
        // A base's own address was read (at start-up, or while polling).
        std::function<void()> serverAddressRead;
        // The caster list followed the modem but could not be saved.
        std::function<void(const std::string& failure)> listNotSaved;
        // The modem is ready (the session's deviceReady is 1 now).
        std::function<void()> ready;
        // The SIM and APN state of the last APN reply, at every poll.
        std::function<void(int apnReady, int simState)> apnState;
        // A base lost its address (no SIM, APN not ready or signal 0).
        std::function<void()> serverReset;
        // The polled caster connection turned on or off.
        std::function<void(bool connected)> connectionChanged;
        // The signal level differs from the one shown last.
        std::function<void(int level)> signalLevel;
        // The modem was let go (the session's deviceReady is 0 again).
        std::function<void()> lost;
        // The port cannot be opened at start: run() returns.
        std::function<void()> portError;
    };

    ModemMonitor(ModemSession& session, CasterStore& casterList, Face face,
                 std::vector<MonitorObserver*> observers = {});

    // Returns when the gate stops (or the port cannot be opened).
    void run();

  private:
    bool running() { return !m_Session.monitorGate().stopping(); }
    bool pauseCheckpoint() { return m_Session.monitorGate().checkpoint(); }
    bool identify();
    bool startUp();
    void announceFound();
    // Polls until the modem is lost (the reason) or the monitor must stop (nothing).
    std::optional<LostReason> poll();
    void apnState(int apnReady, int simState, int signal);
    void linkLost(LostReason reason);
    template <typename... A, typename F> static void call(const F& hook, A&&... a) {
        if (hook) hook(std::forward<A>(a)...);
    }

    ModemSession& m_Session;
    CasterStore& m_CasterList;
    StatusQueries m_Queries;
    Face m_Face;
    std::vector<MonitorObserver*> m_Observers;
};

} // namespace tessadorn
