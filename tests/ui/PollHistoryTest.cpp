// The window's history of polls: bounded by count and by age, and summarised per plot column so
// that a short drop, a lost modem or a missing SIM stays visible at a day's scale.
#include "ui/PollHistory.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessadorn {
namespace {

using Moment = PollHistory::Moment;

struct Poll {
    std::int64_t t;
    int signal, sim, apn, connection;
};

// What a column shows: -1 when it has no poll, else min, max, SIM, APN, connection.
struct Shown {
    int min = -9, max = -9, sim = 0, apn = 0, connection = 0;
    bool operator==(const Shown&) const = default;
};

struct ColumnCase {
    const char* name;
    std::vector<Poll> polls;
    int column; // of ten columns of 1 s over [0, 10 s)
    Shown shown;
};

class HistoryColumns : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(HistoryColumns, SummariseTheirPolls) {
    const ColumnCase& c = GetParam();
    PollHistory history;
    for (const Poll& p : c.polls)
        history.polled(p.t, p.signal, p.sim, p.apn, p.connection);
    const auto columns = history.columns(0, 10'000, 10);
    ASSERT_EQ(columns.size(), 10u);
    const auto& col = columns[static_cast<std::size_t>(c.column)];
    const Shown shown =
        col.polled ? Shown{col.minSignal, col.maxSignal, col.simState, col.apnReady, col.connection}
                   : Shown{};
    EXPECT_EQ(shown, c.shown);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, HistoryColumns, ::testing::Values(
    ColumnCase{"OnePoll", {{1200, 3, 5, 1, 2}}, 1, {3, 3, 5, 1, 2}},
    ColumnCase{"ADipIsKept", {{1000, 4, 5, 1, 1}, {1500, 1, 5, 1, 1}}, 1, {1, 4, 5, 1, 1}},
    ColumnCase{"TheWorstStatesWin", {{1000, 3, 5, 1, 1}, {1400, -1, 0, 0, 2}, {1800, 3, 5, 1, 1}},
               1, {-1, 3, 0, 0, 2}},
    ColumnCase{"AColumnBetweenPollsHoldsThePollBefore", {{1900, 2, 5, 1, 2}, {3100, 2, 5, 1, 2}},
               2, {2, 2, 5, 1, 2}},
    ColumnCase{"NotLongAfterItsLastPoll", {{1000, 2, 5, 1, 2}}, 5, {}},
    ColumnCase{"APollBeforeTheRangeCarriesIn", {{-500, 4, 5, 1, 1}}, 0, {4, 4, 5, 1, 1}},
    ColumnCase{"ALevelTooBigForAByteIsCut", {{0, 1000, 5, 1, 0}}, 0, {99, 99, 5, 1, 0}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(PollHistory, KeepsAtMostItsCapacityAndItsSpan) {
    struct Case {
        std::int64_t span;
        std::size_t capacity;
        int polls;
        std::size_t kept;
        std::int64_t first;
    } cases[] = {
        {PollHistory::kDayMs, 100, 250, 100, 150 * 500}, // by count: the newest 100
        {10'000, 1000, 250, 21, 229 * 500},              // by age: the last 10 s and its start
        {PollHistory::kDayMs, 1000, 250, 250, 0},        // all of them
    };
    for (const Case& c : cases) {
        PollHistory history(c.span, c.capacity);
        for (int i = 0; i < c.polls; ++i)
            history.polled(i * 500LL, i % 5, 5, 1, 2);
        EXPECT_EQ(history.size(), c.kept) << c.capacity << " " << c.span;
        std::int64_t first = 0, last = 0;
        ASSERT_TRUE(history.extent(first, last));
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(last, (c.polls - 1) * 500LL);
        // The newest poll is what the last column shows.
        const auto columns = history.columns(last, last + 1, 1);
        EXPECT_EQ(columns[0].maxSignal, (c.polls - 1) % 5);
    }
}

TEST(PollHistory, ADayOfPollsCostsItsBoundAndNoMore) {
    PollHistory history;
    const std::size_t polls = PollHistory::kDayOfPolls + 5000;
    for (std::size_t i = 0; i < polls; ++i)
        history.polled(static_cast<std::int64_t>(i) * 500, static_cast<int>(i % 5), 5, 1, 1);
    EXPECT_EQ(history.size(), PollHistory::kDayOfPolls);
    EXPECT_LE(history.bytesHeld(), PollHistory::kDayOfPolls * PollHistory::kBytesPerPoll);
    EXPECT_LE(PollHistory::kBytesPerPoll, 16u);
}

TEST(PollHistory, LostAndFoundMarkTheirColumns) {
    PollHistory history;
    history.mark(2500, Moment::Lost);
    history.mark(7100, Moment::Found);
    history.mark(20'000, Moment::Lost); // after the range
    const auto columns = history.columns(0, 10'000, 10);
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(columns[static_cast<std::size_t>(c)].lost, c == 2) << c;
        EXPECT_EQ(columns[static_cast<std::size_t>(c)].found, c == 7) << c;
    }
    const std::uint64_t before = history.version();
    history.polled(30'000, 1, 5, 1, 1);
    EXPECT_GT(history.version(), before);
}

} // namespace
} // namespace tessadorn
