#include "caster/SourceTableRetrieval.h"

#include "caster/SourceTableDialog.h"
#include "modem/Outcomes.h"
#include "modem/SourceTableRequest.h"
#include "ui/Dialog.h"

#include <atomic>
#include <thread>

namespace tessadorn {

namespace {
constexpr std::string_view kCaption = "ERROR";
constexpr std::string_view kNoSignalOff = outcome::kSignalNotStopped;

// Escape while the table comes in: the question is asked on a thread of its own, as the dialog
// thread must go on reading (the modem does not wait). Yes stops the request.
class StopQuestion {
  public:
    StopQuestion(Dialog& parent, SourceTableRequest& request)
        : m_Parent(parent), m_Request(request) {
        m_Parent.host().setEscapeWhileBusy([this] { m_Escaped = true; });
    }
    ~StopQuestion() {
        m_Parent.host().setEscapeWhileBusy({});
        if (m_Asker.joinable()) m_Asker.join();
    }
    StopQuestion(const StopQuestion&) = delete;
    StopQuestion& operator=(const StopQuestion&) = delete;

    // Dialog thread, while the table comes: asks when Escape was pressed and no question is up.
    void poll() {
        if (!m_Escaped.exchange(false) || m_Asking.load() || m_Request.stopRequested()) return;
        if (m_Asker.joinable()) m_Asker.join();
        m_Asking = true;
        m_Asker = std::thread([this] {
            if (m_Parent.messageBox(SourceTableRetrieval::kStopQuestion, "Attention",
                                    MessageButtons::YesNo) == kIdYes)
                m_Request.requestStop();
            m_Asking = false;
        });
    }
    // Dialog thread, once the table is in: a question still up is answered first.
    bool stopped() {
        if (m_Asker.joinable()) m_Asker.join();
        return m_Request.stopRequested();
    }

  private:
    Dialog& m_Parent;
    SourceTableRequest& m_Request;
    std::atomic<bool> m_Escaped{false};
    std::atomic<bool> m_Asking{false};
    std::thread m_Asker;
};
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

    // The window's title counts the mountpoints while the table comes (a few times a second),
    // and says when the rest is only discarded.
    ControlModel& window = m_Parent.controls();
    const std::string title = window.title();
    StopQuestion question(m_Parent, request);
    const auto result = request.readTable(
        sourceTableAddress(caster), m_Table, [&window, &question](int rows, bool discarding) {
            window.setTitle(discarding ? std::string(kDiscardingText) : progressText(rows));
            question.poll();
        });
    const bool stopped = question.stopped();
    window.setTitle(title);
    cursor.restore();

    // A stopped table was read to its end only to free the line: no dialog shows it.
    if (stopped) {
        if (result == SourceTableScanner::End::Table) request.closeExchange();
        return;
    }
    // A table read up to the most the program reads shows the rows it got; the modem is still
    // sending the rest, so there is no exchange to close.
    const bool cut = result == SourceTableScanner::End::TooLong && m_Table.count() > 0;
    if (result != SourceTableScanner::End::Table && !cut) {
        m_Parent.messageBox(sourceTableFailureText(result), kCaption);
        return;
    }
    if (!cut) request.closeExchange();
    SourceTableDialog dialog(m_Parent, m_Session, m_Store, m_Table);
    m_Parent.runModal(dialog);
}

} // namespace tessadorn
