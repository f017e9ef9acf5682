#include "console/MainDialog.h"

#include "casterlist/CasterSelectDialog.h"
#include "modem/Receivers.h"
#include "platform/TextCodec.h"

#include <mutex>

namespace tessadorn {

// Opened in every state of the main dialog, also while the modem is searched for.
void MainDialog::chooseCaster() {
    int result = 0;
    {
        CasterSelectDialog dialog(*this, m_Store);
        result = dialog.doModal();
    }
    casterChosen(result);
}

// With a ready modem that keeps a caster connection of its own, the panel's caster lines show
// the choice (or the running connection).
void MainDialog::casterChosen(int result) {
    if (result == kIdCancel) return;
    if (!m_Session.deviceReady()) return;
    const DeviceConfig::Values device = m_Session.device().read();
    if (!pollsConnection(device.GpsType)) return;

    int count = 0;
    std::string auth, user, name;
    {
        std::lock_guard lock(m_Store.mutex());
        count = m_Store.count;
        auth = m_Store.auth;
        user = m_Store.user;
        name = m_Store.current().name;
    }
    std::string line1, line2;
    if (count == 0) {
        line1 = "Svr:";
        line2 = "Authorization:";
    } else if (m_Session.stConnect() == 1) {
        m_Display.connectPictures(true);
        line1 = "Svr: " + device.CasterHost + " /" + device.CasterMountpoint;
        line2 = auth == "yes" ? "Authorization: yes (" + device.CasterUser + ")"
                              : "Authorization: " + auth;
    } else {
        line1 = "Svr: " + name;
        line2 =
            auth == "yes" ? "Authorization: " + auth + " (" + user + ")" : "Authorization: " + auth;
    }
    controls().setText(ids::Line1, deviceToUtf8(line1));
    controls().setText(ids::Line2, deviceToUtf8(line2));
}

} // namespace tessadorn
