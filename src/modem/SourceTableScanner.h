#pragma once

#include "link/SerialChannel.h"
#include "link/TokenMatcher.h"
#include "modem/SourceTable.h"

#include <cstdint>
#include <string>

namespace tessadorn {

// Reads a source table as the modem relays it, one byte at a time, into a SourceTable.
//
// "STR;" opens a row (only outside a row); ";" ends a field; the row ends at the ";" that closes
// its field 15, so line ends are ordinary bytes. Fields 1, 2, 3, 12 and 15 are kept, each cut at
// SourceTable::kMaxField bytes. A row whose format does not begin with "R" or "C" is dropped, as
// is every row once the table is full; the scan itself goes on to its end.
//
// Every byte, inside a row or not, is also watched for the end marker and the modem's error
// tokens; the scan is over as soon as one of them is complete.
class SourceTableScanner {
  public:
    enum class End {
        None,
        Table,
        ServerNotResponding,
        NotAuthorized,
        ConnectionError,
        ReadFailures
    };
    static constexpr int kFailedReadLimit = 5;

    // Starts with an empty table (its count set to 0).
    explicit SourceTableScanner(SourceTable& table);

    // Feeds one byte; returns how the scan ended with it, or End::None to go on. After an end
    // the scanner must not be fed again.
    End feed(std::uint8_t byte);

    // Reads the table from the modem one byte at a time until the end marker, an error token or
    // the fifth failed read, which empties the table (so does an aborted channel).
    static End read(SerialChannel& serial, SourceTable& table);

    bool inRow() const { return m_InRow; }
    // Rows whose format was not accepted, and accepted rows that found the table full.
    int rejectedRows() const { return m_Rejected; }
    int droppedRows() const { return m_Dropped; }

  private:
    void endField();

    SourceTable& m_Table;
    SourceTableEntry m_Row;
    std::string m_Field;
    bool m_InRow = false;
    int m_FieldNumber = 0;
    int m_Rejected = 0;
    int m_Dropped = 0;
    TokenMatcher m_Str;
    TokenMatcher m_EndTable;
    TokenMatcher m_Error41;
    TokenMatcher m_Error42;
    TokenMatcher m_Error5;
};

} // namespace tessadorn
