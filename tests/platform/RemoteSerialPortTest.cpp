// The remote port against a scripted RFC 2217 server on 127.0.0.1: what it sends to set the
// line, how it takes the server's answers, the data both ways, the rate changed in band and a
// connection that ends.
#include "platform/RemoteSerialPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tessadorn {
namespace {

using Bytes = std::vector<std::uint8_t>;
using C = TelnetCodec;

enum class ComPort { Agrees, Refuses };

struct ServerScript {
    ComPort comPort = ComPort::Agrees;
    bool answersControl = false;    // ser2net on a pty leaves SET-CONTROL unanswered
    std::uint32_t answeredRate = 0; // 0: the rate asked for
    Bytes greeting;                 // data sent once the line is set
};

// One connection at a time; what the client sent is kept: its data and its COM-PORT commands.
class FakeRfc2217Server {
  public:
    explicit FakeRfc2217Server(ServerScript script) : m_Script(std::move(script)) {
        m_Listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ::bind(m_Listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(m_Listen, reinterpret_cast<sockaddr*>(&a), &size);
        m_Port = ntohs(a.sin_port);
        ::listen(m_Listen, 4);
        m_Thread = std::thread([this] { run(); });
    }
    ~FakeRfc2217Server() {
        m_Stop = true;
        m_Thread.join();
        ::close(m_Listen);
    }
    RemotePortAddress address() const {
        return {RemotePortAddress::Kind::Rfc2217, "127.0.0.1", m_Port};
    }
    // Ends the connection in progress, as a stopped ser2net does.
    void hangUp() { m_HangUp = true; }

    Bytes data() const {
        std::lock_guard lock(m_Mutex);
        return m_Data;
    }
    // Every byte as it came, Telnet and all.
    Bytes raw() const {
        std::lock_guard lock(m_Mutex);
        return m_Raw;
    }
    std::vector<C::ComPortReply> commands() const {
        std::lock_guard lock(m_Mutex);
        return m_Commands;
    }
    int connections() const { return m_Connections.load(); }

  private:
    void run() {
        int fd = -1;
        enum { Data, Iac, Option, Sub, SubIac } state = Data;
        std::uint8_t verb = 0;
        Bytes sub;
        while (!m_Stop) {
            if (fd >= 0 && m_HangUp.exchange(false)) {
                ::close(fd);
                fd = -1;
            }
            pollfd p{fd >= 0 ? fd : m_Listen, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            if (fd < 0) {
                fd = ::accept4(m_Listen, nullptr, nullptr, SOCK_CLOEXEC);
                ++m_Connections;
                continue;
            }
            std::uint8_t buffer[512];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(fd);
                fd = -1;
                continue;
            }
            keepRaw(buffer, static_cast<std::size_t>(n));
            Bytes answer;
            for (ssize_t i = 0; i < n; ++i) {
                const std::uint8_t b = buffer[i];
                switch (state) {
                case Data:
                    if (b == C::kIac)
                        state = Iac;
                    else
                        keep(b);
                    break;
                case Iac:
                    state = Data;
                    if (b == C::kIac) keep(b);
                    if (b == C::kWill || b == C::kDo) {
                        verb = b;
                        state = Option;
                    }
                    if (b == C::kSb) {
                        sub.clear();
                        state = Sub;
                    }
                    break;
                case Option:
                    state = Data;
                    if (verb == C::kWill && b == C::kOptComPort)
                        answer.insert(answer.end(),
                                      {C::kIac,
                                       m_Script.comPort == ComPort::Agrees ? C::kDo : C::kDont,
                                       C::kOptComPort});
                    break;
                case Sub:
                    if (b == C::kIac)
                        state = SubIac;
                    else
                        sub.push_back(b);
                    break;
                case SubIac:
                    if (b == C::kIac) {
                        sub.push_back(b);
                        state = Sub;
                        break;
                    }
                    state = Data;
                    if (sub.size() >= 2) commandCame(sub, answer);
                    break;
                }
            }
            if (!answer.empty()) ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
        if (fd >= 0) ::close(fd);
    }

    void keepRaw(const std::uint8_t* bytes, std::size_t n) {
        std::lock_guard lock(m_Mutex);
        m_Raw.insert(m_Raw.end(), bytes, bytes + n);
    }
    void keep(std::uint8_t b) {
        std::lock_guard lock(m_Mutex);
        m_Data.push_back(b);
    }

    void commandCame(const Bytes& sub, Bytes& answer) {
        C::ComPortReply command{sub[1], Bytes(sub.begin() + 2, sub.end())};
        {
            std::lock_guard lock(m_Mutex);
            m_Commands.push_back(command);
        }
        if (command.command == C::kSetControl && !m_Script.answersControl) return;
        Bytes value = command.value;
        if (command.command == C::kSetBaudRate && m_Script.answeredRate != 0)
            value = C::rateValue(m_Script.answeredRate);
        const Bytes reply =
            C::comPortCommand(static_cast<std::uint8_t>(command.command + C::kServerOffset), value);
        answer.insert(answer.end(), reply.begin(), reply.end());
        if (command.command == C::kSetStopSize)
            answer.insert(answer.end(), m_Script.greeting.begin(), m_Script.greeting.end());
    }

    ServerScript m_Script;
    int m_Listen = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_HangUp{false};
    std::atomic<int> m_Connections{0};
    mutable std::mutex m_Mutex;
    Bytes m_Data;
    Bytes m_Raw;
    std::vector<C::ComPortReply> m_Commands;
    std::thread m_Thread;
};

struct OpenRow {
    const char* name;
    ServerScript script;
    bool opens;
    const char* failure; // part of openFailure() when it does not open
};

const OpenRow kOpenRows[] = {
    {"SetControlUnanswered", {ComPort::Agrees, false, 0, {}}, true, ""},
    {"SetControlAnswered", {ComPort::Agrees, true, 0, {}}, true, ""},
    {"RateRefused",
     {ComPort::Agrees, false, 9600, {}},
     false,
     "refused the rate 57600 (it answered 9600)"},
    {"NoComPortOption",
     {ComPort::Refuses, false, 0, {}},
     false,
     "does not carry the line's settings (no RFC 2217)"},
};

void PrintTo(const OpenRow& row, std::ostream* os) {
    *os << row.name;
}

class RemoteOpen : public ::testing::TestWithParam<OpenRow> {};

// The line is set as 57600 8N1 without flow control, in this order; the modem lines are never
// touched (no SET-CONTROL for DTR or RTS); a missing answer to SET-CONTROL is no failure.
TEST_P(RemoteOpen, SetsTheLineAndMatchesTheAnswers) {
    const OpenRow& row = GetParam();
    FakeRfc2217Server server(row.script);
    RemoteSerialPort port(server.address());
    EXPECT_EQ(port.open(kBaud57600), row.opens) << port.openFailure();
    if (!row.opens) {
        EXPECT_NE(port.openFailure().find(row.failure), std::string::npos) << port.openFailure();
        EXPECT_NE(port.openFailure().find("rfc2217://127.0.0.1:"), std::string::npos);
        EXPECT_FALSE(port.isOpen());
        return;
    }
    EXPECT_EQ(port.confirmedRate(), 57600u);
    const std::vector<C::ComPortReply> expected = {{C::kSetBaudRate, {0x00, 0x00, 0xE1, 0x00}},
                                                   {C::kSetDataSize, {8}},
                                                   {C::kSetParity, {1}},
                                                   {C::kSetStopSize, {1}},
                                                   {C::kSetControl, {1}}};
    // The last command may still be on its way when the answers it waits for came.
    for (int i = 0; i < 100 && server.commands().size() < expected.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server.commands(), expected);
}

INSTANTIATE_TEST_SUITE_P(Server, RemoteOpen, ::testing::ValuesIn(kOpenRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RemoteSerialPort, DataBothWaysWithEscapesAndTheRateChangedInBand) {
    FakeRfc2217Server server({ComPort::Agrees, false, 0, {'O', 'K', C::kIac, C::kIac, '\r'}});
    RemoteSerialPort port(server.address());
    ASSERT_TRUE(port.open(kBaud57600)) << port.openFailure();
    std::uint8_t buffer[16] = {};
    std::size_t got = 0;
    for (int i = 0; i < 10 && got < 4; ++i)
        got += port.readAvailable(buffer + got, sizeof buffer - got);
    EXPECT_EQ(Bytes(buffer, buffer + got), (Bytes{'O', 'K', 0xFF, '\r'}));

    const Bytes command = {'#', 0xFF, '\r', '\n'};
    port.write(command.data(), command.size());
    for (int i = 0; i < 100 && server.data().size() < 4; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // The 255 went doubled, so that the server read it as data and the CR after it too.
    EXPECT_EQ(server.data(), command);
    const Bytes raw = server.raw();
    const Bytes escaped = {'#', 0xFF, 0xFF, '\r', '\n'};
    EXPECT_TRUE(std::search(raw.begin(), raw.end(), escaped.begin(), escaped.end()) != raw.end());

    EXPECT_EQ(port.changeRate(kBaud9600), 1);
    EXPECT_EQ(port.confirmedRate(), 9600u);
    EXPECT_EQ(server.commands().back(), (C::ComPortReply{C::kSetBaudRate, {0, 0, 0x25, 0x80}}));
    EXPECT_EQ(server.connections(), 1) << "one connection for every rate";
    EXPECT_GE(port.roundTripMs(), 0);
}

TEST(RemoteSerialPort, AConnectionThatEndsIsTheDeviceGone) {
    FakeRfc2217Server server({});
    RemoteSerialPort port(server.address());
    ASSERT_TRUE(port.open(kBaud38400));
    server.hangUp();
    std::uint8_t byte = 0;
    for (int i = 0; i < 10 && !port.deviceGone(); ++i)
        port.readAvailable(&byte, 1);
    EXPECT_TRUE(port.deviceGone());
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(port.goneMessage().find("rfc2217://127.0.0.1:"), std::string::npos);
    // ser2net still takes connections: the port is there again and opens.
    EXPECT_TRUE(port.waitForDevice(1000));
    EXPECT_TRUE(port.open(kBaud38400));
    EXPECT_FALSE(port.deviceGone());
}

TEST(RemoteSerialPort, RawPortOpensAtItsFixedRateOnly) {
    FakeRfc2217Server server({});
    RemotePortAddress address = server.address();
    address.kind = RemotePortAddress::Kind::RawTcp;
    address.fixedBaudIndex = kBaud38400;
    RemoteSerialPort port(address);
    EXPECT_FALSE(port.open(kBaud9600));
    EXPECT_NE(port.openFailure().find("runs at 38400 bit/s only"), std::string::npos);
    ASSERT_TRUE(port.open(kBaud38400));
    EXPECT_EQ(port.changeRate(kBaud9600), 0);
    // Raw: a 255 goes as it is, and nothing of Telnet is sent.
    const Bytes command = {'A', 0xFF};
    port.write(command.data(), command.size());
    for (int i = 0; i < 100 && server.raw().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server.raw(), (Bytes{'A', 0xFF}));
    EXPECT_TRUE(server.commands().empty());
}

} // namespace
} // namespace tessadorn
