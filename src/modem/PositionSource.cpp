#include "modem/PositionSource.h"

#include <cmath>

namespace tessadorn {

namespace {

// Moves the modem to the chosen rate when it differs from the link's; false when refused.
bool changeRate(ModemSession& session, DeviceSettings& settings, int choice) {
    if (!isBaudIndex(choice) || choice == session.baudIndex()) return true;
    if (!settings.setModemRate(choice)) return false;
    session.moveLinkTo(choice);
    return true;
}

// A make that fixes the modem's rate: the link follows it.
void followReceiverRate(ModemSession& session, GpsReceiver make) {
    if (const auto rate = receiverLinkRate(make)) session.moveLinkTo(*rate);
}

} // namespace

int trimblePortIndex(const std::string& gpsPort) {
    if (gpsPort == "COM2") return 1;
    if (gpsPort == "COM3") return 2;
    return 0;
}

int reportedPortOf(const DeviceConfig::Values& device) {
    const ReceiverRow* row = receiverByType(device.GpsType);
    if (!row) return -1;
    if (row->make == GpsReceiver::Trimble) return trimblePortIndex(device.GpsPort);
    return row->make == GpsReceiver::Topcon ? 0 : -1;
}

int startingChoice(GpsReceiver make, const DeviceConfig::Values& device, int linkBaudIndex) {
    switch (make) {
    case GpsReceiver::Trimble:
        return device.GpsType == receiverType(make) ? trimblePortIndex(device.GpsPort) : 0;
    case GpsReceiver::Wavecom:
    case GpsReceiver::Unknown:
        return linkBaudIndex;
    case GpsReceiver::Kv318:
    case GpsReceiver::Topcon:
        break;
    }
    return 0;
}

std::string positionRefusal(std::string_view field, std::optional<double> value, double limit) {
    if (value && std::fabs(*value) <= limit) return {};
    const std::string bound = std::to_string(static_cast<int>(limit));
    return "The " + std::string(field) + " must be a number from -" + bound + " to " + bound + ".";
}

int applyPositionSource(ModemSession& session, DeviceSettings& settings, const PositionChoice& c,
                        const std::function<void()>& accepted) {
    const auto device = session.device().read();
    const bool autoMode = device.GgaMode == "AUTO";
    const auto current = [&](GpsReceiver receiver) {
        return autoMode && device.GpsType == receiverType(receiver);
    };
    // A make that fixes the rate: set unless the modem has it, then the link follows.
    const auto fixedRate = [&](GpsReceiver make, bool same, int port, int result) {
        if (same) {
            accepted();
            return result;
        }
        if (!settings.setReceiver(make, port)) return 0;
        accepted();
        followReceiverRate(session, make);
        return result;
    };
    switch (c.make) {
    case GpsReceiver::Kv318:
        return fixedRate(GpsReceiver::Kv318, current(GpsReceiver::Kv318), 1, 1);
    case GpsReceiver::Trimble: {
        const int port = c.choice < 0 ? 0 : c.choice;
        return fixedRate(GpsReceiver::Trimble,
                         current(GpsReceiver::Trimble) && port == c.reportedPort, port + 1, 2);
    }
    case GpsReceiver::Wavecom:
        if (!current(GpsReceiver::Wavecom) && !settings.setReceiver(GpsReceiver::Wavecom)) return 0;
        if (!changeRate(session, settings, c.choice)) return 0;
        accepted();
        return 3;
    case GpsReceiver::Unknown:
        if (c.manual) {
            // Sent even when the position did not change.
            if (!settings.setManualPosition(c.latitude, c.longitude)) return 0;
        } else if (!current(GpsReceiver::Unknown) && !settings.setReceiver(GpsReceiver::Unknown)) {
            return 0;
        }
        if (!changeRate(session, settings, c.choice)) return 0;
        accepted();
        return 4;
    case GpsReceiver::Topcon:
        return fixedRate(GpsReceiver::Topcon, current(GpsReceiver::Topcon), 1, 2);
    }
    return 0;
}

} // namespace tessadorn
