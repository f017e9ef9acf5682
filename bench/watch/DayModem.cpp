#include "DayModem.h"

#include <algorithm>

namespace tessadorn::bench {

namespace {

constexpr std::int64_t kHourMs = 3'600'000;
constexpr double kMsPerByte = 10.0 * 1000.0 / 38400.0;

// A level that wanders with the hour and the minute, the same every run.
int levelAt(std::int64_t dayMs) {
    const std::int64_t hour = dayMs / kHourMs;
    const std::int64_t minute = dayMs / 60'000;
    static constexpr int base[24] = {3, 3, 4, 4, 3, 2, 2, 3, 3, 2, 1, 2,
                                     3, 3, 4, 4, 3, 3, 2, 2, 3, 3, 4, 3};
    int level = base[hour % 24];
    const std::uint64_t mix = static_cast<std::uint64_t>(minute) * 2654435761u;
    if ((mix >> 7) % 11 == 0) level -= 1; // a short dip
    if ((mix >> 9) % 29 == 0) level += 1; // a short peak
    return std::clamp(level, 0, 4);
}

bool within(std::int64_t t, std::int64_t from, std::int64_t to) {
    return t >= from && t < to;
}

} // namespace

const std::vector<DayModem::Absence>& DayModem::absences() {
    static const std::vector<Absence> list = {{7 * kHourMs + 600'000, 7 * kHourMs + 900'000},
                                              {19 * kHourMs, 19 * kHourMs + 1'500'000}};
    return list;
}

DayModem::DayModem(VirtualClock& clock, std::int64_t startMs)
    : m_Clock(clock), m_StartMs(startMs) {}

bool DayModem::devicePresent() const {
    const std::int64_t t = dayMs();
    for (const Absence& a : absences())
        if (within(t, a.fromMs, a.toMs)) return false;
    return true;
}

bool DayModem::waitForDevice(int timeoutMs) {
    const std::int64_t deadline = m_Clock.nowMs() + timeoutMs;
    while (!devicePresent()) {
        if (m_Clock.nowMs() >= deadline) return false;
        m_Clock.advanceTo(std::min(deadline, m_Clock.nowMs() + 50));
    }
    return true;
}

bool DayModem::open(int /*baudIndex*/) {
    if (m_Open) return true;
    if (!devicePresent()) return false;
    m_Open = true;
    m_Gone = false;
    m_Out.clear();
    return true;
}

std::size_t DayModem::read(std::uint8_t* buffer, std::size_t capacity) {
    const std::int64_t deadline = m_Clock.nowMs() + kReadTimeoutMs;
    std::size_t got = 0;
    while (got < capacity && m_Open) {
        if (!devicePresent()) {
            m_Gone = true;
            m_Open = false;
            break;
        }
        if (!m_Out.empty() && m_Out.front().at <= deadline) {
            m_Clock.advanceTo(m_Out.front().at);
            buffer[got++] = m_Out.front().value;
            m_Out.pop_front();
            continue;
        }
        m_Clock.advanceTo(std::min(deadline, m_Clock.nowMs() + 100));
        if (m_Clock.nowMs() >= deadline) break;
    }
    m_BytesIn += got;
    return got;
}

void DayModem::write(const std::uint8_t* data, std::size_t length) {
    if (!m_Open) return;
    m_BytesOut += length;
    for (std::size_t i = 0; i < length; ++i) {
        m_Line += static_cast<char>(data[i]);
        if (data[i] != '\n' || m_Line == "\r\n") continue;
        ++m_Commands;
        const std::string answer = reply(m_Line);
        m_Line.clear();
        const std::int64_t start = m_Clock.nowMs() + kReplyDelayMs;
        for (std::size_t b = 0; b < answer.size(); ++b)
            m_Out.push_back(
                {static_cast<std::uint8_t>(answer[b]),
                 start + static_cast<std::int64_t>(static_cast<double>(b) * kMsPerByte)});
    }
}

// The modem's own texts, as the simulator has them.
std::string DayModem::reply(std::string_view command) {
    const std::int64_t t = dayMs();
    const bool noSim = within(t % (6 * kHourMs), 5 * kHourMs + 1'200'000, 5 * kHourMs + 1'800'000);
    const bool connected =
        !within(t, 2 * kHourMs, 4 * kHourMs) && !within(t, 14 * kHourMs, 15 * kHourMs);
    if (command == "\r\nDEVICE?\r\n") return "\r\nTESSADORN NTRIP MODEM\r\n";
    if (command == "#GETCFG?\r\n")
        return "#GETCFG,CLIENT,T-0042,2.3.1,350000111122223,web.example,wu,wp\r\n<OK\r\n";
    if (command == "#GETGGA?\r\n") return "#GETGGA,AUTO,TRIMBLE,COM2\r\n<OK\r\n";
    if (command == "#AUTO?\r\n") return "ON\r\n";
    if (command == "#STCONNECT\r\n") return connected ? "ON\r\n" : "OFF\r\n";
    if (command == "ADDRSERVER?\r\n")
        return "ADDRSERVER,caster.example:2101,MP1,alice,secret\r\n<OK\r\n";
    if (command == "#APN\r\n") return noSim ? "+APN:0,0\r\n<OK\r\n" : "+APN:1,5\r\n<OK\r\n";
    // A poll asks the APN state, the signal, or the one after the other.
    if (command == "#APN\r\n" || (command == "#SIGNALONCE\r\n" && !m_LastWasApn)) ++m_Polls;
    m_LastWasApn = command == "#APN\r\n";
    if (command == "#SIGNALONCE\r\n")
        return "+SIGNAL:" + std::to_string(noSim ? 0 : levelAt(t)) + "\r\n<OK\r\n";
    return "";
}

} // namespace tessadorn::bench
