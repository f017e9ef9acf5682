#pragma once

#include "link/SerialChannel.h"
#include "link/TokenMatcher.h"
#include "modem/SourceTable.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tessadorn {

// Reads a source table as the modem relays it, one byte at a time, into a SourceTable.
//
// "STR;" opens a row (only outside a row); ";" ends a field; the row ends at the ";" that closes
// its field 15, so line ends are ordinary bytes. Fields 1 to 15 are kept, each cut at
// SourceTable::kMaxField bytes. A row whose format does not begin with "R" or "C" is dropped,
// and so is every row once the table is full (counted in the table's leftOut()); the scan itself
// goes on to its end.
//
// After a stored row the bytes up to the next ";" are its field 16 and those up to the ";" after
// that, or up to a line end, its field 17. They are taken while the scan looks for the next
// "STR;" as it does after any row, so they never change which rows are read; a "STR;" among them
// is not part of the fields.
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
    // How often read() reports the rows read so far, in milliseconds of the channel's clock.
    static constexpr std::int64_t kProgressIntervalMs = 250;
    // Hears the number of rows stored so far.
    using Progress = std::function<void(int rows)>;

    // Starts with an empty table.
    explicit SourceTableScanner(SourceTable& table);

    // Feeds one byte; returns how the scan ended with it, or End::None to go on. After an end
    // the scanner must not be fed again.
    End feed(std::uint8_t byte);

    // Reads the table from the modem one byte at a time until the end marker, an error token or
    // the fifth failed read, which empties the table (so does an aborted channel). `progress`,
    // when given, hears the rows stored at most every kProgressIntervalMs while the table comes.
    static End read(SerialChannel& serial, SourceTable& table, const Progress& progress = {});

    // Rows whose format was not accepted, and accepted rows that found the table full.
    int rejectedRows() const { return m_Rejected; }
    int droppedRows() const { return m_Table.leftOut(); }

  private:
    void endField();
    void feedTail(std::uint8_t byte);

    SourceTable& m_Table;
    SourceTableEntry m_Row;
    std::string m_Field;
    bool m_InRow = false;
    int m_FieldNumber = 0;
    int m_Rejected = 0;
    // Field (16 or 17) of the last stored row that takes the bytes after it; 0 for none.
    int m_Tail = 0;
    // The tail field's length before the byte that may have begun a "STR;".
    std::size_t m_TailBeforeStr = 0;
    TokenMatcher m_Str;
    TokenMatcher m_EndTable;
    TokenMatcher m_Error41;
    TokenMatcher m_Error42;
    TokenMatcher m_Error5;
};

} // namespace tessadorn
