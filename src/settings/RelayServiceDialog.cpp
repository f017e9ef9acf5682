#include "settings/RelayServiceDialog.h"

#include "modem/DeviceSettings.h"

namespace tessadorn {

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

RelayServiceDialog::RelayServiceDialog(Dialog& parent, ModemSession& session)
    : Dialog(parent, kTemplate), m_Session(session) {}

void RelayServiceDialog::enableDetails(bool on) {
    for (int id :
         {kHostLabel, kPortLabel, kMountpointLabel, kHost, kPort, kMountpoint, kExplanation})
        controls().setEnabled(id, on);
}

void RelayServiceDialog::onInit() {
    const auto device = m_Session.device().read();
    const bool on = broadcastOn(device.BroadcastOn);
    controls().setChecked(kEnable, on);
    controls().setText(kExplanation, on ? kTextOn : kTextOff);
    if (!on) enableDetails(false);
    controls().setText(kHost, relayCasterHost());
    controls().setText(kPort, relayCasterPort());
    controls().setDeviceText(kMountpoint, device.SerialNumber);
}

void RelayServiceDialog::onCommand(int id) {
    if (id == kEnable) enableDetails(controls().checked(kEnable));
}

void RelayServiceDialog::onOk() {
    PauseSection section = m_Session.pause("Broadcast", waitCursor());
    const bool on = controls().checked(kEnable);
    // Sent even when the state did not change.
    if (!DeviceSettings(m_Session).setRelay(on)) {
        messageBox("Configuration Error", "Attention");
        section.end();
        return;
    }
    messageBox("Tessadorn configured successfully!", "Attention");
    section.end();
    endDialog(kResultConfigured);
}

} // namespace tessadorn
