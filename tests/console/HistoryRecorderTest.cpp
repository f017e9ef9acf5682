// What the monitor tells the history: the polls, the moments, and the modem found, whose serial
// number the history window's title shows.
#include "console/HistoryRecorder.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

TEST(HistoryRecorder, KeepsTheFoundModemsSerialAndItsMoments) {
    PollHistory history;
    std::int64_t now = 1'000;
    HistoryRecorder recorder(history, [&now] { return now; });
    EXPECT_EQ(history.modem(), "");
    recorder.found(ModemFacts{"T-0042", "3.12", 0, 2});
    EXPECT_EQ(history.modem(), "T-0042");
    now = 2'000;
    recorder.lost(LostReason{});
    now = 3'000;
    recorder.found(ModemFacts{"T-0043", "3.12", 0, 2});
    EXPECT_EQ(history.modem(), "T-0043") << "another modem on the port is named";
    const auto columns = history.columns(0, 4'000, 4);
    EXPECT_TRUE(columns[1].found);
    EXPECT_TRUE(columns[2].lost);
    EXPECT_TRUE(columns[3].found);
}

} // namespace
} // namespace tessadorn
