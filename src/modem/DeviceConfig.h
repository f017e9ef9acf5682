#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace tessadorn {

// The modem's role, as its configuration reply gives it (m_Mode; -1 while unknown).
constexpr int kModeServer = 1;
constexpr int kModeClient = 2;

// The SIM state of the APN reply: 0 no SIM, kSimReady once the SIM is usable; others while it
// registers.
constexpr int kSimReady = 5;

// The modem's configuration and status as read by the monitor thread. Texts are single-byte
// strings in the device code page with fixed capacities: a value keeps at most capacity - 1
// bytes.
//
// The monitor writes while the dialogs read, so the values sit behind a lock: read() hands out
// a consistent copy and update() changes several values at once. No reader ever sees a torn
// text.
class DeviceConfig {
  public:
    // The modem's word for nothing: a stored caster without one of its fields, a serial number
    // it does not know; and a base's address reply while it has none, with its line end.
    static constexpr std::string_view kNone = "null";
    static constexpr std::string_view kNoAddress = "null\r\n";

    struct Values {
        std::string SerialNumber;     // 20
        std::string FirmwareVersion;  // 20
        std::string Imei;             // 25
        std::string ApnName;          // 100
        std::string ApnUser;          // 50
        std::string ApnPassword;      // 50
        std::string ServerIp;         // 25, with the reply's line end ("null\r\n": no address)
        std::string CasterHost;       // 100
        std::string CasterPort;       // 50
        std::string CasterMountpoint; // 50
        std::string CasterUser;       // 50
        std::string CasterPassword;   // 50
        std::string CasterKind;       // 2: "1" a Tessadorn server, "0" a caster
        std::string GgaMode;          // 25
        std::string GgaLatitude;      // 25
        std::string GgaLongitude;     // 25
        std::string GpsType;          // 25
        std::string GpsPort;          // 25
        std::string BroadcastOn;      // 2
        std::string BroadcastHost;    // 100
        std::string BroadcastPort;    // 10
        std::string BroadcastStream;  // 100

        // Cuts every text to its capacity - 1 bytes.
        void clampToCapacity();
        bool operator==(const Values&) const = default;
    };

    Values read() const {
        std::lock_guard lock(m_Mutex);
        return m_Values;
    }

    template <typename F> void update(F&& change) {
        std::lock_guard lock(m_Mutex);
        change(m_Values);
        m_Values.clampToCapacity();
    }

  private:
    mutable std::mutex m_Mutex;
    Values m_Values;
};

} // namespace tessadorn
