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
// the modem's state flags, the rate the link runs at and the device profile that remembers it.
// The window and the command line each own one; the modem operations work on it.
//
// The integers are atomics and the values sit behind DeviceConfig's lock, so any thread may
// read them; only one thread at a time talks on the channel (see PauseSection).
class ModemSession {
  public:
    ModemSession(SerialPort& port, Clock& clock, std::string profilePath, FileWriter& writer);

    SerialChannel& serial() { return m_Serial; }
    Clock& clock() { return m_Clock; }
    PauseGate& monitorGate() { return m_MonitorGate; }
    DeviceConfig& device() { return m_Device; }
    DeviceProfile& profile() { return m_Profile; }
    Transactions transactions() { return Transactions(m_Serial, m_Reading); }

    // 1 while a transaction runs.
    std::atomic<int>& reading() { return m_Reading; }
    // 1 once the modem was identified, configured and its state shown.
    std::atomic<int>& deviceReady() { return m_DeviceReady; }
    // kModeServer, kModeClient, or -1 while unknown.
    std::atomic<int>& mode() { return m_Mode; }
    // The baud index of the link's rate (-1 while the rate scan has found none).
    std::atomic<int>& baudIndex() { return m_BaudIndex; }
    std::atomic<int>& savedBaudIndex() { return m_SavedBaudIndex; }
    // The modem's connection to its caster: 1 running, 2 off, 0 unknown.
    std::atomic<int>& stConnect() { return m_StConnect; }
    // Automatic connection: 1 on, 0 off (2 while the modem answered OFF).
    std::atomic<int>& autoConnect() { return m_AutoConnect; }

    // Borrows the line from the monitor for as long as the section lives.
    PauseSection pause(std::string_view name, WaitCursor& cursor);
    PauseSection pause(std::string_view name, WaitCursor& cursor, PauseSection::Options options);

    // The rate the modem was found at: remembered, and saved in the device profile.
    void rateFound(int baudIndex);
    // Moves the link to another rate after the modem was told to use it: remembered, saved in the
    // device profile, and the port reopened at it.
    void moveLinkTo(int baudIndex);

    // Ends every exchange at its next read or write wait, from any thread, and stops the monitor:
    // the way out when the program closes while something waits on the line.
    void abortLink();
    bool closing() const { return m_Closing.load(); }
    const std::atomic<bool>& closingFlag() const { return m_Closing; }

  private:
    Clock& m_Clock;
    SerialChannel m_Serial;
    PauseGate m_MonitorGate;
    DeviceConfig m_Device;
    std::atomic<int> m_Reading{0};
    std::atomic<int> m_DeviceReady{0};
    std::atomic<int> m_Mode{-1};
    std::atomic<int> m_BaudIndex{DeviceProfile::kDefaultBaudIndex};
    std::atomic<int> m_SavedBaudIndex{DeviceProfile::kNoSavedIndex};
    std::atomic<int> m_StConnect{0};
    std::atomic<int> m_AutoConnect{0};
    std::atomic<bool> m_Closing{false};
    DeviceProfile m_Profile;
};

} // namespace tessadorn
