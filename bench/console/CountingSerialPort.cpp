#include "CountingSerialPort.h"

namespace tessadorn::bench {

std::size_t CountingSerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t got = m_Inner.read(buffer, capacity);
    m_Reads.fetch_add(1);
    if (got == 0) m_EmptyReads.fetch_add(1);
    m_BytesRead.fetch_add(static_cast<std::int64_t>(got));
    return got;
}

std::size_t CountingSerialPort::readAvailable(std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t got = m_Inner.readAvailable(buffer, capacity);
    m_Reads.fetch_add(1);
    if (got == 0) m_EmptyReads.fetch_add(1);
    m_BytesRead.fetch_add(static_cast<std::int64_t>(got));
    return got;
}

void CountingSerialPort::write(const std::uint8_t* data, std::size_t length) {
    m_Writes.fetch_add(1);
    m_BytesWritten.fetch_add(static_cast<std::int64_t>(length));
    m_Inner.write(data, length);
}

void CountingSerialPort::purgeReceive() {
    m_Purges.fetch_add(1);
    m_Inner.purgeReceive();
}

CountingSerialPort::Counts CountingSerialPort::counts() const {
    Counts c;
    c.writes = m_Writes.load();
    c.bytesWritten = m_BytesWritten.load();
    c.bytesRead = m_BytesRead.load();
    c.reads = m_Reads.load();
    c.emptyReads = m_EmptyReads.load();
    c.purges = m_Purges.load();
    return c;
}

CountingSerialPort::Counts operator-(const CountingSerialPort::Counts& b,
                                     const CountingSerialPort::Counts& a) {
    CountingSerialPort::Counts d;
    d.writes = b.writes - a.writes;
    d.bytesWritten = b.bytesWritten - a.bytesWritten;
    d.bytesRead = b.bytesRead - a.bytesRead;
    d.reads = b.reads - a.reads;
    d.emptyReads = b.emptyReads - a.emptyReads;
    d.purges = b.purges - a.purges;
    return d;
}

} // namespace tessadorn::bench
