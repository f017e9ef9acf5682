#include "console/MainDialog.h"

#include "link/PauseSection.h"
#include "update/FirmwareUpdateDialog.h"

namespace tessadorn {

namespace {
constexpr int kPortSettleMs = 200;
// The rate the port is reopened at after an update, whatever the modem was found at before:
// the monitor finds the modem's rate again by its scan when needed.
constexpr int kAfterUpdateBaudIndex = kBaud38400;
} // namespace

void MainDialog::runFirmwareUpdate() {
    // The monitor stays paused, without wait cursor or debug lines, for the whole dialog; the
    // port is closed so that the dialog can open it at any rate.
    PauseSection section =
        m_Session.pause("Update", waitCursor(), {.debugLines = false, .waitCursor = false});
    SerialChannel& serial = m_Session.serial();
    m_Clock.sleepMs(kPortSettleMs);
    serial.Close();
    {
        FirmwareUpdateDialog dialog(*this, m_Session, m_Store);
        dialog.doModal();
    }
    serial.Close();
    m_Clock.sleepMs(kPortSettleMs);
    serial.Open(kAfterUpdateBaudIndex); // a failure is not reported: the monitor's scan retries
    section.end();
}

} // namespace tessadorn
