#include "modem/DeviceSettings.h"

#include "modem/Protocol.h"
#include "platform/SerialPort.h"

namespace tessadorn {

namespace p = protocol;

std::optional<int> receiverLinkRate(GpsReceiver make) {
    const int rate = receiverRow(make).linkRate;
    return rate < 0 ? std::nullopt : std::optional<int>(rate);
}

std::string_view relayCasterHost() {
    return p::relayHost();
}

std::string_view relayCasterPort() {
    return p::kRelayPort;
}

DeviceSettings::DeviceSettings(ModemSession& session) : m_Session(session) {}

bool DeviceSettings::send(const Command& command, int resends) {
    return m_Session.transactions().SendWaitTokenLimited(command, p::kTokOkLine, resends,
                                                         kReadLimit) != 0;
}

bool DeviceSettings::setApn(std::string_view name, std::string_view user,
                            std::string_view password) {
    Transactions tx = m_Session.transactions();
    int accepted = 0;
    accepted += tx.SendWaitToken(p::apn(name), p::kTokOkLine, kApnResends);
    accepted += tx.SendWaitToken(p::apnUser(user), p::kTokOkLine, kApnResends);
    accepted += tx.SendWaitToken(p::apnPassword(password), p::kTokOkLine, kApnResends);
    if (accepted < 3) return false;
    if (!tx.SendWaitToken(p::kSave, p::kTokOkLine, kApnResends)) return false;
    // The modem restarts, answering or not: sent once, as a resend would restart it again
    // when it comes back; silence is no failure.
    tx.SendOnceWaitToken(p::kReset, p::kTokOkLine);
    return true;
}

void DeviceSettings::drain() {
    m_Session.serial().Drain(kDrainThreshold);
}

bool DeviceSettings::setReceiver(GpsReceiver make, int trimblePort) {
    Command command;
    switch (make) {
    case GpsReceiver::Kv318:
        command = p::fixed(p::kSetGgaKv318);
        break;
    case GpsReceiver::Trimble:
        command = p::setGgaTrimble(trimblePort);
        break;
    case GpsReceiver::Wavecom:
        command = p::fixed(p::kSetGgaWavecom);
        break;
    case GpsReceiver::Unknown:
        command = p::fixed(p::kSetGgaUnknown);
        break;
    case GpsReceiver::Topcon:
        command = p::fixed(p::kSetGgaTopcon);
        break;
    }
    if (!send(command, kGpsResends)) return false;
    m_Session.device().update([&](DeviceConfig::Values& d) {
        d.GgaMode = "AUTO";
        d.GpsType = receiverType(make);
        if (make == GpsReceiver::Trimble) d.GpsPort = "COM" + std::to_string(trimblePort);
        if (make == GpsReceiver::Topcon) d.GpsPort = "COM4";
    });
    if (receiverRow(make).endsAutoConnect) m_Session.autoConnectState(0);
    return true;
}

bool DeviceSettings::setManualPosition(double latitude, double longitude) {
    if (!send(p::setGgaManual(latitude, longitude), kGpsResends)) return false;
    m_Session.device().update([&](DeviceConfig::Values& d) {
        d.GgaMode = "MANUAL";
        d.GpsType = "UNKNOWN";
        d.GgaLatitude = p::decimal6(latitude);
        d.GgaLongitude = p::decimal6(longitude);
    });
    return true;
}

bool DeviceSettings::setModemRate(int baudIndex) {
    return send(p::comRate(baudIndex), kGpsResends);
}

bool DeviceSettings::setRelay(bool on) {
    if (!send(p::setBroadcast(on), kRelayResends)) return false;
    m_Session.device().update(
        [on](DeviceConfig::Values& d) { d.BroadcastOn.assign(1, on ? '1' : '0'); });
    return true;
}

bool relayIsOn(std::string_view flag) {
    std::size_t i = 0;
    while (i < flag.size() && (flag[i] == ' ' || flag[i] == '\t'))
        ++i;
    if (i < flag.size() && (flag[i] == '+' || flag[i] == '-')) ++i;
    for (; i < flag.size() && flag[i] >= '0' && flag[i] <= '9'; ++i)
        if (flag[i] != '0') return true;
    return false;
}

} // namespace tessadorn
