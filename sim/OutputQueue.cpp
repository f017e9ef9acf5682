#include "OutputQueue.h"

#include "platform/SerialPort.h"

#include <algorithm>

namespace tessadorn::sim {

std::int64_t OutputQueue::byteTimeUs(int baudIndex) {
    // 10 bits a byte (start, 8 data, stop), rounded up.
    const std::int64_t rate = baudRateForIndex(baudIndex);
    return (10'000'000 + rate - 1) / rate;
}

std::uint8_t OutputQueue::garble(std::uint8_t byte) {
    // Sampling at the wrong rate smears the bits; keep the high bit set so that no token of the
    // protocol can ever be formed from it.
    return static_cast<std::uint8_t>(0x80 | ((byte * 37u + 11u) & 0x7f));
}

std::int64_t OutputQueue::push(std::string_view bytes, std::int64_t startUs, int baudIndex,
                               bool pacing, std::int64_t extraPerByteUs) {
    std::int64_t at = std::max(startUs, m_Bytes.empty() ? startUs : m_Bytes.back().atUs);
    const std::int64_t step = (pacing ? byteTimeUs(baudIndex) : 0) + extraPerByteUs;
    for (unsigned char c : bytes) {
        at += step;
        m_Bytes.push_back({c, static_cast<std::int8_t>(baudIndex), at});
    }
    return at;
}

std::int64_t OutputQueue::idleAtUs(std::int64_t nowUs) const {
    return m_Bytes.empty() ? nowUs : std::max(nowUs, m_Bytes.back().atUs);
}

std::uint8_t OutputQueue::take(int lineBaudIndex) {
    const Byte b = m_Bytes.front();
    m_Bytes.pop_front();
    return b.baudIndex == lineBaudIndex ? b.value : garble(b.value);
}

std::string OutputQueue::takeDue(std::int64_t nowUs, int lineBaudIndex) {
    std::string out;
    while (!m_Bytes.empty() && m_Bytes.front().atUs <= nowUs)
        out.push_back(static_cast<char>(take(lineBaudIndex)));
    return out;
}

void OutputQueue::dropDue(std::int64_t nowUs) {
    while (!m_Bytes.empty() && m_Bytes.front().atUs <= nowUs)
        m_Bytes.pop_front();
}

void OutputQueue::cutAfter(std::int64_t atUs) {
    while (!m_Bytes.empty() && m_Bytes.back().atUs > atUs)
        m_Bytes.pop_back();
}

} // namespace tessadorn::sim
