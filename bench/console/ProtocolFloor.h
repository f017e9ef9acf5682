#pragma once

#include "CountingSerialPort.h"

#include <vector>

namespace tessadorn::bench {

// The least time the traffic counted so far can take: the program's fixed 300 ms pause after
// every command it writes, plus every byte it read at the line rate (10 bits a byte).
struct ProtocolFloor {
    double settleSeconds = 0; // writes x 300 ms
    double lineSeconds = 0;   // bytes read x 10 / rate
    double seconds() const { return settleSeconds + lineSeconds; }

    static ProtocolFloor of(const CountingSerialPort::Counts& counts, int baudIndex);
};

// The median of a benchmark's runs, the time its ratio to the floor is taken of.
double median(std::vector<double> runs);

} // namespace tessadorn::bench
