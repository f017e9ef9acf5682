#include "TempDir.h"

#include "platform/AtomicFile.h"
#include "store/SaveReport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tessadorn {
namespace {

using test::TempDir;

TEST(SaveReport, ASaveThatWorksHasNothingToSay) {
    TempDir dir;
    AtomicFile writer;
    CasterStore store(dir.file("ntripcfg.txt"), writer);
    std::string failure = "stale";
    EXPECT_TRUE(saveCasterList(store, failure));
    EXPECT_EQ(failure, "");
    EXPECT_TRUE(std::filesystem::exists(store.path()));
}

// The folder of the file is gone: the system's reason reaches the text for the user, the store
// keeps its contents and a later save that can write does.
TEST(SaveReport, AFailedSaveSaysWhy) {
    TempDir gone;
    const std::string folder = gone.path() + "/folder";
    std::filesystem::create_directory(folder);
    AtomicFile writer;
    CasterStore lost(folder + "/ntripcfg.txt", writer);
    lost.entries[0].name = "kept";
    lost.count = 1;
    std::filesystem::remove(folder);

    std::string failure;
    EXPECT_FALSE(saveCasterList(lost, failure));
    const std::string prefix = "The caster list could not be saved: ";
    ASSERT_EQ(failure.rfind(prefix, 0), 0u) << failure;
    EXPECT_GT(failure.size(), prefix.size() + 3) << "a reason follows: " << failure;
    EXPECT_EQ(lost.count, 1);
    EXPECT_EQ(lost.entries[0].name, "kept");

    std::filesystem::create_directory(folder);
    EXPECT_TRUE(saveCasterList(lost, failure));
    EXPECT_EQ(failure, "");
}

// A list that failed to load is copied aside before the first save; when even that copy cannot
// be written, the reason names it and the damaged file stays.
TEST(SaveReport, TheBackupThatCannotBeWrittenIsNamed) {
    TempDir dir;
    AtomicFile writer;
    CasterStore store(dir.file("ntripcfg.txt"), writer);
    const std::string broken = "<config>\r\n<servers>\r\n<sv num=123>";
    test::writeBytes(store.path(), broken);
    ASSERT_FALSE(store.Load());
    std::filesystem::create_directory(store.backupPath()); // no file can take its place
    std::string failure;
    EXPECT_FALSE(saveCasterList(store, failure));
    EXPECT_NE(failure.find(store.backupPath()), std::string::npos) << failure;
    EXPECT_EQ(test::readBytes(store.path()), broken);
}

} // namespace
} // namespace tessadorn
