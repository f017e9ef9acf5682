#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace tessadorn {

// One STR row of a caster's source table, as the mountpoint dialog needs it. Each field holds
// the row's bytes (device code page) exactly as received, at most kMaxField of them.
struct SourceTableEntry {
    std::string mountpoint;     // field 1
    std::string identifier;     // field 2
    std::string format;         // field 3, begins with "R" or "C"
    std::string solution;       // field 12: "0" a single base, anything else a network
    std::string authentication; // field 15: "N" none, anything else user and password

    bool operator==(const SourceTableEntry&) const = default;
};

// The mountpoints of the last source table read from a caster, in the order their rows came.
// Only the dialog thread reads or writes it.
struct SourceTable {
    static constexpr int kMaxRecords = 250;
    static constexpr std::size_t kMaxField = 99;

    std::array<SourceTableEntry, kMaxRecords> m_SourceTable;
    // Valid records: 0 .. m_SourceCount - 1.
    int m_SourceCount = 0;
};

} // namespace tessadorn
