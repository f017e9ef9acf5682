#pragma once

#include "caster/SourceTable.h"
#include "link/SerialChannel.h"
#include "platform/Clock.h"
#include "platform/PauseGate.h"
#include "store/CasterStore.h"

#include <atomic>

namespace tessadorn {

// What the source-table retrieval and the mountpoint dialog borrow from the main dialog: the
// link to the modem, the transaction flag, the monitor's pause gate, the caster list and the
// source table they fill and show.
struct CasterAccess {
    SerialChannel& m_Serial;
    std::atomic<int>& m_Reading;
    PauseGate& m_MonitorGate;
    Clock& m_Clock;
    CasterStore& m_Store;
    SourceTable& m_Table;
};

} // namespace tessadorn
