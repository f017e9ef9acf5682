#pragma once

#include "platform/SerialPort.h"

#include <termios.h>

namespace tessadorn {

// The termios speed of a baud index (38400 for any index without a rate of its own).
inline speed_t termiosSpeedForIndex(int baudIndex) {
    switch (baudRateForIndex(baudIndex)) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B38400;
    }
}

// The baud index of a termios speed, or -1 for a speed the modem does not use.
inline int baudIndexForTermiosSpeed(speed_t speed) {
    for (int i = 0; i < kBaudIndexCount; ++i)
        if (termiosSpeedForIndex(i) == speed) return i;
    return -1;
}

} // namespace tessadorn
