#include "CorrectionFirmware.h"

#include "ModemTexts.h"
#include "platform/SerialPort.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace tessadorn::sim {
namespace {

namespace t = texts;
using Reaction = CorrectionFirmware::Reaction;

constexpr int kShutdownToPromptMs = 200;

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
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

std::string line(std::string_view token) {
    return std::string(token) + "\r\n";
}

Reaction says(std::vector<Reaction::Part> parts) {
    Reaction r;
    r.parts = std::move(parts);
    return r;
}

// An answer followed by the modem's "<OK" line.
Reaction answered(const std::string& text) {
    return says({{text + std::string(t::kOkLine)}});
}

Reaction accepted() {
    return says({{std::string(t::kOkLine)}});
}

Reaction refused() {
    return says({{std::string(t::kErrorLine)}});
}

Reaction refusedCasterCommand() {
    return says({{line(t::kCmdError)}});
}

std::string casterToken(CasterAnswer::Outcome outcome) {
    switch (outcome) {
    case CasterAnswer::Outcome::Ok:
        return std::string(t::kOkPrompt);
    case CasterAnswer::Outcome::Unreachable:
        return line(t::kError41);
    case CasterAnswer::Outcome::Unauthorized:
        return line(t::kError42);
    case CasterAnswer::Outcome::NoMountpoint:
        return line(t::kError43);
    case CasterAnswer::Outcome::Failed:
        break;
    }
    return line(t::kError5);
}

std::string printed(const char* format, auto... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

} // namespace

// Every command the correction firmware knows. Exact commands first, then those that carry an
// argument after their text.
const std::vector<CorrectionFirmware::Command>& CorrectionFirmware::commands() {
    using F = CorrectionFirmware;
    static const std::vector<Command> table = {
        {t::kDevice, false, &F::device},
        {t::kGetCfg, false, &F::configuration},
        {t::kGetGga, false, &F::positionSource},
        {t::kGetBrd, false, &F::broadcast},
        {t::kIp, false, &F::serverAddress},
        {t::kAutoQuery, false, &F::autoConnection},
        {t::kStConnect, false, &F::connectionState},
        {t::kAddrServer, false, &F::storedCaster},
        {t::kApnQuery, false, &F::apnState},
        {t::kSignalOnce, false, &F::signalLevel},
        {t::kModeBase, false, &F::modeBase},
        {t::kModeRover, false, &F::modeRover},
        {t::kSave, false, &F::save},
        {t::kReset, false, &F::reset},
        {t::kAutoOn, false, &F::autoOn},
        {t::kAutoOff, false, &F::autoOff},
        {t::kStopConnection, false, &F::stopConnection},
        {t::kSignalOff, false, &F::signalReports},
        {t::kSignalOn, false, &F::signalReports},
        {t::kExit0, false, &F::exitToEngine},
        {t::kApn, true, &F::apnName},
        {t::kUser, true, &F::apnUser},
        {t::kPassword, true, &F::apnPassword},
        {t::kSetGga, true, &F::setPositionSource},
        {t::kCom, true, &F::setRate},
        {t::kSetBrd, true, &F::setBroadcast},
        {t::kList, true, &F::list},
        {t::kConnect2, true, &F::connectTessadorn},
        {t::kConnect, true, &F::connect},
    };
    return table;
}

CorrectionFirmware::CorrectionFirmware(SimSettings& state, CasterService& casters)
    : m_State(state), m_Casters(casters) {
    m_ApnEdit = m_ApnSaved = m_State.apn;
    m_UserEdit = m_UserSaved = m_State.apnUser;
    m_PasswordEdit = m_PasswordSaved = m_State.apnPassword;
}

Reaction CorrectionFirmware::handle(const std::string& text, const Conditions& now) {
    for (const Command& command : commands()) {
        if (command.prefix ? startsWith(text, command.text) : text == command.text)
            return (this->*command.handler)(text.substr(command.prefix ? command.text.size() : 0),
                                            now);
    }
    return refused();
}

void CorrectionFirmware::restarted() {
    m_State.apn = m_ApnEdit = m_ApnSaved;
    m_State.apnUser = m_UserEdit = m_UserSaved;
    m_State.apnPassword = m_PasswordEdit = m_PasswordSaved;
    // A rover with automatic connection connects to its stored caster when it starts.
    m_State.connected = !m_State.base && m_State.autoConnect && !m_State.storedCaster.empty();
}

Reaction CorrectionFirmware::refusal(const std::string& text) {
    const bool casterCommand = startsWith(text, "#LIST") || startsWith(text, "#CONNECT");
    return casterCommand ? refusedCasterCommand() : refused();
}

// ---- Queries ----

Reaction CorrectionFirmware::device(const std::string&, const Conditions&) {
    return answered(printed("%s NTRIP MODEM,%s,%s\r\n", t::kDeviceName.data(),
                            m_State.serialNumber.c_str(), m_State.firmwareVersion.c_str()));
}

Reaction CorrectionFirmware::configuration(const std::string&, const Conditions&) {
    const SimSettings& s = m_State;
    return answered(printed("%s%s,%s,%s,%s,%s,%s,%s\r\n", t::kReplyGetCfg.data(),
                            s.base ? "SERVER" : "CLIENT", s.serialNumber.c_str(),
                            s.firmwareVersion.c_str(), s.imei.c_str(), s.apn.c_str(),
                            s.apnUser.c_str(), s.apnPassword.c_str()));
}

Reaction CorrectionFirmware::positionSource(const std::string&, const Conditions&) {
    const SimSettings& s = m_State;
    const bool manual = s.ggaMode == "MANUAL";
    return answered(printed("%s%s,%s,%s\r\n", t::kReplyGetGga.data(), s.ggaMode.c_str(),
                            manual ? s.latitude.c_str() : s.gpsType.c_str(),
                            manual ? s.longitude.c_str() : s.gpsPort.c_str()));
}

Reaction CorrectionFirmware::broadcast(const std::string&, const Conditions&) {
    const SimSettings& s = m_State;
    const std::string host =
        s.broadcastHost.empty() ? std::string(t::relayHost()) : s.broadcastHost;
    const std::string port = s.broadcastPort.empty() ? std::string(t::kRelayPort) : s.broadcastPort;
    return answered(printed("%s%d,%s,%s\r\n", t::kReplyGetBrd.data(), s.broadcastOn ? 1 : 0,
                            host.c_str(), port.c_str()));
}

Reaction CorrectionFirmware::serverAddress(const std::string&, const Conditions& now) {
    return answered(std::string(t::kReplyIp) + (now.apnUp ? m_State.ip : "null") + "\r\n");
}

Reaction CorrectionFirmware::autoConnection(const std::string&, const Conditions&) {
    return answered(line(m_State.autoConnect ? t::kOn : t::kOff));
}

Reaction CorrectionFirmware::connectionState(const std::string&, const Conditions&) {
    return answered(line(m_State.connected ? t::kOn : t::kOff));
}

Reaction CorrectionFirmware::storedCaster(const std::string&, const Conditions&) {
    return answered(std::string(t::kReplyAddrServer) + storedCasterReply() + "\r\n");
}

Reaction CorrectionFirmware::apnState(const std::string&, const Conditions& now) {
    return answered(printed("%s%d,%d\r\n", t::kReplyApn.data(), now.apnUp ? 1 : 0, now.simState));
}

Reaction CorrectionFirmware::signalLevel(const std::string&, const Conditions& now) {
    return answered(printed("%s%d\r\n", t::kReplySignal.data(), now.signal));
}

// ---- Role, APN and restarts ----

Reaction CorrectionFirmware::modeBase(const std::string&, const Conditions&) {
    Reaction r = accepted();
    r.atEnd = [](SimSettings& s) { s.base = true; };
    r.restartAtEnd = true;
    return r;
}

Reaction CorrectionFirmware::modeRover(const std::string&, const Conditions&) {
    Reaction r = accepted();
    r.atEnd = [](SimSettings& s) { s.base = false; };
    r.restartAtEnd = true;
    return r;
}

Reaction CorrectionFirmware::apnName(const std::string& value, const Conditions&) {
    m_ApnEdit = value;
    return accepted();
}

Reaction CorrectionFirmware::apnUser(const std::string& value, const Conditions&) {
    m_UserEdit = value;
    return accepted();
}

Reaction CorrectionFirmware::apnPassword(const std::string& value, const Conditions&) {
    m_PasswordEdit = value;
    return accepted();
}

Reaction CorrectionFirmware::save(const std::string&, const Conditions&) {
    m_ApnSaved = m_ApnEdit;
    m_UserSaved = m_UserEdit;
    m_PasswordSaved = m_PasswordEdit;
    return accepted();
}

Reaction CorrectionFirmware::reset(const std::string&, const Conditions&) {
    Reaction r = accepted();
    r.restartAtEnd = true;
    return r;
}

// ---- Position source, serial rate, broadcast, connection ----

Reaction CorrectionFirmware::setPositionSource(const std::string& fields, const Conditions&) {
    SimSettings& s = m_State;
    const auto f = split(fields, ',');
    double lat = 0, lon = 0;
    if (f.size() == 3 && f[0] == "MANUAL" && toDouble(f[1], lat) && toDouble(f[2], lon)) {
        s.ggaMode = "MANUAL";
        s.gpsType = "UNKNOWN";
        s.latitude = printed("%.6f", lat);
        s.longitude = printed("%.6f", lon);
        return accepted();
    }
    // The receiver types with a fixed rate of their own move the modem's port to it.
    static const std::map<std::string, int> kFixedRate = {
        {"KV-318", 0}, {"TRIMBLE", 2}, {"WAVECOM", -1}, {"UNKNOWN", -1}, {"TOPCON", 4}};
    const auto type = f.size() == 3 ? kFixedRate.find(f[1]) : kFixedRate.end();
    if (f.size() != 3 || f[0] != "AUTO" || type == kFixedRate.end() || !startsWith(f[2], "COM") ||
        f[2].size() != 4 || f[2][3] < '0' || f[2][3] > '9')
        return refused();
    s.ggaMode = "AUTO";
    s.gpsType = f[1];
    s.gpsPort = f[2];
    if (f[1] == "KV-318" || f[1] == "WAVECOM") s.autoConnect = false;
    Reaction r = accepted();
    r.rateAtEnd = type->second;
    return r;
}

Reaction CorrectionFirmware::setRate(const std::string& rate, const Conditions&) {
    const int index = baudIndexForRate(std::atoi(rate.c_str()));
    if (index < 0 || rate != std::to_string(baudRateForIndex(index))) return refused();
    Reaction r = accepted();
    r.rateAtEnd = index;
    return r;
}

Reaction CorrectionFirmware::setBroadcast(const std::string& fields, const Conditions&) {
    const auto f = split(fields, ',');
    if (f.size() != 4 || (f[0] != "0" && f[0] != "1") || f[1].empty() || f[2].empty())
        return refused();
    m_State.broadcastOn = f[0] == "1";
    m_State.broadcastHost = f[1];
    m_State.broadcastPort = f[2];
    return accepted();
}

Reaction CorrectionFirmware::autoOn(const std::string&, const Conditions&) {
    m_State.autoConnect = true;
    return accepted();
}

Reaction CorrectionFirmware::autoOff(const std::string&, const Conditions&) {
    m_State.autoConnect = false;
    return accepted();
}

Reaction CorrectionFirmware::stopConnection(const std::string&, const Conditions&) {
    m_State.connected = false;
    return accepted();
}

// "#SIGNAL OFF" / "#SIGNAL ON": the modem repeats the setting.
Reaction CorrectionFirmware::signalReports(const std::string& text, const Conditions&) {
    return answered(text.substr(1) + "\r\n");
}

Reaction CorrectionFirmware::exitToEngine(const std::string&, const Conditions&) {
    Reaction r = says({{line(t::kBye)}});
    r.engineAtEnd = true;
    return r;
}

// ---- The caster commands ----

// The table is relayed between "CMD_OK" and the caster's end of connection; then the modem
// says "SHUTDOWN" and gives its prompt again.
Reaction CorrectionFirmware::list(const std::string& argument, const Conditions&) {
    const auto request = CasterRequest::parse(argument, false);
    if (!request) return refusedCasterCommand();
    const CasterAnswer answer = m_Casters.fetchTable(*request);
    Reaction r = says({{line(t::kCmdOk)}});
    const bool ok = answer.outcome == CasterAnswer::Outcome::Ok;
    r.parts.push_back({ok ? answer.bytes : casterToken(answer.outcome), 0, answer.elapsedMs});
    r.parts.push_back({"\r\n" + line(t::kShutdown)});
    r.parts.push_back({std::string(t::kOkPrompt), kShutdownToPromptMs});
    return r;
}

Reaction CorrectionFirmware::connect(const std::string& argument, const Conditions&) {
    const auto request = CasterRequest::parse(argument, true);
    if (!request) return refusedCasterCommand();
    const CasterAnswer answer = m_Casters.openStream(*request);
    Reaction r = says({{line(t::kCmdOk)}, {casterToken(answer.outcome), 0, answer.elapsedMs}});
    if (answer.outcome != CasterAnswer::Outcome::Ok) return r;
    std::string stored = request->address() + "/" + request->mountpoint;
    if (request->hasCredentials) stored += " " + request->user + ":" + request->password;
    m_State.storedCaster = stored;
    m_State.storedTessadorn = false;
    m_State.connected = true;
    return r;
}

// Straight to another Tessadorn: host and port only.
Reaction CorrectionFirmware::connectTessadorn(const std::string& argument, const Conditions&) {
    const auto request = CasterRequest::parse(argument, false);
    if (!request || request->version != 0 || request->hasCredentials) return refusedCasterCommand();
    if (!m_Casters.reachable(*request)) return says({{line(t::kError41), m_State.connectMs}});
    m_State.storedCaster = request->address();
    m_State.storedTessadorn = true;
    m_State.connected = true;
    return says({{std::string(t::kOkLine), m_State.connectMs}});
}

std::string CorrectionFirmware::storedCasterReply() const {
    const auto withMount = CasterRequest::parse(m_State.storedCaster, true);
    const auto plain = withMount ? withMount : CasterRequest::parse(m_State.storedCaster, false);
    if (!plain) return "null:0,null,null:null";
    if (m_State.storedTessadorn) return plain->address() + ",TESSADORN,1";
    const std::string user = plain->hasCredentials ? plain->user : "null";
    const std::string password = plain->hasCredentials ? plain->password : "null";
    return plain->address() + "," + (plain->mountpoint.empty() ? "null" : plain->mountpoint) + "," +
           user + ":" + password;
}

} // namespace tessadorn::sim
