#pragma once

#include "modem/Position.h"
#include "modem/SourceTable.h"

#include <optional>
#include <string>

namespace tessadorn {

// One mountpoint of a source table read by its named fields, the one reading that the
// mountpoint dialog and the command line share. Texts are UTF-8 as the caster wrote them
// (read as the device code page when they are no valid UTF-8); numbers and flags are typed,
// and a blank or malformed one is unknown (none), never 0. A short row leaves its missing
// fields unknown.
struct SourceRow {
    std::string mountpoint; // as shown; the modem is sent the row's own bytes
    std::string identifier;
    std::string format;
    std::string formatDetails;
    std::optional<int> carrier; // 0 none, 1 L1, 2 L1 and L2
    std::string navSystem;
    std::string network;
    std::string country;
    std::optional<double> latitude;  // -90 to 90
    std::optional<double> longitude; // -180 to 180 (a caster's 0-360 brought back)
    // The station's place: both coordinates, not 0,0, and not a network solution (whose
    // coordinates only say roughly where it serves).
    std::optional<Position> place;
    std::optional<bool> nmea;    // "1": the caster wants the receiver's position first
    std::optional<int> solution; // 0 a single base, 1 a network
    std::string generator;
    std::string compression;
    std::string authentication; // the letter: "N" none, "B" basic, "D" digest
    std::optional<bool> authenticationRequired;
    std::optional<bool> fee; // "Y" or "N"
    std::optional<int> bitrate;

    static SourceRow read(const SourceTableEntry& entry);
    static SourceRow read(const SourceTable& table, int index) { return read(table.entry(index)); }
    // Only the place of row `index`, read as read() does.
    static std::optional<Position> placeOf(const SourceTable& table, int index);

    // The caster sends corrections only once it has the receiver's position.
    bool needsPosition() const { return nmea.value_or(false); }
    // A network solution: computed for the rover, with no place of its own.
    bool networkSolution() const { return solution.value_or(0) != 0; }

    // Why a row has no place, which also ranks it after the rows with one; empty when it has.
    std::string placeNote() const;
    // The details' lines of what a mountpoint needs.
    static constexpr const char* kNeedsPosition = "Needs your position";
    static constexpr const char* kNetworkNoPlace = "Network solution: no fixed place";
    static constexpr const char* kNoPlace = "No fixed place given";
};

// A field of a source table as shown: UTF-8 as the caster wrote it, or the device code page.
std::string sourceText(std::string_view field);

} // namespace tessadorn
