#pragma once

#include "FakeSerialPort.h"
#include "link/SerialChannel.h"

namespace tessadorn::test {

// A serial channel at 38400 over a scripted modem, in virtual time.
struct ChannelRig {
    VirtualClock clock;
    ScriptedModem modem;
    FakeSerialPort port{clock, modem};
    SerialChannel channel{port, clock};
    ChannelRig() { channel.Open(2); }
};

} // namespace tessadorn::test
