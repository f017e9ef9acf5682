#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tessadorn {

// The handheld's serial port "COM1:" as the device link sees it.
//
// Reads wait at most the read time-out (500 ms in total per call) and return what arrived;
// a read that returns 0 bytes is an empty read. Writes have no time-out and their result is
// ignored by the link. A port that is closed, or whose device went away, gives empty reads
// (each still taking its time-out, so no caller can spin) and ignores writes.
class SerialPort {
  public:
    static constexpr int kReadTimeoutMs = 500;

    virtual ~SerialPort() = default;

    // Opens the port at the rate of the baud index (see baudRateForIndex). Returns false when the
    // device cannot be opened; a port that is already open is left as it is.
    virtual bool open(int baudIndex) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Reads until `capacity` bytes arrived or the read time-out (500 ms for the whole call)
    // passed, and returns how many arrived.
    virtual std::size_t read(std::uint8_t* buffer, std::size_t capacity) = 0;
    // Waits up to the read time-out for the first byte, then returns at once with it and what
    // else the port holds already, at most `capacity` bytes: the way to take a fast stream in
    // few calls. A port that cannot tell what it holds reads one byte.
    virtual std::size_t readAvailable(std::uint8_t* buffer, std::size_t capacity) {
        return read(buffer, capacity > 0 ? 1 : 0);
    }
    virtual void write(const std::uint8_t* data, std::size_t length) = 0;
    // Throws away whatever the port has received and not yet read.
    virtual void purgeReceive() = 0;
    // Once the flag is set, a write that the other side does not drain ends without the rest of
    // its bytes (a stalled adapter, a terminal nobody reads): the way out when the program
    // closes. The flag must outlive the port's use; nullptr takes it away.
    virtual void setAbortFlag(const std::atomic<bool>* /*abort*/) {}
    // Once this flag is set, a read stops waiting within kInterruptStepMs and returns what it
    // has: an empty read then ends before its time-out. The caller must not read again while
    // the flag stays set. nullptr takes it away.
    static constexpr int kInterruptStepMs = 100;
    virtual void setInterruptFlag(const std::atomic<bool>* /*interrupt*/) {}
    // True once the device went away while the port was open (a hang-up, an unplugged adapter):
    // nothing more can be read until the port is opened again.
    virtual bool deviceGone() const { return false; }

    // Where the device comes and goes (a pulled adapter, a restarted simulator). A port whose
    // device went away closes at once and keeps deviceGone() until it is opened again.
    //
    // True when the device the port names is there now (whether or not it could be opened).
    virtual bool devicePresent() const { return true; }
    // Waits up to `timeoutMs` for the device to be there; true as soon as it is.
    virtual bool waitForDevice(int /*timeoutMs*/) { return devicePresent(); }

    // A port whose rate is fixed at the far end (a raw TCP port): the baud index of that rate,
    // the only one it opens at. -1 for a port that sets its own rate.
    virtual int fixedBaudIndex() const { return -1; }
    // Moves an open port to another rate without closing it (a remote port, in band): 1 moved,
    // 0 refused or failed (see deviceGone()), -1 when the port changes its rate only by being
    // closed and opened again.
    virtual int changeRate(int /*baudIndex*/) { return -1; }
    // How much later than on a local line an answer can arrive: a remote port's measured
    // network round trip. 0 for a local device.
    virtual int roundTripMs() const { return 0; }
    // Why the last open failed, in words the user can act on; empty when it did not fail.
    virtual std::string openFailure() const { return {}; }
    // What the user is told when the device went away while open.
    virtual std::string goneMessage() const { return {}; }
    // The remote address the port reaches (rfc2217://host:port); empty for a local device.
    virtual std::string remoteAddress() const { return {}; }
};

// The link's rates, by baud index: the one table of rates in the program (the device profile
// keeps the index, the modem's "#COM" takes the rate).
inline constexpr std::array<int, 5> kBaudRates = {9600, 19200, 38400, 57600, 115200};
constexpr int kBaudIndexCount = static_cast<int>(kBaudRates.size());
// The rows by name.
constexpr int kBaud9600 = 0;
constexpr int kBaud19200 = 1;
constexpr int kBaud38400 = 2;
constexpr int kBaud57600 = 3;
constexpr int kBaud115200 = 4;

constexpr bool isBaudIndex(int baudIndex) {
    return baudIndex >= 0 && baudIndex < kBaudIndexCount;
}

// The rate of a baud index; 38400 for every value without a row.
constexpr int baudRateForIndex(int baudIndex) {
    return kBaudRates[static_cast<std::size_t>(isBaudIndex(baudIndex) ? baudIndex : kBaud38400)];
}

// The baud index of a rate, or -1 for a rate that has none.
constexpr int baudIndexForRate(int rate) {
    for (int i = 0; i < kBaudIndexCount; ++i)
        if (baudRateForIndex(i) == rate) return i;
    return -1;
}

} // namespace tessadorn
