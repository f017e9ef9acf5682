#pragma once

#include <string>
#include <vector>

namespace tessadorn {

// A serial device the system has, with the stable names udev gives USB adapters.
struct SerialDevice {
    std::string path;              // /dev/ttyUSB0
    std::vector<std::string> byId; // /dev/serial/by-id/usb-..., sorted; empty for a built-in port
    // Links of this program's own udev rule (/dev/tessadorn-SERIAL), sorted.
    std::vector<std::string> links;
    // The USB adapter, from sysfs; empty for a built-in port.
    std::string vendorId;  // "0403"
    std::string productId; // "6001"
    std::string maker;     // "FTDI"
    std::string model;     // "FT232R USB UART"
    std::string serial;    // "A1234"
    // The processes that have it open, as "ModemManager (process 812)".
    std::vector<std::string> holders;

    // The name to use: the first stable name, else the path.
    const std::string& stableName() const;
    // One line for a list of ports: the stable names first, then the path, the adapter, and
    // who holds it.
    std::string describe() const;
};

// Finds the serial devices of this machine: the terminals in sysfs that belong to a device
// (built-in UARTs that only the legacy 8250 driver claims are placeholders and left out) and
// every USB adapter under /dev/serial/by-id. The folders are parameters so that a test can
// lay out a machine of its own.
class SerialPortFinder {
  public:
    static constexpr const char* kFallbackPort = "/dev/ttyS0";
    // The link this program's udev rule makes: /dev/tessadorn-SERIAL.
    static constexpr const char* kLinkPrefix = "tessadorn-";

    SerialPortFinder(std::string byIdFolder = "/dev/serial/by-id",
                     std::string sysTtyFolder = "/sys/class/tty", std::string devFolder = "/dev",
                     std::string procFolder = "/proc");

    // Devices with stable names first, each part sorted by path.
    std::vector<SerialDevice> devices() const;

    // The port to use when none is given: the stable name of the USB serial adapter when exactly
    // one is plugged in (the /dev/tessadorn-SERIAL link of this program's rule, else its by-id
    // name), otherwise /dev/ttyS0.
    std::string defaultPort() const;

    // The udev rule that keeps ModemManager away from `device` and links it as
    // /dev/tessadorn-SERIAL, matched on its USB serial number; empty with the reason in `why`
    // when it has none (or one that a rule cannot carry).
    static std::string udevRule(const SerialDevice& device, std::string& why);
    // The rules for every USB adapter among `devices`, after a line that says where they go;
    // empty, with the reason in `why`, when no adapter can have one.
    static std::string udevRules(const std::vector<SerialDevice>& devices, std::string& why);
    static constexpr const char* kRulesFile = "/etc/udev/rules.d/70-tessadorn.rules";

  private:
    // by-id link name -> the device it points to (canonical path).
    std::vector<std::pair<std::string, std::string>> byIdLinks() const;
    // The USB device above the terminal `name` in sysfs.
    void readUsb(const std::string& name, SerialDevice& device) const;

    std::string m_ByIdFolder;
    std::string m_SysTtyFolder;
    std::string m_DevFolder;
    std::string m_ProcFolder;
};

} // namespace tessadorn
