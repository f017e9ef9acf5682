#pragma once

#include "console/PanelText.h"
#include "store/CasterStore.h"

#include <string>

namespace tessadorn {

// What the monitor thread hands over to the main dialog at its moments.
class MonitorHooks {
  public:
    virtual ~MonitorHooks() = default;
    // The port cannot be opened at start: "Com Port Error", and the program ends.
    virtual void portError() = 0;
    // The caster list that follows the modem at every start-up (its APN, its stored caster).
    virtual CasterStore& casterList() = 0;
    // The list followed the modem but could not be saved: the message for the user.
    virtual void listNotSaved(const std::string& failure) = 0;
    // The values the panel lines are made of, read now.
    virtual PanelInputs panelInputs() = 0;
};

} // namespace tessadorn
