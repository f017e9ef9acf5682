#include "DialogRig.h"

#include "store/SaveReport.h"

#include <filesystem>

namespace tessadorn {
namespace {

using test::caster;
using test::TempDir;

class SaveReportTest : public test::DialogRig {};

TEST_F(SaveReportTest, ASaveThatWorksShowsNothing) {
    fill(1);
    EXPECT_TRUE(saveCasterList(store, host));
    EXPECT_TRUE(host.shownBoxes().empty());
    EXPECT_TRUE(savedExists());
}

// The folder of the file is gone: the system's reason reaches the user, the store keeps its
// contents and a later save that can write does.
TEST_F(SaveReportTest, AFailedSaveSaysWhy) {
    TempDir gone;
    const std::string folder = gone.path() + "/folder";
    std::filesystem::create_directory(folder);
    CasterStore lost(folder + "/ntripcfg.txt", writer);
    lost.entries[0] = caster("kept");
    lost.count = 1;
    std::filesystem::remove(folder);

    EXPECT_FALSE(saveCasterList(lost, host));
    ASSERT_EQ(host.shownBoxes().size(), 1u);
    const MessageBoxRequest box = host.shownBoxes()[0].request;
    EXPECT_EQ(box.caption, "ERROR");
    EXPECT_EQ(box.buttons, MessageButtons::Ok);
    const std::string prefix = "The caster list could not be saved: ";
    ASSERT_EQ(box.text.rfind(prefix, 0), 0u) << box.text;
    EXPECT_GT(box.text.size(), prefix.size() + 3) << "a reason follows: " << box.text;
    EXPECT_EQ(lost.count, 1);
    EXPECT_EQ(lost.entries[0].name, "kept");

    std::filesystem::create_directory(folder);
    EXPECT_TRUE(saveCasterList(lost, host));
    EXPECT_EQ(host.shownBoxes().size(), 1u);
}

// A list that failed to load is copied aside before the first save; when even that copy cannot
// be written, the reason names it and the damaged file stays.
TEST_F(SaveReportTest, TheBackupThatCannotBeWrittenIsNamed) {
    const std::string broken = "<config>\r\n<servers>\r\n<sv num=123>";
    test::writeBytes(store.path(), broken);
    ASSERT_FALSE(store.Load());
    std::filesystem::create_directory(store.backupPath()); // no file can take its place
    std::string reason;
    EXPECT_FALSE(store.Save(reason));
    EXPECT_NE(reason.find(store.backupPath()), std::string::npos) << reason;
    EXPECT_EQ(test::readBytes(store.path()), broken);
}

} // namespace
} // namespace tessadorn
