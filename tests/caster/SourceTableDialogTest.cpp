#include "caster/SourceTableDialog.h"
#include "CasterRig.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

namespace p = protocol;
using D = SourceTableDialog;
using test::CasterRig;

class MountpointDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        add("MP0", "Zero", "RTCM 3.1", "0", "N", "50.0", "8.0");
        add("MP1", "One", "CMR+", "1", "B", "", "");
        add("MP2", "Two", "RAW", "", "D", "50.5", "8.0");
        add("MP3", "Three", "RTCM 2.3", "", "", "0", "0");
    }
    void add(std::string mp, std::string id, std::string format, std::string solution,
             std::string auth, std::string lat, std::string lon) {
        SourceTableEntry e;
        e.mountpoint = std::move(mp);
        e.identifier = std::move(id);
        e.format = std::move(format);
        e.solution = std::move(solution);
        e.authentication = std::move(auth);
        e.latitude = std::move(lat);
        e.longitude = std::move(lon);
        rig.table.add(e);
    }
    void reportPosition(std::string mode, std::string lat, std::string lon) {
        rig.session.device().update([&](DeviceConfig::Values& v) {
            v.GgaMode = std::move(mode);
            v.GgaLatitude = std::move(lat);
            v.GgaLongitude = std::move(lon);
        });
    }
    // Opens the dialog from the parent; the steps queued after this drive it.
    void open() {
        rig.host.call([this](Dialog& parent) {
            D dialog(parent, rig.session, rig.store, rig.table);
            result = parent.runModal(dialog);
            cursorAfter = rig.host.waitCursorShown();
        });
    }
    // Checks, at this point of the script, whether the mountpoint dialog is still up.
    void expectOpen(bool open, int selection = -1) {
        rig.host.call([=](Dialog& d) {
            EXPECT_EQ(d.templateId() == D::kTemplate, open);
            if (open) {
                EXPECT_EQ(d.controls().selection(D::kList), selection);
            }
        });
    }

    CasterRig rig;
    int result = -100;
    bool cursorAfter = true;
};

TEST_F(MountpointDialog, ListsMountpointsAndShowsTheDetailsOfTheSelectedOne) {
    struct Details {
        int index;
        const char* name;
        const char* auth;
        const char* format;
        const char* solution;
    };
    const Details expected[] = {
        {0, "Name: Zero", "Authorization: None", "Format: RTCM 3.1", "Solution: Simple Base"},
        {1, "Name: One", "Authorization: Basic", "Format: CMR+", "Solution: VRS"},
        {2, "Name: Two", "Authorization: Basic", "Format: RAW", "Solution: VRS"},
        {3, "Name: Three", "Authorization: Basic", "Format: RTCM 2.3", "Solution: VRS"}};
    open();
    rig.host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().title(), "Servers");
        EXPECT_EQ(d.controls().items(D::kList),
                  (std::vector<std::string>{"MP0", "MP1", "MP2", "MP3"}));
    });
    for (const auto& e : expected) {
        rig.host.select(D::kList, e.index);
        rig.host.call([e](Dialog& d) {
            EXPECT_EQ(d.controls().text(D::kName), e.name);
            EXPECT_EQ(d.controls().text(D::kAuthorization), e.auth);
            EXPECT_EQ(d.controls().text(D::kFormat), e.format);
            EXPECT_EQ(d.controls().text(D::kSolution), e.solution);
        });
    }
    rig.host.click(D::kCancel);
    rig.parent.doModal();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(rig.commands().empty());
}

// With a manual position from the modem the nearest station comes first and the details give
// its distance; stations without a position come last, in the table's order.
TEST_F(MountpointDialog, NearestFirstWithTheModemsManualPosition) {
    struct Case {
        const char* mode;
        std::vector<std::string> order;
        std::vector<std::string> distances; // of the rows in list order
    };
    const Case cases[] = {
        {"MANUAL",
         {"MP2", "MP0", "MP1", "MP3"},
         {"Distance: 44 km", "Distance: 100 km", "Network solution: no fixed place",
          "No fixed place given"}},
        {"AUTO",
         {"MP0", "MP1", "MP2", "MP3"},
         {"", "Network solution: no fixed place", "", "No fixed place given"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        reportPosition(c.mode, "50.9", "8.0");
        open();
        rig.host.call([&](Dialog& d) { EXPECT_EQ(d.controls().items(D::kList), c.order); });
        for (std::size_t i = 0; i < c.order.size(); ++i) {
            rig.host.select(D::kList, static_cast<int>(i));
            rig.host.call([&, i](Dialog& d) {
                EXPECT_EQ(d.controls().text(D::kDistance), c.distances[i]);
                EXPECT_EQ(d.controls().text(D::kFormat).empty(), false);
            });
        }
        const std::string first = "#CONNECT 2,caster.example:2101/" + c.order[0] + " u:p\r\n";
        rig.modem.on(first, "CMD_OK\r\nERROR 4_3\r\n");
        rig.host.select(D::kList, 0);
        rig.host.ok();
        rig.parent.doModal();
        EXPECT_EQ(rig.port.count(first), 1) << "the first row connects its own mountpoint";
    }
}

// A name as the caster wrote it, what the mountpoint needs, and the question before connecting
// it on a modem without a position source: No sends nothing, with a receiver nothing is asked.
TEST_F(MountpointDialog, ShowsNamesAsWrittenAndAsksWhenAPositionIsNeeded) {
    SourceTableEntry e;
    e.mountpoint = "FUKU";
    e.identifier = "福岡市早良区";
    e.format = "RTCM 3.2";
    e.nmea = "1";
    e.solution = "1";
    rig.table.add(e);
    const std::string command = "#CONNECT 2,caster.example:2101/FUKU u:p\r\n";
    rig.modem.on(command, "CMD_OK\r\nERROR 4_3\r\n");
    for (const char* type : {"UNKNOWN", "TRIMBLE"}) {
        const bool asks = type == std::string("UNKNOWN");
        rig.session.device().update([&](DeviceConfig::Values& v) {
            v.GgaMode = "AUTO";
            v.GpsType = type;
        });
        open();
        rig.host.select(D::kList, 4);
        rig.host.call([](Dialog& d) {
            EXPECT_EQ(d.controls().text(D::kName), "Name: 福岡市早良区");
            EXPECT_EQ(d.controls().text(D::kNeeds), "Needs your position");
            EXPECT_EQ(d.controls().text(D::kDistance), "Network solution: no fixed place");
        });
        if (asks) rig.host.answer(kIdNo);
        rig.host.ok();
        if (asks) rig.host.click(D::kCancel);
        rig.parent.doModal();
        EXPECT_EQ(rig.port.count(command), asks ? 0 : 1) << type;
        const auto first = rig.host.shownBoxes().back().request;
        EXPECT_EQ(first.caption, asks ? "Attention" : "ERROR") << type;
        EXPECT_EQ(first.text.find("Set GPS first") != std::string::npos, asks) << first.text;
    }
}

TEST(MountpointDialogTexts, DistanceInWholeKm) {
    const std::pair<double, const char*> cases[] = {{42.49, "Distance: 42 km"},
                                                    {42.5, "Distance: 43 km"},
                                                    {0.2, "Distance: 0 km"},
                                                    {20015.1, "Distance: 20015 km"}};
    for (const auto& [km, text] : cases)
        EXPECT_EQ(D::distanceText(km), text);
}

// A table larger than the program holds: every row it could keep is listed, and the dialog
// says once how many it left out.
TEST_F(MountpointDialog, SaysHowManyRowsWereLeftOut) {
    for (int i = 4; i < SourceTable::kMaxRecords + 5; ++i)
        add("M" + std::to_string(i), "x", "RTCM 3", "0", "N", "", "");
    open();
    rig.host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().itemCount(D::kList), SourceTable::kMaxRecords);
        EXPECT_EQ(d.controls().itemText(D::kList, 9999), "M9999");
    });
    rig.host.select(D::kList, 9999);
    rig.host.call([](Dialog& d) { EXPECT_EQ(d.controls().text(D::kName), "Name: x"); });
    rig.host.click(D::kCancel);
    rig.parent.doModal();
    EXPECT_EQ(rig.host.shownTexts(),
              (std::vector<std::string>{"The caster lists 5 more mountpoints than can be shown."}));
}

TEST_F(MountpointDialog, OkWithoutASelectionDoesNothing) {
    open();
    rig.host.ok();
    expectOpen(true);
    rig.parent.doModal();
    EXPECT_TRUE(rig.commands().empty());
    EXPECT_TRUE(rig.host.shownTexts().empty());
}

struct ConnectForm {
    const char* name;
    CasterEntry caster;
    const char* auth;
    std::string command;
};

void PrintTo(const ConnectForm& f, std::ostream* os) {
    *os << f.name;
}

class ConnectForms : public MountpointDialog, public ::testing::WithParamInterface<ConnectForm> {};

// Every form connects; "<OK" ends the program.
TEST_P(ConnectForms, SentForTheSelectedMountpoint) {
    const auto& f = GetParam();
    rig.setCaster(f.caster, f.auth, "cu", "cp");
    rig.modem.on(f.command, "CMD_OK\r\nCONNECTED\r\n<OK\r\n");
    open();
    rig.host.select(D::kList, 1);
    rig.host.ok();
    rig.parent.doModal();
    ASSERT_FALSE(rig.commands().empty());
    EXPECT_EQ(rig.commands().back(), f.command);
    EXPECT_EQ(rig.host.shownTexts(),
              (std::vector<std::string>{
                  "Tessadorn configured. When you press OK, application will exit."}));
    EXPECT_EQ(rig.host.shownBoxes()[0].request.caption, kApplicationTitle);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(rig.host.quitRequested());
    EXPECT_EQ(rig.host.exitCode(), 0);
    EXPECT_FALSE(cursorAfter);
}

const std::string kIbss(p::ibssSuffix());

INSTANTIATE_TEST_SUITE_P(
    Dialog, ConnectForms,
    ::testing::Values(ConnectForm{"Ntrip1Auth",
                                  {"n", "h", "2101", "eu", "ep", "0", "1"},
                                  "yes",
                                  "#CONNECT 1,h:2101/MP1 cu:cp\r\n"},
                      ConnectForm{"Ntrip1Open",
                                  {"n", "h", "2101", "eu", "ep", "0", "1"},
                                  "no",
                                  "#CONNECT 1,h:2101/MP1\r\n"},
                      ConnectForm{"Ntrip2Auth",
                                  {"n", "h", "80", "eu", "ep", "0", "2"},
                                  "yes",
                                  "#CONNECT 2,h:80/MP1 cu:cp\r\n"},
                      ConnectForm{"Ntrip2Open",
                                  {"n", "h", "80", "eu", "ep", "0", "2"},
                                  "no",
                                  "#CONNECT 2,h:80/MP1\r\n"},
                      ConnectForm{"IbssAuth",
                                  {"n", "org", "2101", "eu", "ep", "0", "3"},
                                  "yes",
                                  "#CONNECT 2,org." + kIbss + ":2101/MP1 cu.org:cp\r\n"},
                      ConnectForm{"IbssOpenStillSendsCredentials",
                                  {"n", "org", "2101", "eu", "ep", "0", "3"},
                                  "no",
                                  "#CONNECT 2,org." + kIbss + ":2101/MP1 cu.org:cp\r\n"},
                      ConnectForm{"NoVersionAuth",
                                  {"n", "h", "2101", "eu", "ep", "0", "0"},
                                  "yes",
                                  "#CONNECT h:2101/MP1 cu:cp\r\n"},
                      ConnectForm{"NoVersionOpen",
                                  {"n", "h", "2101", "eu", "ep", "0", ""},
                                  "Yes",
                                  "#CONNECT h:2101/MP1\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Outcome {
    const char* name;
    std::string reply; // to the CONNECT command; empty: silent
    std::string text;
    std::string caption;
    bool staysOpen;
    int sent; // CONNECT commands written
};

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << o.name;
}

class Outcomes : public MountpointDialog, public ::testing::WithParamInterface<Outcome> {};

TEST_P(Outcomes, ShowTheirMessageAndCloseOrStay) {
    const auto& o = GetParam();
    const std::string command = "#CONNECT 2,caster.example:2101/MP2 u:p\r\n";
    if (!o.reply.empty()) rig.modem.on(command, o.reply);
    open();
    rig.host.select(D::kList, 2);
    rig.host.ok();
    expectOpen(o.staysOpen, 2);
    rig.parent.doModal();
    EXPECT_EQ(rig.host.shownTexts(), (std::vector<std::string>{o.text}));
    EXPECT_EQ(rig.host.shownBoxes()[0].request.caption, o.caption);
    EXPECT_EQ(rig.port.count(command), o.sent);
    EXPECT_FALSE(rig.host.quitRequested());
    if (!o.staysOpen) {
        EXPECT_EQ(result, 0);
    }
    EXPECT_FALSE(cursorAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, Outcomes,
    ::testing::Values(
        Outcome{"ServerNotResponding", "CMD_OK\r\nERROR 4_1\r\n",
                "Server is not responding.\r\nPlease check your Server settings", "ERROR", false,
                1},
        Outcome{"NotAuthorized", "CMD_OK\r\nERROR 4_2\r\n",
                "Connection not authorized.\r\nPlease check your User and Password", "ERROR", false,
                1},
        Outcome{"InvalidMountpoint", "CMD_OK\r\nERROR 4_3\r\n", "Invalid Mountpoint.", "ERROR",
                false, 1},
        Outcome{"ConnectionError", "CMD_OK\r\nERROR 5\r\n",
                "Connection Error.\r\nPlease try again.", "ERROR", true, 1},
        Outcome{"Refused", "CMD_ERROR\r\n", "Connection Error.\r\nPlease try again.", "ERROR", true,
                1},
        Outcome{"Unanswered", "", "Connection Error.\r\nPlease try again.", "ERROR", true, 6},
        Outcome{"NoOutcomeWithin512Bytes", "CMD_OK\r\n" + std::string(600, '.') + "<OK\r\n",
                "Error", std::string(kApplicationTitle), true, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MountpointDialog, OkFirstDrainsWhatTheModemIsStillSending) {
    const std::string command = "#CONNECT 2,caster.example:2101/MP0 u:p\r\n";
    rig.modem.on(command, "CMD_OK\r\nERROR 4_3\r\n");
    // A stale success still on its way must not be taken for this connection's answer: it
    // arrives after the receive buffer was cleared, while the drain reads.
    rig.modem.push("CMD_OK\r\n<OK\r\n", rig.clock.nowMs() + 100);
    open();
    rig.host.select(D::kList, 0);
    rig.host.ok();
    rig.parent.doModal();
    EXPECT_EQ(rig.host.shownTexts(), (std::vector<std::string>{"Invalid Mountpoint."}));
    EXPECT_FALSE(rig.host.quitRequested());
}

} // namespace
} // namespace tessadorn
