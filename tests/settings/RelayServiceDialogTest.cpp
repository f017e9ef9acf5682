#include "settings/RelayServiceDialog.h"
#include "SettingsRig.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

using R = RelayServiceDialog;
using test::ScriptedHost;

const std::vector<int> kDetails = {R::kHostLabel, R::kPortLabel,  R::kMountpointLabel, R::kHost,
                                   R::kPort,      R::kMountpoint, R::kExplanation};

std::string setBroadcast(bool on) {
    return protocol::setBroadcast(on).text;
}

TEST(RelayServiceDialog, OpensByTheBroadcastFlag) {
    struct Case {
        const char* flag;
        bool on;
    };
    for (const auto& c : {Case{"1", true}, Case{"0", false}, Case{"", false}, Case{"2", true}}) {
        test::SettingsRig rig;
        rig.device.update([&](DeviceConfig::Values& d) {
            d.BroadcastOn = c.flag;
            d.SerialNumber = "T-0042";
        });
        R dialog(rig.parent, rig.session);
        rig.host.call([&](Dialog& d) {
            const ControlModel& m = d.controls();
            EXPECT_EQ(m.title(), "Halvik QRV Connect Service");
            EXPECT_EQ(m.checked(R::kEnable), c.on) << c.flag;
            EXPECT_EQ(m.text(R::kExplanation), c.on ? R::kTextOn : R::kTextOff) << c.flag;
            for (int id : kDetails)
                EXPECT_EQ(m.enabled(id), c.on) << c.flag << " " << id;
            EXPECT_EQ(m.text(R::kHost), protocol::relayHost());
            EXPECT_EQ(m.text(R::kPort), "2102");
            EXPECT_EQ(m.text(R::kMountpoint), "T-0042");
            EXPECT_FALSE(m.visible(kIdOk)) << "the title bar carries OK";
        });
        rig.host.click(kIdCancel);
        EXPECT_EQ(dialog.doModal(), 0) << c.flag;
        EXPECT_TRUE(rig.sent().empty());
        EXPECT_EQ(rig.device.read().BroadcastOn, c.flag);
    }
    EXPECT_NE(std::string(R::kTextOn).find("server.\r\n\r\nIn Tessadorn"), std::string::npos);
    EXPECT_NE(std::string(R::kTextOff).find("server.\r\nIn Tessadorn"), std::string::npos);
}

// The setting goes out even when unchanged; what is typed into the display edits is not used.
TEST(RelayServiceDialog, OkSendsTheTickAndRecordsIt) {
    struct Case {
        const char* name;
        const char* before;
        bool click;
        bool on;
    };
    const Case cases[] = {{"unchanged on", "1", false, true},
                          {"switched on", "0", true, true},
                          {"switched off", "1", true, false}};
    for (const auto& c : cases) {
        test::SettingsRig rig;
        rig.device.update([&](DeviceConfig::Values& d) { d.BroadcastOn = c.before; });
        rig.accept(setBroadcast(c.on));
        R dialog(rig.parent, rig.session);
        if (c.click) rig.host.click(R::kEnable);
        rig.host.type(R::kHost, "evil.example");
        rig.host.type(R::kPort, "1");
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), 4) << c.name;
        EXPECT_EQ(rig.sent(), std::vector<std::string>{setBroadcast(c.on)}) << c.name;
        EXPECT_EQ(rig.device.read().BroadcastOn, c.on ? "1" : "0") << c.name;
        EXPECT_EQ(rig.host.shownSummaries(),
                  std::vector<std::string>{"Attention | Tessadorn configured successfully! | OK"})
            << c.name;
        EXPECT_TRUE(rig.probe.failed().empty()) << c.name << ": sent with the monitor running";
        EXPECT_EQ(rig.debug.count("Broadcast: Thread Pausat ...\r\n"), 1) << c.name;
    }
}

TEST(RelayServiceDialog, ARefusedSettingKeepsTheFlagAndTheDialogOpen) {
    test::SettingsRig rig;
    rig.device.update([](DeviceConfig::Values& d) { d.BroadcastOn = "0"; });
    R dialog(rig.parent, rig.session);
    rig.host.click(R::kEnable);
    rig.host.call([](Dialog& d) {
        for (int id : kDetails)
            EXPECT_TRUE(d.controls().enabled(id)) << id;
    });
    rig.host.ok();
    EXPECT_EQ(dialog.doModal(), ScriptedHost::kEndedIdle);
    EXPECT_EQ(rig.port.count(setBroadcast(true)), 3);
    EXPECT_EQ(rig.host.shownTexts(), std::vector<std::string>{"Configuration Error"});
    EXPECT_EQ(rig.host.shownBoxes()[0].request.caption, "Attention");
    EXPECT_EQ(rig.device.read().BroadcastOn, "0");
    EXPECT_FALSE(rig.host.waitCursorShown());
}

} // namespace
} // namespace tessadorn
