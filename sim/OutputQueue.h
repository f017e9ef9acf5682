#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace tessadorn::sim {

// The bytes the modem is sending, each with the moment it has fully arrived on the line and the
// baud index it was sent at. A receiver listening at another rate sees garbage instead.
// Times are microseconds on the modem's clock.
class OutputQueue {
  public:
    static constexpr std::int64_t kNever = INT64_MAX;

    // Queues `bytes` to start at `startUs` (or after what is queued already). With pacing each
    // byte takes 10 bit times at the rate of `baudIndex`, plus `extraPerByteUs`. Returns the
    // moment the last byte has arrived.
    std::int64_t push(std::string_view bytes, std::int64_t startUs, int baudIndex, bool pacing,
                      std::int64_t extraPerByteUs);

    bool empty() const { return m_Bytes.empty(); }
    std::size_t size() const { return m_Bytes.size(); }
    std::int64_t nextAtUs() const { return m_Bytes.empty() ? kNever : m_Bytes.front().atUs; }
    // When the queue has been sent completely (or `nowUs` when it is empty).
    std::int64_t idleAtUs(std::int64_t nowUs) const;

    // Takes the next byte as a receiver at `lineBaudIndex` sees it.
    std::uint8_t take(int lineBaudIndex);
    // Takes every byte that has arrived by `nowUs`.
    std::string takeDue(std::int64_t nowUs, int lineBaudIndex);
    // Drops the bytes that have arrived by `nowUs` (the receiver purged its buffer).
    void dropDue(std::int64_t nowUs);
    // Drops the bytes that would arrive after `atUs` (the modem stopped sending).
    void cutAfter(std::int64_t atUs);

    // Microseconds one byte takes on the line at the baud index.
    static std::int64_t byteTimeUs(int baudIndex);
    // What a receiver at the wrong rate makes of a byte: never a printable character.
    static std::uint8_t garble(std::uint8_t byte);

  private:
    struct Byte {
        std::uint8_t value;
        std::int8_t baudIndex;
        std::int64_t atUs;
    };
    std::deque<Byte> m_Bytes;
};

} // namespace tessadorn::sim
