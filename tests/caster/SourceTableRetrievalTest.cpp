#include "caster/SourceTableRetrieval.h"
#include "CasterRig.h"
#include "WaitUntil.h"
#include "caster/SourceTableDialog.h"
#include "modem/CasterAddress.h"
#include "modem/SourceTableRequest.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

namespace p = protocol;
using test::CasterRig;

const std::string kSignalOff(p::kSignalOff);
const std::string kList = "#LIST 2,caster.example:2101\r\n";

std::string row(const std::string& mp, const std::string& id, const std::string& format,
                const std::string& solution = "0", const std::string& auth = "N") {
    return "STR;" + mp + ";" + id + ";" + format + ";1004(1);2;GPS;NET;DEU;50.0;8.0;0;" + solution +
           ";Gen;none;" + auth + ";N;9600;\r\n";
}

std::string tableReply(const std::string& rows) {
    return "CMD_OK\r\nSOURCETABLE 200 OK\r\n" + rows + "ENDSOURCETABLE\r\nSHUTDOWN\r\n<OK\r\n";
}

class Retrieval : public ::testing::Test {
  protected:
    // Runs the retrieval from the parent dialog, then `steps` against the dialog on top.
    void run() {
        rig.host.call([this](Dialog& parent) {
            const auto t0 = rig.clock.nowMs();
            SourceTableRetrieval(parent, rig.session, rig.store, rig.table).run();
            elapsedMs = rig.clock.nowMs() - t0;
            cursorAfter = rig.host.waitCursorShown();
        });
    }
    void finish() {
        rig.parent.doModal();
        EXPECT_FALSE(cursorAfter) << "the cursor comes back";
        // The monitor runs again once the retrieval is over.
        EXPECT_GE(test::waitUntil([&] { return !rig.gate.parked(); }), 0);
    }

    CasterRig rig;
    std::int64_t elapsedMs = 0;
    bool cursorAfter = true;
};

TEST_F(Retrieval, TableOpensTheMountpointDialogWhileTheMonitorStaysPaused) {
    rig.modem.on(kSignalOff, "SIGNAL OFF\r\n<OK\r\n");
    rig.modem.on(kList, tableReply(row("A", "Alpha", "RTCM 3.1") + row("N", "n", "NMEA") +
                                   row("B", "Bravo", "CMR+", "1", "B")));
    run();
    rig.host.call([&](Dialog& d) {
        EXPECT_EQ(d.templateId(), SourceTableDialog::kTemplate);
        EXPECT_EQ(d.controls().items(SourceTableDialog::kList),
                  (std::vector<std::string>{"A", "B"}));
        EXPECT_EQ(d.controls().selection(SourceTableDialog::kList), -1);
        EXPECT_EQ(d.controls().text(SourceTableDialog::kName), "Name :");
        EXPECT_TRUE(rig.gate.parked()) << "the monitor waits while the user chooses";
        EXPECT_FALSE(rig.host.waitCursorShown());
    });
    rig.host.click(SourceTableDialog::kCancel);
    finish();
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{kSignalOff, kList}))
        << "Cancel sends nothing";
    EXPECT_TRUE(rig.host.shownTexts().empty());
    EXPECT_EQ(rig.table.count(), 2);
    for (const char* line : {"LIST: Esperant ...\r\n", "LIST: Thread Pausat ...\r\n",
                             "LIST: Waiting for SHUTDOWN...\r\n", "LIST: SHUTDOWN Found!!\r\n",
                             "LIST: Waiting for <OK...\r\n", "LIST: OK Found!!\r\n"})
        EXPECT_EQ(rig.debug.count(line), 1) << line;
}

// A table as large as the biggest casters serve: every row is kept, the window's title counts
// them while they come, and the nearest station to the modem's manual position comes first
// wherever it stands in the table.
TEST_F(Retrieval, LargeTableNearestFirstAndCountedWhileItComes) {
    std::string rows;
    for (int i = 0; i < 820; ++i) {
        const std::string lat = std::to_string(30 + (i * 37) % 40) + ".5";
        rows += "STR;M" + std::to_string(i) + ";id;RTCM 3;;;;;;" + lat + ";" +
                std::to_string(-10 + (i * 13) % 50) + ".25;0;1;;;N;N;;\r\n";
    }
    rows += row("Here", "Near", "RTCM 3.2"); // 50.0, 8.0
    for (int i = 0; i < 20; ++i)
        rows += row("N" + std::to_string(i), "nmea", "NMEA");
    rig.session.device().update([](DeviceConfig::Values& v) {
        v.GgaMode = "MANUAL";
        v.GgaLatitude = "50.010000";
        v.GgaLongitude = "8.010000";
    });
    std::vector<std::string> titles;
    const int token = rig.parent.controls().addObserver([&](int id) {
        if (id == ControlModel::kDialogItem) titles.push_back(rig.parent.controls().title());
    });
    rig.modem.on(kSignalOff, "SIGNAL OFF\r\n");
    rig.modem.on(kList, tableReply(rows));
    run();
    rig.host.call([&](Dialog& d) {
        EXPECT_EQ(d.controls().itemCount(SourceTableDialog::kList), 821);
        EXPECT_EQ(d.controls().itemText(SourceTableDialog::kList, 0), "Here");
    });
    rig.host.select(SourceTableDialog::kList, 0);
    rig.host.call([&](Dialog& d) {
        EXPECT_EQ(d.controls().text(SourceTableDialog::kName), "Name: Near");
        EXPECT_EQ(d.controls().text(SourceTableDialog::kDistance), "Distance: 1 km");
    });
    rig.host.click(SourceTableDialog::kCancel);
    finish();
    rig.parent.controls().removeObserver(token);
    EXPECT_EQ(rig.table.count(), 821);
    ASSERT_GE(titles.size(), 2u);
    EXPECT_EQ(titles[titles.size() - 2], SourceTableRetrieval::progressText(821));
    EXPECT_EQ(titles.back(), kApplicationTitle) << "the title comes back";
    EXPECT_TRUE(rig.host.shownTexts().empty());
}

// A table longer than the most the program reads (or one that never ends): the rows read up to
// there are listed, and the dialog says how many more the caster listed past the row cap; the
// modem is still sending, so no close of the exchange is waited for.
TEST_F(Retrieval, TablePastTheStreamCapShowsTheRowsThatFit) {
    std::string rows;
    for (int i = 0; i < SourceTable::kMaxRecords + 5; ++i)
        rows += row("M" + std::to_string(i), "id", "RTCM 3");
    const std::string filler = row("X", "x", "NMEA"); // passed over, never kept
    while (rows.size() <= SourceTableScanner::kMaxStreamBytes + 4096)
        rows += filler;
    rig.modem.on(kSignalOff, "SIGNAL OFF\r\n");
    rig.modem.on(kList, tableReply(rows));
    run();
    rig.host.call([&](Dialog& d) {
        EXPECT_EQ(d.templateId(), SourceTableDialog::kTemplate);
        EXPECT_EQ(d.controls().itemCount(SourceTableDialog::kList), SourceTable::kMaxRecords);
    });
    rig.host.click(SourceTableDialog::kCancel);
    finish();
    EXPECT_EQ(rig.host.shownTexts(),
              std::vector<std::string>{"The caster lists 5 more mountpoints than can be shown."});
    EXPECT_EQ(rig.debug.count("LIST: Waiting for SHUTDOWN...\r\n"), 0);
}

// A table the user stopped is read on to its end, then the exchange is closed (a pause for the
// modem, the close tokens). A window closed meanwhile aborts the line: the read and the close
// end at once instead.
TEST(SourceTableStop, ClosingWhileTheRestIsDiscardedEndsAtOnce) {
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "closed" : "left open");
        CasterRig rig;
        std::string rows;
        for (int i = 0; i < 200; ++i)
            rows += row("M" + std::to_string(i), "id", "RTCM 3");
        rig.modem.setPace(1); // about 16 s of table
        rig.modem.on(kList, tableReply(rows));
        SourceTableRequest request(rig.session);
        std::int64_t closedAt = -1;
        const auto end = request.readTable(sourceTableAddress(rig.store.entries[0]), rig.table,
                                           [&](int rows, bool discarding) {
                                               if (rows >= 20 && !request.stopRequested())
                                                   request.requestStop();
                                               if (discarding && close && closedAt < 0) {
                                                   closedAt = rig.clock.nowMs();
                                                   rig.session.abortLink();
                                               }
                                           });
        EXPECT_EQ(end, SourceTableScanner::End::Stopped);
        if (close) {
            ASSERT_GE(closedAt, 0);
            EXPECT_LT(rig.clock.nowMs() - closedAt, SourceTableRequest::kClosePauseMs);
            EXPECT_GT(rig.modem.pending(), 1000u) << "the rest is not waited for";
            EXPECT_EQ(rig.debug.count("LIST: Waiting for SHUTDOWN...\r\n"), 0);
        } else {
            EXPECT_LE(rig.modem.pending(), 2u) << "read to its end";
            EXPECT_EQ(rig.debug.count("LIST: OK Found!!\r\n"), 1);
        }
    }
}

TEST_F(Retrieval, MissingCloseTokensOnlyChangeTheLog) {
    rig.modem.on(kSignalOff, "SIGNAL OFF\r\n");
    rig.modem.on(kList, "CMD_OK\r\nENDSOURCETABLE\r\n");
    run();
    rig.host.call([&](Dialog& d) {
        EXPECT_EQ(d.templateId(), SourceTableDialog::kTemplate) << "an empty list still opens";
        EXPECT_EQ(d.controls().itemCount(SourceTableDialog::kList), 0);
    });
    finish();
    EXPECT_EQ(rig.debug.count("LIST: SHUTDOWN Not Found!!\r\n"), 1);
    EXPECT_EQ(rig.debug.count("LIST: OK Not Found!!\r\n"), 1);
}

// Escape while a long table comes asks whether to stop (the question is asked while the table
// goes on coming). Yes: the rest is read to its end with the exchange's close and let go, and no
// dialog opens; No lets the table come in whole.
TEST_F(Retrieval, EscapeWhileTheTableComesAsksWhetherToStop) {
    struct Case {
        int answer;
        bool dialog;
    };
    for (const Case& c : {Case{kIdYes, false}, Case{kIdNo, true}}) {
        SCOPED_TRACE(c.answer == kIdYes ? "Yes" : "No");
        CasterRig rig;
        std::string rows;
        for (int i = 0; i < 200; ++i)
            rows += row("M" + std::to_string(i), "id", "RTCM 3");
        rig.modem.setPace(1); // a byte every millisecond: about 16 s of table
        rig.modem.on(kSignalOff, "SIGNAL OFF\r\n");
        rig.modem.on(kList, tableReply(rows));
        rig.port.atTime(3000, [&] { EXPECT_TRUE(rig.host.escapeWhileBusy()); });
        rig.host.answer(c.answer);
        bool dialog = false;
        rig.host.call([&](Dialog& parent) {
            SourceTableRetrieval(parent, rig.session, rig.store, rig.table).run();
        });
        rig.host.call(
            [&](Dialog& top) { dialog = top.templateId() == SourceTableDialog::kTemplate; });
        rig.parent.doModal();
        EXPECT_EQ(dialog, c.dialog);
        EXPECT_EQ(rig.host.shownSummaries(),
                  std::vector<std::string>{"Attention | Stop reading the mountpoints? | Yes/No"});
        EXPECT_LE(rig.modem.pending(), 2u)
            << "the table was read to its end (its last CR LF may wait in the port)";
        EXPECT_EQ(rig.debug.count("LIST: OK Found!!\r\n"), 1) << "and the exchange closed";
        EXPECT_EQ(rig.commands(), (std::vector<std::string>{kSignalOff, kList}));
        if (c.dialog) {
            EXPECT_EQ(rig.table.count(), 200);
        }
        EXPECT_EQ(rig.parent.controls().title(), kApplicationTitle);
        EXPECT_GE(test::waitUntil([&] { return !rig.gate.parked(); }), 0) << "the monitor resumes";
    }
}

struct ListForm {
    const char* name;
    CasterEntry caster;
    std::string command;
};

void PrintTo(const ListForm& f, std::ostream* os) {
    *os << f.name;
}

class ListForms : public Retrieval, public ::testing::WithParamInterface<ListForm> {};

// Each form of the request, refused by the modem: "Error 2" and nothing more is sent.
TEST_P(ListForms, SentForTheCurrentCaster) {
    const auto& f = GetParam();
    rig.setCaster(f.caster, "no", "storeUser", "storePass");
    rig.modem.on(kSignalOff, "SIGNAL OFF\r\n");
    rig.modem.on(f.command, "CMD_ERROR\r\n");
    run();
    finish();
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{kSignalOff, f.command}));
    EXPECT_EQ(rig.host.shownTexts(), (std::vector<std::string>{"Error 2"}));
    ASSERT_EQ(rig.host.shownBoxes().size(), 1u);
    EXPECT_EQ(rig.host.shownBoxes()[0].request.caption, "ERROR");
}

const std::string kIbss(p::ibssSuffix());

INSTANTIATE_TEST_SUITE_P(
    Caster, ListForms,
    ::testing::Values(ListForm{"Ntrip1",
                               {"n", "h.example", "2101", "u1", "p1", "0", "1"},
                               "#LIST 1,h.example:2101\r\n"},
                      ListForm{"Ntrip2",
                               {"n", "h.example", "80", "u1", "p1", "0", "2"},
                               "#LIST 2,h.example:80\r\n"},
                      ListForm{"Ibss",
                               {"n", "org", "2101", "dev", "pw", "0", "3"},
                               "#LIST 2,org." + kIbss + ":2101 dev.org:pw\r\n"},
                      ListForm{"HandWrittenIbss",
                               {"n", "org", "2101", "dev", "pw", "0", " 03"},
                               "#LIST 2,org." + kIbss + ":2101 dev.org:pw\r\n"},
                      ListForm{"NoneChosen",
                               {"n", "h.example", "2101", "u1", "p1", "0", "0"},
                               "#LIST h.example:2101\r\n"},
                      ListForm{"UnknownVersion",
                               {"n", "h.example", "2101", "u1", "p1", "0", "7"},
                               "#LIST h.example:2101\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Failure {
    const char* name;
    std::string signalOffReply; // empty: silent
    std::string listReply;      // empty: silent
    std::string message;
    int kept; // records left in the table
    std::vector<std::string> commands;
};

void PrintTo(const Failure& f, std::ostream* os) {
    *os << f.name;
}

class Failures : public Retrieval, public ::testing::WithParamInterface<Failure> {};

TEST_P(Failures, EndWithTheirMessage) {
    const auto& f = GetParam();
    if (!f.signalOffReply.empty()) rig.modem.on(kSignalOff, f.signalOffReply);
    if (!f.listReply.empty()) rig.modem.on(kList, f.listReply);
    run();
    finish();
    EXPECT_EQ(rig.host.shownTexts(), (std::vector<std::string>{f.message}));
    ASSERT_FALSE(rig.host.shownBoxes().empty());
    EXPECT_EQ(rig.host.shownBoxes()[0].request.caption, "ERROR");
    EXPECT_EQ(rig.table.count(), f.kept);
    EXPECT_EQ(rig.commands(), f.commands);
}

const std::string kRows = row("A", "a", "RTCM 3") + row("B", "b", "RTCM 3");

INSTANTIATE_TEST_SUITE_P(
    Retrieval, Failures,
    ::testing::Values(
        Failure{"NoSignalOff", "", "", "Error 1", 0, std::vector<std::string>(6, kSignalOff)},
        Failure{
            "ListRefused", "SIGNAL OFF\r\n", "CMD_ERROR\r\n", "Error 2", 0, {kSignalOff, kList}},
        Failure{"ListUnanswered", "SIGNAL OFF\r\n", "", "Error 2", 0, {kSignalOff, kList, kList}},
        Failure{"ServerNotRespondingMidTable",
                "SIGNAL OFF\r\n",
                "CMD_OK\r\n" + kRows + "ERROR 4_1\r\n",
                "Server is not responding.\r\nPlease check your Server settings",
                2,
                {kSignalOff, kList}},
        Failure{"NotAuthorized",
                "SIGNAL OFF\r\n",
                "CMD_OK\r\nERROR 4_2\r\n",
                "Connection not authorized.\r\nPlease check your User and Password",
                0,
                {kSignalOff, kList}},
        Failure{"ConnectionError",
                "SIGNAL OFF\r\n",
                "CMD_OK\r\n" + kRows + "ERROR 5",
                "Connection Error.\r\nPlease try again.",
                2,
                {kSignalOff, kList}},
        Failure{"TableCutShort",
                "SIGNAL OFF\r\n",
                "CMD_OK\r\n" + kRows + "ENDSOURCE",
                "Error 2",
                0,
                {kSignalOff, kList}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Retrieval, GivesUpAfterFiveFailedReads) {
    rig.modem.on(kSignalOff, "SIGNAL OFF\r\n");
    rig.modem.on(kList, "CMD_OK\r\n" + kRows);
    run();
    finish();
    // Each failed read: five tries of 500 ms, each followed by a pause of 1000 ms; the fifth
    // failed read ends the retrieval.
    EXPECT_EQ(rig.port.emptyReads(), 5 * 5);
    EXPECT_GE(elapsedMs, 5 * 5 * (500 + 1000));
    EXPECT_LT(elapsedMs, 5 * 5 * (500 + 1000) + 10000);
}

} // namespace
} // namespace tessadorn
