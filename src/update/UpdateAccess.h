#pragma once

#include "link/SerialChannel.h"
#include "platform/Clock.h"
#include "store/CasterStore.h"

#include <atomic>

namespace tessadorn {

// What the update dialog borrows from the main dialog: the serial line (closed by the caller
// for the whole dialog), the transaction flag, the rate the modem was last found at, the caster
// list holding the APN values, and the clock every wait goes through.
struct UpdateAccess {
    SerialChannel& serial;
    std::atomic<int>& reading;
    const std::atomic<int>& baudIndex;
    CasterStore& store;
    Clock& clock;
};

} // namespace tessadorn
