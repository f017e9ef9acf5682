// The port choice and the port list against a machine laid out in a temporary folder: device
// nodes, sysfs terminals and udev's by-id links.
#include "TempDir.h"

#include "platform/PortOpenFailure.h"
#include "platform/SerialPortFinder.h"
#include "platform/TermiosSerialPort.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <unistd.h>

namespace tessadorn {
namespace {

namespace fs = std::filesystem;

class FakeMachine {
  public:
    FakeMachine() {
        fs::create_directories(dev());
        fs::create_directories(sys());
        fs::create_directories(m_Dir.file("devices/serial8250"));
        fs::create_directories(m_Dir.file("devices/00:05"));
    }
    std::string dev() const { return m_Dir.file("dev"); }
    std::string sys() const { return m_Dir.file("sys"); }
    std::string byId() const { return m_Dir.file("dev/serial/by-id"); }

    // A terminal the kernel has; `driverDevice` is what its sysfs "device" link points to
    // ("" for a terminal without a device, such as a virtual console).
    void addTerminal(const std::string& name, const std::string& driverDevice) {
        test::writeBytes(dev() + "/" + name, "");
        fs::create_directories(sys() + "/" + name);
        if (!driverDevice.empty())
            fs::create_directory_symlink(m_Dir.file("devices/" + driverDevice),
                                         sys() + "/" + name + "/device");
    }
    void addById(const std::string& link, const std::string& target) {
        fs::create_directories(byId());
        fs::create_symlink("../../" + target, byId() + "/" + link);
    }
    SerialPortFinder finder() const { return SerialPortFinder(byId(), sys(), dev()); }
    std::string canonicalDev(const std::string& name) const {
        return fs::weakly_canonical(dev() + "/" + name).string();
    }

  private:
    test::TempDir m_Dir;
};

struct ChoiceCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> links; // by-id name -> device
    const char* expectedLink;                               // nullptr: /dev/ttyS0
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class PortChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(PortChoiceTest, UsesTheOneAdapterElseTheFirstBuiltInPort) {
    FakeMachine machine;
    machine.addTerminal("ttyUSB0", "00:05");
    machine.addTerminal("ttyUSB1", "00:05");
    for (const auto& [link, device] : GetParam().links)
        machine.addById(link, device);
    const std::string expected = GetParam().expectedLink
                                     ? machine.byId() + "/" + GetParam().expectedLink
                                     : std::string("/dev/ttyS0");
    EXPECT_EQ(machine.finder().defaultPort(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortChoiceTest,
    ::testing::Values(
        ChoiceCase{"NoByIdFolder", {}, nullptr},
        ChoiceCase{"OneAdapter", {{"usb-FTDI_A1-if00-port0", "ttyUSB0"}}, "usb-FTDI_A1-if00-port0"},
        ChoiceCase{"OneAdapterUnderTwoNames",
                   {{"usb-B-if00", "ttyUSB1"}, {"usb-A-if00", "ttyUSB1"}},
                   "usb-A-if00"},
        ChoiceCase{"TwoAdapters", {{"usb-A-if00", "ttyUSB0"}, {"usb-B-if00", "ttyUSB1"}}, nullptr},
        ChoiceCase{"OnlyADanglingLink", {{"usb-Gone-if00", "ttyUSB9"}}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SerialPortFinder, ListsRealTerminalsWithTheirByIdNames) {
    FakeMachine machine;
    machine.addTerminal("ttyS0", "00:05");      // a UART on the board
    machine.addTerminal("ttyS1", "serial8250"); // a placeholder
    machine.addTerminal("tty0", "");            // a virtual console
    machine.addTerminal("ttyACM0", "00:05");
    machine.addTerminal("ttyUSB0", "00:05");
    machine.addById("usb-B-if00", "ttyUSB0");
    machine.addById("usb-A-if00", "ttyUSB0");
    machine.addById("usb-Gone-if00", "ttyUSB7");

    const auto devices = machine.finder().devices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].path, machine.canonicalDev("ttyACM0"));
    EXPECT_TRUE(devices[0].byId.empty());
    EXPECT_EQ(devices[1].path, machine.canonicalDev("ttyS0"));
    EXPECT_EQ(devices[2].path, machine.canonicalDev("ttyUSB0"));
    EXPECT_EQ(devices[2].byId, (std::vector<std::string>{machine.byId() + "/usb-A-if00",
                                                         machine.byId() + "/usb-B-if00"}));
}

TEST(SerialPortFinder, NothingFoundOnAMachineWithoutSerialDevices) {
    test::TempDir empty;
    EXPECT_TRUE(SerialPortFinder(empty.file("none"), empty.file("none"), "/dev").devices().empty());
}

TEST(PortOpenFailure, EveryReasonNamesThePathTheSystemsWordsAndWhatToDo) {
    test::TempDir dir;
    const std::string device = dir.file("ttyUSB0");
    test::writeBytes(device, "");
    group* own = getgrgid(getegid());
    ASSERT_NE(own, nullptr);
    const std::string groupName = own->gr_name;

    struct Case {
        int error;
        std::string hint;
    };
    for (const Case& c : {Case{EACCES, "group \"" + groupName + "\""},
                          Case{EACCES, "usermod -aG " + groupName + " $USER"},
                          Case{ENOENT, "--list-ports"}, Case{EBUSY, "Another program"},
                          Case{ENOTTY, "not a serial device"}, Case{EIO, std::strerror(EIO)}}) {
        const std::string text = describePortOpenFailure(device, c.error);
        EXPECT_NE(text.find(device), std::string::npos) << text;
        EXPECT_NE(text.find(std::strerror(c.error)), std::string::npos) << text;
        EXPECT_NE(text.find(c.hint), std::string::npos) << text;
    }
}

TEST(PortOpenFailure, ThePortKeepsTheReasonOfItsLastFailedOpen) {
    test::TempDir dir;
    TermiosSerialPort missing(dir.file("ttyUSB9"));
    EXPECT_FALSE(missing.open(2));
    EXPECT_EQ(missing.openError(), ENOENT);

    test::writeBytes(dir.file("plain"), "");
    TermiosSerialPort plain(dir.file("plain"));
    EXPECT_FALSE(plain.open(2));
    EXPECT_EQ(plain.openError(), ENOTTY);
}

} // namespace
} // namespace tessadorn
