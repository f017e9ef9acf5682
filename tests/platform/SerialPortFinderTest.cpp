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
    // A USB serial adapter as sysfs shows it: the terminal below the adapter's interface,
    // below the USB device that carries the maker, model and serial number.
    void addUsbTerminal(const std::string& name, const std::string& serial) {
        const std::string usb = m_Dir.file("devices/usb1/1-1");
        const std::string port = usb + "/1-1:1.0/" + name;
        fs::create_directories(port);
        for (const auto& [file, text] : {std::pair<std::string, std::string>{"idVendor", "0403"},
                                         {"idProduct", "6001"},
                                         {"manufacturer", "FTDI"},
                                         {"product", "FT232R USB UART"},
                                         {"serial", serial}})
            if (!text.empty()) test::writeBytes(usb + "/" + file, text + "\n");
        test::writeBytes(dev() + "/" + name, "");
        fs::create_directories(sys() + "/" + name);
        fs::create_directory_symlink(port, sys() + "/" + name + "/device");
    }
    void addLink(const std::string& link, const std::string& target) {
        fs::create_symlink(target, dev() + "/" + link);
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
    // Stable names first.
    EXPECT_EQ(devices[0].path, machine.canonicalDev("ttyUSB0"));
    EXPECT_EQ(devices[0].byId, (std::vector<std::string>{machine.byId() + "/usb-A-if00",
                                                         machine.byId() + "/usb-B-if00"}));
    EXPECT_EQ(devices[1].path, machine.canonicalDev("ttyACM0"));
    EXPECT_TRUE(devices[1].byId.empty());
    EXPECT_EQ(devices[2].path, machine.canonicalDev("ttyS0"));
}

// The adapter's maker, model and serial number come from sysfs, and the udev rule that keeps
// ModemManager away is made from them; an adapter without a serial number (or with one a rule
// cannot carry) gets no rule, and says why.
TEST(SerialPortFinder, TheUdevRuleIsMadeFromTheAdaptersSerialNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"A10K3Q7Z", "A10K3Q7Z"}, {"12:34 ab", "12_34_ab"}, {"", nullptr}, {"A\"1", nullptr}};
    for (const auto& [serial, link] : cases) {
        SCOPED_TRACE(serial);
        FakeMachine machine;
        machine.addUsbTerminal("ttyUSB0", serial);
        machine.addById("usb-FTDI_FT232R_USB_UART-if00-port0", "ttyUSB0");
        machine.addLink("tessadorn-A10K3Q7Z", "ttyUSB0");
        const auto devices = machine.finder().devices();
        ASSERT_EQ(devices.size(), 1u);
        const SerialDevice& d = devices[0];
        EXPECT_EQ(d.maker + "/" + d.model + "/" + d.serial,
                  "FTDI/FT232R USB UART/" + std::string(serial));
        EXPECT_EQ(d.stableName(), machine.dev() + "/tessadorn-A10K3Q7Z");
        EXPECT_EQ(machine.finder().defaultPort(), d.stableName());
        std::string why;
        const std::string rule = SerialPortFinder::udevRule(d, why);
        const std::string want =
            link ? "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", "
                   "ATTRS{serial}==\"" +
                       std::string(serial) +
                       "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\", SYMLINK+=\"tessadorn-" + link + "\"\n"
                 : "";
        EXPECT_EQ(rule.empty() ? rule : rule.substr(rule.find('\n') + 1), want);
        EXPECT_EQ(why.find(d.path) != std::string::npos, !link) << why;
    }
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

// The window and tessadornctl name the program that holds the port; a watch is told apart, with
// the way to stop it: its service where it runs as one, else the process.
TEST(PortOpenFailure, AWatchHoldingThePortIsNamedWithHowToStopIt) {
    struct Case {
        const char* name;
        std::string cmdline; // words separated by NUL
        const char* cgroup;
        const char* says;    // expected in the text, or nullptr
        const char* notSays; // not expected, or nullptr
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"tessadornctl", "tessadornctl\0--port\0/dev/ttyUSB0\0watch\0"s,
         "0::/system.slice/system-tessadorn\\x2dwatch.slice/tessadorn-watch@dev-ttyUSB0.service\n",
         "It is a watch of the modem: tessadornctl's commands on this port are run by it, but to "
         "use the port here, stop the watch first: sudo systemctl stop "
         "tessadorn-watch@dev-ttyUSB0.service",
         nullptr},
        {"tessadornctl", "tessadornctl\0--json\0watch\0"s, "0::/user.slice/session-3.scope\n",
         "stop the watch first: end it (kill 4242).", "systemctl"},
        {"tessadornctl", "tessadornctl\0status\0"s, "", nullptr, "watch"},
        {"minicom", "minicom\0watch\0"s, "", nullptr, "It is a watch"},
    };
    for (const Case& c : cases) {
        test::TempDir proc;
        std::filesystem::create_directories(proc.file("4242"));
        test::writeBytes(proc.file("4242/comm"), std::string(c.name) + "\n");
        test::writeBytes(proc.file("4242/cmdline"), c.cmdline);
        test::writeBytes(proc.file("4242/cgroup"), c.cgroup);
        const std::string text =
            describePortOpenFailure("/dev/ttyUSB0", EBUSY, 4242, proc.file(""));
        EXPECT_EQ(text.rfind("The port /dev/ttyUSB0 is in use by " + std::string(c.name) +
                                 " (process 4242).",
                             0),
                  0u)
            << text;
        if (c.says) {
            EXPECT_NE(text.find(c.says), std::string::npos) << text;
        }
        if (c.notSays) {
            EXPECT_EQ(text.find(c.notSays), std::string::npos) << text;
        }
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
