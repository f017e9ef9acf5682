#include "settings/CasterSaveFailure.h"

#include <string>

namespace tessadorn {

void showCasterSaveFailure(Dialog& dialog, const CasterStore& store) {
    dialog.messageBox(
        "The caster list could not be saved: " + store.path() + " could not be written", "ERROR");
}

} // namespace tessadorn
