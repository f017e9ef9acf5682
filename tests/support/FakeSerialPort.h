#pragma once

#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn::test {

// The other end of a FakeSerialPort: what the program writes goes to received(); the port asks
// readyAt() when the peer's next byte is there and takes it with take().
class SerialPeer {
  public:
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
    virtual ~SerialPeer() = default;
    virtual void received(std::string_view bytes, int baudIndex, std::int64_t nowMs) = 0;
    virtual std::int64_t readyAt(int baudIndex) = 0;
    virtual std::uint8_t take() = 0;
    // The receive buffer was purged at `nowMs`: bytes ready by then are gone.
    virtual void purged(int baudIndex, std::int64_t nowMs) = 0;
};

// A serial port in virtual time. An empty read advances the clock by the read time-out; a byte
// that becomes ready within the time-out advances it to that moment. Everything written is
// recorded with the time and the rate it was written at.
class FakeSerialPort final : public SerialPort {
  public:
    struct Write {
        std::string bytes;
        int baudIndex;
        std::int64_t atMs;
    };

    FakeSerialPort(VirtualClock& clock, SerialPeer& peer) : m_Clock(clock), m_Peer(&peer) {}

    bool open(int baudIndex) override;
    void close() override;
    bool isOpen() const override { return m_Open; }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override;
    // Waits for the first byte as read() does, then takes the bytes ready by then.
    std::size_t readAvailable(std::uint8_t* buffer, std::size_t capacity) override;
    void write(const std::uint8_t* data, std::size_t length) override;
    void purgeReceive() override;
    bool deviceGone() const override { return m_Gone.load(); }
    void setInterruptFlag(const std::atomic<bool>* interrupt) override {
        m_Interrupt.store(interrupt);
    }
    bool devicePresent() const override;
    // Waits in virtual time, in steps of kDeviceStepMs.
    bool waitForDevice(int timeoutMs) override;
    static constexpr int kDeviceStepMs = 50;

    // Test knobs.
    void failOpen(bool fail) { m_FailOpen = fail; }
    void failOpenAt(int baudIndex) { m_FailOpenIndex = baudIndex; }
    // The device goes away while open: reads stay empty until the next open.
    void goAway() { m_Gone = true; }
    // The adapter is pulled at virtual time `fromMs` and plugged in again at `toMs`: an open port
    // notices at that moment (a read ends there) and closes; the device cannot be opened until
    // it is back. Set before the port is used.
    void absentBetween(std::int64_t fromMs, std::int64_t toMs) {
        m_AbsentFrom = fromMs;
        m_AbsentTo = toMs;
    }
    // Called once, from the read that reaches virtual time `atMs` (before it waits on).
    void atTime(std::int64_t atMs, std::function<void()> call) {
        m_CallAt = atMs;
        m_Call = std::move(call);
    }
    // A remote port's ways: the rate changed in band on the open port, a far end fixed at one
    // rate, answers a round trip later.
    void changesRateInBand(bool yes) { m_InBand = yes; }
    void fixAt(int baudIndex) { m_Fixed = baudIndex; }
    void setRoundTrip(int ms) { m_RoundTrip = ms; }
    int changeRate(int baudIndex) override {
        if (!m_InBand) return -1;
        if (!m_Open || m_Gone) return 0;
        m_BaudIndex = baudIndex;
        ++m_RateChanges;
        return 1;
    }
    int fixedBaudIndex() const override { return m_Fixed; }
    int roundTripMs() const override { return m_RoundTrip; }
    int rateChanges() const { return m_RateChanges; }

    int baudIndex() const { return m_BaudIndex; }
    int opens() const { return m_Opens; }
    int purges() const { return m_Purges; }
    int emptyReads() const { return m_EmptyReads; }
    std::vector<Write> writes() const;
    // Every byte written, in order.
    std::string written() const;
    // How many times `command` was written whole.
    int count(std::string_view command) const;

  private:
    VirtualClock& m_Clock;
    SerialPeer* m_Peer;
    bool m_Open = false;
    bool m_FailOpen = false;
    std::atomic<bool> m_Gone{false};
    std::atomic<const std::atomic<bool>*> m_Interrupt{nullptr};
    std::int64_t m_AbsentFrom = kNoTime;
    std::int64_t m_AbsentTo = kNoTime;
    std::int64_t m_CallAt = kNoTime;
    std::function<void()> m_Call;
    static constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::max();
    bool interrupted() const {
        const std::atomic<bool>* f = m_Interrupt.load();
        return f != nullptr && f->load();
    }
    int m_FailOpenIndex = -100;
    bool m_InBand = false;
    int m_Fixed = -1;
    int m_RoundTrip = 0;
    int m_RateChanges = 0;
    int m_BaudIndex = -1;
    int m_Opens = 0;
    int m_Purges = 0;
    int m_EmptyReads = 0;
    mutable std::mutex m_Mutex;
    std::vector<Write> m_Writes;
};

// A modem made of rules: when the program writes a command, the first rule for it answers with
// its reply (or with one of its replies in turn), delivered at line rate after a delay. Bytes can
// also be queued directly, with gaps of silence between them.
class ScriptedModem final : public SerialPeer {
  public:
    struct Rule {
        std::string command;              // exact command text, written whole
        std::vector<std::string> replies; // used in turn; the last repeats
        int onlyAtBaud = -1;              // answer only at this baud index (-1: any)
        int delayMs = 0;                  // from the end of the write to the first byte
        int times = -1;                   // how many times the rule answers (-1: always)
        int used = 0;
    };

    // Byte pacing: 0 delivers bytes back to back without time.
    explicit ScriptedModem(int msPerByte = 0) : m_MsPerByte(msPerByte) {}

    Rule& on(std::string command, std::string reply);
    Rule& on(std::string command, std::vector<std::string> replies);
    // Queues bytes that arrive `afterMs` after the latest queued byte (or now).
    void push(std::string_view bytes, std::int64_t atMs);
    void setUnmatched(std::function<void(std::string_view, int, std::int64_t)> f) {
        m_Unmatched = std::move(f);
    }

    void received(std::string_view bytes, int baudIndex, std::int64_t nowMs) override;
    std::int64_t readyAt(int baudIndex) override;
    std::uint8_t take() override;
    void purged(int baudIndex, std::int64_t nowMs) override;

    std::size_t pending() const { return m_Out.size(); }
    // Bytes of replies given from now on arrive this many milliseconds apart.
    void setPace(int msPerByte) { m_MsPerByte = msPerByte; }

  private:
    struct Byte {
        std::uint8_t value;
        std::int64_t at;
    };
    void respond(std::string_view reply, std::int64_t at);

    int m_MsPerByte;
    std::vector<Rule> m_Rules;
    std::deque<Byte> m_Out;
    std::function<void(std::string_view, int, std::int64_t)> m_Unmatched;
};

// A peer in front of another that notes, with every command written, what `probe` says at that
// moment (whether the monitor is parked and the wait cursor shows, say).
class ProbingPeer final : public SerialPeer {
  public:
    explicit ProbingPeer(SerialPeer& inner) : m_Inner(inner) {}
    // Any thread may write while the probe changes: it is set under the lock.
    void setProbe(std::function<bool()> probe);

    void received(std::string_view bytes, int baudIndex, std::int64_t nowMs) override;
    std::int64_t readyAt(int baudIndex) override { return m_Inner.readyAt(baudIndex); }
    std::uint8_t take() override { return m_Inner.take(); }
    void purged(int baudIndex, std::int64_t nowMs) override { m_Inner.purged(baudIndex, nowMs); }

    // How many times `command` was written while the probe said false.
    int failedFor(std::string_view command) const;
    // The commands written while the probe said false, in order.
    std::vector<std::string> failed() const;

  private:
    SerialPeer& m_Inner;
    mutable std::mutex m_Mutex;
    std::function<bool()> m_Probe;
    std::vector<std::string> m_Failed;
};

} // namespace tessadorn::test
