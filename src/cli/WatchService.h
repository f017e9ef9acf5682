#pragma once

#include "cli/Commands.h"
#include "cli/WatchWire.h"
#include "modem/ModemSession.h"
#include "modem/MonitorObserver.h"
#include "platform/LocalSocket.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace tessadorn::cli {

// A running watch serves the commands of others on its port, so that the port keeps one owner:
// a command that finds the port held by a watch sends itself to the watch's local socket
// (WatchSocketPath), and the watch runs it between two of its polls, on its own session, with
// the command's options and --timeout, and sends back the output and exit status a direct run
// would have given. Only its own user, root and the members of the group it names may connect.
//
// `status` is answered from what the watch already knows (its start-up reads and its last poll)
// without a word to the modem; every other command pauses the monitor while it runs. One
// command at a time: others wait their turn.
class WatchService final : public MonitorObserver {
  public:
    struct Options {
        uid_t owner = 0;
        std::optional<gid_t> group;
        std::string groupName; // for the refusal's message
        std::string portName;
        // After a command that left the modem ready: the command's words and exit status, and
        // the modem's facts as read again (on the serving thread, the monitor paused).
        std::function<void(const std::vector<std::string>& words, int status,
                           const ModemFacts& facts)>
            reread;
    };

    // `env` is the watch's: its port, clock, files and JSON; the service borrows it.
    WatchService(Options options, ModemSession& session, const Environment& env);
    ~WatchService() override;
    WatchService(const WatchService&) = delete;
    WatchService& operator=(const WatchService&) = delete;

    // Listens (WatchSocketPath) and serves on a thread of its own until destroyed; false with the
    // reason when it cannot listen now (it tries again as long as it runs).
    bool start(std::string& why);

    // Runs one command as served (on the caller's thread) and gives its result to `answer`
    // (once, as soon as it is known); `hungUp` raised: the client left.
    void serve(const Request& request, const std::vector<WatchWire::File>& files,
               const std::atomic<bool>& hungUp, const std::function<void(const Result&)>& answer);
    // The refusal a peer gets, or empty when it may connect.
    std::string refusal(const PeerCredentials& peer) const;

    void found(const ModemFacts& facts) override;
    void polled(const PolledValues& values) override;
    void lost(LostReason reason) override;

  private:
    void acceptLoop();
    void handle(int fd);
    // Waits (within the command's time) until the watch has its modem ready, and polled when
    // `polled`: nothing then, else the command's failure.
    std::optional<Result> awaitModem(const Request& request, bool polled,
                                     const std::atomic<bool>& hungUp);
    Result servedStatus(const Request& request, const std::atomic<bool>& hungUp);

    Options m_Options;
    ModemSession& m_Session;
    Environment m_Env;
    // The accepting thread's alone once started.
    std::unique_ptr<LocalServer> m_Server = std::make_unique<LocalServer>();
    std::mutex m_Mutex;
    std::optional<PolledValues> m_Last; // the last poll since the modem was found
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

} // namespace tessadorn::cli
