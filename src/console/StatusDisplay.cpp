#include "console/StatusDisplay.h"

#include "modem/SettingRules.h"
#include "platform/TextCodec.h"

namespace tessadorn {

using namespace ids;

void StatusDisplay::text(int id, const std::string& device) {
    write(id, deviceToUtf8(device));
}

void StatusDisplay::write(int id, std::string_view utf8) {
    std::lock_guard lock(m_WrittenMutex);
    if (id == Status && m_StatusFinal) return;
    m_Written[id] = std::string(utf8);
    m_Controls.setText(id, utf8);
}

void StatusDisplay::lines(const std::vector<PanelLine>& ls) {
    for (const auto& [id, t] : ls)
        if (t) text(id, *t);
}

void StatusDisplay::hideAll() {
    show(Caster);
    for (int id :
         {Relay,       Apn,     Gps,         ToServer,    ToClient,   Connect,    Disconnect,
          GreyApn,     GreyGps, GreyMode,    GreyConnect, TextCaster, TextApn,    TextServer,
          TextClient,  TextGps, TextConnect, Mode,        Model,      PanelGroup, Line0,
          ServerState, Line1,   Line2,       Line3,       AutoConnect})
        hide(id);
}

void StatusDisplay::linkLost() {
    show(Update);
    show(Logo);
    show(Status);
    write(Status, "Connecting ...");
    for (int id = SignalFirst; id <= SignalLast; ++id)
        hide(id);
    for (int id : {Firmware, Model, Mode, Ip, Line0, ServerState, ApnInfo})
        write(id, "");
    hideAll();
    hide(RoleClient);
    hide(RoleServer);
}

void StatusDisplay::statusLine(const std::string& utf8) {
    write(Status, utf8);
}

void StatusDisplay::finalStatusLine(const std::string& utf8) {
    show(Status);
    write(Status, utf8);
    std::lock_guard lock(m_WrittenMutex);
    m_StatusFinal = true;
}

void StatusDisplay::portGone(std::string_view remoteAddress) {
    show(Status);
    if (remoteAddress.empty())
        write(Status, kPortGoneText);
    else
        write(Status,
              "The connection to " + std::string(remoteAddress) + " is gone; waiting for it...");
}

void StatusDisplay::serverModelLines(const PanelInputs& in) {
    auto all = panel::serverLines(in);
    lines({all[0], all[1]}); // 1086 and 1034
}

void StatusDisplay::serverAddressLines(const PanelInputs& in) {
    lines(panel::serverAddressLines(in));
    text(Line3, "Server Port: 2101");
}

void StatusDisplay::serverReadyFace(const PanelInputs& in) {
    show(RoleServer);
    hide(RoleClient);
    for (int id : {PanelGroup, Line0, ServerState, Line1, Line2, Line3})
        show(id);
    // The caster and the relay picture share one place: the firmware's first character
    // chooses exactly one of them.
    const OfferFacts facts{kModeServer, in.device.GpsType, in.device.FirmwareVersion, false};
    const bool caster = !settingRefusal(Setting::Relay, facts).empty();
    m_Controls.setVisible(Caster, caster);
    m_Controls.setVisible(Relay, !caster);
    show(Apn);
    show(Gps);
    show(ToClient);
}

void StatusDisplay::clientStart() {
    write(ServerState, "");
}

int StatusDisplay::clientReadyFace(const PanelInputs& in, int autoConnect) {
    show(RoleClient);
    hide(RoleServer);
    lines(panel::clientLines(in, false));
    for (int id : {PanelGroup, Line0, ServerState, Line1, Line2, Line3})
        show(id);
    show(Caster);
    hide(Relay);
    const int stConnect = showConnectControls(in.device.GpsType, autoConnect, in.stConnect);
    show(Apn);
    show(Gps);
    show(ToServer);
    for (int id : {TextCaster, TextApn, TextGps, TextServer, TextConnect})
        hide(id);
    return stConnect;
}

int StatusDisplay::showConnectControls(const std::string& gpsType, int autoConnect, int stConnect) {
    // The box and the Connect pictures come and go together with the make.
    if (!settingRefusal(Setting::AutoConnect, {kModeClient, gpsType, {}, false}).empty()) {
        hide(AutoConnect);
        hide(Connect);
        hide(Disconnect);
        return stConnect;
    }
    show(AutoConnect);
    m_Controls.setChecked(AutoConnect, autoConnect == 1);
    connectPictures(stConnect == 1);
    return stConnect == 1 ? 1 : 0;
}

void StatusDisplay::firmwareLine(const DeviceConfig::Values& d) {
    hide(Update);
    text(Firmware, "FW v" + d.FirmwareVersion);
}

void StatusDisplay::connectPictures(bool connected) {
    m_Controls.setVisible(Connect, !connected);
    m_Controls.setVisible(Disconnect, connected);
}

void StatusDisplay::signalPicture(int level) {
    for (int id = SignalFirst; id <= SignalLast; ++id)
        hide(id);
    if (level >= -1 && level <= 4) show(SignalFirst + level + 1);
}

void StatusDisplay::apnLine(int apnReady, int simState) {
    write(ApnInfo, panel::apnLine(apnReady, simState));
}

void StatusDisplay::serverReset() {
    write(Line2, "Server IP: Not available");
    write(ServerState, "Server: NOT ACTIVE");
}

bool StatusDisplay::sizeRefresh(bool deviceReady, int mode, const PanelInputs& in) {
    {
        // The three lines that the display has not written yet lose their template captions;
        // every other line shows again what it showed before the re-layout.
        std::lock_guard lock(m_WrittenMutex);
        for (int id : {ApnInfo, Firmware, ServerState})
            m_Controls.setText(id, "");
        for (const auto& [id, utf8] : m_Written)
            m_Controls.setText(id, utf8);
    }
    if (!deviceReady) return false;
    text(Firmware, "Fw v" + in.device.FirmwareVersion);
    if (mode == kModeServer) {
        lines(panel::serverLines(in));
        return false;
    }
    lines(panel::clientLines(in, true));
    if (!settingRefusal(Setting::Caster, {kModeClient, in.device.GpsType, {}, false}).empty()) {
        hide(Connect);
        hide(Disconnect);
        return false;
    }
    connectPictures(in.stConnect == 1);
    return true;
}

void StatusDisplay::animationReady() {
    hide(Logo);
    hide(Status);
    for (int id : {Frame1, Frame2, Frame3, Frame4, Frame5})
        hide(id);
    show(GreyApn);
    show(GreyGps);
    show(GreyMode);
    hide(GreyConnect);
}

void StatusDisplay::animationNotReady() {
    for (int id : {GreyApn, GreyGps, GreyMode, GreyConnect})
        hide(id);
    for (int id : {Frame2, Frame3, Frame4, Frame5})
        hide(id);
    show(Frame1);
}

void StatusDisplay::animationFrame(int frameId) {
    for (int id : {Frame1, Frame2, Frame3, Frame4, Frame5})
        if (id != frameId) hide(id);
    show(frameId);
}

} // namespace tessadorn
