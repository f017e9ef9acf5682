#include "caster/SourceTableRetrieval.h"

#include "caster/SourceTableDialog.h"
#include "link/PauseSection.h"
#include "link/Transactions.h"
#include "platform/DebugOutput.h"
#include "ui/Dialog.h"

namespace tessadorn {

namespace p = protocol;

namespace {
constexpr std::string_view kCaption = "ERROR";
constexpr std::string_view kNoSignalOff = "Error 1";
constexpr std::string_view kNoTable = "Error 2";
} // namespace

SourceTableRetrieval::SourceTableRetrieval(Dialog& parent, CasterAccess access)
    : m_Parent(parent), m_Access(access) {}

std::string_view SourceTableRetrieval::failureText(SourceTableScanner::End end) {
    using End = SourceTableScanner::End;
    switch (end) {
    case End::ServerNotResponding:
        return "Server is not responding.\r\nPlease check your Server settings";
    case End::NotAuthorized:
        return "Connection not authorized.\r\nPlease check your User and Password";
    case End::ConnectionError:
        return "Connection Error.\r\nPlease try again.";
    case End::Table:
    case End::ReadFailures:
    case End::None:
        break;
    }
    return kNoTable;
}

void SourceTableRetrieval::closeExchange() {
    SerialChannel& serial = m_Access.m_Serial;
    debugLine("LIST: Waiting for SHUTDOWN...\r\n");
    debugLine(serial.WaitTokenLimited(p::kTokShutdown, kCloseReadLimit)
                  ? "LIST: SHUTDOWN Found!!\r\n"
                  : "LIST: SHUTDOWN Not Found!!\r\n");
    m_Access.m_Clock.sleepMs(kClosePauseMs);
    debugLine("LIST: Waiting for <OK...\r\n");
    debugLine(serial.WaitTokenLimited(p::kTokOkPrompt, kCloseReadLimit)
                  ? "LIST: OK Found!!\r\n"
                  : "LIST: OK Not Found!!\r\n");
}

void SourceTableRetrieval::run() {
    SourceTable& table = m_Access.m_Table;
    table.m_SourceCount = 0;
    WaitCursor& cursor = m_Parent.waitCursor();
    cursor.showWait();
    // The section keeps the monitor paused until the mountpoint dialog has closed; the cursor is
    // this retrieval's own business.
    PauseSection section("LIST", m_Access.m_Reading, m_Access.m_MonitorGate, cursor,
                         m_Access.m_Clock, {.debugLines = true, .waitCursor = false});
    Transactions tx(m_Access.m_Serial, m_Access.m_Reading);

    if (!tx.SendWaitToken(p::kSignalOff, p::kTokSignalOff, kSignalOffResends)) {
        section.end();
        cursor.restore();
        m_Parent.messageBox(kNoSignalOff, kCaption);
        return;
    }

    const CasterEntry caster = m_Access.m_Store.current();
    const auto list = p::list(static_cast<int>(caster.vntrip.value()), caster.ip, caster.port,
                              caster.user, caster.Password);
    const int accepted =
        tx.SendWaitEither(list, p::kTokCmdOk, p::kTokCmdError, kListResends, kListReadLimit);
    const auto result = accepted == 1 ? SourceTableScanner::read(m_Access.m_Serial, table)
                                      : SourceTableScanner::End::ReadFailures;
    cursor.restore();

    if (result != SourceTableScanner::End::Table) {
        m_Parent.messageBox(failureText(result), kCaption);
        return;
    }
    closeExchange();
    SourceTableDialog dialog(m_Parent, m_Access);
    m_Parent.runModal(dialog);
}

} // namespace tessadorn
