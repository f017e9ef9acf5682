#pragma once

#include "store/CasterStore.h"
#include "ui/Dialog.h"

namespace tessadorn {

// Tells the user that CasterStore::Save failed: "The caster list could not be saved: <reason>",
// captioned "ERROR". The store keeps the values in memory; the next save tries again.
void showCasterSaveFailure(Dialog& dialog, const CasterStore& store);

} // namespace tessadorn
