#include "console/PanelText.h"

#include "console/PanelControls.h"
#include "modem/StartupReads.h"

#include "modem/Replies.h"
#include "platform/SerialPort.h"

namespace tessadorn::panel {
namespace {

constexpr std::string_view kNull = DeviceConfig::kNone;
constexpr std::string_view kNullLine = DeviceConfig::kNoAddress;

// "Authorization: yes (<user>)" for a caster that needs it, else "Authorization: <auth>".
std::string authorizationLine(const std::string& auth, const std::string& user) {
    return auth == "yes" ? "Authorization: yes (" + user + ")" : "Authorization: " + auth;
}

std::string serialLine(const DeviceConfig::Values& d) {
    return d.SerialNumber == kNull ? "SN: Not available" : "SN: " + d.SerialNumber;
}

} // namespace

bool casterGpsType(const std::string& t) {
    return keepsCasterConnection(t);
}

std::string gpsLine(const DeviceConfig::Values& d) {
    return d.GgaMode == "MANUAL" ? "GPS Position: MANUAL"
                                 : "GPS Position: AUTO (" + d.GpsType + ")";
}

std::string apnLine(int apnReady, int simState) {
    if (simState == 0) return "No SIM";
    if (apnReady == 0) return "APN not ready";
    return "";
}

std::vector<PanelLine> serverAddressLines(const PanelInputs& in) {
    const auto& d = in.device;
    std::string state;
    if (d.ServerIp != kNullLine) {
        state = replies::readDecimal(d.BroadcastOn).value_or(0) != 0
                    ? "Server: ACTIVE + QRV CONNECT"
                    : "Server: ACTIVE";
    } else {
        state = "Server: NOT ACTIVE";
    }
    return {{ids::ServerState, state},
            {ids::Line2, d.ServerIp == kNullLine ? std::string("Server IP: Not available")
                                                 : "Server IP: " + d.ServerIp}};
}

std::vector<PanelLine> serverLines(const PanelInputs& in) {
    std::vector<PanelLine> lines = {{ids::Line0, "Model: TESSADORN SERVER"},
                                    {ids::Line1, serialLine(in.device)}};
    for (auto& l : serverAddressLines(in))
        lines.push_back(std::move(l));
    lines.push_back({ids::Line3, "Server Port: 2101"});
    return lines;
}

std::vector<PanelLine> clientLines(const PanelInputs& in, bool sizeRefresh) {
    const auto& d = in.device;
    std::vector<PanelLine> lines = {{ids::ServerState, ""}, {ids::Line0, serialLine(d)}};
    auto add = [&](std::optional<std::string> l1, std::optional<std::string> l2,
                   std::optional<std::string> l3) {
        lines.push_back({ids::Line1, std::move(l1)});
        lines.push_back({ids::Line2, std::move(l2)});
        lines.push_back({ids::Line3, std::move(l3)});
    };
    if (d.GpsType == receiverType(GpsReceiver::Kv318)) {
        add("Mode: HALVIK KV-318", "Baudrate: 9600", "");
    } else if (!casterGpsType(d.GpsType)) {
        // The line keeps its text for an index without a rate.
        std::optional<std::string> baud;
        if (isBaudIndex(in.baudIndex))
            baud = "Baudrate: " + std::to_string(baudRateForIndex(in.baudIndex));
        add("Mode: WAVECOM EMULATOR", baud, "");
    } else if (in.stConnect == 1 && d.CasterKind != "0") {
        add("TESSADORN IP: " + d.CasterHost, "TESSADORN Port: " + d.CasterPort, "");
    } else if (in.stConnect == 1) {
        add("Svr: " + d.CasterHost + " /" + d.CasterMountpoint,
            authorizationLine(in.auth, d.CasterUser), gpsLine(d));
    } else {
        for (auto& l : currentCasterLines(in, sizeRefresh))
            lines.push_back(std::move(l));
    }
    return lines;
}

std::vector<PanelLine> currentCasterLines(const PanelInputs& in, bool sizeRefresh) {
    const auto& d = in.device;
    if (in.count == 0 || !in.hasCurrentEntry)
        return {{ids::Line1, "Svr:"},
                {ids::Line2, "Authorization:"},
                {ids::Line3, sizeRefresh ? std::nullopt : std::optional<std::string>(gpsLine(d))}};
    if (in.current.Tessadorn.value() != ServerKind::Caster)
        return {{ids::Line1, "Server: " + in.current.name},
                {ids::Line2, "TESSADORN IP: " + in.current.ip},
                {ids::Line3, "TESSADORN Port: " + in.current.port}};
    return {{ids::Line1, "Server: " + in.current.name},
            {ids::Line2, authorizationLine(in.auth, in.user)},
            {ids::Line3, gpsLine(d)}};
}

} // namespace tessadorn::panel
