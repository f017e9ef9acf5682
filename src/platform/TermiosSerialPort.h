#pragma once

#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>

namespace tessadorn {

// "COM1:" on a POSIX system: a terminal device (a real serial port or a pseudo-terminal) in
// exclusive use, raw 8N1, no parity checking, no hardware or software flow control, DTR and RTS
// dropped where the device has modem lines. Reads wait at most 500 ms in total; writes wait as
// long as the device needs, or until the abort flag is set.
//
// One port, one program: the open takes a write lock on the whole device (a POSIX record lock,
// which names its holder) and TIOCEXCL; a device another program holds fails to open with EBUSY
// and holderPid() names that program's process where it can be found. Two ports of this
// program on one device are refused the same way.
//
// The device may go away while the port is open: a hang-up, a read or write error, or the path
// no longer naming the device that was opened (the node removed, a by-id link that points
// elsewhere, a new path given with setDevicePath). Then the port closes at once, so that the
// system can give a returning adapter its old name, and deviceGone() holds until the next open;
// reads stay empty (each still taking its time-out) and writes are swallowed.
//
// Open, close and the data calls are meant for one thread at a time (the link's rule);
// isOpen(), deviceGone(), devicePath() and setDevicePath() may be used from anywhere.
class TermiosSerialPort final : public SerialPort {
  public:
    explicit TermiosSerialPort(std::string devicePath, Clock& clock = RealClock::instance());
    ~TermiosSerialPort() override;

    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

    bool open(int baudIndex) override;
    void close() override;
    bool isOpen() const override { return m_Fd.load() >= 0; }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override;
    std::size_t readAvailable(std::uint8_t* buffer, std::size_t capacity) override;
    void write(const std::uint8_t* data, std::size_t length) override;
    void purgeReceive() override;
    void setAbortFlag(const std::atomic<bool>* abort) override { m_Abort.store(abort); }
    void setInterruptFlag(const std::atomic<bool>* interrupt) override {
        m_Interrupt.store(interrupt);
    }
    bool deviceGone() const override { return m_Gone.load(); }
    bool devicePresent() const override;
    bool waitForDevice(int timeoutMs) override;
    std::string openFailure() const override;
    std::string goneMessage() const override;

    // While bytes stream in (the last ones came less than kStreamGapMs before), a read for what
    // the port holds that finds fewer than kGatherBelow bytes waits up to kGatherMs for more, so
    // that a table at line rate costs one wake-up for a couple of hundred bytes rather than for
    // each few. The first read after a quiet line (a reply to a command) returns at once.
    static constexpr int kGatherMs = 20;
    static constexpr std::size_t kGatherBelow = 256;
    static constexpr int kStreamGapMs = 50;
    // How often a blocked write looks at the abort flag.
    static constexpr int kWriteWaitStepMs = 100;
    // How often an open port makes sure that its path still names the device it holds, and how
    // often waitForDevice() looks for it.
    static constexpr int kPresenceCheckMs = 100;
    static constexpr int kDeviceWaitStepMs = 50;

    // The path as given (a by-id link stays a link): the one the next open uses.
    std::string devicePath() const;
    // The next open uses `path`. An open port whose device the new path does not name counts
    // as gone at its next read or write.
    void setDevicePath(std::string path);
    // The path the port was last opened on (the device that went away, when deviceGone()).
    std::string openedPath() const;
    // The errno of the last failed open (ENOTTY for a file that is no terminal, EBUSY for a
    // device in use), 0 after a successful one.
    int openError() const { return m_OpenError.load(); }
    // The process that held the device when the last open failed with EBUSY, 0 when unknown.
    pid_t holderPid() const { return m_HolderPid.load(); }

  private:
    // Reads until `capacity` bytes came, or (with `firstOnly`) until the first read brought any.
    std::size_t readUpTo(std::uint8_t* buffer, std::size_t capacity, bool firstOnly);
    bool pathNamesOpenDevice(int fd);
    void deviceWentAway();
    void closeDescriptor();

    mutable std::mutex m_PathMutex;
    std::string m_Path;
    std::string m_OpenedPath;
    Clock& m_Clock;
    std::atomic<int> m_Fd{-1};
    std::atomic<bool> m_Gone{false};
    std::atomic<int> m_OpenError{0};
    std::atomic<pid_t> m_HolderPid{0};
    std::atomic<const std::atomic<bool>*> m_Abort{nullptr};
    std::atomic<const std::atomic<bool>*> m_Interrupt{nullptr};
    std::int64_t m_LastPresenceCheckMs = 0;
    // When the last read for what the port holds brought bytes (the reading thread's own).
    std::int64_t m_LastDataMs = -1'000'000;
    // The device this port claimed in this process (see the .cpp), valid while open.
    bool m_Claimed = false;
    dev_t m_ClaimDev = 0;
    ino_t m_ClaimIno = 0;
};

} // namespace tessadorn
