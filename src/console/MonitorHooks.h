#pragma once

#include "console/PanelText.h"

namespace tessadorn {

// What the monitor thread hands over to the main dialog at its moments.
class MonitorHooks {
  public:
    virtual ~MonitorHooks() = default;
    // The port cannot be opened at start: "Com Port Error", and the program ends.
    virtual void portError() = 0;
    // The configuration reply was parsed: the caster list takes the modem's APN block.
    virtual void configurationParsed() = 0;
    // The stored-caster reply was parsed: the caster list looks the caster up.
    virtual void storedCasterParsed() = 0;
    // The values the panel lines are made of, read now.
    virtual PanelInputs panelInputs() = 0;
};

} // namespace tessadorn
