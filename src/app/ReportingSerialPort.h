#pragma once

#include "platform/SerialPort.h"
#include "platform/TermiosSerialPort.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tessadorn {

// The modem's port as the program uses it: the port its name gives (a local device, or a remote
// port through ser2net: see makeSerialPort) that says, through `report`,
// why it cannot be opened (once per run of failures) and that its device went away (once each
// time), and remembers whether the last open failed and whether any open succeeded, so that
// the program can end with a failure status when it never had its port.
class ReportingSerialPort final : public SerialPort {
  public:
    ReportingSerialPort(std::string devicePath, std::function<void(const std::string&)> report);

    bool open(int baudIndex) override;
    void close() override { m_Port->close(); }
    bool isOpen() const override { return m_Port->isOpen(); }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override;
    std::size_t readAvailable(std::uint8_t* buffer, std::size_t capacity) override;
    void write(const std::uint8_t* data, std::size_t length) override;
    void purgeReceive() override { m_Port->purgeReceive(); }
    void setAbortFlag(const std::atomic<bool>* abort) override { m_Port->setAbortFlag(abort); }
    void setInterruptFlag(const std::atomic<bool>* interrupt) override {
        m_Port->setInterruptFlag(interrupt);
    }
    bool deviceGone() const override { return m_Port->deviceGone(); }
    bool devicePresent() const override { return m_Port->devicePresent(); }
    bool waitForDevice(int timeoutMs) override { return m_Port->waitForDevice(timeoutMs); }
    int fixedBaudIndex() const override { return m_Port->fixedBaudIndex(); }
    int changeRate(int baudIndex) override;
    int roundTripMs() const override { return m_Port->roundTripMs(); }
    std::string openFailure() const override { return m_Port->openFailure(); }
    std::string goneMessage() const override { return m_Port->goneMessage(); }
    std::string remoteAddress() const override { return m_Port->remoteAddress(); }

    // The next open uses `path` (a restarted simulator's new pseudo-terminal); any thread. A
    // local device only.
    void setDevicePath(std::string path) {
        if (m_Local) m_Local->setDevicePath(std::move(path));
    }
    std::string devicePath() const { return m_Local ? m_Local->devicePath() : m_Name; }

    // The warning, once, when a password is sent to a remote port that is not on this computer.
    static std::string passwordWarning(const std::string& name);

    // True when the last open failed.
    bool openFailed() const { return m_Failed.load(); }
    // True until an open succeeds: the program never had its port.
    bool neverOpened() const { return !m_Opened.load(); }

  private:
    void noticeGone();
    void warnOfPasswordOnTheNetwork(const std::uint8_t* data, std::size_t length);

    std::string m_Name;
    std::unique_ptr<SerialPort> m_Port;
    TermiosSerialPort* m_Local = nullptr; // m_Port, when it is a local device
    std::function<void(const std::string&)> m_Report;
    std::atomic<bool> m_Failed{false};
    std::atomic<bool> m_Opened{false};
    std::atomic<bool> m_GoneReported{false};
    // A remote port off this computer: a password sent there crosses the network.
    bool m_OffThisComputer = false;
    std::atomic<bool> m_PasswordWarned{false};
};

} // namespace tessadorn
