// The main dialog's own commands: the Connect control (stop a running connection, connect to
// another Tessadorn, or read a caster's source table), the two role buttons and the automatic
// connection box.
#include "caster/SourceTableRetrieval.h"
#include "console/MainDialog.h"
#include "console/PanelText.h"
#include "link/PauseSection.h"
#include "modem/ConnectionCommands.h"
#include "modem/Outcomes.h"

namespace tessadorn {

namespace {
constexpr std::string_view kAttention = "Attention";

bool yes(Dialog& dialog, std::string_view question) {
    return dialog.messageBox(question, kAttention, MessageButtons::YesNo) == kIdYes;
}
} // namespace

void MainDialog::connectCommand() {
    if (!m_Session.deviceReady()) return;
    if (m_Session.stConnect() == 1) return stopConnection();
    // A `server` past the list names no caster: the panel shows none, and the source-table
    // retrieval refuses it without a word to the modem.
    if (m_Store.current().Tessadorn.value() == ServerKind::Tessadorn) return connectTessadorn();
    SourceTableRetrieval(*this, m_Session, m_Store, m_Sources).run();
}

void MainDialog::stopConnection() {
    if (!yes(*this, "¿Do you want to finish current connection?")) return;
    PauseSection section = m_Session.pause("CONNECT", waitCursor());
    ConnectionCommands commands(m_Session);
    // Resent until the modem answers; after every six silent attempts the user may give up.
    while (!commands.stopConnection()) {
        if (m_Session.serial().Aborted()) return;
        if (!yes(*this, "The modem does not answer. Keep trying to stop the connection?")) return;
    }
    m_Session.connectionState(ModemSession::kConnectionUnknown);
    setText(ids::TextConnect, "Conn.");
    messageBox(outcome::kConnectionFinished);

    // The panel's lines of the current caster, or its empty ones when `server` names none.
    for (const auto& [id, text] : panel::currentCasterLines(panelInputs(), false))
        if (text) controls().setDeviceText(id, *text);
}

void MainDialog::connectTessadorn() {
    PauseSection section =
        m_Session.pause("C2", waitCursor(), {.debugLines = false, .waitCursor = true});
    const CasterEntry caster = m_Store.current();
    if (ConnectionCommands(m_Session).connectDirect(caster.ip, caster.port)) {
        messageBox("Tessadorn configured. When you press OK, application will exit.");
        endDialog(0);
        quitApplication(0);
    } else {
        messageBox(outcome::kDirectRefused);
    }
}

void MainDialog::changeRole(bool toServer) {
    if (!m_Session.deviceReady()) return;
    if (!yes(*this, toServer ? "Change to SERVER mode?" : "Change to CLIENT mode?")) return;
    PauseSection section = m_Session.pause(toServer ? "C2S" : "S2C", waitCursor());
    const bool done = ConnectionCommands(m_Session).setRole(toServer);
    messageBox(done ? outcome::roleChanged(toServer) : outcome::kRoleRefused);
    // The modem restarts in its role (or not at all): the monitor finds it anew either way.
    m_Session.notReady();
}

void MainDialog::autoConnection() {
    const bool on = controls().checked(ids::AutoConnect);
    if (!yes(*this, on ? "Enable Autoconnection mode?" : "Disable Autoconnection mode?")) {
        setChecked(ids::AutoConnect, !on);
        return;
    }
    PauseSection section = m_Session.pause(on ? "AutoConnect YES" : "AutoConnect NO", waitCursor());
    ConnectionCommands(m_Session).setAutoConnect(on);
    m_Session.autoConnectState(on ? 1 : 0);
}

} // namespace tessadorn
