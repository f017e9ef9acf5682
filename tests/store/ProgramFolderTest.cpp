#include "TempDir.h"

#include "platform/ProgramFolder.h"
#include "store/CasterStore.h"
#include "store/DeviceProfile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

namespace tessadorn {
namespace {

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
    setProgramFolderForTesting("");
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(programFolder()) / "store_tests"));
}

TEST(ProgramFolder, BothFilesLiveInTheProgramFolder) {
    test::TempDir dir;
    setProgramFolderForTesting(dir.path());
    CasterStore store;
    std::atomic<int> baud{2};
    std::atomic<int> saved{-1};
    DeviceProfile profile(baud, saved);
    EXPECT_FALSE(store.Load());
    EXPECT_EQ(profile.SaveProfile(1), 1);
    setProgramFolderForTesting("");

    EXPECT_EQ(store.path(), dir.file("ntripcfg.txt"));
    EXPECT_EQ(test::readBytes(dir.file("ntripcfg.txt")), "");
    EXPECT_EQ(test::readBytes(dir.file("tessadorn.cfg")), "1");
}

} // namespace
} // namespace tessadorn
