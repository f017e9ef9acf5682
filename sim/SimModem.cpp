#include "SimModem.h"

#include "NetworkCaster.h"
#include "OfflineCaster.h"
#include "link/Protocol.h"
#include "platform/SerialPort.h"

#include <cstdio>
#include <cstdlib>

namespace tessadorn::sim {
namespace {

constexpr std::size_t kLineCapacity = 1024; // a longer line overruns the modem's buffer
constexpr int kShutdownToPromptMs = 200;

// A command of the protocol without its CR LF framing.
std::string bare(std::string_view command) {
    while (!command.empty() && (command.front() == '\r' || command.front() == '\n'))
        command.remove_prefix(1);
    while (!command.empty() && (command.back() == '\r' || command.back() == '\n'))
        command.remove_suffix(1);
    return std::string(command);
}

bool startsWith(const std::string& s, std::string_view prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> fields(1);
    for (char c : s) {
        if (c == sep)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

bool toDouble(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
}

std::string okLine() {
    return std::string(protocol::kTokOkLine);
}

std::string errorToken(CasterAnswer::Outcome outcome) {
    switch (outcome) {
    case CasterAnswer::Outcome::Ok:
        return std::string(protocol::kTokOkPrompt);
    case CasterAnswer::Outcome::Unreachable:
        return std::string(protocol::kTokError41) + "\r\n";
    case CasterAnswer::Outcome::Unauthorized:
        return std::string(protocol::kTokError42) + "\r\n";
    case CasterAnswer::Outcome::NoMountpoint:
        return std::string(protocol::kTokError43) + "\r\n";
    case CasterAnswer::Outcome::Failed:
        break;
    }
    return std::string(protocol::kTokError5) + "\r\n";
}

} // namespace

SimModem::SimModem(SimSettings settings, std::int64_t startMs,
                   std::unique_ptr<CasterService> casters)
    : m_State(std::move(settings)), m_Casters(std::move(casters)),
      m_CellularEngine(m_State.otap, m_State.otapStepMs) {
    if (!m_Casters) {
        if (m_State.network)
            m_Casters = std::make_unique<NetworkCaster>(m_State.networkTimeoutMs);
        else
            m_Casters = std::make_unique<OfflineCaster>(m_State);
    }
    const std::int64_t startUs = startMs * 1000;
    m_BootUs = startUs;
    m_ApnEdit = m_ApnSaved = m_State.apn;
    m_UserEdit = m_UserSaved = m_State.apnUser;
    m_PasswordEdit = m_PasswordSaved = m_State.apnPassword;
    for (const auto& ev : m_State.timeline) {
        at(startUs + ev.atMs * 1000, [this, ev] {
            std::string error;
            applySetting(m_State, ev.key, ev.value, error); // checked when it was read
        });
    }
    if (m_State.restartAtMs >= 0) restart(startUs + m_State.restartAtMs * 1000);
}

int SimModem::listeningBaudIndex() const {
    return m_Engine ? m_State.engineBaudIndex : m_State.baudIndex;
}

void SimModem::at(std::int64_t whenUs, std::function<void()> action) {
    m_Events.emplace(whenUs, std::move(action));
}

void SimModem::advanceUs(std::int64_t nowUs) {
    while (!m_Events.empty() && m_Events.begin()->first <= nowUs) {
        auto action = std::move(m_Events.begin()->second);
        m_Events.erase(m_Events.begin());
        action();
    }
}

std::int64_t SimModem::nextEventUs() const {
    return m_Events.empty() ? OutputQueue::kNever : m_Events.begin()->first;
}

std::int64_t SimModem::nextOutputUs() {
    // A restart or rate change due before the next byte may take that byte away.
    while (!m_Events.empty() && m_Events.begin()->first <= m_Out.nextAtUs())
        advanceUs(m_Events.begin()->first);
    return m_Out.nextAtUs();
}

std::int64_t SimModem::nextOutputMs() {
    const std::int64_t us = nextOutputUs();
    return us == OutputQueue::kNever ? us : (us + 999) / 1000;
}

std::uint8_t SimModem::takeByte(int lineBaudIndex) {
    return m_Out.take(lineBaudIndex);
}

std::string SimModem::takeDue(std::int64_t nowUs, int lineBaudIndex) {
    advanceUs(nowUs);
    return m_Out.takeDue(nowUs, lineBaudIndex);
}

void SimModem::purged(std::int64_t nowMs) {
    advanceUs(nowMs * 1000);
    m_Out.dropDue(nowMs * 1000);
}

void SimModem::restart(std::int64_t whenUs) {
    at(whenUs, [this, whenUs] {
        m_Out.cutAfter(whenUs);
        m_Line.clear();
        m_Engine = false;
        m_CellularEngine.reset();
        m_SilentUntilUs = whenUs + static_cast<std::int64_t>(m_State.restartMs) * 1000;
        m_BootUs = m_SilentUntilUs;
        m_State.apn = m_ApnEdit = m_ApnSaved;
        m_State.apnUser = m_UserEdit = m_UserSaved;
        m_State.apnPassword = m_PasswordEdit = m_PasswordSaved;
        // A rover with automatic connection connects to its stored caster when it starts.
        m_State.connected = !m_State.base && m_State.autoConnect && !m_State.storedCaster.empty();
        ++m_Restarts;
    });
}

void SimModem::moveToRate(int baudIndex, std::int64_t whenUs) {
    at(whenUs, [this, baudIndex] { m_State.baudIndex = baudIndex; });
}

std::int64_t SimModem::send(std::string_view text, std::int64_t startUs) {
    return m_Out.push(text, startUs, listeningBaudIndex(), m_State.pacing,
                      static_cast<std::int64_t>(m_State.byteDelayMs) * 1000);
}

std::int64_t SimModem::reply(std::string_view text, std::int64_t nowUs, int delayMs) {
    const std::int64_t start =
        nowUs + static_cast<std::int64_t>(m_State.replyDelayMs + delayMs) * 1000;
    if (!m_State.garbage.empty()) send(m_State.garbage, start);
    return send(text, start);
}

void SimModem::feedUs(std::string_view bytes, int baudIndex, std::int64_t nowUs) {
    advanceUs(nowUs);
    if (nowUs < m_SilentUntilUs || baudIndex != listeningBaudIndex()) return;
    for (char c : bytes) {
        if (c != '\n') {
            if (m_Line.size() < kLineCapacity) m_Line += c;
            continue;
        }
        std::string line = std::move(m_Line);
        m_Line.clear();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.size() >= kLineCapacity) continue;
        handleLine(line, nowUs);
        if (nowUs < m_SilentUntilUs) return; // the command restarted the modem at once
    }
}

void SimModem::handleLine(const std::string& line, std::int64_t nowUs) {
    ++m_Commands;
    if (m_Listener) m_Listener(line + "\r\n", nowUs / 1000);
    if (m_Commands == m_State.restartAfterCommands) {
        restart(nowUs);
        advanceUs(nowUs);
        return;
    }
    if (m_State.silent) return;
    for (const auto& prefix : m_State.refused) {
        if (!startsWith(line, bare(prefix))) continue;
        const bool casterCommand = startsWith(line, "#LIST") || startsWith(line, "#CONNECT");
        reply(casterCommand ? std::string(protocol::kTokCmdError) + "\r\n" : "<ERROR\r\n", nowUs);
        return;
    }
    if (m_Engine)
        handleEngine(line, nowUs);
    else
        handleFirmware(line, nowUs);
}

void SimModem::handleEngine(const std::string& line, std::int64_t nowUs) {
    const auto reaction = m_CellularEngine.handle(line);
    std::int64_t t = nowUs;
    if (!reaction.reply.empty()) t = reply(reaction.reply, nowUs);
    for (const auto& l : reaction.script)
        t = send(l.text, t + l.afterMs * 1000);
    if (reaction.rebootAfter) restart(t);
}

void SimModem::handleFirmware(const std::string& line, std::int64_t nowUs) {
    if (handleQuery(line, nowUs) || handleSetting(line, nowUs)) return;
    if (startsWith(line, "#LIST ")) return handleList(line.substr(6), nowUs);
    if (startsWith(line, "#CONNECT2 ")) return handleConnect2(line.substr(10), nowUs);
    if (startsWith(line, "#CONNECT ")) return handleConnect(line.substr(9), nowUs);
    if (line == bare(protocol::kExit0)) {
        const std::int64_t end = reply(std::string(protocol::kTokBye) + "\r\n", nowUs);
        at(end, [this] {
            m_Engine = true;
            m_Line.clear();
            m_CellularEngine.reset();
        });
        return;
    }
    reply("<ERROR\r\n", nowUs);
}

bool SimModem::handleQuery(const std::string& line, std::int64_t nowUs) {
    char buf[512];
    const SimSettings& s = m_State;
    if (line == bare(protocol::kDevice)) {
        std::snprintf(buf, sizeof buf, "%s NTRIP MODEM,%s,%s\r\n", protocol::kTokDevice.data(),
                      s.serialNumber.c_str(), s.firmwareVersion.c_str());
        reply(std::string(buf) + okLine(), nowUs);
    } else if (line == bare(protocol::kGetCfg)) {
        std::snprintf(buf, sizeof buf, "%s%s,%s,%s,%s,%s,%s,%s\r\n", protocol::kReplyGetCfg.data(),
                      s.base ? "SERVER" : "CLIENT", s.serialNumber.c_str(),
                      s.firmwareVersion.c_str(), s.imei.c_str(), s.apn.c_str(), s.apnUser.c_str(),
                      s.apnPassword.c_str());
        reply(std::string(buf) + okLine(), nowUs);
    } else if (line == bare(protocol::kGetGga)) {
        const bool manual = s.ggaMode == "MANUAL";
        std::snprintf(buf, sizeof buf, "%s%s,%s,%s\r\n", protocol::kReplyGetGga.data(),
                      s.ggaMode.c_str(), manual ? s.latitude.c_str() : s.gpsType.c_str(),
                      manual ? s.longitude.c_str() : s.gpsPort.c_str());
        reply(std::string(buf) + okLine(), nowUs);
    } else if (line == bare(protocol::kGetBrd)) {
        const std::string host =
            s.broadcastHost.empty() ? std::string(protocol::relayHost()) : s.broadcastHost;
        const std::string port =
            s.broadcastPort.empty() ? std::string(protocol::kRelayPort) : s.broadcastPort;
        std::snprintf(buf, sizeof buf, "%s%d,%s,%s\r\n", protocol::kReplyGetBrd.data(),
                      s.broadcastOn ? 1 : 0, host.c_str(), port.c_str());
        reply(std::string(buf) + okLine(), nowUs);
    } else if (line == bare(protocol::kIp)) {
        reply(std::string(protocol::kReplyIp) + (apnUp(nowUs) ? s.ip : "null") + "\r\n" + okLine(),
              nowUs);
    } else if (line == bare(protocol::kAutoQuery)) {
        reply(std::string(s.autoConnect ? protocol::kTokOn : protocol::kTokOff) + "\r\n" + okLine(),
              nowUs);
    } else if (line == bare(protocol::kStConnect)) {
        reply(std::string(s.connected ? protocol::kTokOn : protocol::kTokOff) + "\r\n" + okLine(),
              nowUs);
    } else if (line == bare(protocol::kAddrServer)) {
        reply(std::string(protocol::kReplyAddrServer) + storedCasterReply() + "\r\n" + okLine(),
              nowUs);
    } else if (line == bare(protocol::kApnQuery)) {
        std::snprintf(buf, sizeof buf, "%s%d,%d\r\n", protocol::kReplyApn.data(),
                      apnUp(nowUs) ? 1 : 0, simState(nowUs));
        reply(std::string(buf) + okLine(), nowUs);
    } else if (line == bare(protocol::kSignalOnce)) {
        std::snprintf(buf, sizeof buf, "%s%d\r\n", protocol::kReplySignal.data(), signal(nowUs));
        reply(std::string(buf) + okLine(), nowUs);
    } else {
        return false;
    }
    return true;
}

bool SimModem::handleSetting(const std::string& line, std::int64_t nowUs) {
    SimSettings& s = m_State;
    if (line == bare(protocol::kModeBase) || line == bare(protocol::kModeRover)) {
        const bool base = line == bare(protocol::kModeBase);
        const std::int64_t end = reply(okLine(), nowUs);
        at(end, [this, base] { m_State.base = base; });
        restart(end);
    } else if (startsWith(line, "APN ")) {
        m_ApnEdit = line.substr(4);
        reply(okLine(), nowUs);
    } else if (startsWith(line, "USER ")) {
        m_UserEdit = line.substr(5);
        reply(okLine(), nowUs);
    } else if (startsWith(line, "PASSWORD ")) {
        m_PasswordEdit = line.substr(9);
        reply(okLine(), nowUs);
    } else if (line == bare(protocol::kSave)) {
        m_ApnSaved = m_ApnEdit;
        m_UserSaved = m_UserEdit;
        m_PasswordSaved = m_PasswordEdit;
        reply(okLine(), nowUs);
    } else if (line == bare(protocol::kReset)) {
        restart(reply(okLine(), nowUs));
    } else if (startsWith(line, "#SETGGA,")) {
        const auto f = split(line.substr(8), ',');
        double lat = 0, lon = 0;
        if (f.size() == 3 && f[0] == "MANUAL" && toDouble(f[1], lat) && toDouble(f[2], lon)) {
            char buf[64];
            s.ggaMode = "MANUAL";
            s.gpsType = "UNKNOWN";
            std::snprintf(buf, sizeof buf, "%.6f", lat);
            s.latitude = buf;
            std::snprintf(buf, sizeof buf, "%.6f", lon);
            s.longitude = buf;
            reply(okLine(), nowUs);
            return true;
        }
        // The receiver types with a fixed rate of their own move the modem's port to it.
        static const std::map<std::string, int> kFixedRate = {
            {"KV-318", 0}, {"TRIMBLE", 2}, {"WAVECOM", -1}, {"UNKNOWN", -1}, {"TOPCON", 4}};
        const auto type = f.size() == 3 ? kFixedRate.find(f[1]) : kFixedRate.end();
        if (f.size() != 3 || f[0] != "AUTO" || type == kFixedRate.end() ||
            !startsWith(f[2], "COM") || f[2].size() != 4 || f[2][3] < '0' || f[2][3] > '9') {
            reply("<ERROR\r\n", nowUs);
            return true;
        }
        s.ggaMode = "AUTO";
        s.gpsType = f[1];
        s.gpsPort = f[2];
        if (f[1] == "KV-318" || f[1] == "WAVECOM") s.autoConnect = false;
        const std::int64_t end = reply(okLine(), nowUs);
        if (type->second >= 0) moveToRate(type->second, end);
    } else if (startsWith(line, "#COM ")) {
        const int index = baudIndexForRate(std::atoi(line.c_str() + 5));
        if (index < 0 || line.substr(5) != std::to_string(baudRateForIndex(index))) {
            reply("<ERROR\r\n", nowUs);
            return true;
        }
        moveToRate(index, reply(okLine(), nowUs));
    } else if (startsWith(line, "#SETBRD,")) {
        const auto f = split(line.substr(8), ',');
        if (f.size() != 4 || (f[0] != "0" && f[0] != "1") || f[1].empty() || f[2].empty()) {
            reply("<ERROR\r\n", nowUs);
            return true;
        }
        s.broadcastOn = f[0] == "1";
        s.broadcastHost = f[1];
        s.broadcastPort = f[2];
        reply(okLine(), nowUs);
    } else if (line == bare(protocol::kAutoOn) || line == bare(protocol::kAutoOff)) {
        s.autoConnect = line == bare(protocol::kAutoOn);
        reply(okLine(), nowUs);
    } else if (line == bare(protocol::kStopConnection)) {
        s.connected = false;
        reply(okLine(), nowUs);
    } else if (line == bare(protocol::kSignalOff) || line == "#SIGNAL ON") {
        reply(line.substr(1) + "\r\n" + okLine(), nowUs);
    } else {
        return false;
    }
    return true;
}

void SimModem::handleList(const std::string& argument, std::int64_t nowUs) {
    const auto request = CasterRequest::parse(argument, false);
    if (!request) {
        reply(std::string(protocol::kTokCmdError) + "\r\n", nowUs);
        return;
    }
    std::int64_t t = reply(std::string(protocol::kTokCmdOk) + "\r\n", nowUs);
    const CasterAnswer answer = m_Casters->fetchTable(*request);
    t = std::max(t, nowUs + static_cast<std::int64_t>(answer.elapsedMs) * 1000);
    if (answer.outcome == CasterAnswer::Outcome::Ok)
        t = send(answer.bytes, t);
    else
        t = send(errorToken(answer.outcome), t);
    // The caster closed the connection; the modem says so and gives its prompt again.
    t = send("\r\n" + std::string(protocol::kTokShutdown) + "\r\n", t);
    send(protocol::kTokOkPrompt, t + kShutdownToPromptMs * 1000);
}

void SimModem::handleConnect(const std::string& argument, std::int64_t nowUs) {
    const auto request = CasterRequest::parse(argument, true);
    if (!request) {
        reply(std::string(protocol::kTokCmdError) + "\r\n", nowUs);
        return;
    }
    const std::int64_t t = reply(std::string(protocol::kTokCmdOk) + "\r\n", nowUs);
    const CasterAnswer answer = m_Casters->openStream(*request);
    send(errorToken(answer.outcome),
         std::max(t, nowUs + static_cast<std::int64_t>(answer.elapsedMs) * 1000));
    if (answer.outcome != CasterAnswer::Outcome::Ok) return;
    std::string stored = request->address() + "/" + request->mountpoint;
    if (request->hasCredentials) stored += " " + request->user + ":" + request->password;
    m_State.storedCaster = stored;
    m_State.storedTessadorn = false;
    m_State.connected = true;
}

void SimModem::handleConnect2(const std::string& argument, std::int64_t nowUs) {
    const auto request = CasterRequest::parse(argument, false);
    if (!request || request->version != 0 || request->hasCredentials) {
        reply(std::string(protocol::kTokCmdError) + "\r\n", nowUs);
        return;
    }
    if (!m_Casters->reachable(*request)) {
        reply(std::string(protocol::kTokError41) + "\r\n", nowUs, m_State.connectMs);
        return;
    }
    reply(okLine(), nowUs, m_State.connectMs);
    m_State.storedCaster = request->address();
    m_State.storedTessadorn = true;
    m_State.connected = true;
}

std::string SimModem::storedCasterReply() const {
    const auto withMount = CasterRequest::parse(m_State.storedCaster, true);
    const auto plain = withMount ? withMount : CasterRequest::parse(m_State.storedCaster, false);
    if (!plain) return "null:0,null,null:null";
    if (m_State.storedTessadorn) return plain->address() + ",TESSADORN,1";
    const std::string user = plain->hasCredentials ? plain->user : "null";
    const std::string password = plain->hasCredentials ? plain->password : "null";
    return plain->address() + "," + (plain->mountpoint.empty() ? "null" : plain->mountpoint) + "," +
           user + ":" + password;
}

int SimModem::simState(std::int64_t nowUs) const {
    if (m_State.simState == 0) return 0;
    if (m_State.registerMs < 0) return 2;
    if (nowUs - m_BootUs < static_cast<std::int64_t>(m_State.registerMs) * 1000) return 2;
    return m_State.simState;
}

bool SimModem::apnUp(std::int64_t nowUs) const {
    return m_State.apnReady && simState(nowUs) == 5 && m_State.apnUpMs >= 0 &&
           nowUs - m_BootUs >= static_cast<std::int64_t>(m_State.apnUpMs) * 1000;
}

int SimModem::signal(std::int64_t nowUs) const {
    const int sim = simState(nowUs);
    if (sim == 0) return -1;
    return sim == 5 ? m_State.signal : 0;
}

} // namespace tessadorn::sim
