#include "FakeSerialPort.h"

#include <algorithm>

namespace tessadorn::test {

bool FakeSerialPort::open(int baudIndex) {
    if (m_Open) return true;
    if (m_FailOpen || baudIndex == m_FailOpenIndex || !devicePresent()) return false;
    m_Open = true;
    m_Gone = false;
    m_BaudIndex = baudIndex;
    ++m_Opens;
    return true;
}

bool FakeSerialPort::devicePresent() const {
    const std::int64_t now = m_Clock.nowMs();
    return now < m_AbsentFrom || now >= m_AbsentTo;
}

bool FakeSerialPort::waitForDevice(int timeoutMs) {
    const std::int64_t deadline = m_Clock.nowMs() + timeoutMs;
    while (!devicePresent()) {
        if (m_Clock.nowMs() >= deadline) return false;
        m_Clock.advanceTo(std::min(deadline, m_Clock.nowMs() + kDeviceStepMs));
    }
    return true;
}

void FakeSerialPort::close() {
    m_Open = false;
}

std::size_t FakeSerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    const std::int64_t deadline = m_Clock.nowMs() + kReadTimeoutMs;
    std::size_t got = 0;
    // The read waits in steps: each one may bring a byte, the end of the device, the test's
    // call or the interrupt flag.
    while (m_Open && !m_Gone && got < capacity && !interrupted()) {
        const std::int64_t now = m_Clock.nowMs();
        if (now >= m_CallAt) {
            m_CallAt = kNoTime;
            m_Call();
            continue;
        }
        if (now >= m_AbsentFrom && now < m_AbsentTo) {
            m_Gone = true;
            m_Open = false;
            break;
        }
        const std::int64_t step = std::min({deadline, now + kInterruptStepMs, m_CallAt,
                                            m_AbsentFrom > now ? m_AbsentFrom : kNoTime});
        const std::int64_t at = m_Peer->readyAt(m_BaudIndex);
        if (at <= step) {
            m_Clock.advanceTo(at);
            buffer[got++] = m_Peer->take();
            continue;
        }
        if (step >= deadline) break;
        m_Clock.advanceTo(step);
    }
    if (got < capacity && !interrupted()) m_Clock.advanceTo(deadline);
    if (got == 0) ++m_EmptyReads;
    return got;
}

void FakeSerialPort::write(const std::uint8_t* data, std::size_t length) {
    if (!m_Open) return;
    std::string bytes(reinterpret_cast<const char*>(data), length);
    {
        std::lock_guard lock(m_Mutex);
        m_Writes.push_back({bytes, m_BaudIndex, m_Clock.nowMs()});
    }
    m_Peer->received(bytes, m_BaudIndex, m_Clock.nowMs());
}

void FakeSerialPort::purgeReceive() {
    ++m_Purges;
    m_Peer->purged(m_BaudIndex, m_Clock.nowMs());
}

std::vector<FakeSerialPort::Write> FakeSerialPort::writes() const {
    std::lock_guard lock(m_Mutex);
    return m_Writes;
}

std::string FakeSerialPort::written() const {
    std::lock_guard lock(m_Mutex);
    std::string all;
    for (const auto& w : m_Writes)
        all += w.bytes;
    return all;
}

int FakeSerialPort::count(std::string_view command) const {
    std::lock_guard lock(m_Mutex);
    return static_cast<int>(std::count_if(m_Writes.begin(), m_Writes.end(),
                                          [&](const Write& w) { return w.bytes == command; }));
}

ScriptedModem::Rule& ScriptedModem::on(std::string command, std::string reply) {
    return on(std::move(command), std::vector<std::string>{std::move(reply)});
}

ScriptedModem::Rule& ScriptedModem::on(std::string command, std::vector<std::string> replies) {
    m_Rules.push_back(Rule{std::move(command), std::move(replies)});
    return m_Rules.back();
}

void ScriptedModem::respond(std::string_view reply, std::int64_t at) {
    if (!m_Out.empty()) at = std::max(at, m_Out.back().at);
    for (unsigned char c : reply) {
        at += m_MsPerByte;
        m_Out.push_back({c, at});
    }
}

void ScriptedModem::push(std::string_view bytes, std::int64_t atMs) {
    respond(bytes, atMs);
}

void ScriptedModem::received(std::string_view bytes, int baudIndex, std::int64_t nowMs) {
    // Commands arrive whole; each write is one command.
    for (auto& rule : m_Rules) {
        if (rule.command != bytes) continue;
        if (rule.onlyAtBaud >= 0 && rule.onlyAtBaud != baudIndex) continue;
        if (rule.times >= 0 && rule.used >= rule.times) continue;
        const std::size_t i = std::min<std::size_t>(rule.used, rule.replies.size() - 1);
        ++rule.used;
        if (!rule.replies.empty()) respond(rule.replies[i], nowMs + rule.delayMs);
        return;
    }
    if (m_Unmatched) m_Unmatched(bytes, baudIndex, nowMs);
}

std::int64_t ScriptedModem::readyAt(int) {
    return m_Out.empty() ? kNever : m_Out.front().at;
}

std::uint8_t ScriptedModem::take() {
    const std::uint8_t b = m_Out.front().value;
    m_Out.pop_front();
    return b;
}

void ScriptedModem::purged(int, std::int64_t nowMs) {
    while (!m_Out.empty() && m_Out.front().at <= nowMs)
        m_Out.pop_front();
}

void ProbingPeer::setProbe(std::function<bool()> probe) {
    std::lock_guard lock(m_Mutex);
    m_Probe = std::move(probe);
}

void ProbingPeer::received(std::string_view bytes, int baudIndex, std::int64_t nowMs) {
    {
        std::lock_guard lock(m_Mutex);
        if (m_Probe && !m_Probe()) m_Failed.emplace_back(bytes);
    }
    m_Inner.received(bytes, baudIndex, nowMs);
}

int ProbingPeer::failedFor(std::string_view command) const {
    std::lock_guard lock(m_Mutex);
    return static_cast<int>(std::count(m_Failed.begin(), m_Failed.end(), command));
}

std::vector<std::string> ProbingPeer::failed() const {
    std::lock_guard lock(m_Mutex);
    return m_Failed;
}

} // namespace tessadorn::test
