#include "ConsoleRig.h"

#include "console/AnimationThread.h"
#include "console/MonitorThread.h"
#include "console/PanelControls.h"
#include "platform/Clock.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tessadorn::bench {

ConsoleRig::ConsoleRig(std::string simulatorExecutable)
    : m_SimulatorExecutable(std::move(simulatorExecutable)) {
    m_Panel.setVisibilityObserver([this](int id, bool visible) {
        if (!visible || id < ids::SignalFirst || id > ids::SignalLast) return;
        std::lock_guard lock(m_Mutex);
        if (m_Ready.reached && !m_FirstPoll.reached) mark(m_FirstPoll);
    });
}

ConsoleRig::~ConsoleRig() {
    stop();
}

void ConsoleRig::mark(Milestone& milestone) {
    milestone.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_RunStart).count();
    milestone.counts = m_Counting->counts();
    milestone.reached = true;
    m_Changed.notify_all();
}

bool ConsoleRig::start(const Options& options) {
    std::vector<std::string> arguments{"--baud", std::to_string(options.baudIndex)};
    arguments.insert(arguments.end(), options.simulatorArguments.begin(),
                     options.simulatorArguments.end());
    if (!m_Simulator.start(m_SimulatorExecutable, arguments, 5000, "/dev/null")) {
        m_Error = m_Simulator.error();
        return false;
    }
    m_Port = std::make_unique<TermiosSerialPort>(m_Simulator.ptyPath());
    m_Counting = std::make_unique<CountingSerialPort>(*m_Port);
    // The held rate comes from a device profile, as in the program; the file goes at once.
    const std::string profile = (std::filesystem::temp_directory_path() /
                                 ("tessadorn-bench-" + std::to_string(::getpid()) + ".cfg"))
                                    .string();
    m_Session = std::make_unique<ModemSession>(*m_Counting, RealClock::instance(), profile,
                                               AtomicFile::standard());
    std::ofstream(profile, std::ios::binary) << options.baudIndex;
    m_Session->loadProfile();
    std::filesystem::remove(profile);
    m_Hooks = std::make_unique<BenchHooks>(*m_Session);
    m_Hooks->setReadyObserver([this] {
        std::lock_guard lock(m_Mutex);
        if (!m_Ready.reached) mark(m_Ready);
    });

    if (options.animation) {
        m_Animation = std::thread([this] {
            AnimationThread animation(m_Session->readyFlag(), m_Display, RealClock::instance());
            animation.run(m_Session->closingFlag());
        });
    }
    m_Monitor = std::thread([this] {
        MonitorThread monitor(*m_Session, m_Display, *m_Hooks);
        {
            std::lock_guard lock(m_Mutex);
            m_RunStart = std::chrono::steady_clock::now();
        }
        monitor.run();
    });
    return true;
}

bool ConsoleRig::waitFor(const Milestone& milestone, int timeoutMs) {
    std::unique_lock lock(m_Mutex);
    return m_Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return milestone.reached; });
}

bool ConsoleRig::waitReady(int timeoutMs) {
    return waitFor(m_Ready, timeoutMs);
}

bool ConsoleRig::waitFirstPoll(int timeoutMs) {
    return waitFor(m_FirstPoll, timeoutMs);
}

ConsoleRig::Milestone ConsoleRig::ready() const {
    std::lock_guard lock(m_Mutex);
    return m_Ready;
}

ConsoleRig::Milestone ConsoleRig::firstPoll() const {
    std::lock_guard lock(m_Mutex);
    return m_FirstPoll;
}

void ConsoleRig::stop() {
    if (m_Session) m_Session->abortLink();
    if (m_Monitor.joinable()) m_Monitor.join();
    if (m_Animation.joinable()) m_Animation.join();
    if (m_Port) m_Port->close();
    m_Simulator.stop();
}

} // namespace tessadorn::bench
