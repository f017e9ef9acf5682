#include "TempDir.h"

#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "store/CasterFileReader.h"
#include "store/CasterStore.h"

#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

namespace tessadorn {
namespace {

using test::dataFile;
using test::fileMode;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

// Everything the file carries: counted entries only.
void expectSameContents(const CasterDocument& a, const CasterDocument& b) {
    ASSERT_EQ(a.count, b.count);
    for (int i = 0; i < a.count; ++i)
        EXPECT_EQ(a.entries[static_cast<std::size_t>(i)], b.entries[static_cast<std::size_t>(i)])
            << "entry " << i;
    EXPECT_EQ(a.hasCurrent, b.hasCurrent);
    EXPECT_EQ(a.server, b.server);
    EXPECT_EQ(a.auth, b.auth);
    EXPECT_EQ(a.user, b.user);
    EXPECT_EQ(a.password, b.password);
    EXPECT_EQ(a.carrier, b.carrier);
    EXPECT_EQ(a.apn, b.apn);
    EXPECT_EQ(a.carrierUser, b.carrierUser);
    EXPECT_EQ(a.carrierPassword, b.carrierPassword);
    EXPECT_EQ(a.AutoConnection, b.AutoConnection);
}

void fillFull(CasterDocument& s) {
    s.hasCurrent = true;
    s.server = "1";
    s.auth = "yes";
    s.user = "rover7";
    s.password = "s3cret";
    s.carrier = "yes";
    s.apn = "internet.example";
    s.carrierUser = "gprs";
    s.carrierPassword = "gprs pw";
    s.AutoConnection = "1";
    s.entries[0] = {"Home caster", "caster.example.org", "2101", "rover7", "s3cret", "0", "1"};
    s.entries[1] = {"Red Cat\xe0lu\xf1"
                    "a",
                    "10.0.0.5",
                    "8080",
                    "",
                    "",
                    "1",
                    "2"};
    s.entries[2] = {"IBSS org", "myorg", "2101", "device-1", "pw", "0", "3"};
    s.count = 3;
}

void fillNoCurrent(CasterDocument& s) {
    // Current values that must not reach the file while no current caster is chosen.
    s.server = "0";
    s.user = "hidden";
    s.carrier = "yes";
    s.apn = "hidden.apn";
    s.entries[0] = {"Only", "192.168.1.20", "2101", "u", "p", "0", "1"};
    s.count = 1;
}

void fillEmptyList(CasterDocument&) {}

void fillCarrierNo(CasterDocument& s) {
    s.hasCurrent = true;
    s.server = "0";
    s.auth = "maybe";
    s.carrier = "";
    s.apn = "not.written";
    s.entries[0] = {" spaced ", "h", "2101", "", "", "0", "0"};
    s.entries[1] = {"no version", "h2", "2102", "", "", "0", ""};
    s.count = 2;
}

struct GoldenCase {
    const char* file;
    std::function<void(CasterDocument&)> fill;
};

const GoldenCase kGoldenCases[] = {
    {"full.txt", fillFull},
    {"no-current.txt", fillNoCurrent},
    {"empty-list.txt", fillEmptyList},
    {"carrier-no.txt", fillCarrierNo},
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.file;
}

class CasterStoreGolden : public ::testing::TestWithParam<GoldenCase> {
  protected:
    TempDir dir;
    std::string path = dir.file("ntripcfg.txt");
};

TEST_P(CasterStoreGolden, SaveWritesTheExactLayout) {
    CasterStore store(path, AtomicFile::standard());
    store.reset();
    GetParam().fill(store);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(readBytes(path), dataFile(GetParam().file));
}

TEST_P(CasterStoreGolden, LoadedFileIsSavedByteForByte) {
    writeBytes(path, dataFile(GetParam().file));
    CasterStore store(path, AtomicFile::standard());
    ASSERT_TRUE(store.Load());
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(readBytes(path), dataFile(GetParam().file));
    EXPECT_FALSE(std::filesystem::exists(store.backupPath()));
}

INSTANTIATE_TEST_SUITE_P(Files, CasterStoreGolden, ::testing::ValuesIn(kGoldenCases),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             std::erase(name, '-');
                             return name;
                         });

TEST(CasterStoreRoundTrip, SavedStoreLoadsBackEqual) {
    TempDir dir;
    CasterStore original(dir.file("ntripcfg.txt"), AtomicFile::standard());
    fillFull(original);
    original.entries[3] = {std::string(49, 'x'), " lead", "trail ", "a\r\nb", "\xff\x80", "1", "0"};
    original.count = 4;
    ASSERT_TRUE(original.Save());
    const std::string first = readBytes(original.path());

    CasterStore loaded(original.path(), AtomicFile::standard());
    ASSERT_TRUE(loaded.Load());
    expectSameContents(loaded, original);
    ASSERT_TRUE(loaded.Save());
    EXPECT_EQ(readBytes(original.path()), first);
}

// Numbers a hand-edited file writes otherwise than the program does are read for what they
// mean, and written back exactly as they stood.
TEST(CasterStoreRoundTrip, HandWrittenNumbersAreReadAndWrittenBackAsTheyStood) {
    auto sv = [](int num, const std::string& flag, const std::string& version) {
        return "<sv num=" + std::to_string(num) + ">\r\n<name>c" + std::to_string(num) +
               "</name>\r\n<ip>h</ip>\r\n<port>2101</port>\r\n<user>u</user>\r\n"
               "<Password>p</Password>\r\n<Tessadorn>" +
               flag + "</Tessadorn>\r\n<vntrip>" + version + "</vntrip>\r\n</sv>\r\n";
    };
    const std::string file =
        "<config>\r\n<current>\r\n<server> 2</server>\r\n<auth value=\"yes\">\r\n"
        "<user>u</user>\r\n<password>p</password>\r\n</auth>\r\n"
        "<carrier value=\"no\"></carrier>\r\n<AutoConnection></AutoConnection>\r\n"
        "</current>\r\n<servers>\r\n" +
        sv(0, "01", "03") + sv(1, " 1", "+2") + sv(2, "1", "\r\n1") + sv(3, "", "7x") +
        "</servers>\r\n</config>\r\n";
    TempDir dir;
    writeBytes(dir.file("ntripcfg.txt"), file);
    CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.server.value(), 2);
    EXPECT_EQ(store.current().name, "c2");
    const std::pair<ServerKind, NtripKind> read[] = {{ServerKind::Other, NtripKind::Ibss},
                                                     {ServerKind::Other, NtripKind::Ntrip2},
                                                     {ServerKind::Tessadorn, NtripKind::Ntrip1},
                                                     {ServerKind::Other, NtripKind::Other}};
    for (std::size_t i = 0; i < std::size(read); ++i) {
        EXPECT_EQ(store.entries[i].Tessadorn.value(), read[i].first) << "caster " << i;
        EXPECT_EQ(store.entries[i].vntrip.value(), read[i].second) << "caster " << i;
    }
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(readBytes(store.path()), file);
}

TEST(CasterStoreRoundTrip, NonYesAuthAndCarrierComeBackAsNo) {
    TempDir dir;
    CasterStore original(dir.file("ntripcfg.txt"), AtomicFile::standard());
    fillCarrierNo(original);
    ASSERT_TRUE(original.Save());

    CasterStore loaded(original.path(), AtomicFile::standard());
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.auth, "no");
    EXPECT_EQ(loaded.carrier, "no");
    EXPECT_EQ(loaded.apn, "");
    EXPECT_EQ(loaded.entries[1].vntrip, "1");
    EXPECT_EQ(loaded.entries[0].name, " spaced ");
}

TEST(CasterStoreRoundTrip, NoCurrentCasterLoadsWithResetValues) {
    TempDir dir;
    writeBytes(dir.file("ntripcfg.txt"), dataFile("no-current.txt"));
    CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
    fillFull(store); // values from before the load must not survive it
    ASSERT_TRUE(store.Load());
    EXPECT_FALSE(store.hasCurrent);
    EXPECT_EQ(store.server, "");
    EXPECT_EQ(store.auth, "yes");
    EXPECT_EQ(store.user, "");
    EXPECT_EQ(store.carrier, "");
    EXPECT_EQ(store.apn, "");
    EXPECT_EQ(store.AutoConnection, "");
    EXPECT_EQ(store.count, 1);
}

TEST(CasterStoreFile, MissingFileIsCreatedEmptyAndPrivate) {
    TempDir dir;
    CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
    EXPECT_FALSE(store.Load());
    EXPECT_EQ(store.count, 0);
    EXPECT_FALSE(store.hasCurrent);
    EXPECT_EQ(readBytes(store.path()), "");
    EXPECT_EQ(fileMode(store.path()), 0600);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(readBytes(store.path()), dataFile("empty-list.txt"));
    EXPECT_FALSE(std::filesystem::exists(store.backupPath()));
}

TEST(CasterStoreFile, SavedFileIsPrivateEvenWhenItWasNot) {
    TempDir dir;
    writeBytes(dir.file("ntripcfg.txt"), dataFile("full.txt"));
    std::filesystem::permissions(dir.file("ntripcfg.txt"), std::filesystem::perms(0644));
    CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
    ASSERT_TRUE(store.Load());
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(store.Save());
        EXPECT_EQ(fileMode(store.path()), 0600);
    }
}

TEST(CasterStoreFile, SaveIntoMissingFolderFailsAndKeepsTheStore) {
    TempDir dir;
    CasterStore store(dir.file("gone/ntripcfg.txt"), AtomicFile::standard());
    fillFull(store);
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(store.count, 3);
    EXPECT_EQ(store.server, "1");
}

// A file that failed to load is copied to the backup before the first save overwrites it.
TEST(CasterStoreBackup, BrokenFileIsKeptBeforeTheFirstSave) {
    TempDir dir;
    const std::string full = dataFile("full.txt");
    const std::string broken = full.substr(0, full.find("<sv num=1>")) + "\t<hand edit>";
    writeBytes(dir.file("ntripcfg.txt"), broken);
    writeBytes(dir.file("ntripcfg.txt.bak"), "an older backup");
    CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
    EXPECT_FALSE(store.Load());
    EXPECT_EQ(store.count, 1); // the first caster was complete
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(readBytes(store.backupPath()), broken);
    EXPECT_EQ(fileMode(store.backupPath()), 0600);

    // Later saves leave the backup alone.
    writeBytes(store.backupPath(), "marker");
    store.entries[0].name = "changed";
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(readBytes(store.backupPath()), "marker");

    CasterStore reloaded(store.path(), AtomicFile::standard());
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.entries[0].name, "changed");
}

// The list broken by a hand edit while the window holds it: the window's next save keeps the
// broken file as the backup first, and the debug output says so.
TEST(CasterStoreBackup, AListBrokenOnDiskMeanwhileIsKeptAtTheNextSave) {
    TempDir dir;
    DebugCapture debug;
    CasterStore window(dir.file("ntripcfg.txt"), AtomicFile::standard());
    window.Load();
    window.entries[0] = {"Home", "h.example", "2101", "", "", "0", "1"};
    window.count = 1;
    ASSERT_TRUE(window.Save());
    std::string broken = readBytes(window.path());
    broken.insert(broken.find("<servers>"), "\t"); // a tab between elements
    writeBytes(window.path(), broken);
    window.entries[0].port = "2102";
    ASSERT_TRUE(window.Save());
    EXPECT_EQ(readBytes(window.backupPath()), broken);
    CasterStore after(window.path(), AtomicFile::standard());
    ASSERT_TRUE(after.Load());
    EXPECT_EQ(after.entries[0].port, "2102");
    EXPECT_EQ(debug.count(window.path() +
                          ": changed by another program and cannot be read; it is "
                          "kept as " +
                          window.backupPath() + " at the next save\r\n"),
              1);
}

// A load that dropped part of the file (casters past the 25th, values cut short) counts like a
// failed one: the first save keeps the whole file as the backup, and the debug output says why.
TEST(CasterStoreBackup, ALossyLoadKeepsTheFileBeforeTheFirstSave) {
    std::string thirty;
    for (int i = 0; i < 30; ++i)
        thirty += "<sv num=" + std::to_string(i) + ">\r\n<name>Caster " + std::to_string(i) +
                  "</name>\r\n<ip>h</ip>\r\n<port>2101</port>\r\n<user>u" + std::to_string(i) +
                  "</user>\r\n<Password>p</Password>\r\n"
                  "<Tessadorn>0</Tessadorn>\r\n<vntrip>1</vntrip>\r\n</sv>\r\n";
    const std::string full = dataFile("full.txt");
    std::string longName = full, longServer = full, longApn = full;
    longName.replace(longName.find("Home caster"), 11, std::string(60, 'n'));
    longServer.replace(longServer.find("<server>1<"), 10, "<server>0000000001<");
    longApn.replace(longApn.find("internet.example"), 16, std::string(50, 'a'));
    const struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"30 casters", "<config>\r\n<current></current>\r\n<servers>\r\n" + thirty +
                           "</servers>\r\n</config>\r\n"},
        {"a 60-byte caster name", longName},
        {"a 10-character server", longServer},
        {"a 50-byte APN", longApn},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeBytes(dir.file("ntripcfg.txt"), c.file);
        DebugCapture debug;
        CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
        EXPECT_TRUE(store.Load()) << c.name;
        EXPECT_LE(store.count, CasterDocument::kMaxEntries) << c.name;
        bool said = false;
        for (const auto& line : debug.lines())
            said = said || line.find("ntripcfg.txt") != std::string::npos;
        EXPECT_TRUE(said) << c.name << ": the debug output names the file";
        ASSERT_TRUE(store.Save()) << c.name;
        EXPECT_EQ(readBytes(store.backupPath()), c.file) << c.name;
    }
}

// The file never gets a value that would not read back the same: such a save writes nothing and
// the debug output names the field.
TEST(CasterStoreFile, SaveRefusesAValueTheFileCannotCarry) {
    const struct {
        const char* name;
        std::function<void(CasterDocument&)> change;
        const char* field;
    } cases[] = {
        {"< in an APN", [](auto& s) { s.apn = "web<x"; }, "apn"},
        {"< in a caster name", [](auto& s) { s.entries[2].name = "a</name>"; }, "name"},
        {"50-byte password", [](auto& s) { s.password = std::string(50, 'p'); }, "password"},
        {"10-character server", [](auto& s) { s.server = "0000000001"; }, "server"},
        {"< in AutoConnection", [](auto& s) { s.AutoConnection = "<"; }, "AutoConnection"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
        fillFull(store);
        ASSERT_TRUE(store.Save());
        const std::string before = readBytes(store.path());
        c.change(store);
        DebugCapture debug;
        EXPECT_FALSE(store.Save()) << c.name;
        EXPECT_EQ(readBytes(store.path()), before) << c.name;
        bool said = false;
        for (const auto& line : debug.lines())
            said = said || line.find(c.field) != std::string::npos;
        EXPECT_TRUE(said) << c.name;
    }
    // Values that the file does not write need not fit: the APN block of carrier "no", an
    // entry past the count.
    TempDir dir;
    CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
    fillFull(store);
    store.carrier = "no";
    store.apn = "web<x";
    store.entries[5].name = "<";
    EXPECT_TRUE(store.Save());
}

// A file that cannot be read (here a folder in its place) is a failed load, never a crash.
TEST(CasterStoreFile, AFileThatCannotBeReadIsAFailedLoad) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("ntripcfg.txt"));
    DebugCapture debug;
    CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
    store.entries[0].name = "before";
    store.count = 1;
    EXPECT_FALSE(store.Load());
    EXPECT_EQ(store.count, 0);
    EXPECT_FALSE(store.hasCurrent);
    bool said = false;
    for (const auto& line : debug.lines())
        said = said || (line.find("ntripcfg.txt") != std::string::npos &&
                        line.find("directory") != std::string::npos);
    EXPECT_TRUE(said) << "the debug output says why";
    EXPECT_FALSE(store.Save());
    EXPECT_TRUE(std::filesystem::is_directory(store.path()));
}

// Fails every write whose path ends in `suffix`.
class FailingForSuffix final : public FileWriter {
  public:
    explicit FailingForSuffix(std::string suffix) : m_Suffix(std::move(suffix)) {}
    bool replace(const std::string& path, std::string_view bytes, int mode) override {
        if (path.ends_with(m_Suffix)) return false;
        return AtomicFile::standard().replace(path, bytes, mode);
    }
    bool createIfMissing(const std::string& path, int mode) override {
        return AtomicFile::standard().createIfMissing(path, mode);
    }

  private:
    std::string m_Suffix;
};

TEST(CasterStoreBackup, WithoutABackupTheBrokenFileIsNotOverwritten) {
    TempDir dir;
    const std::string broken = "<config>\r\n<servers>\r\n<sv num=123>";
    writeBytes(dir.file("ntripcfg.txt"), broken);
    FailingForSuffix writer(".bak");
    CasterStore store(dir.file("ntripcfg.txt"), writer);
    EXPECT_FALSE(store.Load());
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(readBytes(store.path()), broken);
}

// Keeps the last text written, in memory.
class MemoryWriter final : public FileWriter {
  public:
    bool replace(const std::string&, std::string_view bytes, int) override {
        std::lock_guard lock(m_Mutex);
        m_Last = std::string(bytes);
        return true;
    }
    bool createIfMissing(const std::string&, int) override { return true; }
    std::string last() const {
        std::lock_guard lock(m_Mutex);
        return m_Last;
    }

  private:
    mutable std::mutex m_Mutex;
    std::string m_Last;
};

// The monitor saves while a dialog edits under the store's lock: a save never writes an edit
// that is half done.
TEST(CasterStoreConcurrency, ASaveNeverWritesAHalfDoneEdit) {
    MemoryWriter writer;
    CasterStore store("ntripcfg.txt", writer);
    fillFull(store);
    std::atomic<bool> saving{true};
    std::atomic<int> edits{0};
    std::thread editor([&] {
        for (int i = 0; saving.load(); ++i) {
            {
                std::lock_guard lock(store.mutex());
                edits = i;
                const bool a = i % 2 == 0;
                store.entries[0].name = a ? "edit A" : "edit B";
                // A slow edit: a save that does not wait for the lock lands in the middle.
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                store.entries[0].port = a ? "1111" : "2222";
            }
            std::this_thread::yield(); // lets a waiting save have the lock
        }
    });
    for (int saves = 1, seen = -1; saves <= 300; ++saves) {
        // Each save comes while the editor is at work on a new edit.
        while (edits.load() == seen)
            std::this_thread::yield();
        seen = edits.load();
        EXPECT_TRUE(store.Save());
        CasterDocument saved;
        saved.reset();
        EXPECT_TRUE(CasterFileReader(writer.last()).read(saved));
        const auto& e = saved.entries[0];
        const bool whole = (e.name == "Home caster" && e.port == "2101") ||
                           (e.name == "edit A" && e.port == "1111") ||
                           (e.name == "edit B" && e.port == "2222");
        if (!whole) {
            ADD_FAILURE() << e.name << " with port " << e.port << " after " << saves << " saves";
            break;
        }
    }
    saving = false;
    editor.join();
}

struct IndexCase {
    const char* server;
    int count;
    int expected; // currentIndex()
    bool inList;  // serverInList(): the number names a caster of the list
};

void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << "server \"" << c.server << "\" of " << c.count;
}

class CasterStoreCurrent : public ::testing::TestWithParam<IndexCase> {};

// `server` is read as C's atoi reads it: leading white space, a sign, the digits.
TEST_P(CasterStoreCurrent, ServerTextNamesTheSlot) {
    TempDir dir;
    CasterStore store(dir.file("ntripcfg.txt"), AtomicFile::standard());
    for (int i = 0; i < CasterDocument::kMaxEntries; ++i)
        store.entries[static_cast<std::size_t>(i)].name = "c" + std::to_string(i);
    store.server = GetParam().server;
    store.count = GetParam().count;
    EXPECT_EQ(store.currentIndex(), GetParam().expected);
    EXPECT_EQ(store.serverInList(), GetParam().inList);
    // A number past the list names no caster: the entry reads as empty, never another caster.
    EXPECT_EQ(store.current().name,
              GetParam().inList ? "c" + std::to_string(GetParam().expected) : "");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CasterStoreCurrent,
    ::testing::Values(IndexCase{"", 3, 0, true}, IndexCase{"2", 3, 2, true},
                      IndexCase{"1x", 3, 1, true}, IndexCase{"x1", 3, 0, true},
                      IndexCase{" 2", 3, 2, true}, IndexCase{"\r\n1", 3, 1, true},
                      IndexCase{"+1", 3, 1, true}, IndexCase{"02", 3, 2, true},
                      IndexCase{"-1", 3, 0, false}, IndexCase{"- 1", 3, 0, true},
                      IndexCase{"7", 3, 2, false}, IndexCase{"999999999", 25, 24, false},
                      IndexCase{"24", 25, 24, true}, IndexCase{"0", 0, 0, false},
                      IndexCase{"5", 0, 0, false}));

} // namespace
} // namespace tessadorn

namespace tessadorn {
namespace {

// Two programs on one list: the window's store read the list, the command line (a second
// store on the same file) changed and saved it, then the window made its own change and saved.
// Neither change is lost, whatever the order of the lines.
struct TwoProgramsCase {
    const char* name;
    std::function<void(CasterStore&)> other;  // the command line's edit (saved)
    std::function<void(CasterStore&)> window; // the window's edit on its stale copy (saved)
    std::vector<std::string> names;           // the list on disk afterwards
    std::string current;                      // its current caster
    std::size_t conflicts = 0;                // told to the window and the log
};

void add(CasterStore& s, const std::string& name) {
    s.entries[static_cast<std::size_t>(s.count++)] = {name, "h", "2101", "", "", "0", "1"};
    s.hasCurrent = true;
}

void removeNamed(CasterStore& s, const std::string& name) {
    for (int i = 0; i < s.count; ++i)
        if (s.entries[static_cast<std::size_t>(i)].name == name) {
            for (int j = i; j + 1 < s.count; ++j)
                s.entries[static_cast<std::size_t>(j)] = s.entries[static_cast<std::size_t>(j + 1)];
            --s.count;
            return;
        }
}

class CasterStoreTwoPrograms : public ::testing::TestWithParam<TwoProgramsCase> {};

TEST_P(CasterStoreTwoPrograms, NeitherProgramLosesTheOthersChange) {
    const auto& c = GetParam();
    TempDir dir;
    DebugCapture debug;
    const std::string path = dir.file("ntripcfg.txt");
    {
        CasterStore first(path, AtomicFile::standard());
        first.Load();
        add(first, "A");
        add(first, "B");
        first.server = "1";
        ASSERT_TRUE(first.Save());
    }
    CasterStore window(path, AtomicFile::standard());
    window.Load();
    {
        CasterStore other(path, AtomicFile::standard());
        auto hold = other.holdFile();
        other.Load();
        c.other(other);
        ASSERT_TRUE(other.Save());
    }
    c.window(window);
    std::string reason;
    ASSERT_TRUE(window.Save(reason)) << reason;

    CasterStore after(path, AtomicFile::standard());
    after.Load();
    std::vector<std::string> names;
    for (int i = 0; i < after.count; ++i)
        names.push_back(after.entries[static_cast<std::size_t>(i)].name);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(after.current().name, c.current);
    EXPECT_EQ(window.count, after.count) << "the window now shows the list on disk";
    const auto conflicts = window.takeConflicts();
    EXPECT_EQ(conflicts.size(), c.conflicts);
    for (const CasterConflict& conflict : conflicts)
        EXPECT_EQ(debug.count(path + ": " + conflict.message() + "\r\n"), 1);
    EXPECT_TRUE(window.takeConflicts().empty()) << "each is told once";
}

const TwoProgramsCase kTwoPrograms[] = {
    {"AddedElsewhereSurvivesTheWindowsAdd",
     [](CasterStore& s) { add(s, "Cli"); },
     [](CasterStore& s) { add(s, "Win"); },
     {"A", "B", "Cli", "Win"},
     "B"},
    {"RemovedElsewhereStaysRemoved",
     [](CasterStore& s) {
         removeNamed(s, "A");
         s.server = "0";
     },
     [](CasterStore& s) { s.entries[1].port = "2102"; },
     {"B"},
     "B"},
    {"EditedElsewhereKeepsItsFields",
     [](CasterStore& s) { s.entries[0].ip = "new.example"; },
     [](CasterStore& s) { add(s, "Win"); },
     {"A", "B", "Win"},
     "B"},
    {"TheWindowsChoiceOfCurrentCasterWins",
     [](CasterStore& s) { add(s, "Cli"); },
     [](CasterStore& s) { s.server = "0"; },
     {"A", "B", "Cli"},
     "A"},
    {"RenamedHereWhileEditedElsewhereKeepsTheOthersVersion",
     [](CasterStore& s) { s.entries[0].port = "2102"; },
     [](CasterStore& s) { s.entries[0].name = "A2"; },
     {"A", "B"},
     "B",
     1},
    {"DeletedHereWhileEditedElsewhereStays",
     [](CasterStore& s) { s.entries[0].ip = "new.example"; },
     [](CasterStore& s) {
         removeNamed(s, "A");
         s.server = "0";
     },
     {"A", "B"},
     "B",
     1},
};

INSTANTIATE_TEST_SUITE_P(Edits, CasterStoreTwoPrograms, ::testing::ValuesIn(kTwoPrograms),
                         [](const auto& info) { return std::string(info.param.name); });

// The window opens its caster list: what the command line saved meanwhile is shown.
TEST(CasterStoreTwoPrograms, RefreshTakesTheListSavedElsewhere) {
    TempDir dir;
    const std::string path = dir.file("ntripcfg.txt");
    CasterStore window(path, AtomicFile::standard());
    window.Load();
    EXPECT_FALSE(window.refresh());
    CasterStore other(path, AtomicFile::standard());
    other.Load();
    add(other, "Cli");
    ASSERT_TRUE(other.Save());
    EXPECT_TRUE(window.refresh());
    ASSERT_EQ(window.count, 1);
    EXPECT_EQ(window.entries[0].name, "Cli");
}

} // namespace
} // namespace tessadorn
