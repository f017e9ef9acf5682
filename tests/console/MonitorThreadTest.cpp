#include "console/MonitorThread.h"
#include "FakePanel.h"
#include "FakeSerialPort.h"
#include "HeldRate.h"
#include "TempDir.h"
#include "TestModem.h"
#include "WaitUntil.h"
#include "modem/Protocol.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "ui/CursorState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace tessadorn {
namespace {

using namespace ids;
using test::FakePanel;
using test::FakeSerialPort;
using test::Modem;
using test::ScriptedModem;

struct Hooks final : MonitorHooks {
    explicit Hooks(const std::string& listPath) : list(listPath, AtomicFile::standard()) {}
    CasterStore list;
    std::atomic<int> portErrors{0};
    void portError() override { ++portErrors; }
    CasterStore& casterList() override { return list; }
    void listNotSaved(const std::string&) override {}
    PanelInputs panelInputs() override {
        PanelInputs in;
        in.device = session->device().read();
        in.baudIndex = session->baudIndex();
        in.stConnect = session->stConnect();
        return in;
    }
    ModemSession* session = nullptr;
};

struct Rig {
    VirtualClock clock;
    ScriptedModem peer{1}; // about 1 ms a byte, close to 9600 bit/s
    FakeSerialPort port{clock, peer};
    test::TempDir dir;
    ModemSession session{port, clock, dir.file("tessadorn.cfg"), AtomicFile::standard()};
    SerialChannel& serial = session.serial();
    const std::atomic<int>& reading = session.readingFlag();
    const std::atomic<int>& ready = session.readyFlag();
    DeviceConfig& device = session.device();
    PauseGate& gate = session.monitorGate();
    FakePanel panel;
    StatusDisplay display{panel};
    CursorState cursor;
    Hooks hooks{dir.file("ntripcfg.txt")};
    Modem modem;
    MonitorThread monitor{session, display, hooks};
    std::thread worker;
    DebugCapture quiet;

    Rig() {
        hooks.session = &session;
        modem.attach(peer);
    }
    void start() {
        worker = std::thread([this] { monitor.run(); });
    }
    ~Rig() { stop(); }
    void stop() {
        gate.stop();
        if (worker.joinable()) worker.join();
    }
    bool until(const std::function<bool()>& cond) { return test::waitUntil(cond) >= 0; }
    // The rates the modem was found at, in turn, as the log tells them.
    std::vector<int> rates() const {
        std::vector<int> found;
        const std::string said = "Modem answered at ";
        for (const auto& line : quiet.lines())
            if (line.rfind(said, 0) == 0)
                found.push_back(baudIndexForRate(std::stoi(line.substr(said.size()))));
        return found;
    }
    int writesOf(std::string_view cmd, int atBaud = -2) {
        int n = 0;
        for (const auto& w : port.writes())
            if (w.bytes == cmd && (atBaud == -2 || w.baudIndex == atBaud)) ++n;
        return n;
    }
};

TEST(MonitorThread, FoundAtTheHeldRateShowsTheClientFace) {
    Rig rig;
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.panel.visible(SignalFirst + 4) && rig.ready == 1; }));
    rig.stop();
    EXPECT_EQ(rig.rates(), std::vector<int>{2});
    EXPECT_EQ(rig.writesOf(protocol::kDevice), 1) << "no scan when the held rate answers";
    EXPECT_EQ(rig.session.mode(), 2);
    EXPECT_EQ(rig.session.autoConnect(), 1);
    EXPECT_EQ(rig.session.stConnect(), 2);
    EXPECT_EQ(rig.hooks.list.apn, "web.example") << "the list takes the modem's APN";
    EXPECT_EQ(rig.writesOf(protocol::kAddrServer), 1) << "the stored caster is read once";
    const auto d = rig.device.read();
    EXPECT_EQ(d.SerialNumber, "T-0042");
    EXPECT_EQ(d.GpsType, "TRIMBLE");
    EXPECT_EQ(d.CasterKind, "0");
    EXPECT_EQ(d.CasterPassword, "secret");
    EXPECT_EQ(rig.panel.text(Line0), "SN: T-0042");
    EXPECT_EQ(rig.panel.text(Firmware), "FW v2.3.1");
    EXPECT_EQ(rig.panel.text(ApnInfo), "");
    EXPECT_TRUE(rig.panel.visible(RoleClient));
    EXPECT_FALSE(rig.panel.visible(Update));
    EXPECT_TRUE(rig.panel.visible(Connect));
    EXPECT_TRUE(rig.panel.checked(AutoConnect));
    // The order of the queries.
    const std::string all = rig.port.written();
    const auto at = [&](std::string_view c) { return all.find(c); };
    EXPECT_LT(at(protocol::kDevice), at(protocol::kGetCfg));
    EXPECT_LT(at(protocol::kGetCfg), at(protocol::kGetGga));
    EXPECT_LT(at(protocol::kGetGga), at(protocol::kAutoQuery));
    EXPECT_LT(at(protocol::kAutoQuery), at(protocol::kStConnect));
    EXPECT_LT(at(protocol::kStConnect), at(protocol::kAddrServer));
    EXPECT_LT(at(protocol::kAddrServer), at(protocol::kApnQuery));
}

TEST(MonitorThread, ScanFindsTheModemAt57600AfterTheSlowerRatesFailed) {
    Rig rig;
    rig.modem.baud = 3;
    std::vector<std::string> status;
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1; }));
    rig.stop();
    EXPECT_EQ(rig.rates(), std::vector<int>{3});
    EXPECT_EQ(rig.session.baudIndex(), 3);
    EXPECT_EQ(rig.writesOf(protocol::kDevice, 0), 2) << "one resend per rate";
    EXPECT_EQ(rig.writesOf(protocol::kDevice, 1), 2);
    EXPECT_EQ(rig.writesOf(protocol::kDevice, 2), 3) << "the held rate, then its turn in the scan";
    EXPECT_EQ(rig.writesOf(protocol::kDevice, 3), 1);
    EXPECT_EQ(rig.writesOf(protocol::kDevice, 4), 0);
    const auto texts = rig.panel.history(Status);
    const std::vector<std::string> want = {"Connecting at 38400...", "Connecting at 9600...",
                                           "Connecting at 19200...", "Connecting at 38400...",
                                           "Connecting at 57600...", "Starting Communication..."};
    ASSERT_GE(texts.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + want.size()), want);
}

// A modem at 57600 on each kind of port: a local device is closed and opened for every rate; a
// remote port keeps its one connection and changes the rate in band; a raw port fixed at one
// rate is tried at that rate only.
TEST(MonitorThread, ScanByKindOfPort) {
    struct Row {
        const char* name;
        bool inBand;
        int fixed;
        int opens;
        int rateChanges;
        std::vector<int> devicesPerRate; // DEVICE? written at 9600 ... 115200
    };
    const Row rows[] = {
        {"LocalDevice", false, -1, 5, 0, {2, 2, 3, 1, 0}},
        {"RemoteInBand", true, -1, 1, 4, {2, 2, 3, 1, 0}},
        {"RawFixedAt57600", false, 3, 1, 0, {0, 0, 0, 1, 0}},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.modem.baud = 3;
        rig.port.changesRateInBand(row.inBand);
        rig.port.fixAt(row.fixed);
        rig.start();
        ASSERT_TRUE(rig.until([&] { return rig.ready == 1; })) << row.name;
        rig.stop();
        EXPECT_EQ(rig.rates(), std::vector<int>{3}) << row.name;
        EXPECT_EQ(rig.port.opens(), row.opens) << row.name;
        EXPECT_EQ(rig.port.rateChanges(), row.rateChanges) << row.name;
        std::vector<int> devices;
        for (int index = 0; index < kBaudIndexCount; ++index)
            devices.push_back(rig.writesOf(protocol::kDevice, index));
        EXPECT_EQ(devices, row.devicesPerRate) << row.name;
    }
}

TEST(MonitorThread, AModemThatWakesUpAfterTheScanIsFoundAtTheRateTriedLast) {
    Rig rig;
    rig.modem.baud = 4;
    int deviceAt4 = 0;
    // Silent through the whole scan; answers the first try after it (on the port as last
    // opened, 115200).
    rig.modem.answers = [&](std::string_view cmd, int) {
        return cmd != protocol::kDevice || ++deviceAt4 > 2;
    };
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1; }));
    rig.stop();
    EXPECT_EQ(rig.session.baudIndex(), 4);
    EXPECT_EQ(rig.rates(), std::vector<int>{4});
    EXPECT_EQ(rig.writesOf(protocol::kDevice, 4), 3);
    EXPECT_EQ(rig.writesOf(protocol::kGetCfg), 1);
}

TEST(MonitorThread, AConfigurationReplyOfSixFieldsIsRefused) {
    Rig rig;
    rig.modem.cfgReplies = {"CLIENT,S,F,I,A,U", "SERVER,S,F,I,A,U,P"};
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1; }));
    rig.stop();
    EXPECT_EQ(rig.writesOf(protocol::kDevice), 2) << "identification starts again";
    EXPECT_EQ(rig.writesOf(protocol::kGetCfg), 2);
    EXPECT_EQ(rig.hooks.list.apn, "A") << "the list takes the APN of the reply it could read";
    EXPECT_EQ(rig.session.mode(), 1);
}

TEST(MonitorThread, ModeTextsAndStoredCasterKinds) {
    struct Case {
        std::string role, addr;
        int mode;
        std::string kind, user;
    };
    const Case cases[] = {
        {"CLIENT", "10.0.0.7,2101,x,y", 2, "1", "null"},
        {"CLIENT", "caster.example,2101,MP,ann,pw", 2, "0", "ann"},
        {"client", "h,1,M,u,p", 1, "", ""},
        {"BASE", "h,1,M,u,p", 1, "", ""},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.modem.role = c.role;
        rig.modem.addr = c.addr;
        rig.start();
        ASSERT_TRUE(rig.until([&] { return rig.ready == 1; })) << c.role;
        rig.stop();
        EXPECT_EQ(rig.session.mode(), c.mode) << c.role;
        EXPECT_EQ(rig.device.read().CasterKind, c.kind) << c.addr;
        EXPECT_EQ(rig.device.read().CasterUser, c.user) << c.addr;
        EXPECT_EQ(rig.writesOf(protocol::kAddrServer) > 0, c.mode == 2) << c.role;
        EXPECT_EQ(rig.writesOf(protocol::kGetBrd) > 0, c.mode == 1) << c.role;
    }
}

TEST(MonitorThread, ServerFace) {
    Rig rig;
    rig.modem.role = "SERVER";
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1 && rig.panel.text(Firmware) != ""; }));
    rig.stop();
    EXPECT_EQ(rig.panel.text(Line0), "Model: TESSADORN SERVER");
    EXPECT_EQ(rig.panel.text(Line1), "SN: T-0042");
    EXPECT_EQ(rig.panel.text(ServerState), "Server: ACTIVE + QRV CONNECT");
    EXPECT_EQ(rig.panel.text(Line2), "Server IP: 10.20.30.40\r\n");
    EXPECT_EQ(rig.panel.text(Line3), "Server Port: 2101");
    EXPECT_TRUE(rig.panel.visible(RoleServer));
    EXPECT_TRUE(rig.panel.visible(Caster)) << "firmware 2.x shows the caster picture";
    EXPECT_FALSE(rig.panel.visible(Relay));
    EXPECT_EQ(rig.writesOf(protocol::kAutoQuery), 0);
}

TEST(MonitorThread, ThreeFailedPollsBringBackTheSearchAtTheLastGoodRate) {
    Rig rig;
    test::holdRate(rig.session, 1);
    rig.modem.baud = 1;
    rig.modem.gga = "AUTO,TOPCON,COM4"; // a poll is then one query: the signal level
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1 && rig.panel.visible(SignalFirst + 4); }));
    // From now on the modem answers nothing; count the queries it leaves unanswered until the
    // search starts again.
    std::atomic<int> unanswered{0};
    std::atomic<bool> searching{false};
    std::atomic<std::int64_t> silentAt{-1}; // the first query left unanswered
    {
        std::lock_guard lock(rig.modem.m);
        rig.modem.answers = [&](std::string_view cmd, int) {
            if (cmd == protocol::kDevice) searching = true;
            if (!searching && unanswered++ == 0) silentAt = rig.clock.nowMs();
            return false;
        };
    }
    ASSERT_TRUE(rig.until([&] { return rig.ready == 0; }));
    ASSERT_TRUE(rig.until([&] { return rig.writesOf(protocol::kDevice) >= 2; }));
    rig.stop();
    EXPECT_EQ(rig.session.mode(), -1);
    EXPECT_FALSE(rig.panel.visible(RoleClient)) << "no role while searching";
    EXPECT_FALSE(rig.panel.visible(RoleServer));
    const auto h = rig.panel.history(Status);
    EXPECT_NE(std::find(h.begin(), h.end(), "Connecting ..."), h.end());
    EXPECT_TRUE(rig.device.read().SerialNumber.empty());
    EXPECT_EQ(rig.device.read().CasterHost, "caster.example") << "the caster fields stay";
    // Each failed poll is one unanswered query; the third in a row ends the polling.
    EXPECT_EQ(unanswered.load(), 3);
    const auto writes = rig.port.writes();
    std::size_t i = 0;
    while (i < writes.size() &&
           !(writes[i].bytes == protocol::kDevice && writes[i].atMs >= silentAt))
        ++i;
    ASSERT_LT(i, writes.size());
    EXPECT_EQ(writes[i].baudIndex, 1) << "identification starts at the last good rate";
    EXPECT_LE(writes[i].atMs - silentAt, 4 * (300 + 2500 + 500));
}

// The modem falls silent right after answering its third signal query: exactly three more
// queries go unanswered before the monitor identifies it again.
TEST(MonitorThread, ExactlyThreeFailedPollsLoseTheModem) {
    Rig rig;
    int signalQueries = 0;
    bool silent = false;
    rig.modem.answers = [&](std::string_view cmd, int) {
        if (silent) return false;
        if (cmd == protocol::kSignalOnce && ++signalQueries == 3) silent = true;
        return true;
    };
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.writesOf(protocol::kDevice) >= 2; }));
    rig.stop();
    const auto writes = rig.port.writes();
    int third = -1, seen = 0;
    for (std::size_t i = 0; i < writes.size() && third < 0; ++i)
        if (writes[i].bytes == protocol::kSignalOnce && ++seen == 3) third = static_cast<int>(i);
    ASSERT_GE(third, 0);
    std::vector<std::string> unanswered;
    for (std::size_t i = third + 1; i < writes.size() && writes[i].bytes != protocol::kDevice; ++i)
        unanswered.push_back(writes[i].bytes);
    // The third query's own poll goes on with the connection state (sent twice, unanswered): the
    // first failed poll; then two signal queries fail.
    const std::vector<std::string> want = {
        std::string(protocol::kStConnect), std::string(protocol::kStConnect),
        std::string(protocol::kSignalOnce), std::string(protocol::kSignalOnce)};
    EXPECT_EQ(unanswered, want);
}

TEST(MonitorThread, AnUnusualSimStateRedrawsWithoutSending) {
    Rig rig;
    rig.modem.apn = "1,3";
    rig.start();
    ASSERT_TRUE(
        rig.until([&] { return rig.ready == 1 && rig.writesOf(protocol::kApnQuery) == 1; }));
    const std::int64_t t0 = rig.clock.nowMs();
    ASSERT_TRUE(rig.until([&] { return rig.clock.nowMs() > t0 + 60'000; }));
    // A dialog that asks for the line in this state gets it.
    std::thread dialog([&] { rig.gate.pause(); });
    EXPECT_TRUE(rig.until([&] { return rig.gate.parked(); }));
    rig.stop(); // also releases a pause that never came
    dialog.join();
    EXPECT_EQ(rig.writesOf(protocol::kApnQuery), 1);
    EXPECT_EQ(rig.writesOf(protocol::kSignalOnce), 0);
    EXPECT_EQ(rig.ready.load(), 1);
}

TEST(MonitorThread, NoSimShowsItAndHidesTheSignal) {
    Rig rig;
    rig.modem.apn = "0,0";
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.panel.text(ApnInfo) == "No SIM"; }));
    ASSERT_TRUE(rig.until([&] { return rig.panel.visible(SignalFirst); }));
    rig.modem.set(&Modem::apn, "0,5");
    ASSERT_TRUE(rig.until([&] { return rig.panel.text(ApnInfo) == "APN not ready"; }));
    ASSERT_TRUE(rig.until([&] { return rig.panel.visible(SignalFirst + 4); })) << "signal 3";
    rig.modem.set(&Modem::apn, "1,5");
    ASSERT_TRUE(rig.until([&] { return rig.panel.text(ApnInfo).empty(); }));
    EXPECT_TRUE(rig.panel.visible(SignalFirst + 4));
    rig.stop();
}

// A signal level past the range of int is a reply that failed, not a level that wrapped round
// ("4294967297" is not level 1); three of them and the modem counts as lost.
TEST(MonitorThread, ASignalLevelOutOfRangeIsAFailedPoll) {
    Rig rig;
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1 && rig.panel.visible(SignalFirst + 4); }));
    rig.modem.set(&Modem::signal, "4294967297");
    ASSERT_TRUE(rig.until([&] { return rig.ready == 0; }));
    rig.stop();
    EXPECT_FALSE(rig.panel.visible(SignalFirst + 2)) << "level 1 was never shown";
}

// The SIM taken out while the signal was 0: the poll asks for the SIM state again and shows the
// no-SIM picture.
TEST(MonitorThread, SimRemovedAfterASignalOfZeroShowsTheNoSimPicture) {
    Rig rig;
    rig.modem.signal = "0";
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1 && rig.panel.visible(SignalFirst + 1); }));
    rig.modem.set(&Modem::apn, "0,0");
    ASSERT_TRUE(rig.until([&] { return rig.panel.visible(SignalFirst); }));
    EXPECT_FALSE(rig.panel.visible(SignalFirst + 1));
    EXPECT_EQ(rig.panel.text(ApnInfo), "No SIM");
    rig.stop();
}

// Another part of the program sent the modem away (a role change clears the ready flag): the
// monitor leaves its polling and identifies the modem again.
TEST(MonitorThread, ReadyFlagClearedFromOutsideStartsTheSearchAgain) {
    Rig rig;
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1 && rig.panel.visible(SignalFirst + 4); }));
    const int identified = rig.writesOf(protocol::kDevice);
    rig.session.notReady();
    ASSERT_TRUE(rig.until([&] { return rig.writesOf(protocol::kDevice) > identified; }));
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1; })) << "found again";
    EXPECT_EQ(rig.writesOf(protocol::kGetCfg), 2) << "the start-up runs again";
    rig.stop();
}

// The polled connection state swaps the Connect pictures when it turns, both ways.
TEST(MonitorThread, ConnectionTurningOnAndOffSwapsTheConnectPictures) {
    Rig rig;
    rig.start();
    ASSERT_TRUE(rig.until([&] {
        return rig.ready == 1 && rig.panel.visible(Connect) && !rig.panel.visible(Disconnect);
    }));
    rig.modem.set(&Modem::stconnect, "ON");
    ASSERT_TRUE(
        rig.until([&] { return rig.panel.visible(Disconnect) && !rig.panel.visible(Connect); }));
    EXPECT_EQ(rig.session.stConnect(), 1);
    rig.modem.set(&Modem::stconnect, "OFF");
    ASSERT_TRUE(
        rig.until([&] { return rig.panel.visible(Connect) && !rig.panel.visible(Disconnect); }));
    EXPECT_EQ(rig.session.stConnect(), 2);
    rig.stop();
}

// A base without an address at first shows it once "IP?" gives one; losing the SIM, the APN or
// the signal resets the address lines, and the address comes back with them.
TEST(MonitorThread, ServerAddressComesLaterAndIsResetWhenTheLinkIsLost) {
    Rig rig;
    rig.modem.role = "SERVER";
    rig.modem.ip = "null";
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1 && rig.panel.text(Firmware) != ""; }));
    EXPECT_EQ(rig.panel.text(ServerState), "Server: NOT ACTIVE");
    EXPECT_EQ(rig.panel.text(Line2), "Server IP: Not available");
    rig.modem.set(&Modem::ip, "10.1.1.1");
    ASSERT_TRUE(rig.until([&] { return rig.panel.text(Line2) == "Server IP: 10.1.1.1\r\n"; }));
    EXPECT_EQ(rig.panel.text(ServerState), "Server: ACTIVE + QRV CONNECT");

    // A signal of 0 makes the monitor ask for the SIM and APN state again.
    for (const char* apn : {"1,5", "0,5", "0,0"}) {
        rig.modem.set(&Modem::apn, apn);
        rig.modem.set(&Modem::signal, "0");
        // The panel is reset a moment before the address: wait for both.
        ASSERT_TRUE(rig.until([&] {
            return rig.panel.text(Line2) == "Server IP: Not available" &&
                   rig.panel.text(ServerState) == "Server: NOT ACTIVE" &&
                   rig.device.read().ServerIp == "null\r\n";
        })) << apn;
        // With the signal back but no APN (or no SIM) the address stays reset.
        rig.modem.set(&Modem::signal, "3");
        if (std::string(apn) != "1,5") {
            const int asked = rig.writesOf(protocol::kApnQuery);
            ASSERT_TRUE(rig.until([&] { return rig.writesOf(protocol::kApnQuery) >= asked + 3; }));
            EXPECT_EQ(rig.panel.text(Line2), "Server IP: Not available") << apn;
            rig.modem.set(&Modem::apn, "1,5");
        }
        ASSERT_TRUE(rig.until([&] { return rig.panel.text(Line2) == "Server IP: 10.1.1.1\r\n"; }))
            << apn;
    }
    rig.stop();
}

TEST(MonitorThread, PausedBetweenExchangesSendsNothing) {
    Rig rig;
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.ready == 1; }));
    rig.gate.pause();
    EXPECT_FALSE(rig.session.reading());
    const auto n = rig.port.writes().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(rig.port.writes().size(), n);
    rig.gate.resume();
    ASSERT_TRUE(rig.until([&] { return rig.port.writes().size() > n; }));
    rig.stop();
}

// A dialog that asks for the line while the search waits at a rate where nothing has answered
// yet gets it within 0.3 s, whichever wait it comes in, and that rate is tried again after it.
TEST(MonitorThread, ADialogGetsTheLineFromTheSearchAtOnceAndTheRateIsTriedAgain) {
    // The held try at 38400 ends at 2.8 s; the scan's two tries at 9600 run from 3 s to 8.6 s
    // (the write's settle, then the wait for the answer), 19200 from 8.8 s.
    for (const std::int64_t askAt : {1'000, 2'700, 4'000, 6'050, 9'500, 12'000}) {
        Rig rig;
        rig.modem.silent = true;
        std::atomic<std::int64_t> grantedAt{-1};
        std::atomic<int> askedAtBaud{-1};
        std::thread dialog;
        rig.port.atTime(askAt, [&] {
            askedAtBaud = rig.port.baudIndex();
            dialog = std::thread([&] {
                // The section's own waits go on a clock of their own, so that they do not
                // move the worker's time.
                VirtualClock dialogClock;
                PauseSection section("APN", rig.reading, rig.gate, rig.cursor, dialogClock);
                grantedAt = rig.clock.nowMs(); // the worker is parked: the time stands still
                const int before = rig.writesOf(protocol::kDevice);
                rig.modem.baud = askedAtBaud.load();
                rig.modem.silent = false;
                EXPECT_EQ(rig.writesOf(protocol::kDevice), before) << "nothing sent while paused";
            });
            // The read goes on only once the dialog has asked.
            ASSERT_TRUE(rig.until([&] { return rig.gate.yieldRequested(); }));
        });
        rig.start();
        ASSERT_TRUE(rig.until([&] { return rig.ready == 1; })) << askAt;
        dialog.join();
        rig.stop();
        EXPECT_LE(grantedAt - askAt, 300) << "asked at " << askAt;
        EXPECT_GE(grantedAt, askAt);
        EXPECT_EQ(rig.rates(), std::vector<int>{askedAtBaud.load()}) << askAt;
        // After the dialog the interrupted rate came first: no other rate was tried.
        for (const auto& w : rig.port.writes())
            EXPECT_TRUE(w.atMs < askAt || w.baudIndex == askedAtBaud) << askAt;
    }
}

// The adapter pulled while the modem is polled: the panel goes back to searching at once (no
// failed polls first), says that the port is gone and waits for it; plugged in again, the
// modem is ready within 3 s, found at the held rate.
TEST(MonitorThread, APulledAdapterIsLostAtOnceAndFoundAgainSoonAfterItIsBack) {
    constexpr std::int64_t kPulled = 20'000, kBack = 50'000;
    Rig rig;
    test::holdRate(rig.session, 3);
    rig.modem.baud = 3;
    rig.port.absentBetween(kPulled, kBack);
    std::atomic<std::int64_t> lostAt{-1}, goneShownAt{-1};
    std::atomic<std::int64_t> readyAt{-1};
    rig.panel.onText = [&](int id, std::string_view text) {
        const std::int64_t now = rig.clock.nowMs();
        if (id == Status && text == "Connecting ..." && lostAt < 0) lostAt = now;
        if (id == Status && text == StatusDisplay::kPortGoneText && goneShownAt < 0)
            goneShownAt = now;
        // The firmware line completes the ready face.
        if (id == Firmware && !text.empty() && now >= kBack && readyAt < 0) readyAt = now;
    };
    rig.start();
    ASSERT_TRUE(rig.until([&] { return readyAt >= 0; }));
    rig.stop();
    EXPECT_GE(lostAt, kPulled);
    EXPECT_LE(lostAt - kPulled, 1000) << "lost at once, not after three failed polls";
    EXPECT_GE(goneShownAt, lostAt);
    EXPECT_LE(goneShownAt - kPulled, 1000);
    EXPECT_LE(readyAt - kBack, 3000);
    EXPECT_EQ(rig.rates(), (std::vector<int>{3, 3}));
    // Nothing was sent while the device was away, and the first try after it was at 57600.
    const auto writes = rig.port.writes();
    const auto after = std::find_if(writes.begin(), writes.end(),
                                    [&](const auto& w) { return w.atMs >= kPulled; });
    ASSERT_NE(after, writes.end());
    EXPECT_GE(after->atMs, kBack);
    EXPECT_EQ(after->bytes, protocol::kDevice);
    EXPECT_EQ(after->baudIndex, 3);
}

TEST(MonitorThread, PortThatCannotBeOpenedEndsTheProgram) {
    Rig rig;
    rig.port.failOpen(true);
    rig.start();
    ASSERT_TRUE(rig.until([&] { return rig.hooks.portErrors == 1; }));
    rig.worker.join();
    EXPECT_TRUE(rig.port.writes().empty());
}

} // namespace
} // namespace tessadorn
