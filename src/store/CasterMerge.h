#pragma once

#include "store/CasterDocument.h"

#include <string>
#include <vector>

namespace tessadorn {

// A change of this program that the merge could not make because another program changed the
// same thing differently in between: the other program's version was kept.
struct CasterConflict {
    enum class Kind {
        EditedBoth,         // both changed the caster, differently: the disk's version stays
        DeletedHereChanged, // deleted here, changed on disk: the changed caster stays
        ChangedHereDeleted, // changed here, deleted on disk: this side's version stays
        MovedBoth,          // both reordered it, not to one order: it stays where the disk has it
        ChosenDeleted,      // chosen as current here, deleted on disk: the disk's choice stays
        CurrentBoth,        // both chose a current caster or its credentials: the disk's stay
        ApnBoth,            // both changed the APN block: the disk's stays
    };
    Kind kind;
    std::string name; // the caster's name (device code page); empty for ApnBoth
    std::string ip;   // its host and port, telling apart casters of one name
    std::string port;

    // The message for the user, in the caster dialogs' words (UTF-8).
    std::string message() const;
};

// Brings one program's changes to the caster list onto the list as another program saved it
// since: `base` is the list as this program last read or wrote it, `ours` the list as it stands
// here now, `theirs` the list on disk now.
//
// A caster is known by what it is, not by its name: each list is lined up with `base` (casters
// equal in every field in their order first, then a changed caster at the place it had, then a
// caster moved whole), which tells for every caster of `base` whether a side kept, changed,
// moved or deleted it, and which casters a side added. This side's changes are then replayed on
// the disk's list, each on the caster it was made on: an edit replaces the caster, a deletion
// removes it, an added or moved caster goes where it keeps the order this side gave it (and the
// disk's order where this side kept the base's). When both sides
// changed one caster differently, the disk's version stays and a conflict is reported; a
// caster deleted on one side and changed on the other stays, changed; two added casters both stay
// unless they are equal in every field.
//
// The current section moves as one: the chosen caster with its authentication, user and
// password comes from this side when this side changed any of them, else from the disk, and
// follows that caster to its new place. The APN block moves as one the same way.
//
// False when the merged list would hold more than kMaxEntries casters: `merged` then keeps the
// first kMaxEntries and the caller refuses the save.
bool mergeCasterLists(const CasterDocument& base, const CasterDocument& ours,
                      const CasterDocument& theirs, CasterDocument& merged,
                      std::vector<CasterConflict>& conflicts);

} // namespace tessadorn
