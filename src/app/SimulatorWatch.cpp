#include "app/SimulatorWatch.h"

namespace tessadorn {

SimulatorWatch::SimulatorWatch(SimulatorProcess& simulator, Clock& clock,
                               std::function<void(const std::string&)> newPort, Say log)
    : m_Simulator(simulator), m_Clock(clock), m_NewPort(std::move(newPort)), m_Log(std::move(log)) {
}

SimulatorWatch::~SimulatorWatch() {
    stopWatching();
}

void SimulatorWatch::setStatusListener(Say status) {
    std::lock_guard lock(m_StatusMutex);
    m_Status = std::move(status);
}

void SimulatorWatch::say(const std::string& text, bool status) {
    if (m_Log) m_Log(text);
    if (!status) return;
    Say listener;
    {
        std::lock_guard lock(m_StatusMutex);
        listener = m_Status;
    }
    if (listener) listener(text);
}

SimulatorWatch::Step SimulatorWatch::check() {
    if (m_GaveUp) return Step::GaveUp;
    if (m_Simulator.running()) return Step::Running;

    const std::int64_t now = m_Clock.nowMs();
    while (!m_Starts.empty() && now - m_Starts.front() >= kRestartWindowMs)
        m_Starts.pop_front();
    const bool tooOften = m_Starts.size() >= static_cast<std::size_t>(kRestartLimit);
    const std::string giveUp = "; it was started " + std::to_string(kRestartLimit) +
                               " times within a minute and is not started again";
    if (!m_Restarting) {
        // It has just ended (running() reaped it).
        m_Restarting = true;
        const std::string ended = "The simulated modem stopped (" +
                                  SimulatorProcess::describeExit(m_Simulator.exitStatus()) + ")";
        if (tooOften) {
            m_GaveUp = true;
            say(ended, false);
            // Each start within the minute ended, and so did this one.
            say("The simulated modem stopped " + std::to_string(m_Starts.size() + 1) +
                    " times within a minute and is not started again.",
                true);
            return Step::GaveUp;
        }
        say(ended + "; starting it again", true);
    } else if (tooOften) {
        m_GaveUp = true;
        say("The simulated modem did not start again" + giveUp, true);
        return Step::GaveUp;
    }

    m_Starts.push_back(now);
    if (!m_Simulator.restart()) {
        say("The simulated modem did not start again: " + m_Simulator.error(), false);
        return Step::RestartFailed;
    }
    m_Restarting = false;
    say("The simulated modem runs again on " + m_Simulator.ptyPath(), false);
    if (m_NewPort) m_NewPort(m_Simulator.ptyPath());
    return Step::Restarted;
}

void SimulatorWatch::startWatching() {
    if (m_Thread.joinable()) return;
    {
        std::lock_guard lock(m_StopMutex);
        m_Stop = false;
    }
    m_Thread = std::thread([this] {
        std::unique_lock lock(m_StopMutex);
        while (!m_StopCv.wait_for(lock, std::chrono::milliseconds(kCheckIntervalMs),
                                  [this] { return m_Stop; })) {
            lock.unlock();
            const Step step = check();
            lock.lock();
            if (step == Step::GaveUp) break;
        }
    });
}

void SimulatorWatch::stopWatching() {
    {
        std::lock_guard lock(m_StopMutex);
        m_Stop = true;
    }
    m_StopCv.notify_all();
    if (m_Thread.joinable()) m_Thread.join();
}

} // namespace tessadorn
