#include "TempDir.h"

#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tessadorn {
namespace {

namespace fs = std::filesystem;
using test::listFolder;
using test::TempDir;
using test::writeBytes;

// A save that was cut off between writing its copy and renaming it over the file leaves that
// copy, with the passwords in it, beside the file. The next start removes the copies of saves
// whose process no longer runs, says so, and leaves everything else alone: the user's own
// copies, and a copy another running program is still writing.
TEST(AtomicFile, CopiesLeftByAnInterruptedSaveAreRemoved) {
    TempDir dir;
    const std::string path = dir.file("ntripcfg.txt");
    writeBytes(path, "the list\r\n");
    // 99999999 is past the largest process number the system hands out.
    writeBytes(dir.file("ntripcfg.txt.tessadorn-99999999-0"), "<user>secret</user>\r\n");
    writeBytes(dir.file("ntripcfg.txt.tessadorn-99999998-17"), "another leftover");
    // Names that are not a save's copy of this file, a running program's copy, and things that
    // are no plain file.
    for (const char* kept : {"ntripcfg.txt.bak", "ntripcfg.txt.backup", "ntripcfg.txt.XCBfWf",
                             "ntripcfg.txt.tessadorn-1-0", "ntripcfg.txt.tessadorn-99999999",
                             "ntripcfg.txt.tessadorn-x-0", "tessadorn.cfg.tessadorn-99999999-0",
                             "xntripcfg.txt.tessadorn-99999999-0"})
        writeBytes(dir.file(kept), "kept");
    fs::create_directory(dir.file("ntripcfg.txt.tessadorn-99999997-0"));
    fs::create_symlink(path, dir.file("ntripcfg.txt.tessadorn-99999996-0"));
    const std::string expected =
        "ntripcfg.txt;ntripcfg.txt.XCBfWf;ntripcfg.txt.backup;ntripcfg.txt.bak;"
        "ntripcfg.txt.tessadorn-1-0;ntripcfg.txt.tessadorn-99999996-0;"
        "ntripcfg.txt.tessadorn-99999997-0;ntripcfg.txt.tessadorn-99999999;"
        "ntripcfg.txt.tessadorn-x-0;tessadorn.cfg.tessadorn-99999999-0;"
        "xntripcfg.txt.tessadorn-99999999-0;";

    std::string log;
    setDebugSink([&log](std::string_view line) { log.append(line); });
    const std::vector<std::string> removed = AtomicFile::removeLeftoverCopies(path);
    setDebugSink({});
    EXPECT_EQ(listFolder(dir.path()), expected);
    EXPECT_EQ(test::readBytes(path), "the list\r\n");
    ASSERT_EQ(removed.size(), 2u);
    for (const std::string& copy : removed)
        EXPECT_NE(log.find(copy + ": removed, a copy left by an interrupted save"),
                  std::string::npos)
            << log;
    EXPECT_TRUE(AtomicFile::removeLeftoverCopies(path).empty());
}

} // namespace
} // namespace tessadorn
