#include "cli/WatchMetrics.h"

#include "modem/DeviceConfig.h"
#include "platform/ProgramInfo.h"
#include "platform/TextCodec.h"

#include <cstdio>

namespace tessadorn::cli {

namespace {

// A label's value: backslash, double quote and line end escaped.
std::string labelValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

void metric(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

} // namespace

WatchMetrics::WatchMetrics(std::string path, std::string port, FileWriter& writer)
    : m_Path(std::move(path)), m_Port(std::move(port)), m_Writer(writer) {}

void WatchMetrics::found(const ModemFacts& facts) {
    std::lock_guard lock(m_Mutex);
    m_Facts = facts;
    m_Changed = true;
}

void WatchMetrics::polled(const PolledValues& values, std::int64_t wallMs) {
    std::lock_guard lock(m_Mutex);
    m_Up = true;
    m_Values = values;
    m_LastPollWallMs = wallMs;
    m_Changed = true;
}

void WatchMetrics::pollFailed() {
    std::lock_guard lock(m_Mutex);
    ++m_PollsFailed;
    m_Changed = true;
}

void WatchMetrics::lost() {
    std::lock_guard lock(m_Mutex);
    // The modem's facts stay: a lost modem is still named by its serial number.
    m_Up = false;
    m_Values.reset();
    ++m_Lost;
    m_Changed = true;
}

void WatchMetrics::stopped() {
    std::lock_guard lock(m_Mutex);
    m_Up = false;
    m_Values.reset();
    m_Changed = true;
}

std::string WatchMetrics::text() const {
    std::lock_guard lock(m_Mutex);
    const std::string port = "port=\"" + labelValue(m_Port) + "\"";
    const std::string labels = "{" + port + "} ";
    std::string out;
    auto sample = [&](const char* name, const std::string& value) {
        out += name;
        out += labels;
        out += value;
        out += '\n';
    };
    metric(out, "tessadorn_up", "gauge",
           "1 while the modem is polled, 0 while it is searched for.");
    sample("tessadorn_up", m_Up ? "1" : "0");
    metric(out, "tessadorn_signal_level", "gauge",
           "The signal level as the modem reports it (-1 without a SIM).");
    if (m_Values) sample("tessadorn_signal_level", std::to_string(m_Values->signal));
    metric(out, "tessadorn_sim_state", "gauge",
           "The SIM state the modem reports: 0 no SIM, 5 ready, others on the way.");
    if (m_Values) sample("tessadorn_sim_state", std::to_string(m_Values->simState));
    metric(out, "tessadorn_apn_up", "gauge", "1 while the modem reports its APN ready.");
    if (m_Values) sample("tessadorn_apn_up", m_Values->apnReady != 0 ? "1" : "0");
    metric(out, "tessadorn_connected", "gauge",
           "1 while the modem reports its caster connection running.");
    if (m_Values) sample("tessadorn_connected", m_Values->connection == 1 ? "1" : "0");
    metric(out, "tessadorn_polls_failed_total", "counter", "Polls the modem did not answer.");
    sample("tessadorn_polls_failed_total", std::to_string(m_PollsFailed));
    metric(out, "tessadorn_lost_total", "counter", "Times the modem was lost.");
    sample("tessadorn_lost_total", std::to_string(m_Lost));
    metric(out, "tessadorn_last_poll_timestamp_seconds", "gauge",
           "When the modem last answered a poll, in seconds since 1970.");
    if (m_LastPollWallMs > 0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%lld.%03lld",
                      static_cast<long long>(m_LastPollWallMs / 1000),
                      static_cast<long long>(m_LastPollWallMs % 1000));
        sample("tessadorn_last_poll_timestamp_seconds", seconds);
    }
    metric(out, "tessadorn_metrics_write_failures_total", "counter",
           "Rewrites of this file that failed (a full disk): it then holds the last whole one.");
    sample("tessadorn_metrics_write_failures_total", std::to_string(m_WritesFailed));
    metric(out, "tessadorn_build_info", "gauge", "The watching program's version: always 1.");
    out += "tessadorn_build_info{version=\"" + labelValue(kProgramVersion) + "\"," + port + "} 1\n";
    metric(out, "tessadorn_info", "gauge",
           "The modem found last on the port (also while it is lost): always 1.");
    if (m_Facts) {
        out += "tessadorn_info{serial=\"" + labelValue(deviceToUtf8(m_Facts->serial)) +
               "\",firmware=\"" + labelValue(deviceToUtf8(m_Facts->firmware)) + "\",role=\"" +
               (m_Facts->mode == kModeServer ? "base" : "rover") + "\"," + port + "} 1\n";
    }
    return out;
}

bool WatchMetrics::flush(std::int64_t nowMs, bool now) {
    {
        std::lock_guard lock(m_Mutex);
        if (!m_Changed || (!now && m_WrittenAt && nowMs - *m_WrittenAt < kMinRewriteMs))
            return false;
        m_Changed = false;
        m_WrittenAt = nowMs;
    }
    std::string reason;
    const bool written = m_Writer.replaceExplained(m_Path, text(), 0644, reason);
    std::function<void(const std::string&)> heard;
    {
        std::lock_guard lock(m_Mutex);
        // Said once when the writes start failing and once when they work again.
        if (written == !m_Failure.empty()) heard = m_WriteChange;
        m_Failure = written ? std::string() : reason.empty() ? "not written" : reason;
        if (!written) {
            ++m_WritesFailed;
            m_Changed = true; // tried again at the next flush
        }
    }
    if (heard) heard(written ? std::string() : reason);
    return written;
}

void WatchMetrics::onWriteChange(std::function<void(const std::string& failure)> heard) {
    std::lock_guard lock(m_Mutex);
    m_WriteChange = std::move(heard);
}

std::string WatchMetrics::lastFailure() const {
    std::lock_guard lock(m_Mutex);
    return m_Failure;
}

} // namespace tessadorn::cli
