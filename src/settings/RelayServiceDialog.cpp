#include "settings/RelayServiceDialog.h"

#include "link/PauseSection.h"
#include "link/Protocol.h"
#include "link/Transactions.h"

namespace tessadorn {

namespace p = protocol;

namespace {

// The broadcast flag as the modem reported it, read as a decimal number: blanks, a sign and
// the digits that follow; no digits read as 0.
bool broadcastOn(std::string_view flag) {
    std::size_t i = 0;
    while (i < flag.size() && (flag[i] == ' ' || flag[i] == '\t'))
        ++i;
    if (i < flag.size() && (flag[i] == '+' || flag[i] == '-')) ++i;
    for (; i < flag.size() && flag[i] >= '0' && flag[i] <= '9'; ++i)
        if (flag[i] != '0') return true;
    return false;
}

} // namespace

RelayServiceDialog::RelayServiceDialog(Dialog& parent, DeviceAccess access)
    : Dialog(parent, kTemplate), m_Access(access) {}

void RelayServiceDialog::enableDetails(bool on) {
    for (int id :
         {kHostLabel, kPortLabel, kMountpointLabel, kHost, kPort, kMountpoint, kExplanation})
        controls().setEnabled(id, on);
}

void RelayServiceDialog::onInit() {
    const auto device = m_Access.m_Device.read();
    const bool on = broadcastOn(device.BroadcastOn);
    controls().setChecked(kEnable, on);
    controls().setText(kExplanation, on ? kTextOn : kTextOff);
    if (!on) enableDetails(false);
    controls().setText(kHost, p::relayHost());
    controls().setText(kPort, p::kRelayPort);
    controls().setDeviceText(kMountpoint, device.SerialNumber);
}

void RelayServiceDialog::onCommand(int id) {
    if (id == kEnable) enableDetails(controls().checked(kEnable));
}

void RelayServiceDialog::onOk() {
    PauseSection section("Broadcast", m_Access.m_Reading, m_Access.monitorGate, waitCursor(),
                         m_Access.clock);
    const bool on = controls().checked(kEnable);
    // Sent even when the state did not change.
    Transactions tx(m_Access.m_Serial, m_Access.m_Reading);
    if (!tx.SendWaitTokenLimited(p::setBroadcast(on), p::kTokOkLine, kResends, kReadLimit)) {
        messageBox("Configuration Error", "Attention");
        section.end();
        return;
    }
    m_Access.m_Device.update(
        [on](DeviceConfig::Values& d) { d.BroadcastOn.assign(1, on ? '1' : '0'); });
    messageBox("Tessadorn configured successfully!", "Attention");
    section.end();
    endDialog(kResultConfigured);
}

} // namespace tessadorn
