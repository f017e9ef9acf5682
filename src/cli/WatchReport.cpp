#include "cli/WatchReport.h"

#include "cli/Facts.h"

#include "modem/DeviceConfig.h"
#include "platform/DebugOutput.h"
#include "platform/SerialPort.h"
#include "platform/TextCodec.h"

#include <cstdio>
#include <ctime>

namespace tessadorn::cli {

WatchReport::WatchReport(Options options, Clock& clock, Emit emit, WatchMetrics* metrics)
    : m_Options(std::move(options)), m_Clock(clock), m_Emit(std::move(emit)), m_Metrics(metrics) {}

std::string WatchReport::simName(int simState) {
    return simState == 0 ? "missing" : simState == kSimReady ? "ready" : "not ready";
}

std::string WatchReport::apnName(int apnReady) {
    return apnReady == 0 ? "not ready" : "ready";
}

std::string WatchReport::connectionName(int connection) {
    return connection == 1 ? "on" : connection == 2 ? "off" : "unknown";
}

std::string WatchReport::isoTime(std::int64_t wallMs) {
    const std::time_t seconds = static_cast<std::time_t>(wallMs / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(wallMs % 1000));
    return text;
}

Value WatchReport::event(const char* kind) const {
    Value e = Value::object();
    e.set("class", Value::str(kind))
        .set("time", Value::str(isoTime(m_Options.wallMs ? m_Options.wallMs() : 0)))
        .set("port", Value::str(m_Options.port));
    if (!m_Serial.empty()) e.set("serial", Value::str(m_Serial));
    return e;
}

void WatchReport::send(Value event, const std::string& text) {
    m_LastLineAt = m_Clock.nowMs();
    // A journal or a merged stream tells the modems apart by the port and the serial number.
    std::string head = event.get("time")->text + " " + m_Options.port;
    if (!m_Serial.empty()) head += " " + m_Serial;
    std::lock_guard lock(m_EmitMutex);
    m_Emit(event, head + " " + text);
}

void WatchReport::served(const std::vector<std::string>& words, int status,
                         const ModemFacts& facts) {
    std::string command;
    for (const std::string& w : words)
        command += (command.empty() ? "" : " ") + w;
    Value e = event("served");
    e.set("command", Value::str(command)).set("status", Value::num(status));
    send(std::move(e), "served \"" + command + "\", exit status " + std::to_string(status));
    found(facts);
}

void WatchReport::searching() {
    if (m_Searching && m_Clock.nowMs() - m_LastLineAt < m_Options.intervalMs) return;
    m_Searching = true;
    send(event("searching"), "searching for the modem");
}

void WatchReport::metricsWritten(const std::string& path, const std::string& failure) {
    const std::int64_t wall = m_Options.wallMs ? m_Options.wallMs() : 0;
    Value e = Value::object();
    e.set("class", Value::str("metrics"))
        .set("time", Value::str(isoTime(wall)))
        .set("port", Value::str(m_Options.port))
        .set("file", Value::str(path))
        .set("written", Value::boolean(failure.empty()))
        .set("reason", failure.empty() ? Value::null() : Value::str(failure));
    const std::string text = failure.empty()
                                 ? "metrics written again to " + path
                                 : "metrics cannot be written to " + path + ": " + failure +
                                       " (the file keeps the last whole metrics)";
    debugLine(text + "\r\n");
    std::lock_guard lock(m_EmitMutex);
    m_Emit(e, isoTime(wall) + " " + m_Options.port + " " + text);
}

void WatchReport::found(const ModemFacts& facts) {
    const std::string serial = deviceToUtf8(facts.serial);
    const std::string firmware = deviceToUtf8(facts.firmware);
    const char* role = facts.mode == kModeServer ? "base" : "rover";
    const int rate = baudRateForIndex(facts.baudIndex);
    m_Last.reset();
    m_Searching = false;
    m_Serial = serial;
    if (m_Metrics) m_Metrics->found(facts);
    Value e = event("found");
    if (serial.empty()) e.set("serial", Value::str(serial));
    e.set("firmware", Value::str(firmware))
        .set("role", Value::str(role))
        .set("rate", Value::num(rate));
    send(std::move(e), "found " + std::string(role) + ", firmware " + firmware + ", " +
                           std::to_string(rate) + " bit/s");
}

void WatchReport::values(const char* kind, const PolledValues& v) {
    Value e = event(kind);
    e.set("signal", Value::num(v.signal))
        .set("sim", facts::sim(v.simState))
        .set("apn_ready", facts::apnReady(v.apnReady))
        .set("connection", facts::connection(v.connection));
    send(std::move(e), std::string(kind) + " signal " + std::to_string(v.signal) + ", SIM " +
                           simName(v.simState) + ", APN " + apnName(v.apnReady) + ", connection " +
                           connectionName(v.connection));
}

void WatchReport::polled(const PolledValues& v) {
    if (m_Metrics) m_Metrics->polled(v, m_Options.wallMs ? m_Options.wallMs() : 0);
    if (!m_Last || *m_Last != v) {
        m_Last = v;
        values("status", v);
    } else if (m_Clock.nowMs() - m_LastLineAt >= m_Options.intervalMs) {
        values("heartbeat", v);
    }
}

void WatchReport::pollFailed() {
    if (m_Metrics) m_Metrics->pollFailed();
}

void WatchReport::lost(LostReason reason) {
    m_Last.reset();
    if (m_Metrics) m_Metrics->lost();
    const std::string why(lostReasonText(reason));
    Value e = event("lost");
    e.set("reason", Value::str(why));
    send(std::move(e), "lost: " + why);
}

void WatchReport::portError(const std::string& reason) {
    const std::string why =
        reason.empty() ? "The port " + m_Options.port + " cannot be opened." : reason;
    Value e = event("error");
    e.set("error", Value::str(why));
    send(std::move(e), "error: " + why);
}

} // namespace tessadorn::cli
