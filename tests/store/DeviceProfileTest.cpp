#include "TempDir.h"

#include "platform/AtomicFile.h"
#include "store/DeviceProfile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>
#include <thread>

namespace tessadorn {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

// Counts the files it writes.
class CountingWriter final : public FileWriter {
  public:
    bool replace(const std::string& path, std::string_view bytes, int mode) override {
        ++writes;
        return AtomicFile::standard().replace(path, bytes, mode);
    }
    bool createIfMissing(const std::string& path, int mode) override {
        return AtomicFile::standard().createIfMissing(path, mode);
    }
    int writes = 0;
};

struct ProfileCase {
    const char* label;
    std::optional<std::string> contents; // no file when empty
    int result;
    int baudIndex;
    int savedBaudIndex;
};

void PrintTo(const ProfileCase& c, std::ostream* os) {
    *os << c.label;
}

class DeviceProfileLoad : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(DeviceProfileLoad, ContentsGiveTheIndices) {
    const ProfileCase& c = GetParam();
    TempDir dir;
    if (c.contents) writeBytes(dir.file("tessadorn.cfg"), *c.contents);
    std::atomic<int> baud{-7};
    std::atomic<int> saved{-7};
    DeviceProfile profile(baud, saved, dir.file("tessadorn.cfg"), AtomicFile::standard());
    EXPECT_EQ(profile.LoadProfile(), c.result);
    EXPECT_EQ(baud.load(), c.baudIndex);
    EXPECT_EQ(saved.load(), c.savedBaudIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, DeviceProfileLoad,
    ::testing::Values(ProfileCase{"NoFile", std::nullopt, 0, 2, -1},
                      ProfileCase{"Empty", "", 1, 2, -1}, ProfileCase{"Zero", "0", 1, 0, 0},
                      ProfileCase{"Four", "4", 1, 4, 4}, ProfileCase{"Five", "5", 1, 2, -1},
                      ProfileCase{"Nine", "9", 1, 2, -1}, ProfileCase{"Letter", "a", 1, 2, -1},
                      ProfileCase{"TwoBytes", "13", 1, 2, -1},
                      ProfileCase{"OldForm", "1,3", 1, 3, 3},
                      ProfileCase{"OldFormWithLineEnd", "x,1\r\n", 1, 1, 1},
                      ProfileCase{"OldFormBadDigit", "1,7", 1, 2, -1},
                      ProfileCase{"DigitWithLineEnd", "3\r\n", 1, 2, -1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DeviceProfileSave, SameIndexIsWrittenOnce) {
    TempDir dir;
    CountingWriter writer;
    std::atomic<int> baud{2};
    std::atomic<int> saved{-1};
    DeviceProfile profile(baud, saved, dir.file("tessadorn.cfg"), writer);
    EXPECT_EQ(profile.SaveProfile(4), 1);
    EXPECT_EQ(profile.SaveProfile(4), 1);
    EXPECT_EQ(writer.writes, 1);
    EXPECT_EQ(saved.load(), 4);
    EXPECT_EQ(readBytes(dir.file("tessadorn.cfg")), "4");
    EXPECT_EQ(profile.SaveProfile(0), 1);
    EXPECT_EQ(writer.writes, 2);
    EXPECT_EQ(readBytes(dir.file("tessadorn.cfg")), "0");
}

TEST(DeviceProfileSave, RememberedRateIsNotRewrittenAfterLoad) {
    TempDir dir;
    writeBytes(dir.file("tessadorn.cfg"), "1,3");
    CountingWriter writer;
    std::atomic<int> baud{0};
    std::atomic<int> saved{0};
    DeviceProfile profile(baud, saved, dir.file("tessadorn.cfg"), writer);
    ASSERT_EQ(profile.LoadProfile(), 1);
    EXPECT_EQ(profile.SaveProfile(baud), 1);
    EXPECT_EQ(writer.writes, 0);
    EXPECT_EQ(readBytes(dir.file("tessadorn.cfg")), "1,3");
}

TEST(DeviceProfileSave, MalformedFileIsRewrittenWithTheFoundRate) {
    TempDir dir;
    writeBytes(dir.file("tessadorn.cfg"), "9");
    std::atomic<int> baud{0};
    std::atomic<int> saved{0};
    DeviceProfile profile(baud, saved, dir.file("tessadorn.cfg"), AtomicFile::standard());
    profile.LoadProfile();
    ASSERT_EQ(baud.load(), 2);
    EXPECT_EQ(profile.SaveProfile(2), 1);
    EXPECT_EQ(readBytes(dir.file("tessadorn.cfg")), "2");
}

TEST(DeviceProfileSave, FailedCreateKeepsTheSavedIndexForALaterTry) {
    TempDir dir;
    const std::string folder = dir.file("later");
    std::atomic<int> baud{2};
    std::atomic<int> saved{-1};
    DeviceProfile profile(baud, saved, folder + "/tessadorn.cfg", AtomicFile::standard());
    EXPECT_EQ(profile.SaveProfile(3), 0);
    EXPECT_EQ(saved.load(), -1);
    std::filesystem::create_directory(folder);
    EXPECT_EQ(profile.SaveProfile(3), 1);
    EXPECT_EQ(saved.load(), 3);
    EXPECT_EQ(readBytes(folder + "/tessadorn.cfg"), "3");
}

TEST(DeviceProfileSave, OnlyBaudIndicesAreWritten) {
    TempDir dir;
    CountingWriter writer;
    std::atomic<int> baud{2};
    std::atomic<int> saved{1};
    DeviceProfile profile(baud, saved, dir.file("tessadorn.cfg"), writer);
    for (int index : {-1, 5, 42}) {
        EXPECT_EQ(profile.SaveProfile(index), 0) << index;
        EXPECT_EQ(saved.load(), 1);
    }
    EXPECT_EQ(writer.writes, 0);
}

// The monitor and the GPS dialog may save at the same moment: whatever order they take, the file
// holds the index the profile remembers as saved.
TEST(DeviceProfileSave, TwoThreadsSavingAtOnceLeaveFileAndIndexInAgreement) {
    TempDir dir;
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> baud{2}, saved{DeviceProfile::kNoSavedIndex};
        DeviceProfile profile(baud, saved, dir.file("tessadorn.cfg"), AtomicFile::standard());
        std::atomic<bool> go{false};
        auto saver = [&](int index) {
            while (!go.load()) {
            }
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(profile.SaveProfile(index + (i % 2)), 1);
        };
        std::thread a(saver, 0), b(saver, 3);
        go = true;
        a.join();
        b.join();
        ASSERT_EQ(readBytes(profile.path()), std::string(1, static_cast<char>('0' + saved.load())))
            << "round " << round;
    }
}

TEST(SaveFault, ProfileWriteErrorKeepsFileAndSavedIndex) {
    TempDir dir;
    writeBytes(dir.file("tessadorn.cfg"), "1");
    AtomicFile writer;
    std::atomic<int> baud{-1};
    std::atomic<int> saved{-1};
    DeviceProfile profile(baud, saved, dir.file("tessadorn.cfg"), writer);
    ASSERT_EQ(profile.LoadProfile(), 1);
    for (std::size_t at : {std::size_t{0}, std::size_t{1}}) {
        writer.injectFault(at);
        EXPECT_EQ(profile.SaveProfile(4), 0);
        EXPECT_EQ(saved.load(), 1);
        EXPECT_EQ(readBytes(dir.file("tessadorn.cfg")), "1");
    }
    writer.injectFault(std::nullopt);
    EXPECT_EQ(profile.SaveProfile(4), 1);
    EXPECT_EQ(saved.load(), 4);
    EXPECT_EQ(readBytes(dir.file("tessadorn.cfg")), "4");
}

} // namespace
} // namespace tessadorn

#include "store/PortRates.h"

#include <thread>

namespace tessadorn {
namespace {

// Two modems used in turn from one folder: each port keeps its own rate, and the window's
// tessadorn.cfg is not touched.
TEST(PortRates, EachPortKeepsTheRateItsModemAnsweredAt) {
    test::TempDir dir;
    PortRates rates(dir.file("tessadorn.ports"), AtomicFile::standard());
    const std::string first = dir.file("ttyUSB0"), second = dir.file("ttyUSB1");
    EXPECT_EQ(rates.rateFor(first), std::nullopt);
    const struct {
        const std::string& port;
        int index;
    } steps[] = {{first, 4}, {second, 1}, {first, 2}};
    for (const auto& step : steps)
        ASSERT_TRUE(rates.remember(step.port, step.index));
    EXPECT_EQ(rates.rateFor(first), 2);
    EXPECT_EQ(rates.rateFor(second), 1);
    EXPECT_EQ(test::readBytes(dir.file("tessadorn.ports")), second + " 1\n" + first + " 2\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("tessadorn.cfg")));
}

// What a file holds is read back for its port, every rate from 9600 to 115200; a file this
// program did not write (a line of another form, a NUL, a folder in its place) gives no rate and
// is left exactly as it is, the reason naming it.
TEST(PortRates, AFileItCannotReadIsLeftAsItIs) {
    const struct {
        const char* name;
        std::string content; // "" with `folder`: a folder stands there
        bool folder;
        std::optional<int> rate; // read back for /dev/ttyA
        bool written;            // remember("/dev/ttyB", 3) changes the file
    } cases[] = {
        {"Missing", "", false, std::nullopt, true},
        {"Rate115200", "/dev/ttyA 4\n", false, 4, true},
        {"Rate9600", "/dev/ttyZ 2\n/dev/ttyA 0\n", false, 0, true},
        {"RateOutOfRange", "/dev/ttyA 5\n", false, std::nullopt, false},
        {"Damaged", "/dev/ttyA 4\n\x7f\x45LF\x02\n", false, std::nullopt, false},
        {"NulInAName", std::string("/dev/tty\0A 4\n", 13), false, std::nullopt, false},
        {"NoRateOnALine", "/dev/ttyA\n", false, std::nullopt, false},
        {"Folder", "", true, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = dir.file("tessadorn.ports");
        if (c.folder)
            std::filesystem::create_directory(path);
        else if (c.name != std::string("Missing"))
            test::writeBytes(path, c.content);
        PortRates rates(path, AtomicFile::standard());
        EXPECT_EQ(rates.rateFor("/dev/ttyA"), c.rate);
        std::string why;
        EXPECT_EQ(rates.remember("/dev/ttyB", 3, &why), c.written);
        if (c.written) {
            EXPECT_EQ(test::readBytes(path), c.content + "/dev/ttyB 3\n");
            EXPECT_EQ(why, "");
        } else {
            EXPECT_EQ(why.rfind(path, 0), 0u) << why;
            EXPECT_NE(why.find("left as it is"), std::string::npos) << why;
            if (!c.folder) {
                EXPECT_EQ(test::readBytes(path), c.content);
            }
            EXPECT_EQ(rates.rateFor("/dev/ttyB"), std::nullopt);
        }
    }
}

// Commands on several ports sharing the folder, at once: every port's line is kept.
TEST(PortRates, RatesRememberedAtOnceAreAllKept) {
    test::TempDir dir;
    constexpr int kPorts = 6;
    std::vector<std::thread> runs;
    for (int p = 0; p < kPorts; ++p)
        runs.emplace_back([&dir, p] {
            PortRates rates(dir.file("tessadorn.ports"), AtomicFile::standard());
            for (int i = 0; i < 12; ++i)
                rates.remember("/dev/ttyUSB" + std::to_string(p), (p + i) % 5);
        });
    for (auto& run : runs)
        run.join();
    PortRates rates(dir.file("tessadorn.ports"), AtomicFile::standard());
    for (int p = 0; p < kPorts; ++p)
        EXPECT_EQ(rates.rateFor("/dev/ttyUSB" + std::to_string(p)), (p + 11) % 5) << p;
}

} // namespace
} // namespace tessadorn
