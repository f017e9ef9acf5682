#include "modem/SourceTableScanner.h"

#include "modem/CasterReply.h"
#include "modem/Protocol.h"

namespace tessadorn {

namespace p = protocol;

namespace {
std::string_view errorToken(CasterReply meaning) {
    for (const auto& e : kCasterErrorTokens)
        if (e.meaning == meaning && e.duringSourceTable) return e.token;
    return {};
}

// The field that closes a row.
constexpr int kLastRowField = 15;
} // namespace

SourceTableScanner::SourceTableScanner(SourceTable& table)
    : m_Table(table), m_Str(p::kTokStr), m_EndTable(p::kTokEndSourceTable),
      m_Error41(errorToken(CasterReply::ServerNotResponding)),
      m_Error42(errorToken(CasterReply::NotAuthorized)),
      m_Error5(errorToken(CasterReply::ConnectionError)) {
    m_Table.clear();
}

void SourceTableScanner::endField() {
    if (m_FieldNumber == 3 && (m_Field.empty() || (m_Field[0] != 'R' && m_Field[0] != 'C'))) {
        ++m_Rejected;
        m_InRow = false;
        return;
    }
    if (std::string* field = m_Row.field(m_FieldNumber)) field->assign(m_Field);
    m_Field.clear();
    if (m_FieldNumber == kLastRowField) {
        m_InRow = false;
        m_Tail = m_Table.add(m_Row) ? kLastRowField + 1 : 0;
        return;
    }
    ++m_FieldNumber;
}

void SourceTableScanner::endShortRow() {
    // A row whose line ends before its field 15 keeps the fields it has, once its format
    // (field 3) is there and accepted.
    if (m_FieldNumber < 3) {
        ++m_Rejected;
        m_InRow = false;
        return;
    }
    endField(); // the fields after it stay as the row began: empty
    m_Tail = 0;
    if (!m_InRow) return; // format refused, or field 15 completed the row
    m_InRow = false;
    m_Table.add(m_Row);
    m_Tail = 0;
}

void SourceTableScanner::feedTail(std::uint8_t byte) {
    if (byte == ';') {
        m_Tail = m_Tail == 16 ? 17 : 0;
    } else if (byte == '\r' || byte == '\n') {
        m_Tail = 0;
    } else {
        const char c = static_cast<char>(byte);
        m_Table.appendToLast(m_Tail, std::string_view(&c, 1));
    }
}

SourceTableScanner::End SourceTableScanner::feed(std::uint8_t byte) {
    if (!m_Keep) {
        // Nothing more is kept.
    } else if (!m_InRow) {
        const std::size_t tailBefore = m_Table.field(m_Table.count() - 1, m_Tail).size();
        if (m_Str.feed(byte)) {
            // The "STR" before this ";" went into the tail field: take it back.
            if (m_Tail != 0) m_Table.truncateLast(m_Tail, m_TailBeforeStr);
            m_Tail = 0;
            m_InRow = true;
            m_FieldNumber = 1;
            m_Field.clear();
            for (int n = 1; n <= SourceTableEntry::kFields; ++n)
                m_Row.field(n)->clear();
            m_Str.reset();
        } else if (m_Tail != 0) {
            if (m_Str.position() == 1) m_TailBeforeStr = tailBefore;
            feedTail(byte);
        }
    } else if (byte == ';') {
        endField();
    } else if (byte == '\r' || byte == '\n') {
        endShortRow();
    } else if (m_Field.size() < SourceTable::kMaxField) {
        m_Field.push_back(static_cast<char>(byte));
    }

    // The end marker and the error tokens are looked for in every byte.
    const bool endTable = m_EndTable.feed(byte);
    const bool error41 = m_Error41.feed(byte);
    const bool error42 = m_Error42.feed(byte);
    const bool error5 = m_Error5.feed(byte);
    if (endTable) return End::Table;
    if (error41) return End::ServerNotResponding;
    if (error42) return End::NotAuthorized;
    if (error5) return End::ConnectionError;
    return End::None;
}

SourceTableScanner::End SourceTableScanner::read(SerialChannel& serial, SourceTable& table,
                                                 const Progress& progress,
                                                 const std::atomic<bool>* stop) {
    SourceTableScanner scanner(table);
    Clock& clock = serial.clock();
    std::int64_t lastReport = clock.nowMs();
    int reported = 0;
    bool discarding = false;
    const auto report = [&] {
        lastReport = clock.nowMs();
        reported = table.count();
        if (progress) progress(reported, discarding);
    };
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    int failures = 0;
    std::size_t bytes = 0;
    for (;;) {
        if (!discarding && (table.leftOut() > 0 || stopped())) {
            // The modem cannot be told to stop sending: the rest is read and let go.
            discarding = true;
            if (stopped()) scanner.stopKeeping();
            report();
        } else if (discarding && scanner.m_Keep && stopped()) {
            scanner.stopKeeping();
        } else if (clock.nowMs() - lastReport >= kProgressIntervalMs) {
            report();
        }
        std::uint8_t byte = 0;
        if (!serial.ReadBlock(&byte, 1)) {
            // A closing program aborts the channel: every read fails at once from then on.
            if (++failures >= kFailedReadLimit || serial.Aborted()) {
                if (stopped()) return End::Stopped;
                table.clear();
                return End::ReadFailures;
            }
            continue;
        }
        if (++bytes > kMaxStreamBytes) {
            if (stopped()) return End::Stopped;
            // The rows read up to here stay, with those counted past the caps.
            if (table.count() != reported) report();
            return End::TooLong;
        }
        if (const End end = scanner.feed(byte); end != End::None) {
            if (stopped()) return End::Stopped;
            if (table.count() != reported) report();
            return end;
        }
    }
}

} // namespace tessadorn
