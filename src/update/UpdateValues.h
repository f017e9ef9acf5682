#pragma once

#include "modem/UpdateRun.h"
#include "ui/ControlModel.h"

namespace tessadorn {

// The APN, user and password as typed into the update dialog (refused as the command line
// refuses them: UpdateValues::refusal).
UpdateValues readUpdateValues(const ControlModel& controls);

} // namespace tessadorn
