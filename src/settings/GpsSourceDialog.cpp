#include "settings/GpsSourceDialog.h"

#include "link/PauseSection.h"
#include "platform/DebugOutput.h"
#include "platform/SerialPort.h"
#include "settings/TextInput.h"

#include <array>
#include <cmath>

namespace tessadorn {

namespace {

constexpr std::array<const char*, 5> kMakes = {"HALVIK KV-318", "TRIMBLE", "WAVECOM EMU", "UNKNOWN",
                                               "TOPCON"};
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
        for (int index = 0; index <= 4; ++index)
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
    if (m_Session.mode().load() == kModeServer) {
        // A base has no manual position.
        for (int id : {kManual, kLatitudeLabel, kLatitude, kLongitudeLabel, kLongitude})
            c.setVisible(id, false);
    }
    for (const char* make : kMakes)
        c.addItem(kGpsList, make);
    c.setSelection(kGpsList, Kv318);

    const auto device = m_Session.device().read();
    const int baudIndex = m_Session.baudIndex().load();
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
    const std::string& type = device.GpsType;
    if (type == "KV-318") {
        fillSecondList(Kv318);
        c.setSelection(kSecondList, 0);
        showPortLabel(false);
    } else if (type == "TRIMBLE") {
        showPortLabel(true);
        fillSecondList(Trimble);
        c.setSelection(kGpsList, Trimble);
        m_PortIndex = 0;
        if (device.GpsPort == "COM2") m_PortIndex = 1;
        if (device.GpsPort == "COM3") m_PortIndex = 2;
        c.setSelection(kSecondList, m_PortIndex);
        c.setEnabled(kManual, false);
    } else if (type == "WAVECOM" || type == "UNKNOWN") {
        const bool wavecom = type == "WAVECOM";
        fillSecondList(Wavecom);
        c.setSelection(kSecondList, baudIndex);
        c.setSelection(kGpsList, wavecom ? Wavecom : Unknown);
        showPortLabel(false);
        if (wavecom) c.setEnabled(kManual, false);
    } else if (type == "TOPCON") {
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
        c.setSelection(kSecondList, m_Session.baudIndex().load());
        break;
    case Unknown:
        c.setEnabled(kManual, true);
        enablePosition(c.checked(kManual));
        showPortLabel(false);
        c.setSelection(kSecondList, m_Session.baudIndex().load());
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
        if (!value || std::fabs(*value) > f.limit) {
            const std::string limit = std::to_string(static_cast<int>(f.limit));
            messageBox(std::string("The ") + f.name + " must be a number from -" + limit + " to " +
                       limit + ".");
            return false;
        }
        f.value = *value;
    }
    return true;
}

void GpsSourceDialog::success() {
    messageBox("Tessadorn configured successfully!", "Attention");
}

void GpsSourceDialog::followReceiverRate(GpsReceiver make) {
    if (const auto rate = receiverLinkRate(make)) m_Session.moveLinkTo(*rate);
}

bool GpsSourceDialog::changeRate(DeviceSettings& settings, int choice) {
    if (choice < 0 || choice > 4 || choice == m_Session.baudIndex().load()) return true;
    if (!settings.setModemRate(choice)) return false;
    m_Session.moveLinkTo(choice);
    return true;
}

int GpsSourceDialog::configure(DeviceSettings& settings, int make, int choice, double latitude,
                               double longitude) {
    const auto device = m_Session.device().read();
    const bool autoMode = device.GgaMode == "AUTO";
    const auto current = [&](GpsReceiver receiver) {
        return autoMode && device.GpsType == receiverType(receiver);
    };
    switch (make) {
    case Kv318:
        if (current(GpsReceiver::Kv318)) {
            success();
            return 1;
        }
        if (!settings.setReceiver(GpsReceiver::Kv318)) return 0;
        success();
        followReceiverRate(GpsReceiver::Kv318);
        return 1;
    case Trimble: {
        const int port = choice < 0 ? 0 : choice;
        if (current(GpsReceiver::Trimble) && port == m_PortIndex) {
            success();
            return 2;
        }
        if (!settings.setReceiver(GpsReceiver::Trimble, port + 1)) return 0;
        success();
        followReceiverRate(GpsReceiver::Trimble);
        return 2;
    }
    case Wavecom:
        if (!current(GpsReceiver::Wavecom) && !settings.setReceiver(GpsReceiver::Wavecom)) return 0;
        if (!changeRate(settings, choice)) return 0;
        success();
        return 3;
    case Unknown:
        if (controls().checked(kManual)) {
            // Sent even when the position did not change.
            if (!settings.setManualPosition(latitude, longitude)) return 0;
        } else if (!current(GpsReceiver::Unknown) && !settings.setReceiver(GpsReceiver::Unknown)) {
            return 0;
        }
        if (!changeRate(settings, choice)) return 0;
        success();
        return 4;
    case Topcon:
        if (current(GpsReceiver::Topcon)) {
            success();
            return 2;
        }
        if (!settings.setReceiver(GpsReceiver::Topcon)) return 0;
        success();
        followReceiverRate(GpsReceiver::Topcon);
        return 2;
    default:
        return 0;
    }
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
    const int result = configure(settings, make, choice, latitude, longitude);
    if (result == 0) {
        messageBox("Configuration Error", "Attention");
        section.end();
        return;
    }
    section.end();
    debugLine("GPS: Thread Reiniciat ...\r\n");
    endDialog(result);
}

} // namespace tessadorn
