#include "console/StatusDisplay.h"
#include "FakePanel.h"
#include "console/AnimationThread.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

using test::FakePanel;
using namespace ids;

PanelInputs client(std::string gpsType, int stConnect = 2) {
    PanelInputs in;
    in.device.SerialNumber = "T-0042";
    in.device.GpsType = std::move(gpsType);
    in.device.GgaMode = "AUTO";
    in.device.CasterHost = "caster.example";
    in.device.CasterPort = "2101";
    in.device.CasterMountpoint = "MP1";
    in.device.CasterUser = "alice";
    in.device.CasterKind = "0";
    in.stConnect = stConnect;
    in.count = 2;
    in.user = "bob";
    in.current = CasterEntry{"Home caster", "home.example", "2102", "bob", "pw", "0", "1"};
    return in;
}

struct ClientCase {
    const char* name;
    PanelInputs in;
    std::string line0, line1, line2, line3;
};

TEST(PanelText, ClientLinesByGpsTypeConnectionAndCaster) {
    auto manual = client("UNKNOWN");
    manual.device.GgaMode = "MANUAL";
    auto tessadornStored = client("TRIMBLE", 1);
    tessadornStored.device.CasterKind = "1";
    auto noAuth = client("TRIMBLE", 1);
    noAuth.auth = "no";
    auto empty = client("TOPCON");
    empty.count = 0;
    auto tessadornEntry = client("TRIMBLE");
    tessadornEntry.current.Tessadorn = "1";
    auto entryNoAuth = client("UNKNOWN");
    entryNoAuth.auth = "no";
    auto nullSerial = client("KV-318");
    nullSerial.device.SerialNumber = "null";
    auto wavecomOddRate = client("WAVECOM");
    wavecomOddRate.baudIndex = -1;

    const ClientCase cases[] = {
        {"kv318", client("KV-318"), "SN: T-0042", "Mode: HALVIK KV-318", "Baudrate: 9600", ""},
        {"null serial", nullSerial, "SN: Not available", "Mode: HALVIK KV-318", "Baudrate: 9600",
         ""},
        {"wavecom", client("WAVECOM"), "SN: T-0042", "Mode: WAVECOM EMULATOR", "Baudrate: 38400",
         ""},
        {"empty type", client(""), "SN: T-0042", "Mode: WAVECOM EMULATOR", "Baudrate: 38400", ""},
        {"wavecom odd rate keeps line", wavecomOddRate, "SN: T-0042", "Mode: WAVECOM EMULATOR",
         "(kept)", ""},
        {"connected to a tessadorn", tessadornStored, "SN: T-0042", "TESSADORN IP: caster.example",
         "TESSADORN Port: 2101", ""},
        {"connected to a caster", client("TRIMBLE", 1), "SN: T-0042", "Svr: caster.example /MP1",
         "Authorization: yes (alice)", "GPS Position: AUTO (TRIMBLE)"},
        {"connected without auth", noAuth, "SN: T-0042", "Svr: caster.example /MP1",
         "Authorization: no", "GPS Position: AUTO (TRIMBLE)"},
        {"no casters", empty, "SN: T-0042",
         "Svr:", "Authorization:", "GPS Position: AUTO (TOPCON)"},
        {"current is a tessadorn", tessadornEntry, "SN: T-0042", "Server: Home caster",
         "TESSADORN IP: home.example", "TESSADORN Port: 2102"},
        {"current is a caster", client("TOPCON"), "SN: T-0042", "Server: Home caster",
         "Authorization: yes (bob)", "GPS Position: AUTO (TOPCON)"},
        {"current without auth", entryNoAuth, "SN: T-0042", "Server: Home caster",
         "Authorization: no", "GPS Position: AUTO (UNKNOWN)"},
        {"manual position", manual, "SN: T-0042", "Server: Home caster", "Authorization: yes (bob)",
         "GPS Position: MANUAL"},
    };
    for (const auto& c : cases) {
        FakePanel panel;
        for (int id : {Line1, Line2, Line3})
            panel.setText(id, "(kept)");
        StatusDisplay display(panel);
        display.clientReadyFace(c.in, 1);
        EXPECT_EQ(panel.text(Line0), c.line0) << c.name;
        EXPECT_EQ(panel.text(Line1), c.line1) << c.name;
        EXPECT_EQ(panel.text(Line2), c.line2) << c.name;
        EXPECT_EQ(panel.text(Line3), c.line3) << c.name;
        EXPECT_EQ(panel.text(ServerState), "") << c.name;
    }
}

// A receiver of the modem's own emulation shows the line rate of every baud index.
TEST(PanelText, BaudrateLineForEveryRateIndex) {
    const char* rates[] = {"9600", "19200", "38400", "57600", "115200"};
    for (int index = 0; index <= 4; ++index) {
        auto in = client("WAVECOM");
        in.baudIndex = index;
        FakePanel panel;
        StatusDisplay display(panel);
        display.clientReadyFace(in, 0);
        EXPECT_EQ(panel.text(Line2), std::string("Baudrate: ") + rates[index]) << index;
        panel.setText(Line2, "");
        display.sizeRefresh(true, 2, in);
        EXPECT_EQ(panel.text(Line2), std::string("Baudrate: ") + rates[index]) << index;
    }
}

TEST(PanelText, ServerLines) {
    struct Case {
        const char* name;
        std::string serial, ip, broadcast;
        std::string line1, state, line2;
    };
    const Case cases[] = {
        {"active", "S1", "10.1.2.3\r\n", "0", "SN: S1", "Server: ACTIVE",
         "Server IP: 10.1.2.3\r\n"},
        {"relayed", "S1", "10.1.2.3\r\n", "1", "SN: S1", "Server: ACTIVE + QRV CONNECT",
         "Server IP: 10.1.2.3\r\n"},
        {"no address", "null", "null\r\n", "1", "SN: Not available", "Server: NOT ACTIVE",
         "Server IP: Not available"},
    };
    for (const auto& c : cases) {
        PanelInputs in;
        in.device.SerialNumber = c.serial;
        in.device.ServerIp = c.ip;
        in.device.BroadcastOn = c.broadcast;
        FakePanel panel;
        StatusDisplay display(panel);
        EXPECT_FALSE(display.sizeRefresh(true, 1, in)) << c.name;
        EXPECT_EQ(panel.text(Line0), "Model: TESSADORN SERVER") << c.name;
        EXPECT_EQ(panel.text(Line1), c.line1) << c.name;
        EXPECT_EQ(panel.text(ServerState), c.state) << c.name;
        EXPECT_EQ(panel.text(Line2), c.line2) << c.name;
        EXPECT_EQ(panel.text(Line3), "Server Port: 2101") << c.name;
    }
}

TEST(StatusDisplay, ServerFaceShowsCasterOrRelayByFirmware) {
    for (auto [fw, caster] :
         {std::pair{"2.0.1", true}, std::pair{"3.1", false}, std::pair{"", false}}) {
        FakePanel panel;
        StatusDisplay display(panel);
        display.hideAll();
        PanelInputs in;
        in.device.FirmwareVersion = fw;
        display.serverReadyFace(in);
        // Exactly one of the two pictures at that place.
        EXPECT_EQ(panel.visible(Caster), caster) << fw;
        EXPECT_EQ(panel.visible(Relay), !caster) << fw;
        EXPECT_TRUE(panel.visible(RoleServer));
        EXPECT_FALSE(panel.visible(RoleClient));
        EXPECT_FALSE(panel.visible(Connect));
        EXPECT_FALSE(panel.visible(AutoConnect));
        // A client face drawn over it shows the caster picture alone.
        display.clientReadyFace(client("TRIMBLE"), 0);
        EXPECT_TRUE(panel.visible(Caster)) << fw;
        EXPECT_FALSE(panel.visible(Relay)) << fw;
    }
}

TEST(StatusDisplay, RuleCOnTheMonitorsFill) {
    struct Case {
        const char* gps;
        int stConnect;
        bool box, connect, disconnect;
        int stAfter;
    };
    const Case cases[] = {
        {"TRIMBLE", 1, true, false, true, 1},   {"TRIMBLE", 2, true, true, false, 0},
        {"TOPCON", 0, true, true, false, 0},    {"KV-318", 1, false, false, false, 1},
        {"WAVECOM", 2, false, false, false, 2}, {"OTHER", 2, true, true, false, 0},
    };
    for (const auto& c : cases) {
        FakePanel panel;
        StatusDisplay display(panel);
        const int st = display.clientReadyFace(client(c.gps, c.stConnect), 1);
        EXPECT_EQ(panel.visible(AutoConnect), c.box) << c.gps;
        EXPECT_EQ(panel.visible(Connect), c.connect) << c.gps;
        EXPECT_EQ(panel.visible(Disconnect), c.disconnect) << c.gps;
        EXPECT_EQ(st, c.stAfter) << c.gps;
        if (c.box) {
            EXPECT_TRUE(panel.checked(AutoConnect));
        }
    }
}

TEST(StatusDisplay, SizeRefresh) {
    { // while searching only three lines are emptied
        FakePanel panel;
        StatusDisplay display(panel);
        panel.setText(Line1, "keep");
        panel.setText(ApnInfo, "No SIM");
        EXPECT_FALSE(display.sizeRefresh(false, -1, client("TRIMBLE")));
        EXPECT_EQ(panel.text(Line1), "keep");
        EXPECT_EQ(panel.text(ApnInfo), "");
    }
    { // TOPCON shows the Connect pictures on a refresh
        FakePanel panel;
        StatusDisplay display(panel);
        auto in = client("TOPCON", 1);
        in.device.FirmwareVersion = "2.4";
        EXPECT_TRUE(display.sizeRefresh(true, 2, in));
        EXPECT_TRUE(panel.visible(Disconnect));
        EXPECT_FALSE(panel.visible(Connect));
        EXPECT_EQ(panel.text(Firmware), "Fw v2.4");
    }
    { // other receivers hide them; a caster receiver's "off" is to be forgotten
        FakePanel panel;
        StatusDisplay display(panel);
        EXPECT_TRUE(display.sizeRefresh(true, 2, client("UNKNOWN", 2)));
        EXPECT_TRUE(panel.visible(Connect));
        EXPECT_FALSE(display.sizeRefresh(true, 2, client("KV-318", 1)));
        EXPECT_FALSE(panel.visible(Connect));
        EXPECT_FALSE(panel.visible(Disconnect));
    }
}

// A final status (the simulated modem is not started again) stays on the line whatever the
// monitor says after it, also after a size change.
TEST(StatusDisplay, AFinalStatusStaysOnTheLine) {
    FakePanel panel;
    StatusDisplay display(panel);
    const std::string last = "The simulated modem stopped 6 times within a minute and is not "
                             "started again.";
    display.statusLine("Connecting ...");
    display.finalStatusLine(last);
    display.portGone();
    display.linkLost();
    display.statusLine("Searching at 38400...");
    display.sizeRefresh(false, -1, client("TRIMBLE"));
    EXPECT_EQ(panel.text(Status), last);
    EXPECT_TRUE(panel.visible(Status));
}

// The searching face while the port is gone: a remote port's connection is named.
TEST(StatusDisplay, PortGoneNamesARemoteConnection) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "The port is gone; waiting for it..."},
        {"rfc2217://127.0.0.1:2217",
         "The connection to rfc2217://127.0.0.1:2217 is gone; waiting for it..."},
    };
    for (const auto& [address, shown] : rows) {
        FakePanel panel;
        StatusDisplay display(panel);
        display.statusLine("Connecting at 9600...");
        display.portGone(address);
        EXPECT_EQ(panel.text(Status), shown);
        EXPECT_TRUE(panel.visible(Status));
    }
}

TEST(StatusDisplay, SignalAndApnLines) {
    FakePanel panel;
    StatusDisplay display(panel);
    for (int level = -2; level <= 5; ++level) {
        display.signalPicture(level);
        for (int id = SignalFirst; id <= SignalLast; ++id)
            EXPECT_EQ(panel.visible(id), id == SignalFirst + level + 1) << level;
    }
    const std::tuple<int, int, const char*> apn[] = {
        {1, 0, "No SIM"}, {0, 0, "No SIM"}, {0, 5, "APN not ready"}, {1, 5, ""}, {1, 3, ""}};
    for (auto [ready, sim, want] : apn) {
        display.apnLine(ready, sim);
        EXPECT_EQ(panel.text(ApnInfo), want);
    }
}

TEST(AnimationThread, FramesReadyAndLost) {
    FakePanel panel;
    StatusDisplay display(panel);
    VirtualClock clock;
    std::atomic<int> ready{0};
    AnimationThread anim(ready, display, clock);
    const int frames[] = {Frame1, Frame2, Frame3, Frame4, Frame5};
    auto shown = [&] {
        int n = 0, which = 0;
        for (int f : frames)
            if (panel.visible(f)) ++n, which = f;
        return n == 1 ? which : -n;
    };
    for (int f : frames)
        panel.setVisible(f, false);
    for (int t = 1; t <= 4; ++t)
        anim.tick();
    EXPECT_EQ(shown(), 0) << "nothing before tick 5";
    const std::pair<int, int> schedule[] = {{5, Frame1},  {10, Frame2}, {15, Frame3},
                                            {20, Frame4}, {25, Frame5}, {35 + 5, Frame1}};
    int tick = 4;
    for (auto [at, frame] : schedule) {
        while (tick < at)
            anim.tick(), ++tick;
        EXPECT_EQ(shown(), frame) << "tick " << at;
    }
    ready = 1;
    anim.tick();
    EXPECT_EQ(shown(), 0);
    EXPECT_FALSE(panel.visible(Logo));
    EXPECT_TRUE(panel.visible(GreyApn));
    EXPECT_FALSE(panel.visible(GreyConnect));
    ready = 0;
    anim.tick();
    EXPECT_EQ(shown(), Frame1);
    EXPECT_FALSE(panel.visible(GreyApn));
    for (int t = 0; t < 4; ++t)
        anim.tick(); // ticks 6..9
    EXPECT_EQ(shown(), Frame1);
    anim.tick(); // tick 10
    EXPECT_EQ(shown(), Frame2);
}

} // namespace
} // namespace tessadorn
