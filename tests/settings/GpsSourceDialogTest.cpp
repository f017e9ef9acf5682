#include "settings/GpsSourceDialog.h"
#include "SettingsRig.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tessadorn {
namespace {

using G = GpsSourceDialog;
using test::ScriptedHost;

constexpr int kEndedIdle = ScriptedHost::kEndedIdle; // the dialog was still open
const std::vector<std::string> kSpeeds = {"9600", "19200", "38400", "57600", "115200"};

struct Start {
    std::string ggaMode = "AUTO", gpsType = "KV-318", gpsPort = "COM0";
    std::string latitude, longitude;
    int baudIndex = 2;
    int mode = kModeClient;
};

Start automatic(std::string type, std::string port = "COM0", int baudIndex = 2) {
    Start s;
    s.gpsType = std::move(type);
    s.gpsPort = std::move(port);
    s.baudIndex = baudIndex;
    return s;
}

Start manual(std::string latitude, std::string longitude, int baudIndex = 2,
             int mode = kModeClient) {
    Start s;
    s.ggaMode = "MANUAL";
    s.gpsType = "UNKNOWN";
    s.gpsPort = "";
    s.latitude = std::move(latitude);
    s.longitude = std::move(longitude);
    s.baudIndex = baudIndex;
    s.mode = mode;
    return s;
}

void prepare(test::SettingsRig& rig, const Start& s) {
    rig.device.update([&](DeviceConfig::Values& d) {
        d.GgaMode = s.ggaMode;
        d.GpsType = s.gpsType;
        d.GpsPort = s.gpsPort;
        d.GgaLatitude = s.latitude;
        d.GgaLongitude = s.longitude;
    });
    test::holdRate(rig.session, s.baudIndex);
    rig.session.modeFound(s.mode);
}

TEST(GpsSourceDialog, OpensOnTheModemsCurrentSource) {
    struct Case {
        const char* name;
        Start start;
        int make;
        std::vector<std::string> second;
        int choice;
        bool portLabel, manualTicked, manualEnabled, positionEnabled;
        std::string latitude, longitude;
    };
    // clang-format off
    const Case cases[] = {
        {"manual", manual("41.500000", "2.250000", 3), G::Unknown, kSpeeds, 3, false, true, true,
         true, "41.500000", "2.250000"},
        {"kv-318", automatic("KV-318", "COM0"), G::Kv318, {"9600"}, 0, false, false, true, false,
         "0.000000", "0.000000"},
        {"trimble", automatic("TRIMBLE", "COM2"), G::Trimble, {"COM1", "COM2", "COM3"}, 1, true,
         false, false, false, "0.000000", "0.000000"},
        {"trimble on COM3", automatic("TRIMBLE", "COM3"), G::Trimble, {"COM1", "COM2", "COM3"}, 2,
         true, false, false, false, "0.000000", "0.000000"},
        {"trimble, odd port", automatic("TRIMBLE", "COM4"), G::Trimble, {"COM1", "COM2", "COM3"}, 0,
         true, false, false, false, "0.000000", "0.000000"},
        {"wavecom, no rate found", automatic("WAVECOM", "COM0", -1), G::Wavecom, kSpeeds, -1, false,
         false, false, false, "0.000000", "0.000000"},
        {"unknown", automatic("UNKNOWN", "COM0", 4), G::Unknown, kSpeeds, 4, false, false, true,
         false, "0.000000", "0.000000"},
        {"topcon", automatic("TOPCON", "COM4"), G::Topcon, {"PORT D"}, 0, true, false, false, false,
         "0.000000", "0.000000"},
        {"other", automatic("GARMIN", "COM1"), G::Kv318, {}, -1, true, false, true, false,
         "0.000000", "0.000000"},
    };
    // clang-format on
    for (const auto& c : cases) {
        test::SettingsRig rig;
        prepare(rig, c.start);
        G dialog(rig.parent, rig.session);
        rig.host.call([&](Dialog& d) {
            const ControlModel& m = d.controls();
            EXPECT_EQ(m.title(), "GPS Configuration") << c.name;
            EXPECT_EQ(m.items(G::kGpsList),
                      (std::vector<std::string>{"HALVIK KV-318", "TRIMBLE", "WAVECOM EMU",
                                                "UNKNOWN", "TOPCON"}))
                << c.name;
            EXPECT_EQ(m.selection(G::kGpsList), c.make) << c.name;
            EXPECT_EQ(m.items(G::kSecondList), c.second) << c.name;
            EXPECT_EQ(m.selection(G::kSecondList), c.choice) << c.name;
            EXPECT_EQ(m.visible(G::kPortLabel), c.portLabel) << c.name;
            EXPECT_EQ(m.visible(G::kBaudLabel), !c.portLabel) << c.name;
            EXPECT_EQ(m.checked(G::kManual), c.manualTicked) << c.name;
            EXPECT_EQ(m.enabled(G::kManual), c.manualEnabled) << c.name;
            EXPECT_TRUE(m.visible(G::kManual)) << c.name;
            for (int id : {G::kLatitudeLabel, G::kLatitude, G::kLongitudeLabel, G::kLongitude})
                EXPECT_EQ(m.enabled(id), c.positionEnabled) << c.name << " " << id;
            EXPECT_EQ(m.text(G::kLatitude), c.latitude) << c.name;
            EXPECT_EQ(m.text(G::kLongitude), c.longitude) << c.name;
        });
        rig.host.cancel();
        EXPECT_EQ(dialog.doModal(), 0) << c.name;
        EXPECT_TRUE(rig.sent().empty()) << c.name;
    }
}

TEST(GpsSourceDialog, ABaseNeverShowsTheManualPosition) {
    test::SettingsRig rig;
    prepare(rig, manual("1.000000", "2.000000", 2, kModeServer));
    G dialog(rig.parent, rig.session);
    rig.host.select(G::kGpsList, G::Unknown);
    rig.host.turn(320, 240);
    rig.host.call([](Dialog& d) {
        for (int id :
             {G::kManual, G::kLatitudeLabel, G::kLatitude, G::kLongitudeLabel, G::kLongitude})
            EXPECT_FALSE(d.controls().visible(id)) << id;
    });
    rig.host.click(G::kCancel);
    EXPECT_EQ(dialog.doModal(), 0);
}

TEST(GpsSourceDialog, ChangingTheMakeRefillsTheSecondListAndTheManualControls) {
    test::SettingsRig rig;
    prepare(rig, automatic("TRIMBLE", "COM3", 3));
    G dialog(rig.parent, rig.session);
    rig.host.select(G::kGpsList, G::Unknown);
    rig.host.call([](Dialog& d) {
        const ControlModel& m = d.controls();
        EXPECT_EQ(m.items(G::kSecondList), kSpeeds);
        EXPECT_EQ(m.selection(G::kSecondList), 3) << "the rate in use";
        EXPECT_TRUE(m.enabled(G::kManual));
        EXPECT_FALSE(m.enabled(G::kLatitude)) << "not ticked";
        EXPECT_FALSE(m.visible(G::kPortLabel));
    });
    rig.host.click(G::kManual);
    rig.host.type(G::kLatitude, "12.5");
    rig.host.call([](Dialog& d) {
        EXPECT_TRUE(d.controls().enabled(G::kLatitude));
        EXPECT_TRUE(d.controls().enabled(G::kLongitudeLabel));
    });
    rig.host.select(G::kGpsList, G::Wavecom);
    rig.host.call([](Dialog& d) {
        EXPECT_FALSE(d.controls().enabled(G::kManual));
        EXPECT_FALSE(d.controls().enabled(G::kLatitude));
        EXPECT_EQ(d.controls().text(G::kLatitude), "12.5") << "kept for WAVECOM";
    });
    rig.host.select(G::kGpsList, G::Topcon);
    rig.host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().items(G::kSecondList), std::vector<std::string>{"PORT D"});
        EXPECT_EQ(d.controls().selection(G::kSecondList), 0);
        EXPECT_TRUE(d.controls().visible(G::kPortLabel));
        EXPECT_FALSE(d.controls().visible(G::kBaudLabel));
        EXPECT_EQ(d.controls().text(G::kLatitude), "0.000000");
    });
    rig.host.cancel();
    EXPECT_EQ(dialog.doModal(), 0);
    EXPECT_TRUE(rig.sent().empty());
}

// OK by make: what is sent (only what is needed), what the dialog records, the rate the link
// ends at and what the device profile then holds.
TEST(GpsSourceDialog, OkSendsWhatTheChoiceNeedsAndFollowsTheRate) {
    constexpr int kAsOpened = -1;
    struct Case {
        const char* name;
        Start start;
        int make, choice;      // kAsOpened: left as the dialog opened
        bool clickManual;      // "Manual Input" clicked
        const char *lat, *lon; // typed when not null
        std::vector<std::string> want;
        int result;
        int baudIndex;       // afterwards, also the rate the link is open at
        std::string profile; // "" when the file is not written
        std::string source;  // GgaMode, GpsType and GpsPort afterwards
        int autoConnect;
    };
    const int keep = kAsOpened;
    // clang-format off
    const Case cases[] = {
        {"kv-318 unchanged", automatic("KV-318"), keep, keep, false, nullptr, nullptr, {}, 1, 2, "",
         "AUTO,KV-318,COM0", 1},
        {"trimble same port", automatic("TRIMBLE", "COM2"), keep, keep, false, nullptr, nullptr, {},
         2, 2, "", "AUTO,TRIMBLE,COM2", 1},
        {"trimble other port", automatic("TRIMBLE", "COM2", 3), keep, 2, false, nullptr, nullptr,
         {"#SETGGA,AUTO,TRIMBLE,COM3\r\n"}, 2, 2, "2", "AUTO,TRIMBLE,COM3", 1},
        {"wavecom unchanged", automatic("WAVECOM"), keep, keep, false, nullptr, nullptr, {}, 3, 2,
         "", "AUTO,WAVECOM,COM0", 1},
        {"wavecom new rate", automatic("WAVECOM"), keep, 4, false, nullptr, nullptr,
         {"#COM 115200\r\n"}, 3, 4, "4", "AUTO,WAVECOM,COM0", 1},
        // The port is no part of a WAVECOM setting.
        {"to wavecom at 115200", automatic("TRIMBLE", "COM1"), G::Wavecom, 4, false, nullptr,
         nullptr, {"#SETGGA,AUTO,WAVECOM,COM0\r\n", "#COM 115200\r\n"}, 3, 4, "4",
         "AUTO,WAVECOM,COM1", 0},
        {"no rate found, none chosen", automatic("WAVECOM", "COM0", -1), keep, keep, false, nullptr,
         nullptr, {}, 3, -1, "", "AUTO,WAVECOM,COM0", 1},
        {"no rate found, one chosen", automatic("UNKNOWN", "COM0", -1), keep, 2, false, nullptr,
         nullptr, {"#COM 38400\r\n"}, 4, 2, "2", "AUTO,UNKNOWN,COM0", 1},
        {"manual position", automatic("UNKNOWN"), keep, keep, true, "41.5", " +2.25 ",
         {"#SETGGA,MANUAL,41.500000,2.250000\r\n"}, 4, 2, "", "MANUAL,UNKNOWN,COM0", 1},
        {"manual at the poles' limits", automatic("UNKNOWN"), keep, keep, true, "90", "-180",
         {"#SETGGA,MANUAL,90.000000,-180.000000\r\n"}, 4, 2, "", "MANUAL,UNKNOWN,COM0", 1},
        {"manual unchanged is sent again", manual("-33.918861", "18.423300"), keep, keep, false,
         nullptr, nullptr, {"#SETGGA,MANUAL,-33.918861,18.423300\r\n"}, 4, 2, "", "MANUAL,UNKNOWN,",
         1},
        {"manual to automatic", manual("1.000000", "1.000000"), keep, keep, true, nullptr, nullptr,
         {"#SETGGA,AUTO,UNKNOWN,COM0\r\n"}, 4, 2, "", "AUTO,UNKNOWN,", 1},
        {"topcon", automatic("KV-318"), G::Topcon, keep, false, nullptr, nullptr,
         {"#SETGGA,AUTO,TOPCON,COM4\r\n"}, 2, 4, "4", "AUTO,TOPCON,COM4", 1},
        {"kv-318", automatic("WAVECOM"), G::Kv318, keep, false, nullptr, nullptr,
         {"#SETGGA,AUTO,KV-318,COM0\r\n"}, 1, 0, "0", "AUTO,KV-318,COM0", 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        test::SettingsRig rig;
        prepare(rig, c.start);
        for (const auto& cmd : c.want)
            rig.accept(cmd, 2);
        G dialog(rig.parent, rig.session);
        if (c.make != kAsOpened) rig.host.select(G::kGpsList, c.make);
        if (c.choice != kAsOpened) rig.host.select(G::kSecondList, c.choice);
        if (c.clickManual) rig.host.click(G::kManual);
        if (c.lat) rig.host.type(G::kLatitude, c.lat);
        if (c.lon) rig.host.type(G::kLongitude, c.lon);
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), c.result) << c.name;
        EXPECT_EQ(rig.sent(), c.want) << c.name;
        EXPECT_TRUE(rig.probe.failed().empty()) << c.name << ": sent with the monitor running";
        EXPECT_EQ(rig.host.shownSummaries(),
                  std::vector<std::string>{"Attention | Tessadorn configured successfully! | OK"})
            << c.name;
        EXPECT_EQ(rig.session.baudIndex(), c.baudIndex) << c.name;
        const bool reopened =
            c.baudIndex != c.start.baudIndex || (c.result == 1 && !c.want.empty());
        EXPECT_EQ(rig.port.opens(), reopened ? 2 : 1) << c.name;
        if (reopened) {
            EXPECT_EQ(rig.port.baudIndex(), c.baudIndex) << c.name;
            EXPECT_EQ(rig.serial.OpenIndex(), c.baudIndex) << c.name;
            EXPECT_EQ(rig.debug.count("Closing COM...\r\n"), 1) << c.name;
            EXPECT_EQ(rig.debug.count("Opening COM...\r\n"), 1) << c.name;
        }
        EXPECT_EQ(std::filesystem::exists(rig.session.profilePath())
                      ? test::readBytes(rig.session.profilePath())
                      : "",
                  c.profile)
            << c.name;
        const auto d = rig.device.read();
        EXPECT_EQ(d.GgaMode + "," + d.GpsType + "," + d.GpsPort, c.source) << c.name;
        EXPECT_EQ(rig.session.autoConnect(), c.autoConnect) << c.name;
        EXPECT_EQ(rig.debug.count("GPS: Esperant ...\r\n"), 1) << c.name;
        EXPECT_EQ(rig.debug.count("GPS: Thread Reiniciat ...\r\n"), 1) << c.name;
        EXPECT_FALSE(rig.host.waitCursorShown()) << c.name;
    }
}

TEST(GpsSourceDialog, ManualPositionIsRecordedInTheModemsForm) {
    test::SettingsRig rig;
    prepare(rig, automatic("UNKNOWN"));
    rig.accept("#SETGGA,MANUAL,-0.000001,179.999999\r\n");
    G dialog(rig.parent, rig.session);
    rig.host.click(G::kManual);
    rig.host.type(G::kLatitude, "-1e-6");
    rig.host.type(G::kLongitude, "179.9999994");
    rig.host.ok();
    EXPECT_EQ(dialog.doModal(), 4);
    EXPECT_EQ(rig.device.read().GgaLatitude, "-0.000001");
    EXPECT_EQ(rig.device.read().GgaLongitude, "179.999999");
}

// A refused command ends the sequence: what was accepted before stays recorded, the link stays
// at its rate and the dialog stays open for another try.
TEST(GpsSourceDialog, ARefusedCommandStopsTheSequence) {
    test::SettingsRig rig;
    prepare(rig, automatic("TRIMBLE", "COM1"));
    rig.accept("#SETGGA,AUTO,WAVECOM,COM0\r\n");
    G dialog(rig.parent, rig.session);
    rig.host.select(G::kGpsList, G::Wavecom);
    rig.host.select(G::kSecondList, 0);
    rig.host.ok();
    EXPECT_EQ(dialog.doModal(), kEndedIdle);
    EXPECT_EQ(rig.port.count("#COM 9600\r\n"), 3) << "sent with two resends";
    EXPECT_EQ(rig.host.shownTexts(), std::vector<std::string>{"Configuration Error"});
    EXPECT_EQ(rig.host.shownBoxes()[0].request.caption, "Attention");
    EXPECT_EQ(rig.device.read().GpsType, "WAVECOM");
    EXPECT_EQ(rig.session.baudIndex(), 2);
    EXPECT_EQ(rig.port.opens(), 1);
    EXPECT_FALSE(rig.session.reading());
    EXPECT_FALSE(rig.host.waitCursorShown());
}

// A position the modem would misread is refused where it was typed, naming the field.
TEST(GpsSourceDialog, AManualPositionMustBeANumberWithinRange) {
    struct Case {
        std::string latitude, longitude, message;
    };
    const std::string lat = "The latitude must be a number from -90 to 90.";
    const std::string lon = "The longitude must be a number from -180 to 180.";
    const Case cases[] = {
        {"abc", "1", lat},    {"", "1", lat},      {"41,5", "2", lat},   {"90.0001", "0", lat},
        {"1e300", "0", lat},  {"nan", "0", lat},   {"-inf", "0", lat},   {"12abc", "0", lat},
        {"0", "-180.5", lon}, {"0", "1e999", lon}, {"0", "2.25.1", lon}, {"0", "0x10", lon},
    };
    for (const auto& c : cases) {
        test::SettingsRig rig;
        prepare(rig, automatic("UNKNOWN"));
        G dialog(rig.parent, rig.session);
        rig.host.click(G::kManual);
        rig.host.type(G::kLatitude, c.latitude);
        rig.host.type(G::kLongitude, c.longitude);
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), kEndedIdle) << c.latitude << " " << c.longitude;
        EXPECT_EQ(rig.host.shownTexts(), std::vector<std::string>{c.message})
            << c.latitude << " " << c.longitude;
        EXPECT_TRUE(rig.sent().empty()) << c.latitude << " " << c.longitude;
        EXPECT_EQ(rig.debug.count("GPS: Esperant ...\r\n"), 0) << "the line is not borrowed";
    }
}

} // namespace
} // namespace tessadorn
