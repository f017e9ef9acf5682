#include "SimModemPeer.h"

namespace tessadorn::test {

void SimModemPeer::received(std::string_view bytes, int baudIndex, std::int64_t nowMs) {
    m_Modem.feed(bytes, baudIndex, nowMs);
}

std::int64_t SimModemPeer::readyAt(int baudIndex) {
    m_LineBaudIndex = baudIndex;
    const std::int64_t at = m_Modem.nextOutputMs();
    return at == sim::OutputQueue::kNever ? kNever : at;
}

std::uint8_t SimModemPeer::take() {
    return m_Modem.takeByte(m_LineBaudIndex);
}

void SimModemPeer::purged(int, std::int64_t nowMs) {
    m_Modem.purged(nowMs);
}

} // namespace tessadorn::test
