#include "settings/GpsSourceDialog.h"

#include "link/PauseSection.h"
#include "modem/Outcomes.h"
#include "modem/PositionSource.h"
#include "platform/DebugOutput.h"
#include "platform/SerialPort.h"
#include "store/TextInput.h"

namespace tessadorn {

namespace {

constexpr std::string_view kZero = "0.000000";

} // namespace

GpsSourceDialog::GpsSourceDialog(Dialog& parent, ModemSession& session)
    : Dialog(parent, kTemplate), m_Session(session) {}

void GpsSourceDialog::fillSecondList(int make) {
    ControlModel& c = controls();
    c.clearItems(kSecondList);
    switch (make) {
    case Kv318:
        c.addItem(kSecondList, std::to_string(baudRateForIndex(0)));
        break;
    case Trimble:
        for (const char* port : {"COM1", "COM2", "COM3"})
            c.addItem(kSecondList, port);
        break;
    case Wavecom:
    case Unknown:
        for (int index = 0; index < kBaudIndexCount; ++index)
            c.addItem(kSecondList, std::to_string(baudRateForIndex(index)));
        break;
    case Topcon:
        c.addItem(kSecondList, "PORT D");
        break;
    default:
        break;
    }
}

void GpsSourceDialog::showPortLabel(bool port) {
    controls().setVisible(kPortLabel, port);
    controls().setVisible(kBaudLabel, !port);
}

void GpsSourceDialog::enablePosition(bool on) {
    for (int id : {kLatitudeLabel, kLatitude, kLongitudeLabel, kLongitude})
        controls().setEnabled(id, on);
}

void GpsSourceDialog::zeroPosition() {
    controls().setText(kLatitude, kZero);
    controls().setText(kLongitude, kZero);
}

void GpsSourceDialog::onInit() {
    ControlModel& c = controls();
    if (m_Session.mode() == kModeServer) {
        // A base has no manual position.
        for (int id : {kManual, kLatitudeLabel, kLatitude, kLongitudeLabel, kLongitude})
            c.setVisible(id, false);
    }
    for (const ReceiverRow& row : receivers())
        c.addItem(kGpsList, std::string(row.dialogName));
    c.setSelection(kGpsList, Kv318);

    const auto device = m_Session.device().read();
    const int baudIndex = m_Session.baudIndex();
    if (device.GgaMode == "MANUAL") {
        c.setChecked(kManual, true);
        c.setDeviceText(kLatitude, device.GgaLatitude);
        c.setDeviceText(kLongitude, device.GgaLongitude);
        c.setSelection(kGpsList, Unknown);
        fillSecondList(Unknown);
        c.setSelection(kSecondList, baudIndex);
        showPortLabel(false);
        return;
    }
    c.setChecked(kManual, false);
    const ReceiverRow* reported = receiverByType(device.GpsType);
    const GpsReceiver make = reported ? reported->make : GpsReceiver::Kv318;
    if (!reported) {
        // A type no row names: the list stays on its first make.
    } else if (make == GpsReceiver::Kv318) {
        fillSecondList(Kv318);
        c.setSelection(kSecondList, 0);
        showPortLabel(false);
    } else if (make == GpsReceiver::Trimble) {
        showPortLabel(true);
        fillSecondList(Trimble);
        c.setSelection(kGpsList, Trimble);
        m_PortIndex = startingChoice(GpsReceiver::Trimble, device, baudIndex);
        c.setSelection(kSecondList, m_PortIndex);
        c.setEnabled(kManual, false);
    } else if (make == GpsReceiver::Wavecom || make == GpsReceiver::Unknown) {
        const bool wavecom = make == GpsReceiver::Wavecom;
        fillSecondList(Wavecom);
        c.setSelection(kSecondList, baudIndex);
        c.setSelection(kGpsList, wavecom ? Wavecom : Unknown);
        showPortLabel(false);
        if (wavecom) c.setEnabled(kManual, false);
    } else if (make == GpsReceiver::Topcon) {
        m_PortIndex = 0;
        fillSecondList(Topcon);
        c.setSelection(kSecondList, 0);
        c.setSelection(kGpsList, Topcon);
        showPortLabel(true);
        c.setEnabled(kManual, false);
    }
    zeroPosition();
    enablePosition(false);
}

void GpsSourceDialog::onSelectionChange(int id) {
    if (id != kGpsList) return;
    ControlModel& c = controls();
    const int make = c.selection(kGpsList);
    fillSecondList(make);
    c.setSelection(kSecondList, 0);
    switch (make) {
    case Kv318:
        c.setEnabled(kManual, false);
        enablePosition(false);
        showPortLabel(false);
        break;
    case Trimble:
    case Topcon:
        showPortLabel(true);
        zeroPosition();
        c.setEnabled(kManual, false);
        enablePosition(false);
        break;
    case Wavecom:
        c.setEnabled(kManual, false);
        enablePosition(false);
        showPortLabel(false);
        c.setSelection(kSecondList, m_Session.baudIndex());
        break;
    case Unknown:
        c.setEnabled(kManual, true);
        enablePosition(c.checked(kManual));
        showPortLabel(false);
        c.setSelection(kSecondList, m_Session.baudIndex());
        break;
    default:
        break;
    }
}

void GpsSourceDialog::onCommand(int id) {
    if (id == kCancel) {
        endDialog(0);
    } else if (id == kManual) {
        enablePosition(controls().checked(kManual));
    }
}

bool GpsSourceDialog::readPosition(double& latitude, double& longitude) {
    const struct {
        int edit;
        const char* name;
        double limit;
        double& value;
    } fields[] = {{kLatitude, "latitude", kMaxLatitude, latitude},
                  {kLongitude, "longitude", kMaxLongitude, longitude}};
    for (const auto& f : fields) {
        const auto value = text_input::parseDecimal(controls().readEdit(f.edit));
        if (const std::string why = positionRefusal(f.name, value, f.limit); !why.empty()) {
            messageBox(why);
            return false;
        }
        f.value = *value;
    }
    return true;
}

void GpsSourceDialog::onOk() {
    const int make = controls().selection(kGpsList);
    if (make < Kv318 || make > Topcon) return;
    // A manual position is checked where it was typed, before anything is sent.
    double latitude = 0, longitude = 0;
    if (make == Unknown && controls().checked(kManual) && !readPosition(latitude, longitude))
        return;

    PauseSection section = m_Session.pause("GPS", waitCursor());
    const int choice = controls().selection(kSecondList);
    DeviceSettings settings(m_Session);
    settings.drain();
    const PositionChoice chosen{static_cast<GpsReceiver>(make),
                                choice,
                                make == Unknown && controls().checked(kManual),
                                latitude,
                                longitude,
                                m_PortIndex};
    const int result = applyPositionSource(
        m_Session, settings, chosen, [this] { messageBox(outcome::kSettingTaken, "Attention"); });
    if (result == 0) {
        messageBox(outcome::kSettingRefused, "Attention");
        section.end();
        return;
    }
    section.end();
    debugLine("GPS: Thread Reiniciat ...\r\n");
    endDialog(result);
}

} // namespace tessadorn
