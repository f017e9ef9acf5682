#pragma once

#include "platform/SerialPort.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tessadorn::bench {

// A serial port that passes everything through to the port it wraps and counts the traffic:
// the writes (each command goes out in one write), the bytes written and the bytes read. The
// counters may be read from any thread while the port is in use.
class CountingSerialPort final : public SerialPort {
  public:
    struct Counts {
        std::int64_t writes = 0;
        std::int64_t bytesWritten = 0;
        std::int64_t bytesRead = 0;
        std::int64_t reads = 0;      // read calls
        std::int64_t emptyReads = 0; // read calls that brought nothing
        std::int64_t purges = 0;
    };

    explicit CountingSerialPort(SerialPort& inner) : m_Inner(inner) {}

    bool open(int baudIndex) override { return m_Inner.open(baudIndex); }
    void close() override { m_Inner.close(); }
    bool isOpen() const override { return m_Inner.isOpen(); }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override;
    std::size_t readAvailable(std::uint8_t* buffer, std::size_t capacity) override;
    void write(const std::uint8_t* data, std::size_t length) override;
    void purgeReceive() override;

    Counts counts() const;

  private:
    SerialPort& m_Inner;
    std::atomic<std::int64_t> m_Writes{0};
    std::atomic<std::int64_t> m_BytesWritten{0};
    std::atomic<std::int64_t> m_BytesRead{0};
    std::atomic<std::int64_t> m_Reads{0};
    std::atomic<std::int64_t> m_EmptyReads{0};
    std::atomic<std::int64_t> m_Purges{0};
};

// b - a, counter by counter.
CountingSerialPort::Counts operator-(const CountingSerialPort::Counts& b,
                                     const CountingSerialPort::Counts& a);

} // namespace tessadorn::bench
