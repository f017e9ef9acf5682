#pragma once

#include <string>
#include <vector>

namespace tessadorn {

// A serial device the system has, with the stable names udev gives USB adapters.
struct SerialDevice {
    std::string path;              // /dev/ttyUSB0
    std::vector<std::string> byId; // /dev/serial/by-id/usb-..., sorted; empty for a built-in port
};

// Finds the serial devices of this machine: the terminals in sysfs that belong to a device
// (built-in UARTs that only the legacy 8250 driver claims are placeholders and left out) and
// every USB adapter under /dev/serial/by-id. The folders are parameters so that a test can
// lay out a machine of its own.
class SerialPortFinder {
  public:
    static constexpr const char* kFallbackPort = "/dev/ttyS0";

    SerialPortFinder(std::string byIdFolder = "/dev/serial/by-id",
                     std::string sysTtyFolder = "/sys/class/tty", std::string devFolder = "/dev");

    // Sorted by path.
    std::vector<SerialDevice> devices() const;

    // The port to use when none is given: the by-id name of the USB serial adapter when exactly
    // one is plugged in, otherwise /dev/ttyS0.
    std::string defaultPort() const;

  private:
    // by-id link name -> the device it points to (canonical path).
    std::vector<std::pair<std::string, std::string>> byIdLinks() const;

    std::string m_ByIdFolder;
    std::string m_SysTtyFolder;
    std::string m_DevFolder;
};

} // namespace tessadorn
