#include "SimModem.h"

#include "NetworkCaster.h"
#include "OfflineCaster.h"

#include <algorithm>

namespace tessadorn::sim {
namespace {

constexpr std::size_t kLineCapacity = 1024; // a longer line overruns the modem's buffer

// A command of the protocol without its CR LF framing.
std::string bareString(std::string_view command) {
    while (!command.empty() && (command.front() == '\r' || command.front() == '\n'))
        command.remove_prefix(1);
    while (!command.empty() && (command.back() == '\r' || command.back() == '\n'))
        command.remove_suffix(1);
    return std::string(command);
}

} // namespace

SimModem::SimModem(SimSettings settings, std::int64_t startMs,
                   std::unique_ptr<CasterService> casters)
    : m_State(std::move(settings)), m_Casters(std::move(casters)),
      m_CellularEngine(m_State.otap, m_State.otapStepMs), m_Firmware(m_State, casterService()) {
    const std::int64_t startUs = startMs * 1000;
    m_BootUs = startUs;
    m_Engine = m_State.inEngine; // the next restart brings the firmware back
    for (const auto& ev : m_State.timeline) {
        at(startUs + ev.atMs * 1000, [this, ev] {
            std::string error;
            applySetting(m_State, ev.key, ev.value, error); // checked when it was read
        });
    }
    if (m_State.restartAtMs >= 0) restart(startUs + m_State.restartAtMs * 1000);
}

// Without casters of its own the modem uses the offline ones of the settings, or the network.
CasterService& SimModem::casterService() {
    if (!m_Casters) {
        if (m_State.network)
            m_Casters = std::make_unique<NetworkCaster>(m_State.networkTimeoutMs);
        else
            m_Casters = std::make_unique<OfflineCaster>(m_State);
    }
    return *m_Casters;
}

int SimModem::listeningBaudIndex() const {
    return m_Engine ? m_State.engineBaudIndex : m_State.baudIndex;
}

void SimModem::at(std::int64_t whenUs, std::function<void()> action) {
    m_Events.emplace(whenUs, std::move(action));
}

void SimModem::advanceUs(std::int64_t nowUs) {
    while (!m_Events.empty() && m_Events.begin()->first <= nowUs) {
        auto action = std::move(m_Events.begin()->second);
        m_Events.erase(m_Events.begin());
        action();
    }
}

std::int64_t SimModem::nextEventUs() const {
    return m_Events.empty() ? OutputQueue::kNever : m_Events.begin()->first;
}

std::int64_t SimModem::nextOutputUs() {
    // A restart or rate change due before the next byte may take that byte away. With nothing
    // queued, events wait for the clock: looking at an idle line must not bring them forward.
    while (!m_Events.empty() && m_Out.nextAtUs() != OutputQueue::kNever &&
           m_Events.begin()->first <= m_Out.nextAtUs())
        advanceUs(m_Events.begin()->first);
    return m_Out.nextAtUs();
}

std::int64_t SimModem::nextOutputMs() {
    const std::int64_t us = nextOutputUs();
    return us == OutputQueue::kNever ? us : (us + 999) / 1000;
}

std::uint8_t SimModem::takeByte(int lineBaudIndex) {
    return m_Out.take(lineBaudIndex);
}

std::string SimModem::takeDue(std::int64_t nowUs, int lineBaudIndex) {
    advanceUs(nowUs);
    return m_Out.takeDue(nowUs, lineBaudIndex);
}

void SimModem::purged(std::int64_t nowMs) {
    advanceUs(nowMs * 1000);
    m_Out.dropDue(nowMs * 1000);
}

void SimModem::restart(std::int64_t whenUs) {
    at(whenUs, [this, whenUs] {
        m_Out.cutAfter(whenUs);
        m_Line.clear();
        m_Engine = false;
        m_CellularEngine.reset();
        m_SilentUntilUs = whenUs + static_cast<std::int64_t>(m_State.restartMs) * 1000;
        m_BootUs = m_SilentUntilUs;
        m_Firmware.restarted();
        ++m_Restarts;
    });
}

void SimModem::moveToRate(int baudIndex, std::int64_t whenUs) {
    at(whenUs, [this, baudIndex] { m_State.baudIndex = baudIndex; });
}

std::int64_t SimModem::send(std::string_view text, std::int64_t startUs) {
    return m_Out.push(text, startUs, listeningBaudIndex(), m_State.pacing,
                      static_cast<std::int64_t>(m_State.byteDelayMs) * 1000);
}

std::int64_t SimModem::reply(std::string_view text, std::int64_t nowUs, int delayMs) {
    const std::int64_t start =
        nowUs + static_cast<std::int64_t>(m_State.replyDelayMs + delayMs) * 1000;
    if (!m_State.garbage.empty()) send(m_State.garbage, start);
    return send(text, start);
}

void SimModem::feedUs(std::string_view bytes, int baudIndex, std::int64_t nowUs) {
    advanceUs(nowUs);
    if (nowUs < m_SilentUntilUs || baudIndex != listeningBaudIndex()) return;
    for (char c : bytes) {
        if (c != '\n') {
            if (m_Line.size() < kLineCapacity) m_Line += c;
            continue;
        }
        std::string line = std::move(m_Line);
        m_Line.clear();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.size() >= kLineCapacity) continue;
        handleLine(line, nowUs);
        if (nowUs < m_SilentUntilUs) return; // the command restarted the modem at once
    }
}

void SimModem::handleLine(const std::string& line, std::int64_t nowUs) {
    ++m_Commands;
    if (m_Listener) m_Listener(line + "\r\n", nowUs / 1000);
    if (m_Commands == m_State.restartAfterCommands) {
        restart(nowUs);
        advanceUs(nowUs);
        return;
    }
    if (m_State.silent) return;
    for (const auto& prefix : m_State.refused) {
        if (line.compare(0, bareString(prefix).size(), bareString(prefix)) == 0)
            return play(CorrectionFirmware::refusal(line), nowUs);
    }
    if (m_Engine)
        handleEngine(line, nowUs);
    else
        play(m_Firmware.handle(line, {simState(nowUs), apnUp(nowUs), signal(nowUs)}), nowUs);
}

void SimModem::handleEngine(const std::string& line, std::int64_t nowUs) {
    const auto reaction = m_CellularEngine.handle(line);
    std::int64_t t = nowUs;
    if (!reaction.reply.empty()) t = reply(reaction.reply, nowUs);
    for (const auto& l : reaction.script)
        t = send(l.text, t + l.afterMs * 1000);
    if (reaction.rebootAfter) restart(t);
}

void SimModem::play(const CorrectionFirmware::Reaction& reaction, std::int64_t nowUs) {
    std::int64_t t = nowUs;
    for (std::size_t i = 0; i < reaction.parts.size(); ++i) {
        const auto& part = reaction.parts[i];
        if (i == 0) {
            t = reply(part.text, nowUs, part.afterMs);
            continue;
        }
        const std::int64_t start = std::max(t + part.afterMs * std::int64_t{1000},
                                            nowUs + part.notBeforeMs * std::int64_t{1000});
        t = send(part.text, start);
    }
    if (reaction.atEnd) at(t, [this, change = reaction.atEnd] { change(m_State); });
    if (reaction.rateAtEnd >= 0) moveToRate(reaction.rateAtEnd, t);
    if (reaction.restartAtEnd) restart(t);
    if (reaction.engineAtEnd) {
        at(t, [this] {
            m_Engine = true;
            m_Line.clear();
            m_CellularEngine.reset();
        });
    }
}

int SimModem::simState(std::int64_t nowUs) const {
    if (m_State.simState == 0) return 0;
    if (m_State.registerMs < 0) return 2;
    if (nowUs - m_BootUs < static_cast<std::int64_t>(m_State.registerMs) * 1000) return 2;
    return m_State.simState;
}

bool SimModem::apnUp(std::int64_t nowUs) const {
    return m_State.apnReady && simState(nowUs) == 5 && m_State.apnUpMs >= 0 &&
           nowUs - m_BootUs >= static_cast<std::int64_t>(m_State.apnUpMs) * 1000;
}

int SimModem::signal(std::int64_t nowUs) const {
    const int sim = simState(nowUs);
    if (sim == 0) return -1;
    return sim == 5 ? m_State.signal : 0;
}

} // namespace tessadorn::sim
