#include "settings/RelayServiceDialog.h"

#include "modem/DeviceSettings.h"
#include "modem/Outcomes.h"

namespace tessadorn {

RelayServiceDialog::RelayServiceDialog(Dialog& parent, ModemSession& session)
    : Dialog(parent, kTemplate), m_Session(session) {}

void RelayServiceDialog::enableDetails(bool on) {
    for (int id :
         {kHostLabel, kPortLabel, kMountpointLabel, kHost, kPort, kMountpoint, kExplanation})
        controls().setEnabled(id, on);
}

void RelayServiceDialog::onInit() {
    const auto device = m_Session.device().read();
    const bool on = relayIsOn(device.BroadcastOn);
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
        messageBox(outcome::kSettingRefused, "Attention");
        section.end();
        return;
    }
    messageBox(outcome::kSettingTaken, "Attention");
    section.end();
    endDialog(kResultConfigured);
}

} // namespace tessadorn
