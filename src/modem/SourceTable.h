#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// One STR row of a caster's source table, every field as received (device code page), each at
// most SourceTable::kMaxField bytes. Field numbers count from the one right after "STR;".
struct SourceTableEntry {
    std::string mountpoint;     // 1, sent in the connect command
    std::string identifier;     // 2
    std::string format;         // 3, begins with "R" or "C"
    std::string formatDetails;  // 4
    std::string carrier;        // 5
    std::string navSystem;      // 6
    std::string network;        // 7
    std::string country;        // 8
    std::string latitude;       // 9
    std::string longitude;      // 10
    std::string nmea;           // 11
    std::string solution;       // 12: "0" a single base, anything else a network
    std::string generator;      // 13
    std::string compression;    // 14
    std::string authentication; // 15: "N" none, anything else user and password
    std::string fee;            // 16
    std::string bitrate;        // 17

    static constexpr int kFields = 17;
    // Field `number` (1 to 17); nullptr for any other number.
    std::string* field(int number);
    const std::string* field(int number) const;

    bool operator==(const SourceTableEntry&) const = default;
};

// The mountpoints of the last source table read from a caster, in the order their rows came.
// Rows are packed into blocks of bytes, so that a large table costs little more than its text
// and never moves once stored. The table holds at most kMaxRecords rows and kMaxBytes bytes of
// fields; rows past either bound are counted in leftOut(). Only the dialog thread reads or
// writes it.
class SourceTable {
  public:
    static constexpr int kMaxRecords = 10000;
    static constexpr std::size_t kMaxBytes = 8u * 1024 * 1024;
    static constexpr std::size_t kMaxField = 99;

    int count() const { return static_cast<int>(m_Rows.size()); }
    bool empty() const { return m_Rows.empty(); }
    // Bytes of fields stored.
    std::size_t bytes() const { return m_Bytes; }
    // Accepted rows that did not fit.
    int leftOut() const { return m_LeftOut; }

    // Field `number` (1 to 17) of row `index`; empty for a row or field that is not there.
    std::string_view field(int index, int number) const;
    std::string_view mountpoint(int index) const { return field(index, 1); }
    // Row `index` as a whole (a default entry when there is none).
    SourceTableEntry entry(int index) const;
    // The first row whose mountpoint is the name a user typed (UTF-8), or -1. Each row's name
    // is read as the caster wrote it: as UTF-8 where its bytes are valid UTF-8, else in the
    // device code page. The row's own bytes are what the modem must be sent.
    int findTyped(std::string_view utf8) const;

    // Forgets every row and the count of rows left out.
    void clear();
    // Stores a row after the others (each field cut at kMaxField bytes); false, and counted as
    // left out, when the table is full or an earlier row was left out.
    bool add(const SourceTableEntry& row);
    // Appends bytes to field 16 or 17 of the last row, as long as no later field holds any and
    // the field stays within kMaxField bytes. Returns the bytes taken.
    std::size_t appendToLast(int number, std::string_view bytes);
    // Cuts field 16 or 17 of the last row to `length` bytes, when no later field holds any.
    void truncateLast(int number, std::size_t length);

  private:
    static constexpr std::size_t kBlock = 64 * 1024;
    // Room kept after a row for the two fields that may follow it.
    static constexpr std::size_t kTail = 2 * kMaxField;
    struct Row {
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
        std::array<std::uint16_t, SourceTableEntry::kFields> ends{}; // from `offset`
    };
    std::size_t fieldStart(const Row& row, int number) const;

    std::vector<std::string> m_Blocks; // each reserved to kBlock, never reallocated
    std::vector<Row> m_Rows;
    std::size_t m_Bytes = 0;
    int m_LeftOut = 0;
};

} // namespace tessadorn
