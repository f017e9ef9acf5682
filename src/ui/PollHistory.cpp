#include "ui/PollHistory.h"

#include <algorithm>

namespace tessadorn {

namespace {

constexpr std::size_t kMaxMarks = 4096;

std::int8_t small(int value) {
    return static_cast<std::int8_t>(std::clamp(value, -1, 99));
}

// Lower is worse: a missing SIM, an APN not ready, a connection not running.
int simRank(int state) {
    return state == 0 ? 0 : state == 5 ? 2 : 1;
}
int connectionRank(int state) {
    return state == 1 ? 2 : state == 2 ? 1 : 0;
}

} // namespace

PollHistory::PollHistory(std::int64_t spanMs, std::size_t capacity)
    : m_SpanMs(spanMs), m_Capacity(std::max<std::size_t>(capacity, 1)) {}

void PollHistory::polled(std::int64_t timeMs, int signal, int simState, int apnReady,
                         int connection) {
    const Poll poll{timeMs, small(signal), small(simState), small(apnReady), small(connection)};
    std::lock_guard lock(m_Mutex);
    dropOld(timeMs);
    if (m_Count < m_Polls.size()) {
        m_Polls[(m_Head + m_Count) % m_Polls.size()] = poll;
        ++m_Count;
    } else if (m_Polls.size() < m_Capacity) {
        // Still growing: the ring is unrolled first so that the oldest is at the front again.
        std::rotate(m_Polls.begin(), m_Polls.begin() + static_cast<std::ptrdiff_t>(m_Head),
                    m_Polls.end());
        m_Head = 0;
        if (m_Polls.size() == m_Polls.capacity())
            m_Polls.reserve(std::min(m_Capacity, std::max<std::size_t>(1024, m_Polls.size() * 2)));
        m_Polls.push_back(poll);
        ++m_Count;
    } else {
        m_Polls[m_Head] = poll; // full: the oldest goes
        m_Head = (m_Head + 1) % m_Polls.size();
    }
    ++m_Version;
}

void PollHistory::mark(std::int64_t timeMs, Moment moment) {
    std::lock_guard lock(m_Mutex);
    dropOld(timeMs);
    if (m_Marks.size() >= kMaxMarks) m_Marks.erase(m_Marks.begin());
    m_Marks.push_back({timeMs, moment});
    ++m_Version;
}

void PollHistory::setModem(const std::string& serial) {
    std::lock_guard lock(m_Mutex);
    if (m_Modem == serial) return;
    m_Modem = serial;
    ++m_Version;
}

std::string PollHistory::modem() const {
    std::lock_guard lock(m_Mutex);
    return m_Modem;
}

void PollHistory::dropOld(std::int64_t newestMs) {
    const std::int64_t oldest = newestMs - m_SpanMs;
    while (m_Count > 0 && at(0).timeMs < oldest) {
        m_Head = (m_Head + 1) % m_Polls.size();
        --m_Count;
    }
    const auto keep = std::find_if(m_Marks.begin(), m_Marks.end(),
                                   [oldest](const Mark& m) { return m.timeMs >= oldest; });
    m_Marks.erase(m_Marks.begin(), keep);
}

std::vector<PollHistory::Column> PollHistory::columns(std::int64_t fromMs, std::int64_t toMs,
                                                      int count) const {
    std::vector<Column> out(static_cast<std::size_t>(std::max(count, 0)));
    if (out.empty() || toMs <= fromMs) return out;
    const double width = static_cast<double>(toMs - fromMs) / static_cast<double>(out.size());
    auto columnOf = [&](std::int64_t t) {
        return std::min(out.size() - 1,
                        static_cast<std::size_t>(static_cast<double>(t - fromMs) / width));
    };
    std::lock_guard lock(m_Mutex);
    // The first poll in range, found by halving (the polls are in time order).
    std::size_t lo = 0, hi = m_Count;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (at(mid).timeMs < fromMs)
            lo = mid + 1;
        else
            hi = mid;
    }
    const Poll* previous = lo > 0 ? &at(lo - 1) : nullptr;
    std::size_t next = lo;
    for (std::size_t c = 0; c < out.size(); ++c) {
        Column& column = out[c];
        const std::int64_t start =
            fromMs + static_cast<std::int64_t>(width * static_cast<double>(c));
        const std::int64_t end =
            fromMs + static_cast<std::int64_t>(width * static_cast<double>(c + 1));
        auto take = [&column](const Poll& p) {
            if (!column.polled) {
                column = {true, p.signal, p.signal, p.simState, p.apnReady, p.connection};
                return;
            }
            column.minSignal = std::min<int>(column.minSignal, p.signal);
            column.maxSignal = std::max<int>(column.maxSignal, p.signal);
            if (simRank(p.simState) < simRank(column.simState)) column.simState = p.simState;
            if (p.apnReady == 0) column.apnReady = 0;
            if (connectionRank(p.connection) < connectionRank(column.connection))
                column.connection = p.connection;
        };
        if (next >= m_Count || at(next).timeMs >= end) {
            if (previous && start - previous->timeMs <= kHoldMs) take(*previous);
            continue;
        }
        while (next < m_Count && at(next).timeMs < end) {
            take(at(next));
            previous = &at(next);
            ++next;
        }
    }
    for (const Mark& m : m_Marks) {
        if (m.timeMs < fromMs || m.timeMs >= toMs) continue;
        Column& column = out[columnOf(m.timeMs)];
        (m.moment == Moment::Lost ? column.lost : column.found) = true;
    }
    return out;
}

bool PollHistory::extent(std::int64_t& firstMs, std::int64_t& lastMs) const {
    std::lock_guard lock(m_Mutex);
    if (m_Count == 0 && m_Marks.empty()) return false;
    firstMs = INT64_MAX;
    lastMs = INT64_MIN;
    if (m_Count > 0) {
        firstMs = at(0).timeMs;
        lastMs = at(m_Count - 1).timeMs;
    }
    if (!m_Marks.empty()) {
        firstMs = std::min(firstMs, m_Marks.front().timeMs);
        lastMs = std::max(lastMs, m_Marks.back().timeMs);
    }
    return true;
}

std::size_t PollHistory::size() const {
    std::lock_guard lock(m_Mutex);
    return m_Count;
}

std::uint64_t PollHistory::version() const {
    std::lock_guard lock(m_Mutex);
    return m_Version;
}

std::size_t PollHistory::bytesHeld() const {
    std::lock_guard lock(m_Mutex);
    return m_Polls.capacity() * sizeof(Poll) + m_Marks.capacity() * sizeof(Mark);
}

} // namespace tessadorn
