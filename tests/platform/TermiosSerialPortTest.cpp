#include "platform/TermiosSerialPort.h"

#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include <chrono>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
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

} // namespace
} // namespace tessadorn
