#pragma once

#include "link/PauseSection.h"
#include "link/SerialChannel.h"
#include "link/Transactions.h"
#include "modem/DeviceConfig.h"
#include "platform/Clock.h"
#include "platform/FileWriter.h"
#include "platform/PauseGate.h"
#include "platform/SerialPort.h"
#include "store/DeviceProfile.h"

#include <atomic>
#include <string>
#include <string_view>

namespace tessadorn {

// Everything the program knows about its link to one modem, in one place: the serial channel,
// the gate by which a dialog borrows the line from the monitor, the values read from the modem,
// the modem's state, the rate the modem answered at and the device profile that remembers it.
// The window and the command line each own one; the modem operations work on it.
//
// Any thread may read the state; it changes only through the named transitions below, each
// saying which thread makes it. The values sit behind DeviceConfig's lock; only one thread at a
// time talks on the channel (see PauseSection).
class ModemSession {
  public:
    // The modem's connection to its caster, as stConnect() gives it.
    static constexpr int kConnectionUnknown = 0;
    static constexpr int kConnectionRunning = 1;
    static constexpr int kConnectionOff = 2;

    ModemSession(SerialPort& port, Clock& clock, std::string profilePath, FileWriter& writer);

    SerialChannel& serial() { return m_Serial; }
    Clock& clock() { return m_Clock; }
    PauseGate& monitorGate() { return m_MonitorGate; }
    DeviceConfig& device() { return m_Device; }
    Transactions transactions() { return Transactions(m_Serial, m_Reading); }
    const std::string& profilePath() const { return m_Profile.path(); }

    // ---- The state, for any thread to read.

    // A transaction runs.
    bool reading() const { return m_Reading.load() == 1; }
    // The same, for a pause section that waits for the running transaction to end.
    const std::atomic<int>& readingFlag() const { return m_Reading; }
    // The modem was identified, configured and its state shown.
    bool deviceReady() const { return m_DeviceReady.load() == 1; }
    // The same, for a worker that watches it (the searching animation).
    const std::atomic<int>& readyFlag() const { return m_DeviceReady; }
    // kModeServer, kModeClient, or -1 while unknown.
    int mode() const { return m_Mode.load(); }
    // The baud index the modem answered at, which is the rate the port was open at then; at the
    // start the device profile's; -1 while the rate scan has found none.
    int baudIndex() const { return m_BaudIndex.load(); }
    // The baud index the device profile holds (-1 when nothing is saved).
    int savedBaudIndex() const { return m_SavedBaudIndex.load(); }
    // kConnectionRunning, kConnectionOff, or kConnectionUnknown.
    int stConnect() const { return m_StConnect.load(); }
    // Automatic connection: 1 on, 0 off (2 while the modem answered OFF).
    int autoConnect() const { return m_AutoConnect.load(); }

    // ---- The start, before any worker runs (the dialog thread, or the command line's).

    // Reads the device profile: the rate to try first and the one saved. 1 when the file opened.
    int loadProfile() { return m_Profile.LoadProfile(); }
    // Not ready: the window opens, or a dialog sent the modem away (a role change, with the
    // monitor paused); the monitor finds it anew.
    void notReady() { m_DeviceReady = 0; }

    // ---- The thread that searches and watches the modem (the monitor, or the command line's).

    // The modem answered on the port as it is open now: its rate is the rate found, and the
    // device profile saves it.
    void rateFound();
    // The rate scan begins: no rate is found until it finds one.
    void scanStarts();
    // The port's device went away during the scan: the rate held before it is tried first again.
    void scanCutShort();
    // The configuration named the modem's role.
    void modeFound(int mode) { m_Mode = mode; }
    // Identified, configured and shown.
    void ready() { m_DeviceReady = 1; }
    // Three polls failed, or the device is gone: not ready and its role unknown.
    void lost();

    // ---- The searching thread, or a dialog while the monitor is paused.

    // The connection state the modem reported, or that a dialog's stop left.
    void connectionState(int state) { m_StConnect = state; }
    // A re-layout shows "off" as unknown, so that the next poll draws it again; a running
    // connection the monitor reported meanwhile stays as it is. The dialog thread, any time.
    void connectionOffForgotten();
    // The automatic connection the modem reported, or that a dialog set.
    void autoConnectState(int state) { m_AutoConnect = state; }
    // Moves the link to another rate after the modem was told to use it: the rate found,
    // saved in the device profile, and the port reopened at it.
    void moveLinkTo(int baudIndex);

    // Borrows the line from the monitor for as long as the section lives.
    PauseSection pause(std::string_view name, WaitCursor& cursor);
    PauseSection pause(std::string_view name, WaitCursor& cursor, PauseSection::Options options);

    // Ends every exchange at its next read or write wait, from any thread, and stops the monitor:
    // the way out when the program closes while something waits on the line. Nothing is written
    // to the modem from then on.
    void abortLink();
    bool closing() const { return m_Closing.load(); }
    const std::atomic<bool>& closingFlag() const { return m_Closing; }

  private:
    Clock& m_Clock;
    SerialChannel m_Serial;
    PauseGate m_MonitorGate;
    DeviceConfig m_Device;
    // The thread that holds the line (its transactions).
    std::atomic<int> m_Reading{0};
    // The searching thread; the dialog thread at the start and when it sends the modem away.
    std::atomic<int> m_DeviceReady{0};
    // The searching thread.
    std::atomic<int> m_Mode{-1};
    // The searching thread; the dialog thread moving the link while the monitor is paused; the
    // device profile at the start.
    std::atomic<int> m_BaudIndex{DeviceProfile::kDefaultBaudIndex};
    // The device profile, under its lock.
    std::atomic<int> m_SavedBaudIndex{DeviceProfile::kNoSavedIndex};
    // The rate held when the scan began: the searching thread alone.
    int m_HeldBeforeScan = -1;
    // The searching thread; the dialog thread while the monitor is paused, or by
    // connectionOffForgotten at any time.
    std::atomic<int> m_StConnect{kConnectionUnknown};
    // The searching thread at the start; the dialog thread while the monitor is paused.
    std::atomic<int> m_AutoConnect{0};
    // Any thread, once (abortLink).
    std::atomic<bool> m_Closing{false};
    DeviceProfile m_Profile;
};

} // namespace tessadorn
