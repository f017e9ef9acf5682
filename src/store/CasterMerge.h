#pragma once

#include "store/CasterDocument.h"

namespace tessadorn {

// Brings one program's changes to the caster list onto the list as another program saved it
// since: `base` is the list as this program last read or wrote it, `ours` the list as it stands
// here now, `theirs` the list on disk now. What this program changed since `base` wins, what it
// left alone comes from disk: a caster added on either side stays, one removed on either side
// goes (unless the other side changed it), a caster both sides kept takes this side's fields when
// it edited them. Casters are matched by name; the current caster is kept by name. The result
// keeps the disk's order, with this side's additions after it.
//
// False when the merged list would hold more than kMaxEntries casters: `merged` then keeps the
// first kMaxEntries and the caller refuses the save.
bool mergeCasterLists(const CasterDocument& base, const CasterDocument& ours,
                      const CasterDocument& theirs, CasterDocument& merged);

} // namespace tessadorn
