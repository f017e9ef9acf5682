#include "FakeSerialPort.h"
#include "MainDialogRig.h"
#include "ScriptedHost.h"
#include "SettingsRig.h"
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
                          return dialog.session().deviceReady().load() == 1 &&
                                 dialog.controls().visible(button);
                      }),
                      0);
        });
    }
};

// What the main dialog shows after the GPS dialog closed: no Connect picture for a receiver fed
// straight by the modem (KV-318, WAVECOM), the Connect picture and the automatic-connection box
// for the others, however they were before.
TEST(MainDialogSettings, GpsResultDecidesTheConnectControls) {
    struct Case {
        const char* name;
        std::string gga;
        int make;
        std::string command;
        bool connect, autoConnect;
    };
    const Case cases[] = {
        {"to unknown", "AUTO,KV-318,COM0", GpsSourceDialog::Unknown,
         "#SETGGA,AUTO,UNKNOWN,COM0\r\n", true, true},
        {"to wavecom", "AUTO,TRIMBLE,COM1", GpsSourceDialog::Wavecom,
         "#SETGGA,AUTO,WAVECOM,COM0\r\n", false, false},
    };
    for (const auto& c : cases) {
        MainRig rig;
        rig.modem.gga = c.gga;
        rig.peer.on(c.command, "<OK\r\n");
        MainDialog dialog(rig.host, rig.port, rig.clock, rig.files);
        rig.waitForButton(dialog, ids::Gps);
        rig.host.click(ids::Gps);
        rig.host.select(GpsSourceDialog::kGpsList, c.make);
        rig.host.ok();
        rig.host.call([&](Dialog& d) {
            EXPECT_EQ(&d, &dialog) << c.name << ": the GPS dialog closed";
            EXPECT_EQ(d.controls().visible(ids::Connect), c.connect) << c.name;
            EXPECT_FALSE(d.controls().visible(ids::Disconnect)) << c.name;
            EXPECT_EQ(d.controls().visible(ids::AutoConnect), c.autoConnect) << c.name;
            if (c.autoConnect) {
                EXPECT_EQ(d.controls().checked(ids::AutoConnect),
                          dialog.session().autoConnect().load() == 1)
                    << c.name;
            }
        });
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), kIdOk) << c.name;
        EXPECT_EQ(rig.port.count(c.command), 1) << c.name;
        EXPECT_EQ(rig.host.shownTexts(),
                  std::vector<std::string>{"Tessadorn configured successfully!"})
            << c.name;
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
