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
} // namespace

SourceTableScanner::SourceTableScanner(SourceTable& table)
    : m_Table(table), m_Str(p::kTokStr), m_EndTable(p::kTokEndSourceTable),
      m_Error41(errorToken(CasterReply::ServerNotResponding)),
      m_Error42(errorToken(CasterReply::NotAuthorized)),
      m_Error5(errorToken(CasterReply::ConnectionError)) {
    m_Table.m_SourceCount = 0;
}

static bool keptField(int number) {
    return number == 1 || number == 2 || number == 3 || number == 12 || number == 15;
}

void SourceTableScanner::endField() {
    switch (m_FieldNumber) {
    case 1:
        m_Row.mountpoint = std::move(m_Field);
        break;
    case 2:
        m_Row.identifier = std::move(m_Field);
        break;
    case 3:
        if (m_Field.empty() || (m_Field[0] != 'R' && m_Field[0] != 'C')) {
            ++m_Rejected;
            m_InRow = false;
            return;
        }
        m_Row.format = std::move(m_Field);
        break;
    case 12:
        m_Row.solution = std::move(m_Field);
        break;
    case 15:
        m_Row.authentication = std::move(m_Field);
        if (m_Table.m_SourceCount < SourceTable::kMaxRecords)
            m_Table.m_SourceTable[static_cast<std::size_t>(m_Table.m_SourceCount++)] =
                std::move(m_Row);
        else
            ++m_Dropped;
        m_InRow = false;
        return;
    default:
        break;
    }
    m_Field.clear();
    ++m_FieldNumber;
}

SourceTableScanner::End SourceTableScanner::feed(std::uint8_t byte) {
    if (!m_InRow) {
        if (m_Str.feed(byte)) {
            m_InRow = true;
            m_FieldNumber = 1;
            m_Field.clear();
            m_Row = SourceTableEntry{};
            m_Str.reset();
        }
    } else if (byte == ';') {
        endField();
    } else if (keptField(m_FieldNumber) && m_Field.size() < SourceTable::kMaxField) {
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

SourceTableScanner::End SourceTableScanner::read(SerialChannel& serial, SourceTable& table) {
    SourceTableScanner scanner(table);
    int failures = 0;
    for (;;) {
        std::uint8_t byte = 0;
        if (!serial.ReadBlock(&byte, 1)) {
            // A closing program aborts the channel: every read fails at once from then on.
            if (++failures >= kFailedReadLimit || serial.Aborted()) {
                table.m_SourceCount = 0;
                return End::ReadFailures;
            }
            continue;
        }
        if (const End end = scanner.feed(byte); end != End::None) return end;
    }
}

} // namespace tessadorn
