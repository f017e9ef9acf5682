#pragma once

#include "platform/TermiosSerialPort.h"

#include <atomic>
#include <functional>
#include <string>

namespace tessadorn {

// The modem's port as the program uses it: a TermiosSerialPort that says, through `report`,
// why it cannot be opened (once per run of failures) and that its device went away (once each
// time), and remembers whether the last open failed, so that the program can end with a
// failure status.
class ReportingSerialPort final : public SerialPort {
  public:
    ReportingSerialPort(std::string devicePath, std::function<void(const std::string&)> report);

    bool open(int baudIndex) override;
    void close() override { m_Port.close(); }
    bool isOpen() const override { return m_Port.isOpen(); }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override;
    void write(const std::uint8_t* data, std::size_t length) override;
    void purgeReceive() override { m_Port.purgeReceive(); }
    void setAbortFlag(const std::atomic<bool>* abort) override { m_Port.setAbortFlag(abort); }
    void setInterruptFlag(const std::atomic<bool>* interrupt) override {
        m_Port.setInterruptFlag(interrupt);
    }
    bool deviceGone() const override { return m_Port.deviceGone(); }
    bool devicePresent() const override { return m_Port.devicePresent(); }
    bool waitForDevice(int timeoutMs) override { return m_Port.waitForDevice(timeoutMs); }

    // The next open uses `path` (a restarted simulator's new pseudo-terminal); any thread.
    void setDevicePath(std::string path) { m_Port.setDevicePath(std::move(path)); }
    std::string devicePath() const { return m_Port.devicePath(); }

    // True when the last open failed.
    bool openFailed() const { return m_Failed.load(); }

  private:
    void noticeGone();

    TermiosSerialPort m_Port;
    std::function<void(const std::string&)> m_Report;
    std::atomic<bool> m_Failed{false};
    std::atomic<bool> m_GoneReported{false};
};

} // namespace tessadorn
