#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tessadorn {

// Every wait of the program goes through a clock, so that tests can run in virtual time.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual void sleepMs(int ms) = 0;
    // Milliseconds since an arbitrary start.
    virtual std::int64_t nowMs() const = 0;
};

class RealClock final : public Clock {
  public:
    void sleepMs(int ms) override;
    std::int64_t nowMs() const override;

    // The clock the program uses.
    static RealClock& instance();
};

// Time that only moves when somebody sleeps or advances it. Safe to share between threads:
// a sleep advances the common time by its duration.
class VirtualClock final : public Clock {
  public:
    void sleepMs(int ms) override { advance(ms); }
    std::int64_t nowMs() const override { return m_Now.load(); }
    void advance(std::int64_t ms) { m_Now.fetch_add(ms > 0 ? ms : 0); }
    // Moves the time forward to `t` (never backwards).
    void advanceTo(std::int64_t t);

  private:
    std::atomic<std::int64_t> m_Now{0};
};

} // namespace tessadorn
