#pragma once

#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessadorn {

// The program's only path to the modem: one serial port, written with whole commands, and its
// bytes handed to the readers one at a time. Replies are recognised by scanning the byte stream
// for fixed tokens.
//
// A read takes what the port holds in one call into the channel's buffer, and the readers are
// handed bytes from it: each byte counts as one read toward a reader's limit, as if read alone,
// and an empty read is still a read of the port that brought nothing within its time-out. Bytes
// a reader did not take stay for the next one; opening, closing and purging drop them with what
// the port holds.
//
// Every reader stops at the first of: a token completed, its read limit, or its limit of empty
// reads (a read that brought no byte within the port's time-out). Empty reads count toward the
// read limit too. Readers return 0 when nothing was recognised. Every reader also stops, with
// 0, as soon as the port reports its device gone: no answer can come any more, and each step
// of a dialog shows its own error at once instead of after its silence.
//
// The channel has no lock; only one thread may use it at a time (see PauseSection).
class SerialChannel {
  public:
    static constexpr int kDefaultReadLimit = 500;
    static constexpr int kEmptyReadLimit = 5;
    static constexpr int kOneOfFiveEmptyLimit = 240;
    static constexpr int kOneOfFiveLimitedEmptyLimit = 120;
    static constexpr int kWriteSettleMs = 300;
    static constexpr int kYieldStepMs = 50;
    static constexpr int kBlockRetryMs = 1000;
    static constexpr int kBlockReads = 5;
    static constexpr std::size_t kCaptureCut = 5;
    // The most one read of the port takes: about 90 ms of the line at 115200 bit/s.
    static constexpr std::size_t kBufferSize = 1024;

    SerialChannel(SerialPort& port, Clock& clock);

    // Opens at the rate of the baud index (an index without a row gives 38400) and remembers
    // that rate's index, whoever opened the port: the monitor's scan, the GPS dialog, the update.
    // The channel is the one place that holds the rate the link runs at. Refused (0) once the
    // abort flag is up.
    int Open(int baudIndex);
    void Close();
    // Moves the open port to another rate without closing it, as a remote port does in band:
    // 1 moved, 0 refused or the connection gone, -1 when the port is closed or changes its
    // rate only by a new open (a local device).
    int ChangeRateInBand(int baudIndex);
    // The baud index a port fixed at one rate runs at (a raw TCP port), else -1: the search
    // tries no other.
    int FixedIndex() const { return m_Port.fixedBaudIndex(); }
    // The remote address of a port on another computer; empty for a local device.
    std::string RemoteAddress() const { return m_Port.remoteAddress(); }
    bool IsOpen() const { return m_Port.isOpen(); }
    // Baud index of the rate the port was last opened at; -1 before the first open.
    // Any thread may ask.
    int OpenIndex() const { return m_OpenIndex.load(); }

    // Writes the command as it is (it carries its own CR LF), logs "OK CMD: <command>" and
    // waits 300 ms, and on a remote port its round trip besides: the wait counts from when the
    // command can have reached the modem and its answer come back. The receive buffer is left
    // alone. Once the abort flag is set nothing is written.
    void WriteCommand(std::string_view command);

    int WaitToken(std::string_view token);
    int WaitTokenLimited(std::string_view token, int readLimit);
    int WaitEither(std::string_view token1, std::string_view token2, int readLimit);
    int WaitOneOfFive(const std::array<std::string_view, 5>& tokens);
    int WaitOneOfFiveLimited(const std::array<std::string_view, 5>& tokens, int readLimit);

    // Keep the text between the last start token and the end token, less the last 5 bytes (the
    // "<OK\r\n" every caller ends with). `capacity` is the caller's buffer size including its
    // terminator: at most capacity - 1 bytes are kept. Capture drops NUL bytes.
    int CaptureLimited(std::string_view start, std::string_view end, std::string& out,
                       std::size_t capacity, int readLimit);
    int Capture(std::string_view start, std::string_view end, std::string& out,
                std::size_t capacity);

    // Reads exactly `length` bytes in at most 5 reads, waiting 1000 ms after each read that did
    // not complete the block. 1 when complete.
    int ReadBlock(std::uint8_t* buffer, std::size_t length);
    // Takes up to `length` bytes: what the buffer holds, then one read of the port (at most
    // its read time-out). How many came.
    std::size_t ReadUpTo(std::uint8_t* buffer, std::size_t length);

    // Empties a busy line: purge, then read 1024-byte blocks until one brings `threshold`
    // bytes or fewer. Always 1.
    int Drain(std::size_t threshold);

    void PurgeReceive() {
        dropBuffered();
        m_Port.purgeReceive();
    }
    // Bytes read from the port that no reader has taken yet.
    std::size_t Buffered() const { return m_End - m_Next; }
    // Every byte read from the port since the channel was made: whether the modem said anything
    // at all over a run of failed exchanges.
    std::uint64_t BytesRead() const { return m_BytesRead.load(); }

    // When the flag is set every reader returns 0 at its next read and resend loops end: the
    // way out of an unanswered exchange when the program closes.
    // A write the other side does not drain ends at the flag too.
    void SetAbortFlag(const std::atomic<bool>* abort) {
        m_Abort = abort;
        m_Port.setAbortFlag(abort);
    }
    bool Aborted() const { return m_Abort != nullptr && m_Abort->load(); }
    const std::atomic<bool>* AbortFlag() const { return m_Abort; }

    // While a yield flag is set and raised, every reader returns 0 within a step of the port
    // and a resend loop ends: for the exchanges that may be cut short without harm (the search
    // for the modem, while nothing has answered at the rate being tried), so that a dialog
    // asking for the line gets it at once. nullptr takes it away. The thread that uses the
    // channel sets it, and takes it away before anyone else may use the channel.
    void SetYieldFlag(const std::atomic<bool>* yield) {
        m_Yield.store(yield);
        m_Port.setInterruptFlag(yield);
    }
    bool Yielded() const {
        const std::atomic<bool>* yield = m_Yield.load();
        return yield != nullptr && yield->load();
    }
    // An exchange must end now: the program closes, the line is wanted, or the device is gone.
    bool Interrupted() const { return Aborted() || Yielded() || DeviceGone(); }

    // The device behind the port (a pulled adapter, a stopped simulator).
    bool DeviceGone() const { return m_Port.deviceGone(); }
    bool DevicePresent() const { return m_Port.devicePresent(); }
    // Waits up to `ms` for the device to be there; true as soon as it is.
    bool WaitForDevice(int ms) { return m_Port.waitForDevice(ms); }
    // Closes the port and opens it again at the rate it was last opened at. 1 when open; 0 when
    // it never opened or cannot be opened now.
    int Reopen();

    Clock& clock() { return m_Clock; }

  private:
    // The next byte: from the buffer, else from one read of the port. False for an empty read.
    bool nextByte(std::uint8_t& byte);
    void dropBuffered() { m_Next = m_End = 0; }
    enum class Keep { None, All, SkipNul };
    int waitTokens(const std::array<std::string_view, 5>& tokens, std::size_t count, int readLimit,
                   int emptyLimit);
    int capture(std::string_view start, std::string_view end, std::string& out,
                std::size_t capacity, int readLimit, bool skipNul);

    SerialPort& m_Port;
    Clock& m_Clock;
    const std::atomic<bool>* m_Abort = nullptr;
    std::atomic<const std::atomic<bool>*> m_Yield{nullptr};
    std::atomic<int> m_OpenIndex{-1};
    std::array<std::uint8_t, kBufferSize> m_Buffer{};
    std::size_t m_Next = 0;
    std::size_t m_End = 0;
    std::atomic<std::uint64_t> m_BytesRead{0};
};

} // namespace tessadorn
