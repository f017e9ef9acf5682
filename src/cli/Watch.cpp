#include "cli/Modem.h"
#include "cli/StopRequest.h"
#include "cli/Verbs.h"
#include "cli/WatchMetrics.h"
#include "cli/WatchReport.h"
#include "cli/WatchService.h"
#include "modem/ModemMonitor.h"
#include "platform/DebugOutput.h"
#include "store/CasterStore.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <grp.h>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tessadorn::cli {

namespace {

// Rewrites the metrics file while the watch runs: it looks four times a second, the metrics
// themselves keep to at most one write a second.
class MetricsFlusher {
  public:
    MetricsFlusher(WatchMetrics& metrics, Clock& clock)
        : m_Thread([this, &metrics, &clock] {
              std::unique_lock lock(m_Mutex);
              while (!m_Stop) {
                  lock.unlock();
                  metrics.flush(clock.nowMs());
                  lock.lock();
                  m_Wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return m_Stop; });
              }
          }) {}
    ~MetricsFlusher() {
        {
            std::lock_guard lock(m_Mutex);
            m_Stop = true;
        }
        m_Wake.notify_all();
        m_Thread.join();
    }

  private:
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    bool m_Stop = false;
    std::thread m_Thread;
};

std::int64_t systemMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The service of the port's commands, not listening yet; none (and why) when it cannot be. The
// group whose members may use it besides the watch's user and root: TESSADORN_WATCH_GROUP.
std::unique_ptr<WatchService> makeWatchService(ModemSession& session, const Environment& env,
                                               WatchReport& report, std::string& why) {
    WatchService::Options options;
    options.reread = [&report](const std::vector<std::string>& words, int status,
                               const ModemFacts& facts) { report.served(words, status, facts); };
    options.portName = env.portName;
    options.owner = ::geteuid();
    if (const char* name = std::getenv("TESSADORN_WATCH_GROUP"); name && *name) {
        std::vector<char> buffer(16384);
        group entry{};
        group* found = nullptr;
        if (getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
            why = std::string("The group \"") + name + "\" (TESSADORN_WATCH_GROUP) does not exist.";
            return nullptr;
        }
        options.group = found->gr_gid;
        options.groupName = name;
    }
    return std::make_unique<WatchService>(std::move(options), session, env);
}

} // namespace

Result watch(const Request& q, Environment& env, Opened&) {
    if (q.words.size() != 1) return fail(kBadInput, "watch takes no arguments");
    int intervalSeconds = 60;
    if (const auto it = q.options.find("interval"); it != q.options.end()) {
        char* end = nullptr;
        const long value = std::strtol(it->second.c_str(), &end, 10);
        if (it->second.empty() || *end != '\0' || value < 1 || value > 86400)
            return fail(kBadInput,
                        "--interval needs a number of seconds from 1 to 86400, not " + it->second);
        intervalSeconds = static_cast<int>(value);
    }
    std::unique_ptr<WatchMetrics> metrics;
    if (const auto it = q.options.find("prometheus"); it != q.options.end()) {
        if (it->second.empty()) return fail(kBadInput, "--prometheus needs a file");
        metrics = std::make_unique<WatchMetrics>(it->second, env.portName, *env.writer);
    }

    CasterStore store(env.casterListPath, *env.writer);
    store.Load();
    ModemSession session(*env.port, *env.clock, env.profilePath, *env.writer);
    session.loadProfile();

    Result r;
    WatchReport report(
        {env.portName, std::int64_t{intervalSeconds} * 1000, env.wallMs ? env.wallMs : systemMs},
        *env.clock,
        [&env](const Value& event, const std::string& text) {
            if (env.onEvent) env.onEvent(event, text);
        },
        metrics.get());
    // Commands of others on this port are served between two polls, from the moment the monitor
    // holds the port (its first search step) on.
    std::string why;
    std::unique_ptr<WatchService> service = makeWatchService(session, env, report, why);
    if (!service && !why.empty()) {
        if (why.rfind("The group", 0) == 0) return fail(kBadInput, why);
        debugLine("Commands on the port are not served: " + why + "\r\n");
    }
    bool serving = false;
    const auto serve = [&] {
        if (!service || serving) return;
        serving = true;
        if (std::string failure; !service->start(failure))
            debugLine("Commands on the port are not served: " + failure + "\r\n");
    };
    std::unique_ptr<MetricsFlusher> flusher;
    if (metrics) {
        // The first file says the modem is not (yet) polled.
        metrics->flush(env.clock->nowMs());
        if (const std::string why = metrics->lastFailure(); !why.empty())
            return fail(kPortOrModem, "The metrics cannot be written to " +
                                          q.options.at("prometheus") + ": " + why);
        // A full disk later on keeps the last whole file: said in the stream and the log.
        metrics->onWriteChange(
            [&report, path = q.options.at("prometheus")](const std::string& failure) {
                report.metricsWritten(path, failure);
            });
        flusher = std::make_unique<MetricsFlusher>(*metrics, *env.clock);
    }
    bool portFailed = false;
    ModemMonitor::Face face;
    face.statusLine = [&env, &report, &serve](std::string_view text) {
        if (env.progress) env.progress(text);
        report.searching();
        serve();
    };
    face.portGone = [&report, &serve] {
        report.searching();
        serve();
    };
    face.listNotSaved = [&r](const std::string& failure) {
        r.messages.push_back(forTerminal(failure));
    };
    face.portError = [&] {
        portFailed = true;
        const std::string why = env.portFailure ? env.portFailure() : std::string();
        report.portError(why);
        r = fail(kPortOrModem,
                 why.empty() ? "The port " + env.portName + " cannot be opened." : why);
    };
    std::vector<MonitorObserver*> observers{&report};
    if (service) observers.push_back(service.get());
    if (env.stop) env.stop->setAction([&session] { session.abortLink(); });
    ModemMonitor(session, store, std::move(face), observers).run();
    service.reset();
    if (env.stop) env.stop->setAction({});
    if (env.progress) env.progress("");
    flusher.reset();
    if (metrics && !portFailed) {
        // The last word: not polled any more.
        metrics->stopped();
        metrics->flush(env.clock->nowMs(), true);
    }
    return r;
}

} // namespace tessadorn::cli
