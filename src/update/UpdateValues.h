#pragma once

#include "modem/UpdateRun.h"
#include "store/CasterListEdits.h"
#include "ui/ControlModel.h"

namespace tessadorn {

// The APN, user and password as typed into the update dialog, an edit the user left as it was
// filled standing for the list's whole value (refused as the command line refuses them:
// UpdateValues::refusal).
UpdateValues readUpdateValues(const ControlModel& controls, const caster_list::ApnPrefill& prefill);
// What the three edits show, as they show it.
caster_list::TypedApn readUpdateEdits(const ControlModel& controls);

} // namespace tessadorn
