#pragma once

#include "link/DeviceConfig.h"
#include "link/SerialChannel.h"
#include "platform/Clock.h"
#include "platform/PauseGate.h"
#include "store/DeviceProfile.h"

#include <atomic>

namespace tessadorn {

// What the device settings dialogs use of the main dialog: the serial link with its
// transaction flag, the gate that pauses the monitor, the values read from the modem and the
// state integers the GPS dialog reads and changes. The main dialog fills one per dialog.
struct DeviceAccess {
    SerialChannel& m_Serial;
    std::atomic<int>& m_Reading;
    PauseGate& monitorGate;
    Clock& clock;
    DeviceConfig& m_Device;
    std::atomic<int>& m_Mode;
    std::atomic<int>& m_BaudIndex;
    std::atomic<int>& m_AutoConnect;
    DeviceProfile& profile;
};

} // namespace tessadorn
