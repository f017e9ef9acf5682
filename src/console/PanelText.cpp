#include "console/PanelText.h"

#include "console/ReplyParsers.h"

namespace tessadorn::panel {
namespace {

constexpr const char* kNull = "null";
constexpr const char* kNullLine = "null\r\n";

std::string serialLine(const DeviceConfig::Values& d) {
    return d.SerialNumber == kNull ? "SN: Not available" : "SN: " + d.SerialNumber;
}

const char* baudLine(int index) {
    switch (index) {
    case 0:
        return "Baudrate: 9600";
    case 1:
        return "Baudrate: 19200";
    case 2:
        return "Baudrate: 38400";
    case 3:
        return "Baudrate: 57600";
    case 4:
        return "Baudrate: 115200";
    default:
        return nullptr;
    }
}

} // namespace

bool casterGpsType(const std::string& t) {
    return t == "TRIMBLE" || t == "UNKNOWN" || t == "TOPCON";
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
        state = replies::readDecimal(d.BroadcastOn) != 0 ? "Server: ACTIVE + QRV CONNECT"
                                                         : "Server: ACTIVE";
    } else {
        state = "Server: NOT ACTIVE";
    }
    return {
        {1125, state},
        {1035, d.ServerIp == kNullLine ? "Server IP: Not available" : "Server IP: " + d.ServerIp}};
}

std::vector<PanelLine> serverLines(const PanelInputs& in) {
    std::vector<PanelLine> lines = {{1086, "Model: TESSADORN SERVER"},
                                    {1034, serialLine(in.device)}};
    for (auto& l : serverAddressLines(in))
        lines.push_back(std::move(l));
    lines.push_back({1093, "Server Port: 2101"});
    return lines;
}

std::vector<PanelLine> clientLines(const PanelInputs& in, bool sizeRefresh) {
    const auto& d = in.device;
    std::vector<PanelLine> lines = {{1125, ""}, {1086, serialLine(d)}};
    auto add = [&](std::optional<std::string> l1, std::optional<std::string> l2,
                   std::optional<std::string> l3) {
        lines.push_back({1034, std::move(l1)});
        lines.push_back({1035, std::move(l2)});
        lines.push_back({1093, std::move(l3)});
    };
    const auto authLine = [&](bool withUser, const std::string& user) {
        if (in.auth == "yes") {
            return withUser ? "Authorization: yes (" + user + ")" : "Authorization: yes";
        }
        return "Authorization: " + in.auth;
    };
    if (d.GpsType == "KV-318") {
        add("Mode: HALVIK KV-318", "Baudrate: 9600", "");
    } else if (!casterGpsType(d.GpsType)) {
        const char* baud = baudLine(in.baudIndex);
        add("Mode: WAVECOM EMULATOR", baud ? std::optional<std::string>(baud) : std::nullopt, "");
    } else if (in.stConnect == 1 && d.CasterKind != "0") {
        add("TESSADORN IP: " + d.CasterHost, "TESSADORN Port: " + d.CasterPort, "");
    } else if (in.stConnect == 1) {
        add("Svr: " + d.CasterHost + " /" + d.CasterMountpoint, authLine(true, d.CasterUser),
            gpsLine(d));
    } else if (in.count == 0) {
        add("Svr:", "Authorization:",
            sizeRefresh ? std::nullopt : std::optional<std::string>(gpsLine(d)));
    } else if (in.current.Tessadorn != "0") {
        add("Server: " + in.current.name, "TESSADORN IP: " + in.current.ip,
            "TESSADORN Port: " + in.current.port);
    } else {
        add("Server: " + in.current.name,
            in.auth == "yes" ? "Authorization: " + in.auth + " (" + in.user + ")"
                             : "Authorization: " + in.auth,
            gpsLine(d));
    }
    return lines;
}

} // namespace tessadorn::panel
