#include "ProtocolFloor.h"

#include "link/SerialChannel.h"
#include "platform/SerialPort.h"

namespace tessadorn::bench {

ProtocolFloor ProtocolFloor::of(const CountingSerialPort::Counts& counts, int baudIndex) {
    ProtocolFloor f;
    f.settleSeconds = static_cast<double>(counts.writes) * SerialChannel::kWriteSettleMs / 1000.0;
    f.lineSeconds = static_cast<double>(counts.bytesRead) * 10.0 / baudRateForIndex(baudIndex);
    return f;
}

} // namespace tessadorn::bench
