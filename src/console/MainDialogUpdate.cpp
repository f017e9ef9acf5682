#include "console/MainDialog.h"

#include "link/PauseSection.h"
#include "update/FirmwareUpdateDialog.h"

namespace tessadorn {

namespace {
constexpr int kPortSettleMs = 200;
// The rate the port is reopened at after an update, whatever the modem was found at before:
// the monitor finds the modem's rate again by its scan when needed.
constexpr int kAfterUpdateBaudIndex = 2;
} // namespace

void MainDialog::runFirmwareUpdate() {
    // The monitor stays paused, without wait cursor or debug lines, for the whole dialog; the
    // port is closed so that the dialog can open it at any rate.
    PauseSection section("Update", m_Reading, m_MonitorGate, waitCursor(), m_Clock,
                         {.debugLines = false, .waitCursor = false});
    m_Clock.sleepMs(kPortSettleMs);
    m_Serial.Close();
    {
        FirmwareUpdateDialog dialog(
            *this, UpdateAccess{m_Serial, m_Reading, m_BaudIndex, m_Store, m_Clock});
        dialog.doModal();
    }
    m_Serial.Close();
    m_Clock.sleepMs(kPortSettleMs);
    m_Serial.Open(kAfterUpdateBaudIndex); // a failure is not reported: the monitor's scan retries
    section.end();
}

} // namespace tessadorn
