#include "FileSizeLimit.h"
#include "TempDir.h"

#include "platform/DebugLogFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

#include <sys/stat.h>

namespace tessadorn {
namespace {

TEST(DebugLogFile, OneLinePerEventWithInnerLineEndsShown) {
    test::TempDir dir;
    DebugLogFile log;
    std::string error;
    ASSERT_TRUE(log.open(dir.file("tessadorn.log"), 4096, error)) << error;
    log.write("OK CMD: \r\nDEVICE?\r\n");
    log.write("m_Reading=TRUE\r\n");
    const std::string text = test::readBytes(dir.file("tessadorn.log"));
    // "YYYY-MM-DD HH:MM:SS.mmm " in front of each.
    const auto second = text.find('\n') + 1;
    EXPECT_EQ(text.substr(24, second - 24), "OK CMD: \\r\\nDEVICE?\n");
    EXPECT_EQ(text.substr(second + 24), "m_Reading=TRUE\n");
}

TEST(DebugLogFile, StaysPrivateAndBoundedWhateverIsWritten) {
    test::TempDir dir;
    const std::string path = dir.file("tessadorn.log");
    test::writeBytes(path, "an older run\n");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    constexpr int kLimit = 400;
    DebugLogFile log;
    std::string error;
    ASSERT_TRUE(log.open(path, kLimit, error)) << error;
    EXPECT_EQ(test::fileMode(path), 0600);
    for (int i = 0; i < 100; ++i)
        log.write("OK CMD: #CONNECT,caster.example,2101,MOUNT,user,secret " + std::to_string(i) +
                  "\r\n");

    const std::string current = test::readBytes(path);
    const std::string previous = test::readBytes(path + ".1");
    EXPECT_LE(current.size(), static_cast<std::size_t>(kLimit));
    EXPECT_LE(previous.size(), static_cast<std::size_t>(kLimit));
    EXPECT_NE(current.find("secret 99\n"), std::string::npos);
    EXPECT_EQ(test::fileMode(path), 0600);
    EXPECT_EQ(test::fileMode(path + ".1"), 0600);
    EXPECT_EQ(test::listFolder(dir.path()), "tessadorn.log;tessadorn.log.1;");
}

TEST(DebugLogFile, AFolderThatCannotHoldItIsReported) {
    test::TempDir dir;
    DebugLogFile log;
    std::string error;
    EXPECT_FALSE(log.open(dir.file("missing/tessadorn.log"), 4096, error));
    EXPECT_NE(error.find("missing/tessadorn.log"), std::string::npos) << error;
    EXPECT_FALSE(log.isOpen());
    log.write("nothing happens\r\n");
}

// The disk fills up (the file cannot grow past 300 bytes, on the real write path): the lines that
// do not fit are dropped whole, the program goes on, and once there is room again the log says
// how many lines were lost and why, and goes on.
TEST(DebugLogFile, AFullDiskDropsWholeLinesAndTheLogGoesOnWhenThereIsRoom) {
    test::TempDir dir;
    const std::string path = dir.file("tessadorn.log");
    constexpr int kLines = 20;
    const test::ChildResult child = test::runWithFileSizeLimit(300, [&] {
        DebugLogFile log;
        std::string error;
        if (!log.open(path, 1 << 20, error)) return error;
        for (int i = 0; i < kLines; ++i)
            log.write("OK CMD: line " + std::to_string(i) + "\r\n");
        test::liftFileSizeLimit();
        log.write("room again\r\n");
        log.write("and on\r\n");
        return std::string("done");
    });
    ASSERT_TRUE(child.exitedCleanly);
    EXPECT_EQ(child.report, "done");

    std::vector<std::string> lines;
    std::istringstream text(test::readBytes(path));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line.size() > 24 ? line.substr(24) : "short: " + line);
    ASSERT_GE(lines.size(), 4u);
    const int kept = static_cast<int>(lines.size()) - 3;
    EXPECT_GT(kept, 0);
    for (int i = 0; i < kept; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i)], "OK CMD: line " + std::to_string(i));
    EXPECT_EQ(lines[static_cast<std::size_t>(kept)],
              std::to_string(kLines - kept) + " lines not written: " + std::strerror(EFBIG));
    EXPECT_EQ(lines[static_cast<std::size_t>(kept) + 1], "room again");
    EXPECT_EQ(lines.back(), "and on");
}

} // namespace
} // namespace tessadorn
