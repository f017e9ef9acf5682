#include "modem/SourceTableRequest.h"

#include "modem/CasterReply.h"
#include "modem/Protocol.h"
#include "platform/DebugOutput.h"

namespace tessadorn {

namespace p = protocol;

SourceTableRequest::SourceTableRequest(ModemSession& session) : m_Session(session) {}

bool SourceTableRequest::signalOff() {
    return m_Session.transactions().SendWaitToken(p::kSignalOff, p::kTokSignalOff,
                                                  kSignalOffResends) != 0;
}

SourceTableScanner::End
SourceTableRequest::readTable(const CasterAddress& caster, SourceTable& table,
                              const SourceTableScanner::Progress& progress) {
    table.clear();
    const auto list = p::list(static_cast<int>(caster.kind), caster.ip, caster.port, caster.user,
                              caster.password);
    const int accepted = m_Session.transactions().SendWaitEither(
        list, p::kTokCmdOk, p::kTokCmdError, kListResends, kListReadLimit);
    if (accepted != 1) return SourceTableScanner::End::ReadFailures;
    const auto end = SourceTableScanner::read(m_Session.serial(), table, progress, &m_Stop);
    if (end == SourceTableScanner::End::Stopped) closeExchange();
    return end;
}

void SourceTableRequest::closeExchange() {
    SerialChannel& serial = m_Session.serial();
    // A closing program aborted the line: nothing more will be read, and the close waits for
    // nothing.
    if (serial.Aborted()) return;
    debugLine("LIST: Waiting for SHUTDOWN...\r\n");
    debugLine(serial.WaitTokenLimited(p::kTokShutdown, kCloseReadLimit)
                  ? "LIST: SHUTDOWN Found!!\r\n"
                  : "LIST: SHUTDOWN Not Found!!\r\n");
    m_Session.clock().sleepMs(kClosePauseMs);
    debugLine("LIST: Waiting for <OK...\r\n");
    debugLine(serial.WaitTokenLimited(p::kTokOkPrompt, kCloseReadLimit)
                  ? "LIST: OK Found!!\r\n"
                  : "LIST: OK Not Found!!\r\n");
}

std::string_view sourceTableFailureText(SourceTableScanner::End end) {
    using End = SourceTableScanner::End;
    switch (end) {
    case End::ServerNotResponding:
        return casterReplyMessage(CasterReply::ServerNotResponding);
    case End::NotAuthorized:
        return casterReplyMessage(CasterReply::NotAuthorized);
    case End::ConnectionError:
        return casterReplyMessage(CasterReply::ConnectionError);
    case End::Table:
    case End::ReadFailures:
    case End::TooLong:
    case End::Stopped:
    case End::None:
        break;
    }
    return "Error 2";
}

} // namespace tessadorn
