// The main dialog's own commands against a scripted modem: Connect and its three branches, the
// role buttons and the automatic connection box.
#include "FakeSerialPort.h"
#include "MainDialogRig.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "TestModem.h"
#include "WaitUntil.h"
#include "caster/SourceTableDialog.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/DebugOutput.h"
#include "ui/TemplateSource.h"

#include <gtest/gtest.h>

#include <array>
#include <condition_variable>
#include <fstream>
#include <future>

namespace tessadorn {
namespace {

namespace p = protocol;
using test::Modem;

using test::programTemplates;

// Two casters; the current one is chosen by `server`, the second is a Tessadorn when asked.
std::string casterList(const std::string& server, const std::string& secondTessadorn = "0") {
    return "<config>\r\n<current>\r\n<server>" + server +
           "</server>\r\n<auth "
           "value=\"yes\">\r\n<user>alice</user>\r\n<password>secret</password>\r\n"
           "</auth>\r\n<carrier value=\"no\"></carrier>\r\n<AutoConnection>0</AutoConnection>\r\n"
           "</current>\r\n<servers>\r\n"
           "<sv num=0>\r\n<name>Other</name>\r\n<ip>other.example</ip>\r\n<port>2101</port>\r\n"
           "<user>x</user>\r\n<Password>y</Password>\r\n<Tessadorn>0</Tessadorn>\r\n"
           "<vntrip>1</vntrip>\r\n</sv>\r\n"
           "<sv num=1>\r\n<name>Home</name>\r\n<ip>caster.example</ip>\r\n<port>2101</port>\r\n"
           "<user>alice</user>\r\n<Password>secret</Password>\r\n<Tessadorn>" +
           secondTessadorn +
           "</Tessadorn>\r\n<vntrip>2</vntrip>\r\n</sv>\r\n</servers>\r\n</config>\r\n";
}

constexpr std::string_view kList2 = "#LIST 2,caster.example:2101\r\n";

const std::string kTable = "CMD_OK\r\nSOURCETABLE 200 OK\r\n"
                           "STR;MP0;Zero;RTCM 3.1;x;2;GPS;N;DEU;0;0;0;0;G;none;N;N;0;\r\n"
                           "STR;MP1;One;CMR+;x;2;GPS;N;DEU;0;0;0;1;G;none;B;N;0;\r\n"
                           "ENDSOURCETABLE\r\nSHUTDOWN\r\n<OK\r\n";

class MainDialogConnect : public ::testing::Test, protected test::MainDialogRig {
  protected:
    void SetUp() override {
        // The modem's own caster matches none of the list's: `server` stays as the file says.
        modem.addr = "elsewhere.example:2101,MPX,bob,pw";
        modem.reply(std::string(p::kSignalOff), "SIGNAL OFF\r\n<OK\r\n");
    }
    void start(const std::string& list) {
        writeCasterList(list);
        dialog = std::make_unique<MainDialog>(host, port, clock, files);
        // A handler's commands go out with the monitor parked and the wait cursor shown.
        probe.setProbe(
            [this] { return dialog->session().monitorGate().parked() && host.waitCursorShown(); });
        // Ready, with the Connect picture shown.
        host.call([this](Dialog&) {
            ASSERT_GE(test::waitUntil([this] {
                          return dialog->session().deviceReady() &&
                                 dialog->controls().text(ids::Firmware) != "" &&
                                 (dialog->controls().visible(ids::Connect) ||
                                  dialog->controls().visible(ids::Disconnect));
                      }),
                      0);
        });
    }
    int writes(std::string_view command) { return port.count(command); }

    std::unique_ptr<MainDialog> dialog;
};

TEST_F(MainDialogConnect, ConnectReadsTheTableAndTheChosenMountpointEndsTheProgram) {
    const std::string connect = "#CONNECT 2,caster.example:2101/MP1 alice:secret\r\n";
    modem.reply("#LIST 2,caster.example:2101\r\n", kTable);
    modem.reply(connect, "CMD_OK\r\n<OK\r\n");
    start(casterList("1"));
    host.click(ids::Connect);
    host.call([](Dialog& d) {
        ASSERT_EQ(d.templateId(), SourceTableDialog::kTemplate);
        EXPECT_EQ(d.controls().items(SourceTableDialog::kList),
                  (std::vector<std::string>{"MP0", "MP1"}));
    });
    host.select(SourceTableDialog::kList, 1);
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().text(SourceTableDialog::kSolution), "Solution: VRS");
    });
    host.ok();
    EXPECT_EQ(dialog->doModal(), kIdCancel) << "unwound by the request to end";
    EXPECT_TRUE(host.quitRequested());
    EXPECT_EQ(host.exitCode(), 0);
    EXPECT_EQ(writes(connect), 1);
    EXPECT_EQ(probe.failedFor(p::kSignalOff) + probe.failedFor(kList2), 0);
    EXPECT_EQ(host.shownTexts(),
              (std::vector<std::string>{
                  "Tessadorn configured. When you press OK, application will exit."}));
    EXPECT_EQ(debug.count("LIST: Thread Pausat ...\r\n"), 1);
}

TEST_F(MainDialogConnect, ConnectDoesNothingWhileTheModemIsSearchedFor) {
    modem.silent = true;
    dialog = std::make_unique<MainDialog>(host, port, clock, files);
    host.call([](Dialog& d) { d.onCommand(ids::Connect); });
    host.ok();
    dialog->doModal();
    EXPECT_TRUE(host.shownTexts().empty());
    EXPECT_EQ(writes(p::kSignalOff), 0);
}

// A `server` beyond the list (hand-edited) names no caster: the panel shows none, and Connect
// refuses it with "Error 2" without a word to the modem; no other caster is used.
TEST_F(MainDialogConnect, ACurrentIndexBeyondTheListNamesNoCaster) {
    for (const std::string server : {"7", "2", "999999999"}) {
        SCOPED_TRACE(server);
        start(casterList(server));
        host.call([](Dialog& d) { EXPECT_EQ(d.controls().text(ids::Line1), "Svr:"); });
        host.click(ids::Connect);
        host.ok();
        dialog->doModal();
        dialog.reset();
    }
    EXPECT_EQ(port.written().find("#LIST"), std::string::npos);
    EXPECT_EQ(writes(p::kSignalOff), 0);
    EXPECT_EQ(host.shownSummaries(), (std::vector<std::string>(3, "ERROR | Error 2 | OK")));
}

struct TessadornCase {
    const char* name;
    std::string reply;
    std::string message;
    bool ends;
};

void PrintTo(const TessadornCase& c, std::ostream* os) {
    *os << c.name;
}

class TessadornBranch : public MainDialogConnect,
                        public ::testing::WithParamInterface<TessadornCase> {};

TEST_P(TessadornBranch, ConnectsByAddressAlone) {
    const auto& c = GetParam();
    const std::string command = "#CONNECT2 caster.example:2101\r\n";
    if (!c.reply.empty()) modem.reply(command, c.reply);
    start(casterList("1", "1"));
    host.click(ids::Connect);
    host.ok();
    const int result = dialog->doModal();
    EXPECT_EQ(host.shownSummaries(), (std::vector<std::string>{std::string(kApplicationTitle) +
                                                               " | " + c.message + " | OK"}));
    EXPECT_EQ(writes(command), c.reply.empty() ? 6 : 1);
    EXPECT_EQ(probe.failedFor(command), 0);
    EXPECT_EQ(writes(p::kSignalOff), 0) << "no source table";
    EXPECT_EQ(host.quitRequested(), c.ends);
    if (c.ends) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(host.exitCode(), 0);
    }
    EXPECT_EQ(debug.count("C2: Esperant ...\r\n"), 0);
    EXPECT_FALSE(host.waitCursorShown());
}

INSTANTIATE_TEST_SUITE_P(
    MainDialog, TessadornBranch,
    ::testing::Values(
        TessadornCase{"Configured", "OK\r\n",
                      "Tessadorn configured. When you press OK, application will exit.", true},
        TessadornCase{"Unanswered", "", "Error", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct StopCase {
    const char* name;
    std::string list;
    std::array<std::string, 3> lines; // 1034, 1035, 1093 after the stop
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

class StopConnection : public MainDialogConnect, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopConnection, EndsTheRunningConnectionAndRewritesThePanel) {
    const auto& c = GetParam();
    modem.stconnect = "ON";
    modem.gga = "AUTO,TRIMBLE,COM2";
    modem.reply(std::string(p::kStopConnection), "<OK\r\n");
    start(c.list);
    host.call([&](Dialog&) { ASSERT_EQ(dialog->session().stConnect(), 1); });
    host.answer(kIdYes);
    host.click(ids::Disconnect);
    host.call([&](Dialog& d) {
        // Cleared at once (the monitor's next poll may already have read OFF since).
        EXPECT_NE(dialog->session().stConnect(), 1) << "Connect connects again, it does not stop";
        EXPECT_EQ(d.controls().text(ids::TextConnect), "Conn.");
        EXPECT_EQ((std::array<std::string, 3>{d.controls().text(ids::Line1),
                                              d.controls().text(ids::Line2),
                                              d.controls().text(ids::Line3)}),
                  c.lines);
    });
    host.ok();
    dialog->doModal();
    EXPECT_EQ(
        host.shownSummaries(),
        (std::vector<std::string>{"Attention | ¿Do you want to finish current connection? | Yes/No",
                                  std::string(kApplicationTitle) + " | Connection Finished | OK"}));
    EXPECT_EQ(writes(p::kStopConnection), 1);
    EXPECT_EQ(probe.failedFor(p::kStopConnection), 0);
    EXPECT_EQ(debug.count("CONNECT: Thread Pausat ...\r\n"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    MainDialog, StopConnection,
    ::testing::Values(
        StopCase{"Caster",
                 casterList("1"),
                 {"Server: Home", "Authorization: yes (alice)", "GPS Position: AUTO (TRIMBLE)"}},
        StopCase{"Tessadorn",
                 casterList("1", "1"),
                 {"Server: Home", "TESSADORN IP: caster.example", "TESSADORN Port: 2101"}},
        StopCase{"NoCurrentCaster",
                 casterList("2"),
                 {"Svr:", "Authorization:", "GPS Position: AUTO (TRIMBLE)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDialogConnect, AnUnansweredStopAsksEverySixAttemptsAndNoGivesUp) {
    modem.stconnect = "ON";
    start(casterList("1"));
    for (int a : {kIdYes, kIdYes, kIdNo})
        host.answer(a);
    host.click(ids::Disconnect);
    host.call([&](Dialog&) {
        EXPECT_EQ(dialog->session().stConnect(), 1);
        EXPECT_FALSE(host.waitCursorShown());
        // The monitor polls again.
        const int polls = writes(p::kStConnect);
        EXPECT_GE(test::waitUntil([&] { return writes(p::kStConnect) > polls; }), 0);
    });
    host.ok();
    dialog->doModal();
    const std::string keepTrying =
        "Attention | The modem does not answer. Keep trying to stop the connection? | Yes/No";
    EXPECT_EQ(
        host.shownSummaries(),
        (std::vector<std::string>{"Attention | ¿Do you want to finish current connection? | Yes/No",
                                  keepTrying, keepTrying}));
    EXPECT_EQ(writes(p::kStopConnection), 12);
}

const std::string kTitle = kApplicationTitle;

struct RoleCase {
    const char* name;
    int button;
    int answer;
    bool modemAnswers;
    std::string_view command;
    std::vector<std::string> boxes;
};

void PrintTo(const RoleCase& c, std::ostream* os) {
    *os << c.name;
}

class RoleChange : public MainDialogConnect, public ::testing::WithParamInterface<RoleCase> {};

TEST_P(RoleChange, AsksSendsAndFindsTheModemAnew) {
    const auto& c = GetParam();
    if (c.modemAnswers) modem.reply(std::string(c.command), "<OK\r\n");
    start(casterList("1"));
    int identifications = 0;
    host.call([&](Dialog& d) {
        identifications = writes(p::kDevice);
        d.onCommand(c.button); // the text twin (hidden) and the picture share the handler
    });
    host.call([&](Dialog&) {
        if (c.answer == kIdYes) {
            EXPECT_GE(test::waitUntil([&] { return writes(p::kDevice) > identifications; }), 0)
                << "the monitor identifies the modem again";
        }
    });
    host.answer(c.answer);
    host.ok();
    dialog->doModal();
    EXPECT_EQ(host.shownSummaries(), c.boxes);
    EXPECT_EQ(writes(c.command), c.answer != kIdYes ? 0 : c.modemAnswers ? 1 : 6);
    EXPECT_EQ(probe.failedFor(c.command), 0);
}

INSTANTIATE_TEST_SUITE_P(MainDialog, RoleChange,
                         ::testing::Values(RoleCase{"ToServer",
                                                    ids::ToServer,
                                                    kIdYes,
                                                    true,
                                                    p::kModeBase,
                                                    {"Attention | Change to SERVER mode? | Yes/No",
                                                     kTitle + " | Tessadorn SERVER | OK"}},
                                           RoleCase{
                                               "ToServerText",
                                               ids::TextServer,
                                               kIdNo,
                                               true,
                                               p::kModeBase,
                                               {"Attention | Change to SERVER mode? | Yes/No"}},
                                           RoleCase{"ToClient",
                                                    ids::ToClient,
                                                    kIdYes,
                                                    true,
                                                    p::kModeRover,
                                                    {"Attention | Change to CLIENT mode? | Yes/No",
                                                     kTitle + " | Tessadorn CLIENT | OK"}},
                                           RoleCase{"ToClientRefused",
                                                    ids::TextClient,
                                                    kIdYes,
                                                    false,
                                                    p::kModeRover,
                                                    {"Attention | Change to CLIENT mode? | Yes/No",
                                                     kTitle + " | Tessadorn Error | OK"}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct AutoCase {
    const char* name;
    std::string modemState; // "ON" or "OFF" at detection
    int answer;
    bool modemAnswers;
    std::string_view command; // sent on Yes
    bool checkedAfter;
    int autoConnectAfter;
};

void PrintTo(const AutoCase& c, std::ostream* os) {
    *os << c.name;
}

class AutoConnection : public MainDialogConnect, public ::testing::WithParamInterface<AutoCase> {};

TEST_P(AutoConnection, AsksAndSetsTheModemAndTheMark) {
    const auto& c = GetParam();
    modem.autoState = c.modemState;
    if (c.modemAnswers) modem.reply(std::string(c.command), "<OK\r\n");
    start(casterList("1"));
    host.answer(c.answer);
    host.click(ids::AutoConnect);
    host.call([&](Dialog& d) {
        EXPECT_EQ(d.controls().checked(ids::AutoConnect), c.checkedAfter);
        EXPECT_EQ(dialog->session().autoConnect(), c.autoConnectAfter);
    });
    host.ok();
    dialog->doModal();
    EXPECT_EQ(host.shownSummaries(),
              std::vector<std::string>{c.modemState == "ON"
                                           ? "Attention | Disable Autoconnection mode? | Yes/No"
                                           : "Attention | Enable Autoconnection mode? | Yes/No"})
        << "the question only";
    EXPECT_EQ(writes(c.command), c.answer != kIdYes ? 0 : c.modemAnswers ? 1 : 6);
    EXPECT_EQ(probe.failedFor(c.command), 0);
}

INSTANTIATE_TEST_SUITE_P(
    MainDialog, AutoConnection,
    ::testing::Values(AutoCase{"EnableYes", "OFF", kIdYes, true, p::kAutoOn, true, 1},
                      AutoCase{"EnableNo", "OFF", kIdNo, true, p::kAutoOn, false, 2},
                      AutoCase{"EnableUnanswered", "OFF", kIdYes, false, p::kAutoOn, true, 1},
                      AutoCase{"DisableYes", "ON", kIdYes, true, p::kAutoOff, false, 0},
                      AutoCase{"DisableNo", "ON", kIdNo, true, p::kAutoOff, true, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A port whose writes of one command never drain (a stalled adapter) until the link is aborted.
class StallingPort final : public SerialPort {
  public:
    StallingPort(SerialPort& port, std::string stalls)
        : m_Port(port), m_Stalls(std::move(stalls)) {}
    bool open(int baudIndex) override { return m_Port.open(baudIndex); }
    void close() override { m_Port.close(); }
    bool isOpen() const override { return m_Port.isOpen(); }
    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override {
        return m_Port.read(buffer, capacity);
    }
    void purgeReceive() override { m_Port.purgeReceive(); }
    void setAbortFlag(const std::atomic<bool>* abort) override { m_Abort = abort; }
    void write(const std::uint8_t* data, std::size_t length) override {
        if (std::string_view(reinterpret_cast<const char*>(data), length) != m_Stalls)
            return m_Port.write(data, length);
        std::unique_lock lock(m_Mutex);
        m_Stalled = true;
        m_Changed.notify_all();
        // Polls the flag as a real port does between its waits for the line.
        const auto aborted = [this] {
            const std::atomic<bool>* abort = m_Abort.load();
            return abort != nullptr && abort->load();
        };
        while (!m_Released && !aborted())
            m_Changed.wait_for(lock, std::chrono::milliseconds(10));
    }
    bool waitStalled() {
        std::unique_lock lock(m_Mutex);
        return m_Changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_Stalled; });
    }
    void release() {
        std::lock_guard lock(m_Mutex);
        m_Released = true;
        m_Changed.notify_all();
    }

  private:
    SerialPort& m_Port;
    std::string m_Stalls;
    std::atomic<const std::atomic<bool>*> m_Abort{nullptr};
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_Stalled = false;
    bool m_Released = false;
};

// Closing the window while Connect's first command hangs in a write ends the program.
TEST_F(MainDialogConnect, ClosingWhileAWriteHangsEndsTheProgram) {
    StallingPort stalling(port, std::string(p::kSignalOff));
    std::ofstream(files.casterList, std::ios::binary) << casterList("1");
    MainDialog main(host, stalling, clock, files);
    host.call([&](Dialog& d) {
        ASSERT_GE(test::waitUntil([&] {
                      return main.session().deviceReady() && d.controls().visible(ids::Connect);
                  }),
                  0);
    });
    host.click(ids::Connect);
    // What the window's close does, from another thread while the handler hangs.
    auto closer = std::async(std::launch::async, [&] {
        if (!stalling.waitStalled()) return false;
        main.session().abortLink();
        host.quitApplication(0);
        return true;
    });
    // Should the write never end, the watchdog lets it go so that the test can fail.
    std::promise<void> done;
    auto watchdog = std::async(std::launch::async, [&, ended = done.get_future()]() mutable {
        const bool inTime = ended.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        if (!inTime) stalling.release();
        return inTime;
    });
    main.doModal();
    main.stopWorkers();
    done.set_value();
    EXPECT_TRUE(closer.get());
    EXPECT_TRUE(watchdog.get()) << "the hanging write held the program";
    EXPECT_EQ(writes(std::string(kList2)), 0) << "nothing more is sent after the abort";
}

} // namespace
} // namespace tessadorn
