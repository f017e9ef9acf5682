#include "modem/DeviceConfig.h"

namespace tessadorn {
namespace {

void clamp(std::string& s, std::size_t capacity) {
    if (s.size() > capacity - 1) s.resize(capacity - 1);
}

} // namespace

void DeviceConfig::Values::clampToCapacity() {
    clamp(SerialNumber, 20);
    clamp(FirmwareVersion, 20);
    clamp(Imei, 25);
    clamp(ApnName, 100);
    clamp(ApnUser, 50);
    clamp(ApnPassword, 50);
    clamp(ServerIp, 25);
    clamp(CasterHost, 100);
    clamp(CasterPort, 50);
    clamp(CasterMountpoint, 50);
    clamp(CasterUser, 50);
    clamp(CasterPassword, 50);
    clamp(CasterKind, 2);
    clamp(GgaMode, 25);
    clamp(GgaLatitude, 25);
    clamp(GgaLongitude, 25);
    clamp(GpsType, 25);
    clamp(GpsPort, 25);
    clamp(BroadcastOn, 2);
    clamp(BroadcastHost, 100);
    clamp(BroadcastPort, 10);
    clamp(BroadcastStream, 100);
}

} // namespace tessadorn
