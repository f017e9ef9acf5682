// The main dialog's device settings buttons: APN, GPS position source, relay service.
#include "console/MainDialog.h"
#include "settings/ApnDialog.h"
#include "settings/GpsSourceDialog.h"
#include "settings/RelayServiceDialog.h"

namespace tessadorn {

DeviceAccess MainDialog::deviceAccess() {
    return {m_Serial, m_Reading,   m_MonitorGate, m_Clock,  m_Device,
            m_Mode,   m_BaudIndex, m_AutoConnect, m_Profile};
}

void MainDialog::openApnSettings() {
    ApnDialog dialog(*this, deviceAccess(), m_Store);
    dialog.doModal();
}

void MainDialog::openGpsSource() {
    GpsSourceDialog dialog(*this, deviceAccess());
    const int result = dialog.doModal();
    if (result <= 0 || m_Mode.load() == kModeServer) return;
    if (result == 1 || result == 3) {
        // The receiver takes the corrections straight from the modem: no caster to connect to.
        for (int id : {ids::Connect, ids::Disconnect, ids::TextGps, ids::AutoConnect})
            setVisible(id, false);
        return;
    }
    const bool connected = m_StConnect.load() == 1;
    setVisible(ids::Connect, !connected);
    setVisible(ids::Disconnect, connected);
    setVisible(ids::AutoConnect, true);
    setChecked(ids::AutoConnect, m_AutoConnect.load() == 1);
}

void MainDialog::openRelayService() {
    RelayServiceDialog dialog(*this, deviceAccess());
    dialog.doModal();
}

} // namespace tessadorn
