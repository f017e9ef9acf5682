#pragma once

#include "cli/Value.h"
#include "cli/WatchMetrics.h"
#include "modem/MonitorObserver.h"
#include "platform/Clock.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessadorn::cli {

// tessadornctl watch's account of the monitor: one event per line, each as a value (its "class",
// "time", "port" and, once a modem was found, its "serial" first) and as a line of text naming
// the same. "searching" when a search for the modem begins (and again every `intervalMs` while
// it lasts); "found" with the modem's facts; "status" whenever a polled value changed,
// "heartbeat" with the same values when none changed for `intervalMs`; "lost" with the reason;
// "error" for what ends the watch. The metrics, when given, follow every event.
class WatchReport final : public MonitorObserver {
  public:
    using Emit = std::function<void(const Value& event, const std::string& text)>;

    struct Options {
        std::string port;
        std::int64_t intervalMs = 60'000;
        // Milliseconds since 1970 for the events' times.
        std::function<std::int64_t()> wallMs;
    };

    WatchReport(Options options, Clock& clock, Emit emit, WatchMetrics* metrics = nullptr);

    void found(const ModemFacts& facts) override;
    void polled(const PolledValues& values) override;
    void pollFailed() override;
    void lost(LostReason reason) override;
    // A command of another program was served ("served": its words and exit status), and the
    // modem read again: a "found" line with its facts as they are now.
    void served(const std::vector<std::string>& words, int status, const ModemFacts& facts);
    // The monitor looks for the modem (at every rate it tries, and while a pulled port is away).
    void searching();
    // What ends the watch: the port cannot be opened (the reason, or empty).
    void portError(const std::string& reason);
    // The metrics file `path` could not be rewritten (the reason), or is written again (empty).
    // Any thread.
    void metricsWritten(const std::string& path, const std::string& failure);

    // The names of the polled codes, as `status --json` gives them.
    static std::string simName(int simState);
    static std::string apnName(int apnReady);
    static std::string connectionName(int connection);
    // ISO 8601 in UTC with milliseconds: "2026-12-08T00:35:12.345Z".
    static std::string isoTime(std::int64_t wallMs);

  private:
    // An event of `kind` with its time, port and serial; the caller adds the rest.
    Value event(const char* kind) const;
    void send(Value event, const std::string& text);
    void values(const char* kind, const PolledValues& v);

    Options m_Options;
    Clock& m_Clock;
    Emit m_Emit;
    WatchMetrics* m_Metrics;
    std::optional<PolledValues> m_Last;
    std::int64_t m_LastLineAt = 0;
    // The serial number of the modem found last (UTF-8), empty before the first.
    std::string m_Serial;
    bool m_Searching = false;
    // One line at a time: the metrics' news come from another thread than the monitor's.
    std::mutex m_EmitMutex;
};

} // namespace tessadorn::cli
