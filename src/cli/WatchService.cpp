#include "cli/WatchService.h"

#include "cli/Modem.h"
#include "cli/Verbs.h"
#include "link/PauseSection.h"
#include "modem/ModemStartup.h"
#include "platform/DebugOutput.h"
#include "platform/WaitCursor.h"
#include "platform/WatchSocketPath.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tessadorn::cli {

namespace {

constexpr int kServeStepMs = 20;

// The files a served command names, written where the watch's user can read them (a folder of
// its own, mode 0700), each with the permission bits of the original; removed when it ends.
class ServedFiles {
  public:
    bool write(Request& q, const std::vector<WatchWire::File>& files, std::string& why) {
        if (files.empty()) return true;
        std::string folder = (std::filesystem::temp_directory_path() / "tessadorn-served-XXXXXX");
        if (!::mkdtemp(folder.data())) {
            why = std::strerror(errno);
            return false;
        }
        m_Folder = folder;
        for (const WatchWire::File& f : files) {
            const std::string path = m_Folder + "/" + std::to_string(m_Names.size());
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                why = std::strerror(errno);
                return false;
            }
            const bool whole =
                ::write(fd, f.bytes.data(), f.bytes.size()) == static_cast<ssize_t>(f.bytes.size());
            ::fchmod(fd, static_cast<mode_t>(f.mode & 0777));
            ::close(fd);
            if (!whole) {
                why = "the file could not be written";
                return false;
            }
            m_Names.emplace_back(path, q.words[f.word]);
            q.words[f.word] = path;
        }
        return true;
    }
    // The user's own file names in what the command says.
    void rename(Result& r) const {
        for (const auto& [mine, theirs] : m_Names) {
            for (std::string& m : r.messages)
                replaceAll(m, mine, theirs);
            replaceAll(r.text, mine, theirs);
        }
    }
    ~ServedFiles() {
        if (m_Folder.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(m_Folder, ignored);
    }

  private:
    static void replaceAll(std::string& text, const std::string& from, const std::string& to) {
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
    }
    std::string m_Folder;
    std::vector<std::pair<std::string, std::string>> m_Names;
};

} // namespace

WatchService::WatchService(Options options, ModemSession& session, const Environment& env)
    : m_Options(std::move(options)), m_Session(session), m_Env(env) {
    // What only the watch does, or what would talk to its user, is not a served command's.
    m_Env.session = &m_Session;
    m_Env.onEvent = {};
    m_Env.stop = nullptr;
    m_Env.progress = {};
    m_Env.confirm = {};
}

WatchService::~WatchService() {
    m_Stop = true;
    if (m_Thread.joinable()) m_Thread.join();
}

bool WatchService::start(std::string& why) {
    const std::string path = WatchSocketPath::forServing(m_Options.portName, why);
    const bool listening = !path.empty() && m_Server->listen(path, why);
    // Not listening yet (no device at the path now): the socket comes with the device.
    m_Thread = std::thread([this] { acceptLoop(); });
    return listening;
}

std::string WatchService::refusal(const PeerCredentials& peer) const {
    if (peerMayConnect(peer, m_Options.owner, m_Options.group)) return {};
    std::string text = "The port " + m_Options.portName + " is watched by process " +
                       std::to_string(::getpid()) + ", which serves the commands of its own user";
    text += m_Options.group ? ", root and the group \"" + m_Options.groupName + "\" only."
                            : " and root only.";
    return text + " Run the command as one of them, or stop the watch.";
}

void WatchService::acceptLoop() {
    std::string lastFailure;
    while (!m_Stop.load()) {
        // A device plugged in again may come back under another number: the socket follows it.
        const std::string name = WatchSocketPath::name(m_Options.portName);
        const std::string& path = m_Server->path();
        if (!name.empty() && (path.size() < name.size() ||
                              path.compare(path.size() - name.size(), name.size(), name) != 0)) {
            std::string why;
            const std::string now = WatchSocketPath::forServing(m_Options.portName, why);
            auto moved = std::make_unique<LocalServer>();
            if (!now.empty() && moved->listen(now, why)) {
                m_Server = std::move(moved);
            } else if (why != lastFailure) {
                debugLine("Commands on the port are not served: " + why + "\r\n");
                lastFailure = why;
            }
        }
        const int fd = m_Server->accept(200);
        if (fd < 0) {
            // Nothing to wait on while no socket listens.
            if (m_Server->path().empty())
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            continue;
        }
        handle(fd);
        ::close(fd);
    }
}

void WatchService::handle(int fd) {
    PeerCredentials peer;
    std::string bytes;
    Result result;
    Request q;
    std::vector<WatchWire::File> files;
    if (!peerCredentials(fd, peer) || !readFrame(fd, bytes, 5000)) return;
    // A command whose program ended while it waited its turn (its --timeout, Ctrl-C) is not run.
    if (peerHungUp(fd)) return;
    if (const std::string no = refusal(peer); !no.empty()) {
        debugLine("Served command refused: process " + std::to_string(peer.pid) + ", user " +
                  std::to_string(peer.uid) + "\r\n");
        result = fail(kPortOrModem, no);
    } else if (!WatchWire::decodeRequest(bytes, q, files)) {
        result = fail(kBadInput, "The watch on " + m_Options.portName +
                                     " cannot read the command: another version of the program?");
    } else {
        // The client leaving (Ctrl-C, its --timeout) stops the command as Ctrl-C would.
        std::atomic<bool> hungUp{false};
        std::atomic<bool> done{false};
        std::thread lookout([&] {
            while (!done.load() && !hungUp.load()) {
                if (peerHungUp(fd)) hungUp = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        serve(q, files, hungUp, [&](const Result& r) {
            done = true;
            lookout.join();
            writeFrame(fd, WatchWire::encodeResult(r));
        });
        return;
    }
    writeFrame(fd, WatchWire::encodeResult(result));
}

void WatchService::serve(const Request& request, const std::vector<WatchWire::File>& files,
                         const std::atomic<bool>& hungUp,
                         const std::function<void(const Result&)>& answer) {
    Request q = request;
    if (const auto it = q.options.find("password"); it != q.options.end()) hideInDebug(it->second);
    debugLine("Served command: " + q.words.front() + "\r\n");
    if (q.words.front() == "watch" || q.words.front() == "update")
        return answer(fail(kPortOrModem, "The port " + m_Options.portName +
                                             " is in use by a watch (process " +
                                             std::to_string(::getpid()) + "); stop it first."));
    if (q.words.size() == 1 && q.words.front() == "status") return answer(servedStatus(q, hungUp));
    // The watch finds the modem; the command waits for it within its time.
    if (auto none = awaitModem(q, false, hungUp)) return answer(*none);
    ServedFiles served;
    if (std::string why; !served.write(q, files, why))
        return answer(fail(kPortOrModem, "The watch cannot take the command's file: " + why));
    Environment env = m_Env;
    env.interrupted = &hungUp;
    NoCursor cursor;
    PauseSection section("tessadornctl", m_Session.readingFlag(), m_Session.monitorGate(), cursor,
                         m_Session.clock());
    Result r = run(q, env);
    served.rename(r);
    answer(r);
    // What the command changed is read back before the watch goes on, so that it tells it and
    // a status it serves next is true. A modem the command sent away is found anew instead.
    if (!m_Session.deviceReady()) return;
    CasterList list(m_Env);
    ModemStartup startup(m_Session, list.store, {{}, {}, {}, [](const std::string&) {}});
    if (startup.run() == ModemStartup::Outcome::Done && m_Options.reread) {
        const auto d = m_Session.device().read();
        m_Options.reread(
            request.words, r.status,
            {d.SerialNumber, d.FirmwareVersion, m_Session.mode(), m_Session.baudIndex()});
    }
}

std::optional<Result> WatchService::awaitModem(const Request& q, bool polled,
                                               const std::atomic<bool>& hungUp) {
    Clock& clock = m_Session.clock();
    const std::int64_t deadline = clock.nowMs() + std::int64_t{q.timeoutSeconds} * 1000;
    while (true) {
        bool known = true;
        if (polled) {
            std::lock_guard lock(m_Mutex);
            known = m_Last.has_value();
        }
        if (m_Session.deviceReady() && known) return std::nullopt;
        if (clock.nowMs() >= deadline || m_Stop.load() || hungUp.load())
            return fail(kTimedOut, "No modem answered on " + m_Options.portName +
                                       ": no answer within " + std::to_string(q.timeoutSeconds) +
                                       " s.");
        clock.sleepMs(kServeStepMs);
    }
}

Result WatchService::servedStatus(const Request& q, const std::atomic<bool>& hungUp) {
    if (auto none = awaitModem(q, true, hungUp)) return *none;
    std::optional<PolledValues> last;
    {
        std::lock_guard lock(m_Mutex);
        last = m_Last;
    }
    return statusOf(m_Session, last, m_Options.portName);
}

void WatchService::found(const ModemFacts&) {
    std::lock_guard lock(m_Mutex);
    m_Last.reset();
}

void WatchService::polled(const PolledValues& values) {
    std::lock_guard lock(m_Mutex);
    m_Last = values;
}

void WatchService::lost(LostReason) {
    std::lock_guard lock(m_Mutex);
    m_Last.reset();
}

} // namespace tessadorn::cli
