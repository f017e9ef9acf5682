// The compiled-in files reach an executable that links the static libraries, unchanged.
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessadorn {
namespace {

const std::filesystem::path kSourceDir = TESSADORN_RESOURCE_DIR;

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(Resources, TemplatesAreCompiledInUnchanged) {
    const std::string compiled = resourceBytes(":/dialogs.rc");
    ASSERT_FALSE(compiled.empty());
    EXPECT_EQ(compiled, fileBytes(kSourceDir / "dialogs.rc"));
}

TEST(Resources, EveryBitmapOfTheSourceTreeIsCompiledIn) {
    std::vector<std::string> onDisk;
    for (const auto& entry : std::filesystem::directory_iterator(kSourceDir / "bitmaps"))
        if (entry.path().extension() == ".svg") onDisk.push_back(entry.path().filename());
    std::sort(onDisk.begin(), onDisk.end());
    ASSERT_FALSE(onDisk.empty());
    EXPECT_EQ(resourceFiles(":/bitmaps"), onDisk);
    for (const auto& name : onDisk)
        EXPECT_EQ(resourceBytes(":/bitmaps/" + name), fileBytes(kSourceDir / "bitmaps" / name))
            << name;
}

TEST(Resources, OnlyCompiledInFilesAreRead) {
    EXPECT_EQ(resourceBytes(":/no-such-file"), "");
    EXPECT_EQ(resourceBytes(":/bitmaps"), ""); // a folder
    EXPECT_EQ(resourceBytes(""), "");
    // A path on disk is not a resource, even when the file exists.
    EXPECT_EQ(resourceBytes((kSourceDir / "dialogs.rc").string()), "");
    EXPECT_TRUE(resourceFiles(":/no-such-folder").empty());
    EXPECT_TRUE(resourceFiles(kSourceDir.string()).empty());
}

} // namespace
} // namespace tessadorn
