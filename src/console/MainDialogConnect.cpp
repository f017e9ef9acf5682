// The main dialog's own commands: the Connect control (stop a running connection, connect to
// another Tessadorn, or read a caster's source table), the two role buttons and the automatic
// connection box.
#include "caster/SourceTableRetrieval.h"
#include "console/MainDialog.h"
#include "console/PanelText.h"
#include "link/PauseSection.h"
#include "link/Transactions.h"

namespace tessadorn {

namespace p = protocol;

namespace {
constexpr std::string_view kAttention = "Attention";
// Attempts of the stop command between two questions whether to go on.
constexpr int kStopResends = 5;
constexpr int kStopReadLimit = 2048;
constexpr int kRoleResends = 5;
constexpr int kRoleReadLimit = 2048;
constexpr int kResends = 5;

bool yes(Dialog& dialog, std::string_view question) {
    return dialog.messageBox(question, kAttention, MessageButtons::YesNo) == kIdYes;
}
} // namespace

CasterAccess MainDialog::casterAccess() {
    return {m_Serial, m_Reading, m_MonitorGate, m_Clock, m_Store, m_Sources};
}

void MainDialog::connectCommand() {
    if (m_DeviceReady.load() == 0) return;
    if (m_StConnect.load() == 1) return stopConnection();
    // A `server` past the list names no caster: the panel shows none, and the modem refuses the
    // empty address the source-table request then carries.
    if (m_Store.current().Tessadorn.value() == ServerKind::Tessadorn) return connectTessadorn();
    SourceTableRetrieval(*this, casterAccess()).run();
}

void MainDialog::stopConnection() {
    if (!yes(*this, "¿Do you want to finish current connection?")) return;
    PauseSection section("CONNECT", m_Reading, m_MonitorGate, waitCursor(), m_Clock);
    Transactions tx(m_Serial, m_Reading);
    // Resent until the modem answers; after every six silent attempts the user may give up.
    while (
        !tx.SendWaitTokenLimited(p::kStopConnection, p::kTokOkLine, kStopResends, kStopReadLimit)) {
        if (m_Serial.Aborted()) return;
        if (!yes(*this, "The modem does not answer. Keep trying to stop the connection?")) return;
    }
    m_StConnect = 0;
    setText(ids::TextConnect, "Conn.");
    messageBox("Connection Finished");

    PanelInputs in = panelInputs();
    const CasterEntry& caster = in.current;
    if (caster.Tessadorn.value() != ServerKind::Caster) {
        controls().setDeviceText(ids::Line1, "Server: " + caster.name);
        controls().setDeviceText(ids::Line2, "TESSADORN IP: " + caster.ip);
        controls().setDeviceText(ids::Line3, "TESSADORN Port: " + caster.port);
    } else {
        controls().setDeviceText(ids::Line1, "Server: " + caster.name);
        controls().setDeviceText(ids::Line2, in.auth == "yes" ? "Authorization: " + in.auth + " (" +
                                                                    in.user + ")"
                                                              : "Authorization: " + in.auth);
        controls().setDeviceText(ids::Line3, panel::gpsLine(in.device));
    }
}

void MainDialog::connectTessadorn() {
    PauseSection section("C2", m_Reading, m_MonitorGate, waitCursor(), m_Clock,
                         {.debugLines = false, .waitCursor = true});
    const CasterEntry caster = m_Store.current();
    Transactions tx(m_Serial, m_Reading);
    if (tx.SendWaitToken(p::connect2(caster.ip, caster.port), p::kTokOk, kResends)) {
        messageBox("Tessadorn configured. When you press OK, application will exit.");
        endDialog(0);
        quitApplication(0);
    } else {
        messageBox("Error");
    }
}

void MainDialog::changeRole(bool toServer) {
    if (m_DeviceReady.load() == 0) return;
    if (!yes(*this, toServer ? "Change to SERVER mode?" : "Change to CLIENT mode?")) return;
    PauseSection section(toServer ? "C2S" : "S2C", m_Reading, m_MonitorGate, waitCursor(), m_Clock);
    Transactions tx(m_Serial, m_Reading);
    const bool done = tx.SendWaitTokenLimited(toServer ? p::kModeBase : p::kModeRover,
                                              p::kTokOkLine, kRoleResends, kRoleReadLimit);
    messageBox(!done ? "Tessadorn Error" : toServer ? "Tessadorn SERVER" : "Tessadorn CLIENT");
    // The modem restarts in its role (or not at all): the monitor finds it anew either way.
    m_DeviceReady = 0;
}

void MainDialog::autoConnection() {
    const bool on = controls().checked(ids::AutoConnect);
    if (!yes(*this, on ? "Enable Autoconnection mode?" : "Disable Autoconnection mode?")) {
        setChecked(ids::AutoConnect, !on);
        return;
    }
    PauseSection section(on ? "AutoConnect YES" : "AutoConnect NO", m_Reading, m_MonitorGate,
                         waitCursor(), m_Clock);
    Transactions tx(m_Serial, m_Reading);
    tx.SendWaitToken(on ? p::kAutoOn : p::kAutoOff, p::kTokOkLine, kResends);
    m_AutoConnect = on ? 1 : 0;
}

} // namespace tessadorn
