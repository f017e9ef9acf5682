#include "platform/TermiosSerialPort.h"

#include "TempDir.h"
#include "WaitUntil.h"
#include "platform/PortHolder.h"
#include "platform/PortOpenFailure.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace tessadorn {
namespace {

using Ms = std::chrono::milliseconds;

// A pseudo-terminal whose slave end is the port under test and whose master end plays the modem.
struct Pty {
    int master = -1;
    std::string slavePath;
    Pty() {
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            slavePath = name;
            ::close(slave); // the port opens it by name
        }
    }
    ~Pty() { closeMaster(); }
    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    void send(std::string_view s) const {
        ASSERT_EQ(::write(master, s.data(), s.size()), (ssize_t)s.size());
    }
    std::string receive() const {
        std::string got;
        char buf[256];
        for (int i = 0; i < 50; ++i) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, n);
                break;
            }
            std::this_thread::sleep_for(Ms(10));
        }
        return got;
    }
};

template <typename F> long long elapsedMs(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t0).count();
}

TEST(TermiosSerialPort, OpensAtTheRateOfTheBaudIndex) {
    const std::pair<int, speed_t> cases[] = {{0, B9600},   {1, B19200}, {2, B38400}, {3, B57600},
                                             {4, B115200}, {7, B38400}, {-1, B38400}};
    for (auto [index, speed] : cases) {
        Pty pty;
        ASSERT_FALSE(pty.slavePath.empty());
        TermiosSerialPort port(pty.slavePath);
        ASSERT_TRUE(port.open(index));
        termios tio{};
        ASSERT_EQ(tcgetattr(pty.master, &tio), 0); // the master sees the slave's settings
        EXPECT_EQ(cfgetospeed(&tio), speed) << "index " << index;
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | INPCK | ICRNL), 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    }
}

TEST(TermiosSerialPort, EmptyReadTakesTheTimeOutAndDataComesAtOnce) {
    Pty pty;
    TermiosSerialPort port(pty.slavePath);
    ASSERT_TRUE(port.open(4));
    std::uint8_t b = 0;
    const auto quiet = elapsedMs([&] { EXPECT_EQ(port.read(&b, 1), 0u); });
    EXPECT_GE(quiet, 490);
    EXPECT_LT(quiet, 5000);

    pty.send("TESSADORN\r\n");
    std::string got;
    const auto busy = elapsedMs([&] {
        for (int i = 0; i < 11; ++i)
            if (port.read(&b, 1) == 1) got += static_cast<char>(b);
    });
    EXPECT_EQ(got, "TESSADORN\r\n"); // bytes pass unchanged: no CR/LF translation
    EXPECT_LT(busy, 490);

    // What the port holds comes in one call, up to the caller's room; silence stays empty.
    pty.send(std::string(300, 'x'));
    ::usleep(50'000); // the pseudo-terminal passes the bytes on
    std::uint8_t block[1024] = {};
    EXPECT_EQ(port.readAvailable(block, 200), 200u);
    EXPECT_EQ(port.readAvailable(block, sizeof block), 100u);
    EXPECT_EQ(port.readAvailable(block, sizeof block), 0u);
}

TEST(TermiosSerialPort, PurgeDropsWhatWasReceived) {
    Pty pty;
    TermiosSerialPort port(pty.slavePath);
    ASSERT_TRUE(port.open(2));
    pty.send("stale answer");
    std::this_thread::sleep_for(Ms(50));
    port.purgeReceive();
    pty.send("X");
    std::uint8_t b = 0;
    ASSERT_EQ(port.read(&b, 1), 1u);
    EXPECT_EQ(b, 'X');
}

// Whatever the modem sent before the program opened the port (a reply to an earlier program, a
// greeting) is dropped: the first byte read is one sent after the open.
TEST(TermiosSerialPort, BytesWaitingBeforeTheOpenAreDropped) {
    Pty pty;
    // Another holder keeps the line open, so that the bytes wait in its input queue.
    const int holder = ::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(holder, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(holder, TCSANOW, &raw), 0);
    pty.send("stale answer");
    int waiting = 0;
    for (int i = 0; i < 500 && waiting < 12; ++i) {
        ASSERT_EQ(ioctl(holder, FIONREAD, &waiting), 0);
        if (waiting < 12) std::this_thread::sleep_for(Ms(2));
    }
    ASSERT_EQ(waiting, 12) << "the bytes wait on the line";
    TermiosSerialPort port(pty.slavePath);
    ASSERT_TRUE(port.open(2));
    pty.send("X");
    std::uint8_t b = 0;
    ASSERT_EQ(port.read(&b, 1), 1u);
    EXPECT_EQ(b, 'X');
    ::close(holder);
}

TEST(TermiosSerialPort, WritesReachTheOtherSide) {
    Pty pty;
    TermiosSerialPort port(pty.slavePath);
    ASSERT_TRUE(port.open(2));
    const std::string cmd = "\r\nDEVICE?\r\n";
    port.write(reinterpret_cast<const std::uint8_t*>(cmd.data()), cmd.size());
    EXPECT_EQ(pty.receive(), cmd);
}

TEST(TermiosSerialPort, HangUpInTheMiddleOfAReadGivesEmptyReadsNotASpin) {
    Pty pty;
    TermiosSerialPort port(pty.slavePath);
    ASSERT_TRUE(port.open(2));
    std::thread hangup([&] {
        std::this_thread::sleep_for(Ms(150));
        pty.closeMaster();
    });
    std::uint8_t buf[16];
    const auto first = elapsedMs([&] { EXPECT_EQ(port.read(buf, 16), 0u); });
    hangup.join();
    EXPECT_GE(first, 490) << "the read still takes its time-out";
    EXPECT_TRUE(port.deviceGone());
    EXPECT_FALSE(port.isOpen()) << "a gone device is let go at once";
    // Later reads stay empty and each still waits; writes are swallowed.
    const auto later = elapsedMs([&] {
        EXPECT_EQ(port.read(buf, 1), 0u);
        EXPECT_EQ(port.read(buf, 1), 0u);
    });
    EXPECT_GE(later, 980);
    port.write(buf, 4);
    port.purgeReceive();
}

TEST(TermiosSerialPort, MissingDeviceAndClosedPort) {
    TermiosSerialPort missing("/nonexistent/ttyS9");
    EXPECT_FALSE(missing.open(2));
    EXPECT_FALSE(missing.isOpen());
    std::uint8_t b = 0;
    const auto t = elapsedMs([&] { EXPECT_EQ(missing.read(&b, 1), 0u); });
    EXPECT_GE(t, 490);
    missing.write(&b, 1); // ignored

    TermiosSerialPort notATerminal("/dev/null");
    EXPECT_FALSE(notATerminal.open(2));
}

TEST(TermiosSerialPort, CloseAndReopenAtAnotherRate) {
    Pty pty;
    TermiosSerialPort port(pty.slavePath);
    ASSERT_TRUE(port.open(0));
    port.close();
    EXPECT_FALSE(port.isOpen());
    ASSERT_TRUE(port.open(4));
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.master, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
}

TEST(TermiosSerialPort, AWriteNobodyDrainsEndsAtTheAbortFlag) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    TermiosSerialPort port(pty.slavePath);
    ASSERT_TRUE(port.open(4));
    std::atomic<bool> abort{false};
    port.setAbortFlag(&abort);
    // Far more than the terminal buffers hold: the write blocks until somebody reads.
    const std::vector<std::uint8_t> bytes(4 << 20, 'x');
    std::atomic<bool> returned{false};
    std::thread writer([&] {
        port.write(bytes.data(), bytes.size());
        returned = true;
    });
    // Give it time to fill the terminal and block (it cannot finish: nobody reads).
    std::this_thread::sleep_for(Ms(300));
    EXPECT_FALSE(returned.load());
    abort = true;
    const bool ended = test::waitUntil([&] { return returned.load(); }) >= 0;
    if (!ended) pty.closeMaster(); // lets a write without a way out end, so the test can
    writer.join();
    EXPECT_TRUE(ended) << "the write held on after the abort";
    EXPECT_FALSE(port.deviceGone());
}

// Points the link `link` at `target` in one step, as udev does with a by-id name.
void pointLink(const std::string& link, const std::string& target) {
    const std::string fresh = link + ".new";
    std::filesystem::remove(fresh);
    std::filesystem::create_symlink(target, fresh);
    std::filesystem::rename(fresh, link);
}

speed_t lineSpeed(int master) {
    termios tio{};
    return tcgetattr(master, &tio) == 0 ? cfgetospeed(&tio) : 0;
}

// One port, one program: a second program on the device is refused, and the refusal names the
// process that holds it (here under ModemManager's name, which brings the advice to keep it
// away); once that program ends the device is free again.
TEST(TermiosSerialPort, ASecondProgramOnTheDeviceIsToldWhoHoldsIt) {
    Pty pty;
    int opened[2], release[2];
    ASSERT_EQ(::pipe(opened), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::prctl(PR_SET_NAME, "ModemManager");
        TermiosSerialPort holder(pty.slavePath);
        const char ok = holder.open(4) ? 'y' : 'n';
        if (::write(opened[1], &ok, 1) != 1) ::_exit(2);
        char c = 0;
        if (::read(release[0], &c, 1) < 0) ::_exit(3);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(opened[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');

    TermiosSerialPort second(pty.slavePath);
    const auto took = elapsedMs([&] { EXPECT_FALSE(second.open(4)); });
    EXPECT_LT(took, 1000);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.openError(), EBUSY);
    EXPECT_EQ(second.holderPid(), child);
    const std::string text =
        describePortOpenFailure(second.devicePath(), second.openError(), second.holderPid());
    EXPECT_EQ(text.rfind("The port " + pty.slavePath + " is in use by ModemManager (process " +
                             std::to_string(child) + "). ",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("tessadorn --udev-rule"), std::string::npos) << text;
    EXPECT_EQ(PortHolder().holders(pty.slavePath), std::vector<pid_t>{child});

    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(second.open(4)) << "the holder's end frees the device";
    for (int fd : {opened[0], opened[1], release[0], release[1]})
        ::close(fd);
}

// Two ports of this program on one device would share the process's record lock (and closing
// one would drop it for both): the second is refused until the first closes.
TEST(TermiosSerialPort, TwoPortsOfOneProgramDoNotShareADevice) {
    Pty pty;
    test::TempDir dir;
    const std::string link = dir.file("modem");
    pointLink(link, pty.slavePath);
    TermiosSerialPort first(pty.slavePath);
    TermiosSerialPort second(link); // the same device by another name
    ASSERT_TRUE(first.open(2));
    EXPECT_FALSE(second.open(2));
    EXPECT_EQ(second.openError(), EBUSY);
    EXPECT_EQ(second.holderPid(), ::getpid());
    first.close();
    EXPECT_TRUE(second.open(2));
}

// The device goes away under an open port in the ways a pulled adapter and udev do it: the port
// notices within a read, lets the device go, and opens again on the link's return at the rate
// it had.
TEST(TermiosSerialPort, AGoneDeviceIsLetGoAndTakenAgainWhenItsNameReturns) {
    enum class Way { Retarget, Remove, NewPath };
    for (const Way way : {Way::Retarget, Way::Remove, Way::NewPath}) {
        SCOPED_TRACE(static_cast<int>(way));
        Pty before, after;
        test::TempDir dir;
        const std::string link = dir.file("usb-Tessadorn-if00-port0");
        pointLink(link, before.slavePath);
        TermiosSerialPort port(link);
        ASSERT_TRUE(port.open(3));

        switch (way) {
        case Way::Retarget:
            pointLink(link, after.slavePath);
            break;
        case Way::Remove:
            std::filesystem::remove(link);
            break;
        case Way::NewPath:
            port.setDevicePath(after.slavePath);
            break;
        }
        std::uint8_t b = 0;
        const auto took = elapsedMs([&] { EXPECT_EQ(port.read(&b, 1), 0u); });
        EXPECT_LT(took, 1000);
        EXPECT_TRUE(port.deviceGone());
        EXPECT_FALSE(port.isOpen());

        if (way == Way::Remove) {
            EXPECT_FALSE(port.devicePresent());
            EXPECT_FALSE(port.waitForDevice(150));
            std::chrono::steady_clock::time_point returned;
            std::thread back([&] {
                std::this_thread::sleep_for(Ms(300));
                pointLink(link, after.slavePath);
                returned = std::chrono::steady_clock::now();
            });
            EXPECT_TRUE(port.waitForDevice(10000));
            const auto seen = std::chrono::steady_clock::now();
            back.join();
            EXPECT_LT(std::chrono::duration_cast<Ms>(seen - returned).count(), 500)
                << "the link's return is seen within half a second";
        }
        EXPECT_TRUE(port.devicePresent());
        ASSERT_TRUE(port.open(3));
        EXPECT_FALSE(port.deviceGone());
        EXPECT_EQ(lineSpeed(after.master), static_cast<speed_t>(B57600)) << "the rate it had";
        const std::string cmd = "\r\nDEVICE?\r\n";
        port.write(reinterpret_cast<const std::uint8_t*>(cmd.data()), cmd.size());
        EXPECT_EQ(after.receive(), cmd) << "the port now talks to the returned device";
    }
}

TEST(TermiosSerialPort, AnIndexWithoutARateOpensAt38400) {
    Pty pty;
    TermiosSerialPort port(pty.slavePath);
    ASSERT_TRUE(port.open(7));
    EXPECT_EQ(lineSpeed(pty.master), static_cast<speed_t>(B38400));
}

// The holders of a device are the processes with that very device open: not those with another
// device of the same file system, a regular file, or a folder that is no process.
TEST(PortHolder, NamesOnlyTheProcessesWithTheDeviceOpen) {
    test::TempDir proc;
    const struct {
        const char* pid;
        const char* comm;
        std::vector<const char*> open; // what its descriptors point at
    } processes[] = {
        {"100", "ModemManager", {"/dev/null"}},
        {"200", "cat", {"/dev/zero", "/dev/full"}}, // other devices, same file system
        {"300", "editor", {"/etc/hostname"}},
        {"400", "", {"/dev/zero", "/dev/null"}}, // no name to give
        {"self", "x", {"/dev/null"}},            // no process number
    };
    for (const auto& p : processes) {
        const std::string fd = proc.file(std::string(p.pid) + "/fd");
        std::filesystem::create_directories(fd);
        int n = 0;
        for (const char* target : p.open)
            std::filesystem::create_symlink(target, fd + "/" + std::to_string(n++));
        if (*p.comm)
            test::writeBytes(proc.file(std::string(p.pid) + "/comm"), std::string(p.comm) + "\n");
    }
    const PortHolder holder(proc.path());
    EXPECT_EQ(holder.holders("/dev/null"), (std::vector<pid_t>{100, 400}));
    EXPECT_EQ(holder.holders("/dev/full"), (std::vector<pid_t>{200}));
    EXPECT_EQ(holder.holders("/etc/hostname"), std::vector<pid_t>{}) << "no device";
    EXPECT_EQ(holder.describe(100), "ModemManager (process 100)");
    EXPECT_EQ(holder.describe(400), "process 400");
}

} // namespace
} // namespace tessadorn
