#pragma once

#include "link/SerialChannel.h"
#include "link/TokenMatcher.h"
#include "modem/SourceTable.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tessadorn {

// Reads a source table as the modem relays it, one byte at a time, into a SourceTable.
//
// "STR;" opens a row (only outside a row); ";" ends a field; the row ends at the ";" that closes
// its field 15, or at a line end: a shorter row keeps the fields it has and leaves the others
// empty. Anything before the first "STR;" (a reply header some modems relay) and the CAS and NET
// records are passed over. Fields 1 to 15 are kept, each cut at SourceTable::kMaxField bytes.
// A row whose format does not begin with "R" or "C" (or that ends before it) is dropped,
// and so is every row once the table is full (counted in the table's leftOut()); the scan itself
// goes on to its end.
//
// After a stored row the bytes up to the next ";" are its field 16 and those up to the ";" after
// that, or up to a line end, its field 17. They are taken while the scan looks for the next
// "STR;" as it does after any row, so they never change which rows are read; a "STR;" among them
// is not part of the fields.
//
// Every byte, inside a row or not, is also watched for the end marker and the modem's error
// tokens; the scan is over as soon as one of them is complete. Once it keeps no more rows
// (stopKeeping()) it only watches for them.
class SourceTableScanner {
  public:
    enum class End {
        None,
        Table,
        ServerNotResponding,
        NotAuthorized,
        ConnectionError,
        ReadFailures,
        // The stream went on past kMaxStreamBytes without an end marker or an error token:
        // the rows read up to there are kept (and those left out past the caps counted).
        TooLong,
        // The reader was asked to stop: the rest was discarded as it came.
        Stopped
    };
    static constexpr int kFailedReadLimit = 5;
    // How often read() reports the rows read so far, in milliseconds of the channel's clock.
    static constexpr std::int64_t kProgressIntervalMs = 250;
    // The most the scan reads of one relayed stream. The program keeps at most
    // SourceTable::kMaxBytes of fields, and the text that carries a table is its fields plus
    // separators and the lines and rows it skips: the largest public casters' tables are well
    // under 1 MB, and a table twice the row cap (20 000 rows of about 160 bytes) is about 3 MB,
    // so 8 MB reads every real table to its end and counts the rows left out past the caps.
    // A stream longer than that is not read further (a caster that streams data instead of its
    // table, a modem that relays in a loop): the rows read up to there are shown, or with none
    // "Error 2". At 115200 bit/s the bound
    // is reached after about 12 minutes, at 9600 bit/s after about 2.4 hours; the window's
    // title says once the rows are no longer kept, and the user may stop sooner.
    static constexpr std::size_t kMaxStreamBytes = SourceTable::kMaxBytes;
    // Hears the number of rows stored so far, and whether the rest is being discarded (the
    // table is full, or the reader was asked to stop).
    using Progress = std::function<void(int rows, bool discarding)>;

    // Starts with an empty table.
    explicit SourceTableScanner(SourceTable& table);

    // Feeds one byte; returns how the scan ended with it, or End::None to go on. After an end
    // the scanner must not be fed again.
    End feed(std::uint8_t byte);

    // From now on no byte begins or feeds a row; only the end marker and the error tokens count.
    void stopKeeping() { m_Keep = false; }

    // Reads the table from the modem one byte at a time until the end marker, an error token,
    // the fifth failed read, which empties the table (so does an aborted channel), or
    // kMaxStreamBytes (End::TooLong, the rows read so far kept). `progress`, when given, hears the
    // rows stored every kProgressIntervalMs while the table comes, and at once when the rest starts
    // to be discarded. Once `stop` is raised (any thread) no more rows are kept, the rest is
    // read to its end and discarded, and the scan ends with End::Stopped.
    static End read(SerialChannel& serial, SourceTable& table, const Progress& progress = {},
                    const std::atomic<bool>* stop = nullptr);

    // Rows whose format was not accepted, and accepted rows that found the table full.
    int rejectedRows() const { return m_Rejected; }
    int droppedRows() const { return m_Table.leftOut(); }

  private:
    void endField();
    void endShortRow();
    void feedTail(std::uint8_t byte);

    SourceTable& m_Table;
    SourceTableEntry m_Row;
    std::string m_Field;
    bool m_InRow = false;
    bool m_Keep = true;
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
