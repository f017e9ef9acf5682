// The main dialog's device settings buttons: APN, GPS position source, relay service.
#include "console/MainDialog.h"
#include "settings/ApnDialog.h"
#include "settings/GpsSourceDialog.h"
#include "settings/RelayServiceDialog.h"

namespace tessadorn {

void MainDialog::openApnSettings() {
    ApnDialog dialog(*this, m_Session, m_Store);
    dialog.doModal();
}

void MainDialog::openGpsSource() {
    GpsSourceDialog dialog(*this, m_Session);
    const int result = dialog.doModal();
    if (result <= 0 || m_Session.mode() == kModeServer) return;
    if (result == 1 || result == 3) {
        // The receiver takes the corrections straight from the modem: no caster to connect to.
        for (int id : {ids::Connect, ids::Disconnect, ids::TextGps, ids::AutoConnect})
            setVisible(id, false);
        return;
    }
    const bool connected = m_Session.stConnect() == 1;
    setVisible(ids::Connect, !connected);
    setVisible(ids::Disconnect, connected);
    setVisible(ids::AutoConnect, true);
    setChecked(ids::AutoConnect, m_Session.autoConnect() == 1);
}

void MainDialog::openRelayService() {
    RelayServiceDialog dialog(*this, m_Session);
    dialog.doModal();
}

} // namespace tessadorn
