#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tessadorn {

// The last hours of the modem's polled values, kept in memory for the history window: every
// poll's signal level, SIM, APN and connection state, and the moments the modem was found and
// lost. Bounded: the oldest poll goes once `capacity` polls are held, or once it is older than
// `spanMs` before the newest. A poll costs kBytesPerPoll bytes, so a day of polls every 500 ms
// (172 800 polls) costs 2.6 MiB, allocated as the polls come.
//
// The monitor adds, the window reads; any thread may call any member.
class PollHistory {
  public:
    static constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;
    static constexpr std::size_t kDayOfPolls = kDayMs / 500;

    struct Poll {
        std::int64_t timeMs; // wall-clock milliseconds since 1970
        std::int8_t signal;  // -1 no SIM, 0..4 (what the modem reports; clamped to -1..99)
        std::int8_t simState;
        std::int8_t apnReady;
        std::int8_t connection; // 1 on, 2 off, 0 unknown
    };
    static constexpr std::size_t kBytesPerPoll = sizeof(Poll);

    enum class Moment : std::uint8_t { Found, Lost };
    struct Mark {
        std::int64_t timeMs;
        Moment moment;
    };

    explicit PollHistory(std::int64_t spanMs = kDayMs, std::size_t capacity = kDayOfPolls);

    void polled(std::int64_t timeMs, int signal, int simState, int apnReady, int connection);
    void mark(std::int64_t timeMs, Moment moment);
    // The modem the polls are of (its serial number), for the window's title; empty until found.
    void setModem(const std::string& serial);
    std::string modem() const;

    // What one column of the plot covers, [fromMs, toMs): the lowest and highest level polled
    // there and the worst SIM, APN and connection state seen, so that a short drop stays visible
    // however many polls share a column. A column without a poll of its own takes the poll
    // before it when that one is at most kHoldMs older (the modem was polled all along).
    struct Column {
        bool polled = false;
        int minSignal = 0;
        int maxSignal = 0;
        int simState = 0;
        int apnReady = 0;
        int connection = 0;
        bool found = false;
        bool lost = false;
    };
    static constexpr std::int64_t kHoldMs = 2000;
    std::vector<Column> columns(std::int64_t fromMs, std::int64_t toMs, int count) const;

    // The time of the oldest and newest poll or mark; false while there is none.
    bool extent(std::int64_t& firstMs, std::int64_t& lastMs) const;
    std::size_t size() const;
    // Grows with every change, so a view redraws only when there is something new.
    std::uint64_t version() const;
    // The bytes held for polls and marks (the reserved storage, not only what is used).
    std::size_t bytesHeld() const;

  private:
    const Poll& at(std::size_t i) const { return m_Polls[(m_Head + i) % m_Polls.size()]; }
    void dropOld(std::int64_t newestMs);

    mutable std::mutex m_Mutex;
    std::int64_t m_SpanMs;
    std::size_t m_Capacity;
    std::vector<Poll> m_Polls; // a ring once full: the oldest at m_Head
    std::size_t m_Head = 0;
    std::size_t m_Count = 0;
    std::vector<Mark> m_Marks;
    std::string m_Modem;
    std::uint64_t m_Version = 0;
};

} // namespace tessadorn
