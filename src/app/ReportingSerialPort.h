#pragma once

#include "platform/TermiosSerialPort.h"

#include <atomic>
#include <functional>
#include <string>

namespace tessadorn {

// The modem's port as the program uses it: a TermiosSerialPort that says why, when it cannot be
// opened (once per run of failures, through `report`), and remembers whether the last open
// failed, so that the program can end with a failure status.
class ReportingSerialPort final : public SerialPort {
  public:
    ReportingSerialPort(std::string devicePath, std::function<void(const std::string&)> report);

    bool open(int baudIndex) override;
    void close() override { m_Port.close(); }
    bool isOpen() const override { return m_Port.isOpen(); }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override {
        return m_Port.read(buffer, capacity);
    }
    void write(const std::uint8_t* data, std::size_t length) override {
        m_Port.write(data, length);
    }
    void purgeReceive() override { m_Port.purgeReceive(); }

    // True when the last open failed.
    bool openFailed() const { return m_Failed.load(); }

  private:
    TermiosSerialPort m_Port;
    std::function<void(const std::string&)> m_Report;
    std::atomic<bool> m_Failed{false};
};

} // namespace tessadorn
