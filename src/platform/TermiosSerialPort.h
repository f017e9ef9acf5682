#pragma once

#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <string>

namespace tessadorn {

// "COM1:" on a POSIX system: a terminal device (a real serial port or a pseudo-terminal) in
// exclusive use, raw 8N1, no parity checking, no hardware or software flow control, DTR and RTS
// dropped where the device has modem lines. Reads wait at most 500 ms in total; writes wait as
// long as the device needs, or until the abort flag is set. A device that went away (hang-up, EIO)
// gives empty reads that still take their time-out, and swallows writes.
//
// Open, close and the data calls are meant for one thread at a time (the link's rule), but
// isOpen() may be asked from anywhere.
class TermiosSerialPort final : public SerialPort {
  public:
    explicit TermiosSerialPort(std::string devicePath, Clock& clock = RealClock::instance());
    ~TermiosSerialPort() override;

    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

    bool open(int baudIndex) override;
    void close() override;
    bool isOpen() const override { return m_Fd.load() >= 0; }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override;
    void write(const std::uint8_t* data, std::size_t length) override;
    void purgeReceive() override;
    void setAbortFlag(const std::atomic<bool>* abort) override { m_Abort.store(abort); }

    // How often a blocked write looks at the abort flag.
    static constexpr int kWriteWaitStepMs = 100;

    const std::string& devicePath() const { return m_Path; }
    // True once the device hung up or failed with an I/O error since it was opened.
    bool deviceGone() const override { return m_Gone.load(); }
    // The errno of the last failed open (ENOTTY for a file that is no terminal), 0 after a
    // successful one.
    int openError() const { return m_OpenError.load(); }

  private:
    std::string m_Path;
    Clock& m_Clock;
    std::atomic<int> m_Fd{-1};
    std::atomic<bool> m_Gone{false};
    std::atomic<int> m_OpenError{0};
    std::atomic<const std::atomic<bool>*> m_Abort{nullptr};
};

} // namespace tessadorn
