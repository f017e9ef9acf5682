#pragma once

#include "store/CasterEntry.h"
#include "store/DecimalText.h"
#include "store/FileValue.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tessadorn {

// A number of the file as its text and its value, read as decimalValue reads it.
using FileNumber = FileValue<int, decimalValue>;

// The contents of the caster list file "ntripcfg.txt": up to 25 casters, the current caster
// with its credentials, the modem's APN block and the automatic-connection value.
// Plain data; CasterStore adds the file and the lock.
class CasterDocument {
  public:
    static constexpr int kMaxEntries = 25;
    // Longest value the file may supply (the rest of a longer value is dropped).
    static constexpr std::size_t kMaxValue = 49;
    // Longest `server` text.
    static constexpr std::size_t kMaxServer = 9;

    // Slots 0 .. count - 1 are the list, in list order, without holes.
    std::array<CasterEntry, kMaxEntries> entries;
    int count = 0;
    // A current caster has been chosen; the current section is written only while it is set.
    bool hasCurrent = false;
    FileNumber server;           // slot of the current caster, decimal text
    std::string auth = "yes";    // "yes" or "no": the current caster needs authentication
    std::string user;            // credentials used with the current caster
    std::string password;        //
    std::string carrier;         // "yes": the APN block below is written to the file
    std::string apn;             // the modem's APN
    std::string carrierUser;     // its user
    std::string carrierPassword; // its password
    std::string AutoConnection;  // kept as read and written back

    // The state at the start of a load: no casters, no current caster, "yes" for auth, every
    // other text empty. The entry slots keep their contents.
    void reset();

    // True when the file carries `value` and reads it back the same: no "<" (which would end
    // the value) and at most `limit` bytes.
    static bool fileCanCarry(std::string_view value, std::size_t limit = kMaxValue);

    // The first value that the file would write but could not read back the same, named as
    // "apn" or "caster 3 name"; empty when every value fits.
    std::string fieldTheFileCannotCarry() const;
};

} // namespace tessadorn
