#pragma once

#include "ui/ControlModel.h"

#include <string>

namespace tessadorn {

// The APN, user and password the modem's cellular engine downloads the update with, as typed
// into the dialog (at most 48 characters each, in the device code page). They go into quoted
// fields of the engine's set command, so a '"' (which would end the field early) or a control
// character (a line break would end the command) cannot be sent; the refusal is the APN
// dialog's, for the same three values.
struct UpdateValues {
    std::string apn;
    std::string user;
    std::string password;

    static UpdateValues read(const ControlModel& controls);
    // The message naming the first field that cannot be sent, or empty when all can.
    std::string refusal() const;
};

} // namespace tessadorn
