#include "DialogRig.h"

#include "casterlist/ServerEditDialog.h"
#include "casterlist/ServerListDialog.h"
#include "store/CasterListEdits.h"

#include <ostream>

namespace tessadorn {
namespace {

using test::caster;
using test::currentSection;
using test::kNoCurrent;
using test::listFile;
using Edit = ServerEditDialog;
using List = ServerListDialog;

class ServerListTest : public test::DialogRig {
  protected:
    int runList() {
        List dialog(root, store);
        return dialog.doModal();
    }
    // The steps that type a whole caster into the edit dialog.
    void typeCaster(const CasterEntry& e) {
        host.type(Edit::kName, e.name);
        host.type(Edit::kServer, e.ip);
        host.type(Edit::kPort, e.port);
        host.type(Edit::kUser, e.user);
        host.type(Edit::kPassword, e.Password);
    }
    std::vector<std::string> rows() const {
        std::vector<std::string> names;
        for (int i = 0; i < store.count; ++i)
            names.push_back(store.entries[static_cast<std::size_t>(i)].name);
        return names;
    }
};

TEST_F(ServerListTest, AddingToAnEmptyListMakesItTheCurrentCaster) {
    host.click(List::kAdd);
    host.call([](Dialog& d) { EXPECT_EQ(d.templateId(), Edit::kTemplate); });
    const CasterEntry typed{"Home", "caster.example.org", "2101", "rover", "pw", "", ""};
    typeCaster(typed);
    host.ok(); // the edit dialog
    host.call([](Dialog& d) {
        EXPECT_EQ(d.templateId(), List::kTemplate);
        EXPECT_EQ(d.controls().items(List::kList), std::vector<std::string>{"Home"});
    });
    host.ok(); // the list
    EXPECT_EQ(runList(), 0);

    EXPECT_TRUE(store.hasCurrent);
    EXPECT_EQ(store.server, "") << "the first caster is current while `server` is still empty";
    CasterEntry expected = typed;
    expected.Tessadorn = "0";
    expected.vntrip = "1";
    EXPECT_EQ(saved(), listFile(currentSection("", "yes", "", ""), {expected}));
}

TEST_F(ServerListTest, TheListOfTwentyFiveTakesNoMore) {
    fill(25);
    host.call([](Dialog& d) {
        EXPECT_FALSE(d.controls().enabled(List::kAdd));
        EXPECT_EQ(d.controls().itemCount(List::kList), 25);
    });
    host.click(List::kAdd); // disabled: nothing opens
    host.call([](Dialog& d) { EXPECT_EQ(d.templateId(), List::kTemplate); });
    host.select(List::kList, 24);
    host.answer(kIdYes);
    host.click(List::kDelete);
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().itemCount(List::kList), 24);
        EXPECT_FALSE(d.controls().enabled(List::kAdd)) << "not enabled again while open";
    });
    host.ok();
    EXPECT_EQ(runList(), 0);
    EXPECT_EQ(store.count, 24);
}

TEST_F(ServerListTest, TheTwentyFifthAddDisablesAdd) {
    fill(24);
    host.call([](Dialog& d) { EXPECT_TRUE(d.controls().enabled(List::kAdd)); });
    host.click(List::kAdd);
    typeCaster(caster("last"));
    host.ok();
    host.call([](Dialog& d) { EXPECT_FALSE(d.controls().enabled(List::kAdd)); });
    host.ok();
    runList();
    EXPECT_EQ(store.count, 25);
    EXPECT_EQ(store.entries[24].name, "last");
}

TEST_F(ServerListTest, DeletingInTheMiddleMovesEveryLaterCasterWithAllItsFields) {
    fill(5, "3");
    store.entries[3] = {"three", "h3", "2103", "u3", "p3", "1", "2"};
    store.entries[4] = {"four", "h4", "2104", "u4", "p4", "0", "3"};
    store.auth = "no";
    const CasterEntry first = store.entries[0], third = store.entries[3], fourth = store.entries[4];
    host.select(List::kList, 2);
    host.answer(kIdYes);
    host.click(List::kDelete);
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().items(List::kList),
                  (std::vector<std::string>{"c0", "c1", "three", "four"}));
    });
    host.ok();
    EXPECT_EQ(runList(), 0);

    ASSERT_EQ(host.shownBoxes().size(), 1u);
    const MessageBoxRequest box = host.shownBoxes()[0].request;
    EXPECT_EQ(box.text, "Do you want to delete this server?");
    EXPECT_EQ(box.caption, "Delete");
    EXPECT_EQ(box.buttons, MessageButtons::YesNo);
    ASSERT_EQ(store.count, 4);
    EXPECT_EQ(store.entries[2], third);
    EXPECT_EQ(store.entries[3], fourth);
    // The current choice starts again from caster 0; auth stays.
    EXPECT_EQ(store.server, "0");
    EXPECT_EQ(store.user, first.user);
    EXPECT_EQ(store.password, first.Password);
    EXPECT_EQ(saved(), listFile(currentSection("0", "no", first.user, first.Password),
                                {first, store.entries[1], third, fourth}));
}

TEST_F(ServerListTest, DeleteAsksAndEditAndDeleteNeedASelectedRow) {
    fill(3);
    host.click(List::kDelete); // no row: no question
    host.click(List::kEdit);   // no row: no edit dialog
    host.call([](Dialog& d) { EXPECT_EQ(d.templateId(), List::kTemplate); });
    host.select(List::kList, 1);
    host.answer(kIdNo);
    host.click(List::kDelete);
    host.cancel(); // escape: nothing saved
    EXPECT_EQ(runList(), kIdCancel);
    EXPECT_EQ(host.shownBoxes().size(), 1u);
    EXPECT_EQ(rows(), (std::vector<std::string>{"c0", "c1", "c2"}));
    EXPECT_FALSE(savedExists());
}

TEST_F(ServerListTest, DeletingTheLastCasterClearsTheCurrentChoice) {
    fill(1);
    host.select(List::kList, 0);
    host.answer(kIdYes);
    host.click(List::kDelete);
    host.ok();
    runList();
    EXPECT_EQ(store.count, 0);
    EXPECT_FALSE(store.hasCurrent);
    EXPECT_EQ(store.server, "");
    EXPECT_EQ(store.user, "");
    EXPECT_EQ(saved(), listFile(kNoCurrent, {}));
}

TEST_F(ServerListTest, EditStoresTheFieldsAsTypedAndMarksANtripCaster) {
    fill(2);
    store.entries[1] = {"old", "h", "1", "u", "p", "1", "2"};
    const std::string sixty(60, 'n');
    host.select(List::kList, 1);
    host.click(List::kEdit);
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().text(Edit::kName), "old");
        EXPECT_EQ(d.controls().selection(Edit::kVersion), 1);
    });
    host.type(Edit::kName, sixty);
    host.type(Edit::kPort, "80a80"); // a digits-only edit
    host.type(Edit::kUser, "");
    host.ok();
    host.call(
        [&](Dialog& d) { EXPECT_EQ(d.controls().itemText(List::kList, 1), sixty.substr(0, 48)); });
    host.ok();
    runList();
    EXPECT_EQ(store.entries[1], (CasterEntry{sixty.substr(0, 48), "h", "8080", "", "p", "0", "2"}));
    EXPECT_EQ(store.count, 2);
}

TEST_F(ServerListTest, CancelOfTheEditLeavesTheCasterAndTheSystemCancelSavesNothing) {
    fill(1);
    const CasterEntry before = store.entries[0];
    host.select(List::kList, 0);
    host.click(List::kEdit);
    host.type(Edit::kName, "changed");
    host.click(Edit::kCancel);
    host.click(List::kAdd);
    typeCaster(caster("added"));
    host.ok();
    host.cancel();
    EXPECT_EQ(runList(), kIdCancel);
    EXPECT_EQ(store.entries[0], before);
    EXPECT_EQ(store.count, 2) << "the added caster stays in memory";
    EXPECT_FALSE(savedExists());
}

// An Add that ends in the edit dialog's Cancel or Escape adds nothing and keeps the current choice.
TEST_F(ServerListTest, AnAddCancelledInTheEditDialogAddsNothing) {
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Cancel");
        fill(2, "1");
        host.click(List::kAdd);
        typeCaster(caster("added"));
        if (escape)
            host.cancel();
        else
            host.click(Edit::kCancel);
        host.call([](Dialog& d) {
            EXPECT_EQ(d.templateId(), List::kTemplate);
            EXPECT_EQ(d.controls().items(List::kList), (std::vector<std::string>{"c0", "c1"}));
        });
        host.ok();
        EXPECT_EQ(runList(), 0);
        EXPECT_EQ(rows(), (std::vector<std::string>{"c0", "c1"}));
        EXPECT_EQ(store.server, "1");
        EXPECT_EQ(store.current().name, "c1");
        EXPECT_EQ(saved(),
                  listFile(currentSection("1", "yes", "u", "p"), {caster("c0"), caster("c1")}));
    }
}

// What the version list does to the captions and the port, also after the screen turned.
TEST_F(ServerListTest, TheVersionChoosesCaptionsAndTheIbssPort) {
    fill(1);
    store.entries[0].vntrip = "3";
    store.entries[0].port = "9999";
    host.select(List::kList, 0);
    host.click(List::kEdit);
    const auto expectIbss = [](bool ibss) {
        return [ibss](Dialog& d) {
            const ControlModel& c = d.controls();
            EXPECT_EQ(c.text(Edit::kServerCaption), ibss ? "Organization:" : "Server:");
            EXPECT_EQ(c.text(Edit::kUserCaption), ibss ? "Device:" : "User:");
            EXPECT_EQ(c.enabled(Edit::kPort), !ibss);
        };
    };
    host.call(expectIbss(true));
    host.call([](Dialog& d) { EXPECT_EQ(d.controls().text(Edit::kPort), "9999"); });
    host.select(Edit::kVersion, 0);
    host.call(expectIbss(false));
    host.select(Edit::kVersion, 2);
    host.call(expectIbss(true));
    host.call([](Dialog& d) { EXPECT_EQ(d.controls().text(Edit::kPort), "2101"); });
    host.turn(240, 320); // the re-layout puts back "Server :"; the refresh follows
    host.call(expectIbss(true));
    host.select(Edit::kVersion, 0);
    host.call(expectIbss(false));
    host.call([](Dialog& d) { EXPECT_EQ(d.controls().text(Edit::kPort), "2101"); });
    host.ok();
    host.ok();
    runList();
    EXPECT_EQ(store.entries[0].port, "2101");
    EXPECT_EQ(store.entries[0].vntrip, "1");
}

TEST_F(ServerListTest, ACasterWithoutVersionKeepsVersionZero) {
    fill(1);
    store.entries[0].vntrip = "0";
    host.select(List::kList, 0);
    host.click(List::kEdit);
    host.call([](Dialog& d) { EXPECT_EQ(d.controls().selection(Edit::kVersion), -1); });
    host.ok();
    host.ok();
    runList();
    EXPECT_EQ(store.entries[0].vntrip, "0");
    EXPECT_EQ(saved().find("<vntrip>0</vntrip>") != std::string::npos, true) << saved();
}

// The version row and the captions agree for every version text a file may hold: the row is
// the number the text reads as, less one, and the IBSS captions go with the IBSS row.
struct OpenVersionCase {
    const char* vntrip;
    int row;
};

class ServerEditOpens : public ServerListTest,
                        public ::testing::WithParamInterface<OpenVersionCase> {};

TEST_P(ServerEditOpens, OnTheRowItsVersionReadsAs) {
    fill(1);
    store.entries[0].vntrip = GetParam().vntrip;
    host.select(List::kList, 0);
    host.click(List::kEdit);
    host.call([row = GetParam().row](Dialog& d) {
        const ControlModel& c = d.controls();
        const bool ibss = row == caster_list::kIbssRow;
        EXPECT_EQ(c.selection(Edit::kVersion), row);
        EXPECT_EQ(c.text(Edit::kServerCaption), ibss ? "Organization:" : "Server:");
        EXPECT_EQ(c.text(Edit::kUserCaption), ibss ? "Device:" : "User:");
        EXPECT_EQ(c.enabled(Edit::kPort), !ibss);
    });
    host.click(Edit::kCancel);
    host.ok();
    runList();
    EXPECT_EQ(store.entries[0].vntrip, GetParam().vntrip) << "Cancel keeps the text as it was";
}

INSTANTIATE_TEST_SUITE_P(Versions, ServerEditOpens,
                         ::testing::Values(OpenVersionCase{"1", 0}, OpenVersionCase{"2", 1},
                                           OpenVersionCase{"3", 2}, OpenVersionCase{"03", 2},
                                           OpenVersionCase{" 3", 2}, OpenVersionCase{"0", -1},
                                           OpenVersionCase{"-1", -1}, OpenVersionCase{"7x", -1}));

struct RefusedCase {
    int edit;
    std::string value;
    std::string message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << "edit " << c.edit << " " << ::testing::PrintToString(c.value);
}

class ServerEditRefuses : public ServerListTest,
                          public ::testing::WithParamInterface<RefusedCase> {};

// A value the file or the modem's commands could not carry back: a message, nothing stored,
// the dialog stays open until the value is mended.
TEST_P(ServerEditRefuses, AValueThatCannotBeKept) {
    fill(1);
    const CasterEntry before = store.entries[0];
    host.select(List::kList, 0);
    host.click(List::kEdit);
    host.type(GetParam().edit, GetParam().value);
    host.ok();
    host.call([&](Dialog& d) {
        EXPECT_EQ(d.templateId(), Edit::kTemplate) << "still open";
        EXPECT_EQ(store.entries[0], before);
    });
    host.type(GetParam().edit, "fine");
    host.ok();
    host.ok();
    runList();
    EXPECT_EQ(host.shownTexts(), std::vector<std::string>{GetParam().message});
    CasterStore reloaded(store.path(), writer);
    EXPECT_TRUE(reloaded.Load()) << "the saved list loads again";
    EXPECT_EQ(reloaded.count, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ServerEditRefuses,
    ::testing::Values(
        RefusedCase{Edit::kName, "a<b", "The field \"Name\" may not contain \"<\"."},
        RefusedCase{Edit::kName, "a\tb", "The field \"Name\" may not contain a tab (TAB)."},
        RefusedCase{Edit::kServer, "host\r\n",
                    "The field \"Server\" may not contain a line "
                    "break (CR)."},
        RefusedCase{Edit::kServer, "host:80", "The field \"Server\" may not contain \":\"."},
        RefusedCase{Edit::kServer, "host/x", "The field \"Server\" may not contain \"/\"."},
        RefusedCase{Edit::kUser, "us er", "The field \"User\" may not contain a blank."},
        RefusedCase{Edit::kPassword, std::string("p\0w", 3),
                    "The field \"Password\" may not contain a NUL character."},
        RefusedCase{Edit::kPassword, "p,w", "The field \"Password\" may not contain \",\"."},
        RefusedCase{Edit::kPassword, "p\nw",
                    "The field \"Password\" may not contain a line break (LF)."}));

TEST_F(ServerListTest, AFailedSaveIsReportedAndTheOldFileStays) {
    fill(2);
    ASSERT_TRUE(store.Save());
    const std::string before = saved();
    writer.injectFault(10); // a full disk
    host.select(List::kList, 0);
    host.answer(kIdYes);
    host.click(List::kDelete);
    host.ok();
    EXPECT_EQ(runList(), 0);
    ASSERT_EQ(host.shownBoxes().size(), 2u);
    EXPECT_EQ(host.shownBoxes()[1].request.text,
              "The caster list could not be saved: No space left on device");
    EXPECT_EQ(host.shownBoxes()[1].request.caption, "ERROR");
    EXPECT_EQ(saved(), before);
    EXPECT_EQ(store.count, 1) << "the store keeps the change";
    writer.injectFault(std::nullopt);
    EXPECT_TRUE(store.Save());
    EXPECT_EQ(store.count, 1);
}

// The window edits the second of two casters named alike while the command line changes one of
// them: a change of the other caster is kept beside the window's, a change of the same one keeps
// the command line's version and the window says which caster.
struct EditWhileOpenCase {
    const char* name;
    int otherSlot; // the caster the command line gives port 2103
    std::vector<std::string> ports;
    std::string box;
};
void PrintTo(const EditWhileOpenCase& c, std::ostream* os) {
    *os << c.name;
}
class ServerListWhileOpen : public ServerListTest,
                            public ::testing::WithParamInterface<EditWhileOpenCase> {};

TEST_P(ServerListWhileOpen, TheWindowsEditMeetsTheOthers) {
    const EditWhileOpenCase& c = GetParam();
    fill(2);
    store.entries[0] = {"Home", "first.example", "2101", "u1", "p1", "0", "1"};
    store.entries[1] = {"Home", "second.example", "2101", "u2", "p2", "0", "1"};
    ASSERT_TRUE(store.Save());
    host.select(List::kList, 1);
    host.click(List::kEdit);
    host.type(Edit::kPort, "2102");
    host.ok();
    host.call([this, &c](Dialog&) {
        CasterStore other(store.path(), AtomicFile::standard());
        auto hold = other.holdFile();
        other.Load();
        other.entries[static_cast<std::size_t>(c.otherSlot)].port = "2103";
        ASSERT_TRUE(other.Save());
    });
    host.ok();
    EXPECT_EQ(runList(), 0);
    CasterStore after(store.path(), AtomicFile::standard());
    ASSERT_TRUE(after.Load());
    std::vector<std::string> ports;
    for (int i = 0; i < after.count; ++i)
        ports.push_back(after.entries[static_cast<std::size_t>(i)].ip + ":" +
                        after.entries[static_cast<std::size_t>(i)].port);
    EXPECT_EQ(ports, c.ports);
    const std::vector<std::string> boxes = host.shownSummaries();
    if (c.box.empty())
        EXPECT_TRUE(boxes.empty());
    else
        EXPECT_EQ(boxes, std::vector<std::string>{c.box});
}

const EditWhileOpenCase kEditWhileOpen[] = {
    {"AnotherCasterChangedMeanwhile", 0, {"first.example:2103", "second.example:2102"}, ""},
    {"TheSameCasterChangedMeanwhile",
     1,
     {"first.example:2101", "second.example:2103"},
     "TESSADORN v3.0.3.3 | Another program changed the server \"Home\" (second.example:2103) "
     "meanwhile: its version is kept and your changes to it were not saved. | OK"},
};
INSTANTIATE_TEST_SUITE_P(Lists, ServerListWhileOpen, ::testing::ValuesIn(kEditWhileOpen),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessadorn
