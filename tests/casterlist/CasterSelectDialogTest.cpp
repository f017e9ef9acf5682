#include "DialogRig.h"

#include "casterlist/CasterSelectDialog.h"
#include "casterlist/ServerListDialog.h"

#include "store/CasterListEdits.h"

#include <functional>
#include <ostream>
#include <thread>

namespace tessadorn {
namespace {

using test::caster;
using test::currentSection;
using test::kNoCurrent;
using test::listFile;
using Select = CasterSelectDialog;

class CasterSelectTest : public test::DialogRig {
  protected:
    int runSelect() {
        Select dialog(root, store);
        return dialog.doModal();
    }
    // Three casters: an NTRIP caster, a Tessadorn server and an IBSS caster.
    void fillKinds() {
        fill(3, "0");
        store.entries[1] = {"tess", "10.0.0.5", "8080", "", "", "1", "2"};
        store.entries[2] = {"ibss", "org", "2101", "device-1", "ipw", "0", "3"};
    }
    std::vector<CasterEntry> entries() const {
        return {store.entries.begin(), store.entries.begin() + store.count};
    }
};

struct Shown {
    std::string firstCaption, secondCaption, first, second;
    bool checkShown;
};

Shown shown(const Dialog& d) {
    const ControlModel& c = d.controls();
    return {c.text(Select::kFirstCaption), c.text(Select::kSecondCaption),
            c.text(Select::kFirstDetail), c.text(Select::kSecondDetail), c.visible(Select::kAuth)};
}

void expectShown(const Dialog& d, const Shown& e) {
    const Shown s = shown(d);
    EXPECT_EQ(s.firstCaption, e.firstCaption);
    EXPECT_EQ(s.secondCaption, e.secondCaption);
    EXPECT_EQ(s.first, e.first);
    EXPECT_EQ(s.second, e.second);
    EXPECT_EQ(s.checkShown, e.checkShown);
}

TEST_F(CasterSelectTest, OpeningShowsTheCurrentChoice) {
    fillKinds();
    store.server = "2";
    store.auth = "no";
    host.call([](Dialog& d) {
        const ControlModel& c = d.controls();
        EXPECT_EQ(c.title(), "Configuration");
        EXPECT_EQ(c.items(Select::kList), (std::vector<std::string>{"c0", "tess", "ibss"}));
        EXPECT_EQ(c.selection(Select::kList), 2);
        EXPECT_FALSE(c.checked(Select::kAuth));
        // The current credentials, not the caster's; "Device:" for an IBSS caster.
        expectShown(d, {"Device:", "Password:", "u", "p", true});
    });
    host.click(Select::kCancel);
    EXPECT_EQ(runSelect(), 0);
    EXPECT_FALSE(savedExists());
}

// The details follow the kind of the selected caster, also after the screen turned (the
// re-layout puts the template's texts back first).
TEST_F(CasterSelectTest, TheDetailsFollowTheSelectedCaster) {
    fillKinds();
    store.auth = "yes";
    host.select(Select::kList, 1);
    host.call([](Dialog& d) { expectShown(d, {"IP:", "Port:", "10.0.0.5", "8080", false}); });
    host.turn(240, 320);
    host.call([](Dialog& d) { expectShown(d, {"IP:", "Port:", "10.0.0.5", "8080", false}); });
    host.select(Select::kList, 0);
    host.call([](Dialog& d) {
        expectShown(d, {"User:", "Password:", "c0-user", "c0-pw", true});
        EXPECT_TRUE(d.controls().checked(Select::kAuth)) << "the mark it had";
    });
    host.select(Select::kList, 2);
    host.call([](Dialog& d) { expectShown(d, {"Device:", "Password:", "device-1", "ipw", true}); });
    host.click(Select::kCancel);
    EXPECT_EQ(runSelect(), 0);
}

// Hand-written numbers mean what they mean everywhere else: `server` and `vntrip` as numbers,
// the Tessadorn flag only as exactly "1".
TEST_F(CasterSelectTest, HandWrittenNumbersChooseAsTheStoreReadsThem) {
    fillKinds();
    store.server = " 2";
    store.entries[2].vntrip = "03";
    store.entries[1].Tessadorn = " 1";
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().selection(Select::kList), 2);
        expectShown(d, {"Device:", "Password:", "u", "p", true});
    });
    host.select(Select::kList, 1);
    host.call([](Dialog& d) { expectShown(d, {"User:", "Password:", "", "", true}); });
    host.click(Select::kCancel);
    EXPECT_EQ(runSelect(), 0);
    EXPECT_EQ(store.current().name, "ibss");
}

TEST_F(CasterSelectTest, OkCopiesTheChosenCastersCredentials) {
    fillKinds();
    host.select(Select::kList, 2);
    host.click(Select::kAuth); // clear the mark
    host.ok();
    EXPECT_EQ(runSelect(), Select::kResultOk);
    EXPECT_EQ(store.server, "2");
    EXPECT_EQ(store.user, "device-1");
    EXPECT_EQ(store.password, "ipw");
    EXPECT_EQ(store.auth, "no");
    EXPECT_EQ(saved(), listFile(currentSection("2", "no", "device-1", "ipw"), entries()));
}

// A `server` at or past the list's end selects no row: OK keeps the current choice as it was
// and saves the list; a save that fails is reported and the dialog still closes with OK.
TEST_F(CasterSelectTest, OkWithoutASelectedRowKeepsTheChoiceAndSaves) {
    for (const char* server : {"3", "7"}) {
        for (const bool diskFull : {false, true}) {
            SCOPED_TRACE(std::string(server) + (diskFull ? " disk full" : ""));
            fillKinds();
            store.server = server;
            const std::string before = savedExists() ? saved() : "";
            writer.injectFault(diskFull ? std::optional<std::size_t>(10) : std::nullopt);
            host.call([](Dialog& d) { EXPECT_EQ(d.controls().selection(Select::kList), -1); });
            host.ok();
            EXPECT_EQ(runSelect(), Select::kResultOk);
            writer.injectFault(std::nullopt);
            EXPECT_EQ(store.server, server);
            EXPECT_EQ(store.user, "u");
            EXPECT_EQ(store.password, "p");
            const std::vector<std::string> boxes = host.shownSummaries();
            if (diskFull) {
                ASSERT_FALSE(boxes.empty());
                EXPECT_EQ(boxes.back(), "ERROR | The caster list could not be saved: No space "
                                        "left on device | OK");
                EXPECT_EQ(savedExists() ? saved() : "", before) << "the old file stays";
            } else {
                EXPECT_EQ(saved(), listFile(currentSection(server, "yes", "u", "p"), entries()));
            }
        }
    }
    EXPECT_EQ(host.shownSummaries().size(), 2u) << "a box for each failed save only";
}

TEST_F(CasterSelectTest, AHiddenCheckBoxCountsByItsMark) {
    fillKinds();
    store.auth = "yes";
    host.select(Select::kList, 1);
    host.ok();
    EXPECT_EQ(runSelect(), 1);
    EXPECT_EQ(saved(), listFile(currentSection("1", "yes", "", ""), entries()));
}

TEST_F(CasterSelectTest, CancelAfterAnotherSelectionChangesNothing) {
    fillKinds();
    host.select(Select::kList, 2);
    host.click(Select::kAuth);
    host.click(Select::kCancel);
    EXPECT_EQ(runSelect(), 0);
    EXPECT_EQ(store.server, "0");
    EXPECT_EQ(store.user, "u");
    EXPECT_EQ(store.password, "p");
    EXPECT_EQ(store.auth, "yes");
    EXPECT_FALSE(savedExists());
}

TEST_F(CasterSelectTest, TheSystemCancelEndsWithTwo) {
    fillKinds();
    host.cancel();
    EXPECT_EQ(runSelect(), kIdCancel);
    EXPECT_FALSE(savedExists());
}

// Without a current caster the list stays empty until the server list was opened; OK then
// stores no choice but writes the file.
TEST_F(CasterSelectTest, WithoutACurrentCasterOkOnlySaves) {
    fillKinds();
    store.hasCurrent = false;
    store.server = "1";
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().itemCount(Select::kList), 0);
        expectShown(d, {"User:", "Password:", "", "", true});
    });
    host.click(Select::kServers);
    host.call([](Dialog& d) { EXPECT_EQ(d.templateId(), ServerListDialog::kTemplate); });
    host.ok(); // the server list saves and closes
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().items(Select::kList),
                  (std::vector<std::string>{"c0", "tess", "ibss"}));
        EXPECT_EQ(d.controls().selection(Select::kList), 1);
        expectShown(d, {"IP:", "Port:", "10.0.0.5", "8080", false});
    });
    host.select(Select::kList, 2);
    host.ok();
    EXPECT_EQ(runSelect(), 1);
    EXPECT_EQ(store.server, "1");
    EXPECT_EQ(store.user, "u");
    EXPECT_EQ(saved(), listFile(kNoCurrent, entries()));
}

// Back from the server list, the row of `server` is selected again, or the last row when the
// list became shorter; a negative number selects none and empties the details.
TEST_F(CasterSelectTest, BackFromTheServerListWithAStaleServerNumber) {
    fill(4, "3");
    host.click(Select::kServers);
    host.select(ServerListDialog::kList, 3);
    host.answer(kIdYes);
    host.click(ServerListDialog::kDelete); // `server` becomes "0"
    host.call([this](Dialog&) {
        std::lock_guard lock(store.mutex());
        store.server = "7"; // as the monitor could have set it meanwhile
    });
    host.ok();
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().selection(Select::kList), 2);
        expectShown(d, {"User:", "Password:", "c2-user", "c2-pw", true});
    });
    host.call([this](Dialog&) { store.server = "-1"; });
    host.click(Select::kServers);
    host.ok();
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().selection(Select::kList), -1);
        EXPECT_EQ(d.controls().text(Select::kFirstDetail), "");
        EXPECT_EQ(d.controls().text(Select::kSecondDetail), "");
    });
    host.ok(); // no row: no choice stored
    EXPECT_EQ(runSelect(), 1);
    EXPECT_EQ(store.server, "-1");
    EXPECT_EQ(saved(), listFile(currentSection("-1", "yes", "c0-user", "c0-pw"), entries()));
}

TEST_F(CasterSelectTest, AnEmptyListAddedToBecomesTheCurrentChoice) {
    host.click(Select::kServers);
    host.click(ServerListDialog::kAdd);
    host.type(1011, "New");
    host.type(1012, "new.example");
    host.type(1013, "2102");
    host.type(1014, "me");
    host.type(1015, "pw");
    host.ok();
    host.ok();
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().selection(Select::kList), 0);
        expectShown(d, {"User:", "Password:", "me", "pw", true});
    });
    host.call([](Dialog& d) { EXPECT_FALSE(d.controls().checked(Select::kAuth)); });
    host.click(Select::kAuth); // ticked: authentication required
    host.ok();
    EXPECT_EQ(runSelect(), 1);
    EXPECT_EQ(saved(), listFile(currentSection("0", "yes", "me", "pw"),
                                {{"New", "new.example", "2102", "me", "pw", "0", "1"}}));
}

// The monitor's synchronisation changes the store while the dialog is open: the APN block it
// takes from the modem and the user's choice both reach the file.
TEST_F(CasterSelectTest, ChangesOfTheMonitorWhileOpenAreKept) {
    fillKinds();
    host.select(Select::kList, 2);
    host.call([this](Dialog&) {
        std::thread monitor([this] {
            std::lock_guard lock(store.mutex());
            store.carrier = "yes";
            store.apn = "web.example";
            store.Save();
        });
        monitor.join();
    });
    host.ok();
    EXPECT_EQ(runSelect(), 1);
    const std::string file = saved();
    EXPECT_NE(file.find("<server>2</server>"), std::string::npos) << file;
    EXPECT_NE(file.find("<apn>web.example</apn>"), std::string::npos) << file;
}

// Another program (the command line) changes the list while the dialog is open; OK then keeps
// both programs' changes, and a choice both made differently is told in a message box.
struct WhileOpenCase {
    const char* name;
    std::function<void(CasterStore&)> other; // the other program's change, saved
    int row;                                 // the row chosen here before OK
    std::vector<std::string> list;           // the list on disk after OK: name@host
    std::string current;                     // its current caster: name@host user
    std::string box;                         // the message shown, or none
};
void PrintTo(const WhileOpenCase& c, std::ostream* os) {
    *os << c.name;
}

class CasterSelectWhileOpen : public test::DialogRig,
                              public ::testing::WithParamInterface<WhileOpenCase> {};

TEST_P(CasterSelectWhileOpen, OkKeepsTheOtherProgramsChange) {
    const WhileOpenCase& c = GetParam();
    {
        std::lock_guard lock(store.mutex());
        store.entries[0] = {"Home", "first.example", "2101", "u1", "p1", "0", "1"};
        store.entries[1] = {"Home", "second.example", "2101", "u2", "p2", "0", "1"};
        store.count = 2;
        store.hasCurrent = true;
        store.server = "0";
        store.user = "u1";
        store.password = "p1";
    }
    ASSERT_TRUE(store.Save());
    host.call([this, &c](Dialog&) {
        CasterStore other(store.path(), AtomicFile::standard());
        auto hold = other.holdFile();
        other.Load();
        c.other(other);
        ASSERT_TRUE(other.Save());
    });
    host.select(Select::kList, c.row);
    host.ok();
    Select dialog(root, store);
    EXPECT_EQ(dialog.doModal(), Select::kResultOk);

    CasterStore after(store.path(), AtomicFile::standard());
    ASSERT_TRUE(after.Load());
    std::vector<std::string> list;
    for (int i = 0; i < after.count; ++i)
        list.push_back(after.entries[static_cast<std::size_t>(i)].name + "@" +
                       after.entries[static_cast<std::size_t>(i)].ip);
    EXPECT_EQ(list, c.list);
    EXPECT_EQ(after.current().name + "@" + after.current().ip + " " + after.user, c.current);
    const std::vector<std::string> boxes = host.shownSummaries();
    if (c.box.empty())
        EXPECT_TRUE(boxes.empty());
    else
        EXPECT_EQ(boxes, std::vector<std::string>{c.box});
}

const WhileOpenCase kWhileOpen[] = {
    {"AnAddElsewhereKeepsTheChosenOfTwoNamesakes",
     [](CasterStore& s) {
         caster_list::store(s, caster_list::kNewCaster,
                            {"Other", "other.example", "2101", "u3", "p3", 0});
     },
     0,
     {"Home@first.example", "Home@second.example", "Other@other.example"},
     "Home@first.example u1",
     ""},
    {"TheChoiceHereOfTheSecondNamesake",
     [](CasterStore& s) {
         caster_list::store(s, caster_list::kNewCaster,
                            {"Other", "other.example", "2101", "u3", "p3", 0});
     },
     1,
     {"Home@first.example", "Home@second.example", "Other@other.example"},
     "Home@second.example u2",
     ""},
    {"TwoDifferentChoicesKeepTheOtherAndSaySo",
     [](CasterStore& s) {
         caster_list::store(s, caster_list::kNewCaster,
                            {"Other", "other.example", "2101", "u3", "p3", 0});
         caster_list::use(s, 2, true);
     },
     1,
     {"Home@first.example", "Home@second.example", "Other@other.example"},
     "Other@other.example u3",
     "TESSADORN v3.0.3.3 | Another program chose the server \"Other\" (other.example:2101) as "
     "the current server meanwhile: that choice is kept and yours was not saved. | OK"},
};
INSTANTIATE_TEST_SUITE_P(Lists, CasterSelectWhileOpen, ::testing::ValuesIn(kWhileOpen),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessadorn
