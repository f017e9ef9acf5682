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

// A save that was cut off between linking its copy under a temporary name and renaming it over
// the file (or one on a file system without unnamed files) leaves that copy, with the passwords
// in it, beside the file. The next start removes such copies, says so, and leaves everything
// else alone.
TEST(AtomicFile, CopiesLeftByAnInterruptedSaveAreRemoved) {
    TempDir dir;
    const std::string path = dir.file("ntripcfg.txt");
    writeBytes(path, "the list\r\n");
    writeBytes(dir.file("ntripcfg.txt.XCBfWf"), "<user>secret</user>\r\n");
    writeBytes(dir.file("ntripcfg.txt.Zz0009"), "another leftover");
    // Names that are not a save's copy of this file, and things that are no plain file.
    for (const char* kept :
         {"ntripcfg.txt.bak", "ntripcfg.txt.AbCdE", "ntripcfg.txt.AbCd-f", "ntripcfg.txt.AbCdEfG",
          "tessadorn.cfg.AbCdEf", "xntripcfg.txt.AbCdEf"})
        writeBytes(dir.file(kept), "kept");
    fs::create_directory(dir.file("ntripcfg.txt.Folder"));
    fs::create_symlink(path, dir.file("ntripcfg.txt.Linked"));
    const std::string expected =
        "ntripcfg.txt;ntripcfg.txt.AbCd-f;ntripcfg.txt.AbCdE;ntripcfg.txt.AbCdEfG;"
        "ntripcfg.txt.Folder;ntripcfg.txt.Linked;ntripcfg.txt.bak;tessadorn.cfg.AbCdEf;"
        "xntripcfg.txt.AbCdEf;";

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
