#pragma once

#include "store/CasterDocument.h"

#include <array>
#include <string>
#include <string_view>

namespace tessadorn {

// The edits of the caster list that the server list, the server edit and the current caster
// dialogs make, and the command line makes the same way. Each works on the document as it is
// (the caller holds the store's lock and saves after).
namespace caster_list {

// One caster as typed: its texts (device code page) and its NTRIP version as a row of the
// version list (0 NTRIP 1.0, 1 NTRIP 2.0, 2 IBSS; -1 none chosen).
struct TypedCaster {
    std::string name;
    std::string ip;
    std::string port;
    std::string user;
    std::string password;
    int versionRow = 0;
};

constexpr int kIbssRow = 2;
// The port every IBSS caster is reached at.
inline constexpr std::string_view kIbssPort = "2101";

// The names of the five fields as the edit dialog captions them for a version: an IBSS
// caster's server is its "Organization" and its user its "Device".
std::array<std::string, 5> fieldNames(int versionRow);

// The message naming the first field whose value cannot be stored or sent, or an empty text.
// `names` are the fields' names in the order name, server, port, user, password.
std::string refusal(const TypedCaster& typed, const std::array<std::string, 5>& names);

// The message naming `field` when `value` is longer than a dialog's edit holds (48 characters);
// refusal() applies it to every caster field. A value kept from the file (up to 49 bytes) that
// the user did not type is not checked with it.
std::string tooLong(std::string_view field, std::string_view value);

// The slot of the first caster called `name`, or -1.
int find(const CasterDocument& doc, std::string_view name);

// Writes `typed` into the caster at `slot`, or appends it for kNewCaster; false (nothing
// changed) when the list is full or the slot names no caster.
constexpr int kNewCaster = -1;
bool store(CasterDocument& doc, int slot, const TypedCaster& typed);

// Deletes the caster at `slot`; every later caster moves up one, and the current choice starts
// again from the first caster (none for an empty list). False when the slot names no caster.
bool remove(CasterDocument& doc, int slot);

// Makes the caster at `slot` the current one, with its user and password and whether it needs
// authentication. False (nothing changed) when there is no current choice to make or the slot
// names no caster.
bool use(CasterDocument& doc, int slot, bool authenticate);

// The modem's APN block as typed in the APN dialog.
struct TypedApn {
    std::string apn;
    std::string user;
    std::string password;
};
// The message naming the first of "APN", "User", "Password" that cannot be kept or sent: the file
// cannot hold "<", the modem hands the values back comma-separated and the update quotes them.
std::string apnRefusal(const TypedApn& typed);
// True when the list already holds exactly this block.
bool sameApn(const CasterDocument& doc, const TypedApn& typed);
// The list takes the block (written before the modem is told).
void setApn(CasterDocument& doc, const TypedApn& typed);

// The APN block a dialog's edits were filled with from the list. An edit holds at most 48
// characters and the list up to 49 bytes, so an edit that still shows what it showed at the
// start stands for the whole value: only what the user changed is taken as typed.
struct ApnPrefill {
    TypedApn stored;
    TypedApn shown;
    TypedApn typed(const TypedApn& read) const;
};

} // namespace caster_list
} // namespace tessadorn
