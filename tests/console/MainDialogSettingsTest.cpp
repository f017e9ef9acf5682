#include "FakeSerialPort.h"
#include "MainDialogRig.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "TestModem.h"
#include "WaitUntil.h"
#include "console/MainDialog.h"
#include "settings/GpsSourceDialog.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

using test::Modem;

// The main dialog over a scripted modem in virtual time, its files in a temporary folder.
struct MainRig : test::MainDialogRig {
    // Waits on the dialog thread until the ready face shows `button`.
    void waitForButton(MainDialog& dialog, int button) {
        host.call([&dialog, button](Dialog&) {
            ASSERT_GE(test::waitUntil([&] {
                          return dialog.session().deviceReady() &&
                                 dialog.controls().visible(button);
                      }),
                      0);
        });
    }
};

// What the main dialog shows after the GPS dialog closed: no Connect picture for a receiver fed
// straight by the modem (KV-318, WAVECOM), the Connect picture (Disconnect while a connection
// runs) and the automatic-connection box for the others, however they were before; a base shows
// none of them whatever the result. The modem follows the receiver's link rate.
TEST(MainDialogSettings, GpsResultDecidesTheConnectControls) {
    struct Case {
        const char* name;
        std::string role, gga, stconnect;
        int make;
        std::string command;
        int modemBaud; // the modem's rate after the command
        bool connect, disconnect, autoConnect;
    };
    const Case cases[] = {
        {"to unknown", "CLIENT", "AUTO,KV-318,COM0", "OFF", GpsSourceDialog::Unknown,
         "#SETGGA,AUTO,UNKNOWN,COM0\r\n", 2, true, false, true},
        {"to wavecom", "CLIENT", "AUTO,TRIMBLE,COM1", "OFF", GpsSourceDialog::Wavecom,
         "#SETGGA,AUTO,WAVECOM,COM0\r\n", 2, false, false, false},
        {"to KV-318", "CLIENT", "AUTO,TRIMBLE,COM1", "OFF", GpsSourceDialog::Kv318,
         "#SETGGA,AUTO,KV-318,COM0\r\n", 0, false, false, false},
        {"to Trimble while connected", "CLIENT", "AUTO,UNKNOWN,COM0", "ON",
         GpsSourceDialog::Trimble, "#SETGGA,AUTO,TRIMBLE,COM1\r\n", 2, false, true, true},
        {"to Topcon", "CLIENT", "AUTO,KV-318,COM0", "OFF", GpsSourceDialog::Topcon,
         "#SETGGA,AUTO,TOPCON,COM4\r\n", 4, true, false, true},
        {"a base to unknown", "SERVER", "AUTO,KV-318,COM0", "OFF", GpsSourceDialog::Unknown,
         "#SETGGA,AUTO,UNKNOWN,COM0\r\n", 2, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainRig rig;
        rig.modem.role = c.role;
        rig.modem.gga = c.gga;
        rig.modem.stconnect = c.stconnect;
        rig.modem.reply(c.command, "<OK\r\n");
        rig.modem.answers = [&](std::string_view cmd, int) {
            if (cmd == c.command) rig.modem.baud = c.modemBaud;
            return true;
        };
        MainDialog dialog(rig.host, rig.port, rig.clock, rig.files);
        rig.waitForButton(dialog, ids::Gps);
        rig.host.click(ids::Gps);
        rig.host.select(GpsSourceDialog::kGpsList, c.make);
        rig.host.ok();
        rig.host.call([&](Dialog& d) {
            EXPECT_EQ(&d, &dialog) << "the GPS dialog closed";
            EXPECT_EQ(d.controls().visible(ids::Connect), c.connect);
            EXPECT_EQ(d.controls().visible(ids::Disconnect), c.disconnect);
            EXPECT_EQ(d.controls().visible(ids::AutoConnect), c.autoConnect);
            if (c.autoConnect) {
                EXPECT_EQ(d.controls().checked(ids::AutoConnect),
                          dialog.session().autoConnect() == 1);
            }
            EXPECT_EQ(dialog.session().baudIndex(), c.modemBaud);
        });
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), kIdOk);
        EXPECT_EQ(rig.port.count(c.command), 1);
        EXPECT_EQ(rig.host.shownSummaries(),
                  std::vector<std::string>{"Attention | Tessadorn configured successfully! | OK"});
    }
}

TEST(MainDialogSettings, ButtonsOpenTheirDialogs) {
    struct Case {
        const char* role;
        const char* firmware;
        int button;
        const char* title;
    };
    const Case cases[] = {{"CLIENT", "2.3.1", ids::Apn, "APN Options"},
                          {"CLIENT", "2.3.1", ids::Gps, "GPS Configuration"},
                          {"SERVER", "3.0.1", ids::Relay, "Halvik QRV Connect Service"}};
    for (const auto& c : cases) {
        MainRig rig;
        rig.modem.cfgReplies = {std::string(c.role) + ",T-0042," + c.firmware +
                                ",350000111122223,web.example,wu,wp"};
        MainDialog dialog(rig.host, rig.port, rig.clock, rig.files);
        rig.waitForButton(dialog, c.button);
        rig.host.click(c.button);
        rig.host.call([&](Dialog& d) { EXPECT_EQ(d.controls().title(), c.title); });
        rig.host.cancel();
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), kIdOk) << c.title;
    }
}

} // namespace
} // namespace tessadorn
