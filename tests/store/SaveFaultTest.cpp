#include "FileSizeLimit.h"
#include "TempDir.h"

#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "store/CasterFileReader.h"
#include "store/CasterFileWriter.h"
#include "store/CasterStore.h"
#include "store/DeviceProfile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ostream>

namespace tessadorn {
namespace {

using test::dataFile;
using test::fileMode;
using test::listFolder;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

// A save that breaks off after any number of bytes, or whose sync fails once every byte was
// written (a fault at the copy's size), leaves the previous file as it was, and no stray
// temporary file behind.
TEST(SaveFault, WriteErrorAtEveryPositionKeepsThePreviousFile) {
    TempDir dir;
    const std::string previous = dataFile("full.txt");
    writeBytes(dir.file("ntripcfg.txt"), previous);
    AtomicFile writer;
    CasterStore store(dir.file("ntripcfg.txt"), writer);
    ASSERT_TRUE(store.Load());
    ASSERT_TRUE(store.Save()); // the file is now private
    const std::string folderBefore = listFolder(dir.path());

    store.entries[0].name = "a new name that makes the file longer";
    store.entries[3] = {"Fourth", "h4", "2101", "", "", "0", "2"};
    store.count = 4;
    // A fault past the end of the new contents no longer hits: that save is the first to succeed.
    std::size_t at = 0;
    for (;; ++at) {
        writer.injectFault(at);
        if (store.Save()) break;
        ASSERT_EQ(readBytes(store.path()), previous) << "fault at " << at;
        ASSERT_EQ(listFolder(dir.path()), folderBefore) << "fault at " << at;
        ASSERT_EQ(fileMode(store.path()), 0600);
    }
    EXPECT_GT(at, previous.size());
    EXPECT_EQ(readBytes(store.path()).size() + 1, at);
    CasterStore reloaded(store.path(), writer);
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.count, 4);
    EXPECT_EQ(reloaded.entries[0].name, "a new name that makes the file longer");
}

// Every byte was written, then the sync to the disk or the commit fails: the save reports it,
// the old file and the folder stay as they were, and the next save goes through.
TEST(SaveFault, AFailedSyncOrCommitKeepsThePreviousFile) {
    for (const auto fault : {AtomicFile::Fault::SyncError, AtomicFile::Fault::CommitError}) {
        SCOPED_TRACE(fault == AtomicFile::Fault::SyncError ? "sync" : "commit");
        TempDir dir;
        const std::string previous = dataFile("full.txt");
        writeBytes(dir.file("ntripcfg.txt"), previous);
        AtomicFile writer;
        CasterStore store(dir.file("ntripcfg.txt"), writer);
        ASSERT_TRUE(store.Load());
        ASSERT_TRUE(store.Save());
        const std::string folderBefore = listFolder(dir.path());
        store.entries[0].name = "changed";
        writer.injectFault(0, fault);
        EXPECT_FALSE(store.Save());
        EXPECT_EQ(readBytes(store.path()), previous);
        EXPECT_EQ(listFolder(dir.path()), folderBefore);
        writer.injectFault(std::nullopt);
        EXPECT_TRUE(store.Save());
        EXPECT_NE(readBytes(store.path()).find("<name>changed</name>"), std::string::npos);
    }
}

// The writer never writes more than 25 casters, whatever the count says.
TEST(SaveFault, TheWriterKeepsToTwentyFiveCasters) {
    CasterDocument doc;
    doc.reset();
    for (int i = 0; i < CasterDocument::kMaxEntries; ++i)
        doc.entries[static_cast<std::size_t>(i)] = {
            "c" + std::to_string(i), "h", "1", "", "", "0", "1"};
    doc.count = 30;
    const std::string text = CasterFileWriter::write(doc);
    std::size_t elements = 0;
    for (auto at = text.find("<sv num="); at != std::string::npos;
         at = text.find("<sv num=", at + 1))
        ++elements;
    EXPECT_EQ(elements, 25u);
    EXPECT_NE(text.find("<sv num=24>\r\n<name>c24</name>"), std::string::npos);
    CasterDocument again;
    again.reset();
    EXPECT_TRUE(CasterFileReader(text).read(again));
    EXPECT_EQ(again.count, 25);
    doc.count = -3;
    EXPECT_EQ(CasterFileWriter::write(doc).find("<sv"), std::string::npos);
}

// The process dies in the middle of a save: the old file is still complete.
TEST(SaveFaultDeathTest, CrashDuringSaveKeepsThePreviousFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string previous = dataFile("full.txt");
    for (std::size_t at : {std::size_t{0}, std::size_t{1}, previous.size() / 2, previous.size()}) {
        TempDir dir;
        writeBytes(dir.file("ntripcfg.txt"), previous);
        EXPECT_EXIT(
            {
                AtomicFile writer;
                CasterStore store(dir.file("ntripcfg.txt"), writer);
                store.Load();
                store.entries[0].port = "9999";
                writer.injectFault(at, AtomicFile::Fault::Crash);
                store.Save();
                std::_Exit(0);
            },
            ::testing::ExitedWithCode(3), "");
        EXPECT_EQ(readBytes(dir.file("ntripcfg.txt")), previous) << "crash at " << at;
        CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
        EXPECT_TRUE(store.Load());
    }
}

// The program is told to end (SIGTERM, as from kill or a shutdown) in the middle of a save: it
// ends by the signal, the old file is still complete, and the copy with the passwords in it is
// removed first. Without the handler the copy would stay.
TEST(SaveFaultDeathTest, TerminatedDuringSaveLeavesNoCopy) {
    // Forked without a new start, so that the child saves into this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::string previous = dataFile("full.txt");
    for (const bool handled : {true, false}) {
        SCOPED_TRACE(handled ? "handled" : "default action");
        TempDir dir;
        writeBytes(dir.file("ntripcfg.txt"), previous);
        EXPECT_EXIT(
            {
                if (handled) AtomicFile::removeCopiesOnTermination();
                AtomicFile writer;
                CasterStore store(dir.file("ntripcfg.txt"), writer);
                store.Load();
                store.entries[0].Password = "new secret";
                writer.injectFault(previous.size() / 2, AtomicFile::Fault::Terminate);
                store.Save();
                std::_Exit(0);
            },
            ::testing::KilledBySignal(SIGTERM), "");
        EXPECT_EQ(readBytes(dir.file("ntripcfg.txt")), previous);
        // The save's copy is the one name beside the list that holds ".tessadorn-".
        const bool copyLeft = listFolder(dir.path()).find(".tessadorn-") != std::string::npos;
        EXPECT_EQ(copyLeft, !handled) << listFolder(dir.path());
    }
}

// The real write path on a disk without room: the files cannot grow past a few bytes (the write
// fails with EFBIG as it would with ENOSPC), and the system only takes the bytes when they are
// really written, not when they reach a buffer. The previous file stays byte for byte, no
// temporary copy is left, and the system's reason reaches the caller and the log.
struct FullDiskCase {
    const char* label;
    const char* file;
    std::size_t room; // bytes a file may hold
};

void PrintTo(const FullDiskCase& c, std::ostream* os) {
    *os << c.label;
}

class SaveOnAFullDisk : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(SaveOnAFullDisk, KeepsThePreviousFileAndSaysWhy) {
    const FullDiskCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file(c.file);
    const bool casterList = std::string(c.file) == "ntripcfg.txt";
    const std::string previous = casterList ? dataFile("full.txt") : std::string("1");
    writeBytes(path, previous);
    const std::string folderBefore = listFolder(dir.path());

    // The child reports the reason it was given, a line, then what went to the log.
    const test::ChildResult child = test::runWithFileSizeLimit(c.room, [&] {
        std::string log;
        setDebugSink([&log](std::string_view line) { log.append(line); });
        AtomicFile writer;
        std::string reason = "saved";
        if (casterList) {
            CasterStore store(path, writer);
            store.Load();
            store.entries[0].name = "a name the disk has no room for";
            if (store.Save(reason)) reason = "saved";
        } else {
            std::atomic<int> baud{0};
            std::atomic<int> saved{0};
            DeviceProfile profile(baud, saved, path, writer);
            profile.LoadProfile();
            if (!profile.SaveProfile(3)) reason = "not saved";
        }
        setDebugSink({});
        return reason + "\n" + log;
    });
    ASSERT_TRUE(child.exitedCleanly) << child.report;
    const std::string tooLarge = std::strerror(EFBIG);
    const std::string reason = child.report.substr(0, child.report.find('\n'));
    const std::string log = child.report.substr(reason.size());
    EXPECT_EQ(reason, casterList ? tooLarge : "not saved");
    EXPECT_NE(log.find(path + ": could not be written: " + tooLarge), std::string::npos) << log;
    EXPECT_EQ(readBytes(path), previous);
    // No copy left behind; the caster list's lock file stays (it is never removed).
    EXPECT_EQ(listFolder(dir.path()),
              casterList ? "ntripcfg.txt;ntripcfg.txt.lock;" : folderBefore);
}

INSTANTIATE_TEST_SUITE_P(RealWrite, SaveOnAFullDisk,
                         ::testing::Values(FullDiskCase{"CasterListNoRoomAtAll", "ntripcfg.txt", 0},
                                           FullDiskCase{"CasterListRoomForHalf", "ntripcfg.txt",
                                                        200},
                                           FullDiskCase{"ProfileNoRoom", "tessadorn.cfg", 0}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace tessadorn
