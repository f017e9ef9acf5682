#pragma once

#include "modem/MonitorObserver.h"
#include "platform/FileWriter.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace tessadorn::cli {

// The watched modem's state as metrics, in the text format of the node exporter's textfile
// collector: every metric with its HELP and TYPE line, every sample labelled with the port so
// that several watches can share the collector's folder. flush() rewrites the file whole
// (through the FileWriter, which replaces it at once), at most once a second and only when
// something changed, so a reader never sees half a file. Any thread may call any member.
class WatchMetrics {
  public:
    static constexpr std::int64_t kMinRewriteMs = 1000;

    WatchMetrics(std::string path, std::string port, FileWriter& writer);

    void found(const ModemFacts& facts);
    void polled(const PolledValues& values, std::int64_t wallMs);
    void pollFailed();
    void lost();
    // The watch ends: the modem is no longer polled (not counted as lost).
    void stopped();

    // The whole file as it would be written now.
    std::string text() const;
    // Writes the file when it changed and the last write is at least kMinRewriteMs before
    // `nowMs` (any steady milliseconds), or at once with `now`; true when it was written. The
    // reason of a failed write stays in lastFailure().
    bool flush(std::int64_t nowMs, bool now = false);
    std::string lastFailure() const;
    // Hears when a rewrite fails after the file was written (the reason), and when one succeeds
    // again after that (empty): once each, from the thread that flushes.
    void onWriteChange(std::function<void(const std::string& failure)> heard);

  private:
    mutable std::mutex m_Mutex;
    std::string m_Path;
    std::string m_Port;
    FileWriter& m_Writer;
    bool m_Up = false;
    std::optional<PolledValues> m_Values;
    std::optional<ModemFacts> m_Facts;
    std::uint64_t m_PollsFailed = 0;
    std::uint64_t m_Lost = 0;
    std::int64_t m_LastPollWallMs = 0;
    bool m_Changed = true;
    std::optional<std::int64_t> m_WrittenAt;
    std::string m_Failure;
    std::uint64_t m_WritesFailed = 0;
    std::function<void(const std::string&)> m_WriteChange;
};

} // namespace tessadorn::cli
