#include "TempDir.h"

#include "platform/AtomicFile.h"
#include "platform/ProgramFolder.h"
#include "store/CasterStore.h"
#include "store/DeviceProfile.h"

#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace tessadorn {
namespace {

using Reason = ProgramFolderChoice::Reason;

struct ChoiceCase {
    const char* name;
    bool given;
    const char* besideFile; // a file already beside the executable, or nullptr
    Reason reason;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramFolderChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ProgramFolderChoiceTest, PicksTheFolderItsFilesBelongIn) {
    const ChoiceCase& c = GetParam();
    test::TempDir beside, user, given;
    if (c.besideFile) test::writeBytes(beside.file(c.besideFile), "2");
    const auto choice =
        chooseProgramFolder(c.given ? given.path() : "", beside.path(), user.path());
    EXPECT_EQ(choice.reason, c.reason);
    const std::string expected = c.reason == Reason::Given              ? given.path()
                                 : c.reason == Reason::BesideExecutable ? beside.path()
                                                                        : user.path();
    EXPECT_EQ(choice.folder, expected);
    EXPECT_NE(choice.describe().find(expected), std::string::npos) << choice.describe();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramFolderChoiceTest,
    ::testing::Values(ChoiceCase{"NothingBeside", false, nullptr, Reason::UserConfig},
                      ChoiceCase{"CasterListBeside", false, "ntripcfg.txt",
                                 Reason::BesideExecutable},
                      ChoiceCase{"ProfileBeside", false, "tessadorn.cfg", Reason::BesideExecutable},
                      ChoiceCase{"OtherFileBeside", false, "ntripcfg.txt.bak", Reason::UserConfig},
                      ChoiceCase{"GivenWinsOverFilesBeside", true, "ntripcfg.txt", Reason::Given},
                      ChoiceCase{"GivenWinsOverUser", true, nullptr, Reason::Given}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramFolder, CreatedFoldersArePrivateAndExistingOnesKeepTheirMode) {
    test::TempDir dir;
    const std::string open = dir.file("shared");
    ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
    const std::string nested = open + "/config/tessadorn";
    std::string error;
    ASSERT_TRUE(makePrivateFolder(nested, error)) << error;
    EXPECT_EQ(test::fileMode(open + "/config"), 0700);
    EXPECT_EQ(test::fileMode(nested), 0700);
    EXPECT_EQ(test::fileMode(open), 0755);
    EXPECT_TRUE(makePrivateFolder(nested, error)) << "a second time: " << error;

    test::writeBytes(dir.file("plain"), "x");
    EXPECT_FALSE(makePrivateFolder(dir.file("plain") + "/below", error));
    EXPECT_NE(error.find("plain"), std::string::npos) << error;
}

TEST(ProgramFolder, UserFoldersFollowTheXdgVariables) {
    test::TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.file("cfg").c_str(), 1);
    ::setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);
    EXPECT_EQ(userConfigFolder(), dir.file("cfg") + "/tessadorn");
    EXPECT_EQ(userStateFolder(), dir.file("state") + "/tessadorn");
    // A relative state home is not one.
    ::setenv("XDG_STATE_HOME", "relative", 1);
    ::setenv("HOME", dir.path().c_str(), 1);
    EXPECT_EQ(userStateFolder(), dir.path() + "/.local/state/tessadorn");
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(executableFolder()) / "store_tests"));
}

TEST(ProgramFolder, BothFilesLiveInTheChosenFolder) {
    test::TempDir dir;
    const auto choice = chooseProgramFolder(dir.path(), "", "");
    const std::filesystem::path folder(choice.folder);
    FileWriter& writer = AtomicFile::standard();
    CasterStore store((folder / kCasterListFileName).string(), writer);
    std::atomic<int> baud{2};
    std::atomic<int> saved{-1};
    DeviceProfile profile(baud, saved, (folder / kProfileFileName).string(), writer);
    EXPECT_FALSE(store.Load());
    EXPECT_EQ(profile.SaveProfile(1), 1);

    // The list's lock file lies beside it (see FileLock).
    EXPECT_EQ(test::listFolder(dir.path()), "ntripcfg.txt;ntripcfg.txt.lock;tessadorn.cfg;");
    EXPECT_EQ(test::readBytes(dir.file("ntripcfg.txt")), "");
    EXPECT_EQ(test::fileMode(dir.file("ntripcfg.txt")), CasterStore::kFileMode);
    EXPECT_EQ(test::readBytes(dir.file("tessadorn.cfg")), "1");
}

} // namespace
} // namespace tessadorn
