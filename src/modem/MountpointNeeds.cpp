#include "modem/MountpointNeeds.h"

#include "modem/DeviceSettings.h"
#include "modem/MountpointOrder.h"

namespace tessadorn {

bool modemHasPositionSource(const DeviceConfig::Values& device) {
    if (device.GgaMode == "MANUAL") return MountpointOrder::manualPosition(device).has_value();
    if (device.GgaMode != "AUTO") return false;
    const ReceiverRow* receiver = receiverByType(device.GpsType);
    return receiver && receiver->sendsPosition;
}

std::string positionQuestion(const SourceRow& row, const DeviceConfig::Values& device) {
    if (!row.needsPosition() || modemHasPositionSource(device)) return {};
    return "The mountpoint " + row.mountpoint +
           " sends corrections only once it has your position, and the modem has no position "
           "source. Set GPS first: your receiver's make, or Manual Input with your latitude and "
           "longitude.\r\nConnect anyway?";
}

} // namespace tessadorn
