#include "caster/SourceTableRetrieval.h"

#include "caster/SourceTableDialog.h"
#include "modem/Outcomes.h"
#include "modem/SourceTableRequest.h"
#include "ui/Dialog.h"

namespace tessadorn {

namespace {
constexpr std::string_view kCaption = "ERROR";
constexpr std::string_view kNoSignalOff = outcome::kSignalNotStopped;
} // namespace

SourceTableRetrieval::SourceTableRetrieval(Dialog& parent, ModemSession& session,
                                           CasterStore& store, SourceTable& table)
    : m_Parent(parent), m_Session(session), m_Store(store), m_Table(table) {}

std::string SourceTableRetrieval::progressText(int rows) {
    return "Mountpoints read: " + std::to_string(rows);
}

void SourceTableRetrieval::run() {
    m_Table.clear();
    // A `server` past the list (a hand-edited file) names no caster: nothing to ask the modem.
    bool named = false;
    CasterEntry caster;
    {
        std::lock_guard lock(m_Store.mutex());
        named = m_Store.serverInList();
        caster = m_Store.current();
    }
    if (!named) {
        m_Parent.messageBox(sourceTableFailureText(SourceTableScanner::End::ReadFailures),
                            kCaption);
        return;
    }
    WaitCursor& cursor = m_Parent.waitCursor();
    cursor.showWait();
    // The section keeps the monitor paused until the mountpoint dialog has closed; the cursor is
    // this retrieval's own business.
    PauseSection section =
        m_Session.pause("LIST", cursor, {.debugLines = true, .waitCursor = false});
    SourceTableRequest request(m_Session);

    if (!request.signalOff()) {
        section.end();
        cursor.restore();
        m_Parent.messageBox(kNoSignalOff, kCaption);
        return;
    }

    // The window's title counts the mountpoints while the table comes (a few times a second).
    ControlModel& window = m_Parent.controls();
    const std::string title = window.title();
    const auto result = request.readTable(sourceTableAddress(caster), m_Table, [&window](int rows) {
        window.setTitle(progressText(rows));
    });
    window.setTitle(title);
    cursor.restore();

    if (result != SourceTableScanner::End::Table) {
        m_Parent.messageBox(sourceTableFailureText(result), kCaption);
        return;
    }
    request.closeExchange();
    SourceTableDialog dialog(m_Parent, m_Session, m_Store, m_Table);
    m_Parent.runModal(dialog);
}

} // namespace tessadorn
