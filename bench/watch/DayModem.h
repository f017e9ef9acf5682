#pragma once

#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn::bench {

// A rover on a serial port in virtual time, through a simulated day: its signal wanders between
// 1 and 4 by the hour, the SIM drops out now and then, its caster connection runs most of the
// day, and the adapter is pulled twice (the port's device goes away and comes back). Replies
// come 20 ms after the command, a byte per 0.26 ms (38400 bit/s). Nothing is recorded, so the
// port's own memory stays flat however long it runs. One thread only.
class DayModem final : public SerialPort {
  public:
    static constexpr std::int64_t kReplyDelayMs = 20;

    // `startMs` is where the day starts on the clock.
    DayModem(VirtualClock& clock, std::int64_t startMs);

    bool open(int baudIndex) override;
    void close() override { m_Open = false; }
    bool isOpen() const override { return m_Open; }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override;
    void write(const std::uint8_t* data, std::size_t length) override;
    void purgeReceive() override { m_Out.clear(); }
    bool deviceGone() const override { return m_Gone; }
    bool devicePresent() const override;
    bool waitForDevice(int timeoutMs) override;

    std::uint64_t commands() const { return m_Commands; }
    // Polls: APN or signal queries, or the one after the other.
    std::uint64_t polls() const { return m_Polls; }
    std::uint64_t bytesOut() const { return m_BytesOut; }
    std::uint64_t bytesIn() const { return m_BytesIn; }
    // When the adapter is away, from the day's start.
    struct Absence {
        std::int64_t fromMs, toMs;
    };
    static const std::vector<Absence>& absences();

  private:
    std::string reply(std::string_view command);
    std::int64_t dayMs() const { return m_Clock.nowMs() - m_StartMs; }

    VirtualClock& m_Clock;
    std::int64_t m_StartMs;
    bool m_Open = false;
    bool m_Gone = false;
    bool m_LastWasApn = false;
    std::string m_Line;
    struct Byte {
        std::uint8_t value;
        std::int64_t at;
    };
    std::deque<Byte> m_Out;
    std::uint64_t m_Commands = 0, m_BytesOut = 0, m_BytesIn = 0, m_Polls = 0;
};

} // namespace tessadorn::bench
