#include "settings/GpsSourceDialog.h"

#include "link/PauseSection.h"
#include "link/Protocol.h"
#include "platform/DebugOutput.h"
#include "settings/TextInput.h"

#include <array>
#include <cmath>

namespace tessadorn {

namespace p = protocol;

namespace {

constexpr std::array<const char*, 5> kMakes = {"HALVIK KV-318", "TRIMBLE", "WAVECOM EMU", "UNKNOWN",
                                               "TOPCON"};
constexpr std::array<const char*, 5> kSpeeds = {"9600", "19200", "38400", "57600", "115200"};
constexpr std::string_view kZero = "0.000000";

} // namespace

GpsSourceDialog::GpsSourceDialog(Dialog& parent, DeviceAccess access)
    : Dialog(parent, kTemplate), m_Access(access) {}

void GpsSourceDialog::fillSecondList(int make) {
    ControlModel& c = controls();
    c.clearItems(kSecondList);
    switch (make) {
    case Kv318:
        c.addItem(kSecondList, kSpeeds[0]);
        break;
    case Trimble:
        for (const char* port : {"COM1", "COM2", "COM3"})
            c.addItem(kSecondList, port);
        break;
    case Wavecom:
    case Unknown:
        for (const char* speed : kSpeeds)
            c.addItem(kSecondList, speed);
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
    if (m_Access.m_Mode.load() == kModeServer) {
        // A base has no manual position.
        for (int id : {kManual, kLatitudeLabel, kLatitude, kLongitudeLabel, kLongitude})
            c.setVisible(id, false);
    }
    for (const char* make : kMakes)
        c.addItem(kGpsList, make);
    c.setSelection(kGpsList, Kv318);

    const auto device = m_Access.m_Device.read();
    const int baudIndex = m_Access.m_BaudIndex.load();
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
        c.setSelection(kSecondList, m_Access.m_BaudIndex.load());
        break;
    case Unknown:
        c.setEnabled(kManual, true);
        enablePosition(c.checked(kManual));
        showPortLabel(false);
        c.setSelection(kSecondList, m_Access.m_BaudIndex.load());
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
    } fields[] = {{kLatitude, "latitude", p::kMaxLatitude, latitude},
                  {kLongitude, "longitude", p::kMaxLongitude, longitude}};
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

bool GpsSourceDialog::send(Transactions& tx, const p::Command& command) {
    return tx.SendWaitTokenLimited(command, p::kTokOkLine, kResends, kReadLimit) != 0;
}

void GpsSourceDialog::success() {
    messageBox("Tessadorn configured successfully!", "Attention");
}

void GpsSourceDialog::reopenAt(int baudIndex) {
    m_Access.m_BaudIndex = baudIndex;
    m_Access.profile.SaveProfile(baudIndex);
    debugLine("Closing COM...\r\n");
    m_Access.m_Serial.Close();
    debugLine("Opening COM...\r\n");
    m_Access.m_Serial.Open(baudIndex);
}

bool GpsSourceDialog::changeRate(Transactions& tx, int choice) {
    if (choice < 0 || choice > 4 || choice == m_Access.m_BaudIndex.load()) return true;
    if (!send(tx, p::comRate(choice))) return false;
    reopenAt(choice);
    return true;
}

int GpsSourceDialog::configure(Transactions& tx, int make, int choice, double latitude,
                               double longitude) {
    const auto device = m_Access.m_Device.read();
    const bool autoMode = device.GgaMode == "AUTO";
    auto record = [&](const char* mode, const char* type) {
        m_Access.m_Device.update([&](DeviceConfig::Values& d) {
            d.GgaMode = mode;
            d.GpsType = type;
        });
    };
    switch (make) {
    case Kv318:
        if (autoMode && device.GpsType == "KV-318") {
            success();
            return 1;
        }
        if (!send(tx, p::fixed(p::kSetGgaKv318))) return 0;
        success();
        record("AUTO", "KV-318");
        m_Access.m_AutoConnect = 0;
        reopenAt(0);
        return 1;
    case Trimble: {
        const int port = choice < 0 ? 0 : choice;
        if (autoMode && device.GpsType == "TRIMBLE" && port == m_PortIndex) {
            success();
            return 2;
        }
        if (!send(tx, p::setGgaTrimble(port + 1))) return 0;
        success();
        record("AUTO", "TRIMBLE");
        m_Access.m_Device.update(
            [&](DeviceConfig::Values& d) { d.GpsPort = "COM" + std::to_string(port + 1); });
        reopenAt(2);
        return 2;
    }
    case Wavecom:
        if (!(autoMode && device.GpsType == "WAVECOM")) {
            if (!send(tx, p::fixed(p::kSetGgaWavecom))) return 0;
            record("AUTO", "WAVECOM");
            m_Access.m_AutoConnect = 0;
        }
        if (!changeRate(tx, choice)) return 0;
        success();
        return 3;
    case Unknown:
        if (controls().checked(kManual)) {
            // Sent even when the position did not change.
            if (!send(tx, p::setGgaManual(latitude, longitude))) return 0;
            record("MANUAL", "UNKNOWN");
            m_Access.m_Device.update([&](DeviceConfig::Values& d) {
                d.GgaLatitude = p::decimal6(latitude);
                d.GgaLongitude = p::decimal6(longitude);
            });
        } else if (!(autoMode && device.GpsType == "UNKNOWN")) {
            if (!send(tx, p::fixed(p::kSetGgaUnknown))) return 0;
            record("AUTO", "UNKNOWN");
        }
        if (!changeRate(tx, choice)) return 0;
        success();
        return 4;
    case Topcon:
        if (autoMode && device.GpsType == "TOPCON") {
            success();
            return 2;
        }
        if (!send(tx, p::fixed(p::kSetGgaTopcon))) return 0;
        success();
        record("AUTO", "TOPCON");
        m_Access.m_Device.update([](DeviceConfig::Values& d) { d.GpsPort = "COM4"; });
        reopenAt(4);
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

    PauseSection section("GPS", m_Access.m_Reading, m_Access.monitorGate, waitCursor(),
                         m_Access.clock);
    const int choice = controls().selection(kSecondList);
    m_Access.m_Serial.Drain(kDrainThreshold);
    Transactions tx(m_Access.m_Serial, m_Access.m_Reading);
    const int result = configure(tx, make, choice, latitude, longitude);
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
