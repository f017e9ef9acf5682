#include "platform/SerialPortFactory.h"

#include "platform/RemoteSerialPort.h"
#include "platform/TermiosSerialPort.h"

namespace tessadorn {

std::unique_ptr<SerialPort> makeSerialPort(const std::string& name, Clock& clock) {
    if (!isRemotePortName(name)) return std::make_unique<TermiosSerialPort>(name, clock);
    std::string why;
    if (const auto address = parseRemotePortAddress(name, why))
        return std::make_unique<RemoteSerialPort>(*address, clock);
    return std::make_unique<RemoteSerialPort>(name, why, clock);
}

} // namespace tessadorn
