#include "ProtocolFloor.h"

#include "link/SerialChannel.h"
#include "platform/SerialPort.h"

#include <algorithm>

namespace tessadorn::bench {

ProtocolFloor ProtocolFloor::of(const CountingSerialPort::Counts& counts, int baudIndex) {
    ProtocolFloor f;
    f.settleSeconds = static_cast<double>(counts.writes) * SerialChannel::kWriteSettleMs / 1000.0;
    f.lineSeconds = static_cast<double>(counts.bytesRead) * 10.0 / baudRateForIndex(baudIndex);
    return f;
}

double median(std::vector<double> runs) {
    std::sort(runs.begin(), runs.end());
    const std::size_t n = runs.size();
    return n % 2 ? runs[n / 2] : (runs[n / 2 - 1] + runs[n / 2]) / 2;
}

} // namespace tessadorn::bench
