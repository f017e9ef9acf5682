#include "store/CasterMerge.h"
#include "store/CasterListEdits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tessadorn {
namespace {

CasterEntry casterAt(const std::string& name, const std::string& ip, const std::string& user = "u",
                     const std::string& password = "p") {
    return {name, ip, "2101", user, password, "0", "1"};
}

// A list with `current` chosen (its credentials copied, authentication on).
CasterDocument listOf(const std::vector<CasterEntry>& casters, int current) {
    CasterDocument d;
    for (const CasterEntry& e : casters)
        d.entries[static_cast<std::size_t>(d.count++)] = e;
    d.hasCurrent = true;
    d.server = std::to_string(current);
    d.user = casters[static_cast<std::size_t>(current)].user;
    d.password = casters[static_cast<std::size_t>(current)].Password;
    return d;
}

std::string mergedLabel(const CasterEntry& e) {
    return e.name + "@" + e.ip + ":" + e.port;
}

std::vector<std::string> mergedLabels(const CasterDocument& d) {
    std::vector<std::string> out;
    for (int i = 0; i < d.count; ++i)
        out.push_back(mergedLabel(d.entries[static_cast<std::size_t>(i)]));
    return out;
}

caster_list::TypedCaster typedFrom(const CasterEntry& e) {
    return {e.name, e.ip, e.port, e.user, e.Password, 0};
}

// The edits the dialogs, the command line and the start-up make, on a slot.
using Edit = std::function<void(CasterDocument&)>;
Edit setField(int slot, std::string CasterEntry::*field, std::string value) {
    return [=](CasterDocument& d) {
        CasterEntry e = d.entries[static_cast<std::size_t>(slot)];
        e.*field = value;
        caster_list::store(d, slot, typedFrom(e));
    };
}
Edit addCaster(const std::string& name, const std::string& ip) {
    return [=](CasterDocument& d) {
        caster_list::store(d, caster_list::kNewCaster, typedFrom(casterAt(name, ip)));
    };
}
Edit deleteSlot(int slot) {
    return [=](CasterDocument& d) { caster_list::remove(d, slot); };
}
Edit useSlot(int slot) {
    return [=](CasterDocument& d) { caster_list::use(d, slot, d.auth == "yes"); };
}

struct MergeCase {
    const char* name;
    std::vector<CasterEntry> base;
    int current;
    Edit here;             // this program, on its copy
    Edit onDisk;           // another program, saved meanwhile
    std::string list;      // the merged list, name@host:port each
    std::string chosen;    // its current caster, name@host:port user/password
    std::size_t conflicts; // reported
};
void PrintTo(const MergeCase& c, std::ostream* os) {
    *os << c.name;
}

class CasterMergeCases : public ::testing::TestWithParam<MergeCase> {};

TEST_P(CasterMergeCases, EveryCasterAndEveryChoiceSurvives) {
    const MergeCase& c = GetParam();
    const CasterDocument base = listOf(c.base, c.current);
    CasterDocument ours = base;
    CasterDocument theirs = base;
    c.here(ours);
    c.onDisk(theirs);
    CasterDocument merged;
    std::vector<CasterConflict> conflicts;
    ASSERT_TRUE(mergeCasterLists(base, ours, theirs, merged, conflicts));
    std::string list;
    for (const std::string& one : mergedLabels(merged))
        list += (list.empty() ? "" : " ") + one;
    EXPECT_EQ(list, c.list);
    ASSERT_TRUE(merged.server.value() >= 0 && merged.server.value() < merged.count);
    EXPECT_EQ(mergedLabel(merged.entries[static_cast<std::size_t>(merged.server.value())]) + " " +
                  merged.user + "/" + merged.password,
              c.chosen);
    EXPECT_EQ(conflicts.size(), c.conflicts);
}

const std::vector<CasterEntry> kTwoHomes = {casterAt("Home", "first.example", "u1", "p1"),
                                            casterAt("Home", "second.example", "u2", "p2")};
const std::vector<CasterEntry> kAlphaBeta = {casterAt("Alpha", "alpha.example", "ua", "pa"),
                                             casterAt("Beta", "beta.example", "ub", "pb")};
const std::string kHomes = "Home@first.example:2101 Home@second.example:2101";
const std::string kFirst = "Home@first.example:2101 u1/p1";
const std::string kOther = " Other@other.example:2101";
const std::string kBeta = "Beta@beta.example:2101";
const std::string kBetaChosen = kBeta + " ub/pb";

const MergeCase kMergeCases[] = {
    {"SameNamesKeepTheChosenCaster", kTwoHomes, 0, useSlot(0), addCaster("Other", "other.example"),
     kHomes + kOther, kFirst, 0},
    {"EditOfTheSecondOfTwoNamesTakes", kTwoHomes, 0, setField(1, &CasterEntry::port, "2102"),
     addCaster("Other", "other.example"),
     "Home@first.example:2101 Home@second.example:2102" + kOther, kFirst, 0},
    {"DeletionOfTheSecondOfTwoNamesStays", kTwoHomes, 0, deleteSlot(1),
     addCaster("Other", "other.example"), "Home@first.example:2101" + kOther, kFirst, 0},
    {"RenamedHereWhileItsPortChangedOnDisk", kAlphaBeta, 1,
     setField(0, &CasterEntry::name, "Alpha2"), setField(0, &CasterEntry::port, "2102"),
     "Alpha@alpha.example:2102 " + kBeta, kBetaChosen, 1},
    {"EditedHereWhileRenamedOnDisk", kAlphaBeta, 1, setField(0, &CasterEntry::port, "2102"),
     setField(0, &CasterEntry::name, "Alpha2"), "Alpha2@alpha.example:2101 " + kBeta, kBetaChosen,
     1},
    {"RenamedDifferentlyOnBothSides", kAlphaBeta, 1, setField(0, &CasterEntry::name, "Here"),
     setField(0, &CasterEntry::name, "There"), "There@alpha.example:2101 " + kBeta, kBetaChosen, 1},
    {"DeletedHereWhileEditedOnDiskStaysEdited", kAlphaBeta, 1, deleteSlot(0),
     setField(0, &CasterEntry::ip, "alpha2.example"), "Alpha@alpha2.example:2101 " + kBeta,
     kBetaChosen, 1},
    {"EditedHereWhileDeletedOnDiskStaysEdited", kAlphaBeta, 1,
     setField(0, &CasterEntry::ip, "alpha2.example"), deleteSlot(0),
     "Alpha@alpha2.example:2101 " + kBeta, kBetaChosen, 1},
    {"SameNameAddedOnBothSidesKeepsBoth", kAlphaBeta, 0, addCaster("New", "here.example"),
     addCaster("New", "there.example"),
     "Alpha@alpha.example:2101 " + kBeta + " New@there.example:2101 New@here.example:2101",
     "Alpha@alpha.example:2101 ua/pa", 0},
    {"ChosenHereWhileDeletedOnDisk", kAlphaBeta, 0, useSlot(1), deleteSlot(1),
     "Alpha@alpha.example:2101", "Alpha@alpha.example:2101 ua/pa", 1},
    // The start-up took the modem's credentials here while the command line chose Beta.
    {"ChoiceAndCredentialsMoveAsOne", kAlphaBeta, 0,
     [](CasterDocument& d) {
         d.user = "modem-user";
         d.password = "modem-pw";
     },
     useSlot(1), "Alpha@alpha.example:2101 " + kBeta, kBetaChosen, 1},
    // An unrelated change here never brings back this side's stale copy of a caster.
    {"ACasterChangedOnDiskKeepsTheDisksFields", kAlphaBeta, 1, addCaster("New", "here.example"),
     setField(0, &CasterEntry::ip, "moved.example"),
     "Alpha@moved.example:2101 " + kBeta + " New@here.example:2101", kBetaChosen, 0},
};
INSTANTIATE_TEST_SUITE_P(Lists, CasterMergeCases, ::testing::ValuesIn(kMergeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The APN block moves as one: never one side's APN with the other's user.
TEST(CasterMergeApn, BothSidesChangingTheApnKeepTheDisksBlock) {
    const CasterDocument base = listOf(kAlphaBeta, 0);
    CasterDocument ours = base;
    CasterDocument theirs = base;
    caster_list::setApn(ours, {"here.apn", "here-user", "here-pw"});
    caster_list::setApn(theirs, {"there.apn", "", ""});
    CasterDocument merged;
    std::vector<CasterConflict> conflicts;
    ASSERT_TRUE(mergeCasterLists(base, ours, theirs, merged, conflicts));
    EXPECT_EQ(merged.apn, "there.apn");
    EXPECT_EQ(merged.carrierUser, "");
    ASSERT_EQ(conflicts.size(), 1u);
    EXPECT_EQ(
        conflicts[0].message(),
        "Another program changed the APN meanwhile: its APN is kept and yours was not saved.");
    theirs = base;
    conflicts.clear();
    ASSERT_TRUE(mergeCasterLists(base, ours, theirs, merged, conflicts));
    EXPECT_EQ(merged.apn, "here.apn");
    EXPECT_EQ(merged.carrierUser, "here-user");
    EXPECT_TRUE(conflicts.empty());
}

// ---------------------------------------------------------------------------------------------
// Every pair of edits, one made here and one on disk, in both roles, on small lists with and
// without repeated names. Each caster carries an identity beside the list, which the merge does
// not see; from it the test knows what the result must hold.

struct Tracked {
    CasterDocument doc;
    std::vector<int> ids; // the identity of each slot
};

enum class EditOp {
    Add,
    Ip,
    Port,
    User,
    Password,
    Version,
    Rename,
    Delete,
    First,
    Last,
    Choose,
    Auth
};
struct PairEdit {
    EditOp op;
    int slot;
};
std::string describeEdit(const PairEdit& e) {
    static const char* const names[] = {"add",    "ip",     "port",  "user", "password", "version",
                                        "rename", "delete", "first", "last", "choose",   "auth"};
    return std::string(names[static_cast<int>(e.op)]) + "@" + std::to_string(e.slot);
}

int chosenId(const Tracked& t) {
    const int s = t.doc.server.value();
    return s >= 0 && s < t.doc.count ? t.ids[static_cast<std::size_t>(s)] : -2;
}

// Moves a caster; the current caster stays the one chosen.
void moveTo(Tracked& t, int from, int to) {
    const int chosen = chosenId(t);
    const CasterEntry e = t.doc.entries[static_cast<std::size_t>(from)];
    const int id = t.ids[static_cast<std::size_t>(from)];
    std::vector<CasterEntry> list(t.doc.entries.begin(), t.doc.entries.begin() + t.doc.count);
    list.erase(list.begin() + from);
    list.insert(list.begin() + to, e);
    t.ids.erase(t.ids.begin() + from);
    t.ids.insert(t.ids.begin() + to, id);
    std::copy(list.begin(), list.end(), t.doc.entries.begin());
    for (int i = 0; i < t.doc.count; ++i)
        if (t.ids[static_cast<std::size_t>(i)] == chosen) t.doc.server = std::to_string(i);
}

// `side` 'o' (here) or 't' (on disk) makes the values of the two sides differ, except the port:
// both sides setting it alike is no conflict.
void applyEdit(Tracked& t, const PairEdit& e, char side) {
    CasterDocument& d = t.doc;
    const std::string tag(1, side);
    const auto field = [&](std::string CasterEntry::*f, const std::string& value) {
        CasterEntry c = d.entries[static_cast<std::size_t>(e.slot)];
        c.*f = value;
        caster_list::store(d, e.slot, typedFrom(c));
    };
    const CasterEntry& at = d.entries[static_cast<std::size_t>(e.slot)];
    switch (e.op) {
    case EditOp::Add:
        caster_list::store(d, caster_list::kNewCaster, typedFrom(casterAt("N", tag + ".new")));
        t.ids.push_back(side == 'o' ? 100 : 200);
        return;
    case EditOp::Ip:
        return field(&CasterEntry::ip, at.ip + "." + tag);
    case EditOp::Port:
        return field(&CasterEntry::port, "2102");
    case EditOp::User:
        return field(&CasterEntry::user, at.user + tag);
    case EditOp::Password:
        return field(&CasterEntry::Password, at.Password + tag);
    case EditOp::Version: {
        caster_list::TypedCaster typed = typedFrom(at);
        typed.versionRow = side == 'o' ? 1 : -1;
        caster_list::store(d, e.slot, typed);
        return;
    }
    case EditOp::Rename:
        return field(&CasterEntry::name, at.name + tag);
    case EditOp::Delete:
        caster_list::remove(d, e.slot);
        t.ids.erase(t.ids.begin() + e.slot);
        return;
    case EditOp::First:
        return moveTo(t, e.slot, 0);
    case EditOp::Last:
        return moveTo(t, e.slot, d.count - 1);
    case EditOp::Choose:
        caster_list::use(d, e.slot, d.auth == "yes");
        return;
    case EditOp::Auth:
        caster_list::use(d, d.server.value(), d.auth != "yes");
        return;
    }
}

std::vector<PairEdit> everyEdit(int count) {
    std::vector<PairEdit> edits = {{EditOp::Add, 0}, {EditOp::Auth, 0}};
    for (EditOp op : {EditOp::Ip, EditOp::Port, EditOp::User, EditOp::Password, EditOp::Version,
                      EditOp::Rename, EditOp::Delete, EditOp::First, EditOp::Last, EditOp::Choose})
        for (int slot = 0; slot < count; ++slot)
            edits.push_back({op, slot});
    return edits;
}

const CasterEntry* byId(const Tracked& t, int id) {
    for (std::size_t i = 0; i < t.ids.size(); ++i)
        if (t.ids[i] == id) return &t.doc.entries[i];
    return nullptr;
}

// Before (1), after (-1) or not both in the list (0).
int orderIn(const Tracked& t, int x, int y) {
    const auto px = std::find(t.ids.begin(), t.ids.end(), x);
    const auto py = std::find(t.ids.begin(), t.ids.end(), y);
    if (px == t.ids.end() || py == t.ids.end()) return 0;
    return px < py ? 1 : -1;
}

struct CurrentSection {
    bool has;
    int chosen;
    std::string server, auth, user, password;
    bool operator==(const CurrentSection&) const = default;
};
CurrentSection sectionOf(const Tracked& t) {
    const int chosen = chosenId(t);
    return {t.doc.hasCurrent, chosen,     chosen == -2 ? t.doc.server.text() : std::string(),
            t.doc.auth,       t.doc.user, t.doc.password};
}

// What the merge of `here` and `there` must give, checked against `merged`; failures name the
// pair.
void checkPair(const Tracked& base, const Tracked& here, const Tracked& there,
               const CasterDocument& merged, const std::vector<CasterConflict>& conflicts) {
    std::size_t expectedConflicts = 0;
    std::map<int, CasterEntry> kept; // identity -> the caster the merged list must hold
    for (int id : base.ids) {
        const CasterEntry* b = byId(base, id);
        const CasterEntry* o = byId(here, id);
        const CasterEntry* t = byId(there, id);
        const bool changedHere = o && *o != *b;
        const bool changedThere = t && *t != *b;
        if (!o && t) {
            if (changedThere) kept[id] = *t, ++expectedConflicts;
        } else if (o && !t) {
            if (changedHere) kept[id] = *o, ++expectedConflicts;
        } else if (o && t) {
            if (changedHere && changedThere && *o != *t) ++expectedConflicts;
            kept[id] = changedHere && !changedThere ? *o : *t;
        }
    }
    for (const Tracked* side : {&here, &there})
        for (std::size_t i = 0; i < side->ids.size(); ++i)
            if (side->ids[i] >= 100) kept[side->ids[i]] = side->doc.entries[i];

    // No caster lost or duplicated: the merged list is exactly the kept casters.
    std::vector<std::string> want, got = mergedLabels(merged);
    std::vector<int> gotIds;
    for (const auto& [id, e] : kept)
        want.push_back(mergedLabel(e));
    for (int i = 0; i < merged.count; ++i) {
        const CasterEntry& e = merged.entries[static_cast<std::size_t>(i)];
        int id = -1;
        for (const auto& [kid, ke] : kept)
            if (ke == e && std::find(gotIds.begin(), gotIds.end(), kid) == gotIds.end()) id = kid;
        gotIds.push_back(id);
    }
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    ASSERT_EQ(got, want) << "casters lost, duplicated or not as kept";

    // Order: as the side that changed it for two casters, else as both have them.
    Tracked result{merged, gotIds};
    bool orderBroken = false;
    for (int x : gotIds)
        for (int y : gotIds) {
            if (x == y) continue;
            const int b = orderIn(base, x, y), o = orderIn(here, x, y), t = orderIn(there, x, y);
            const int expected = o != 0 && (b == 0 || o != b) ? o : t != 0 ? t : o;
            if (expected != 0 && orderIn(result, x, y) != expected) orderBroken = true;
        }

    // The current section: this side's when it changed it and the disk did not differently.
    const CurrentSection sb = sectionOf(base), so = sectionOf(here), st = sectionOf(there);
    const Tracked* source = &there;
    if (so != sb) {
        if (st != sb && so != st)
            ++expectedConflicts;
        else if (so.chosen >= 0 && !kept.count(so.chosen))
            ++expectedConflicts;
        else
            source = &here;
    }
    const CurrentSection ss = sectionOf(*source);
    const int slot = merged.server.value();
    if (ss.chosen >= 0 && kept.count(ss.chosen)) {
        ASSERT_TRUE(slot >= 0 && slot < merged.count);
        EXPECT_EQ(gotIds[static_cast<std::size_t>(slot)], ss.chosen) << "the chosen caster";
        const CasterEntry& was = *byId(*source, ss.chosen);
        const CasterEntry& now = merged.entries[static_cast<std::size_t>(slot)];
        const bool copied = ss.user == was.user && ss.password == was.Password;
        EXPECT_EQ(merged.user, copied ? now.user : ss.user) << "its own credentials";
        EXPECT_EQ(merged.password, copied ? now.Password : ss.password);
        EXPECT_EQ(merged.auth, ss.auth);
    } else if (merged.count > 0 && merged.hasCurrent) {
        EXPECT_TRUE(slot >= 0 && slot < merged.count) << "the current caster is in the list";
    }
    EXPECT_EQ(conflicts.size(), expectedConflicts + (orderBroken ? 1 : 0))
        << "every conflict reported, and only those";
}

struct PairList {
    const char* name;
    std::vector<CasterEntry> casters;
};
void PrintTo(const PairList& l, std::ostream* os) {
    *os << l.name;
}
class CasterMergePairs : public ::testing::TestWithParam<PairList> {};

TEST_P(CasterMergePairs, EveryPairOfEditsKeepsBothSides) {
    const PairList& list = GetParam();
    Tracked base{listOf(list.casters, 1), {}};
    for (int i = 0; i < base.doc.count; ++i)
        base.ids.push_back(i);
    const auto edits = everyEdit(base.doc.count);
    int pairs = 0;
    for (const PairEdit& mine : edits)
        for (const PairEdit& theirs : edits) {
            SCOPED_TRACE("here " + describeEdit(mine) + ", on disk " + describeEdit(theirs));
            Tracked here = base, there = base;
            applyEdit(here, mine, 'o');
            applyEdit(there, theirs, 't');
            CasterDocument merged;
            std::vector<CasterConflict> conflicts;
            ASSERT_TRUE(mergeCasterLists(base.doc, here.doc, there.doc, merged, conflicts));
            checkPair(base, here, there, merged, conflicts);
            if (::testing::Test::HasFatalFailure()) return;
            ++pairs;
        }
    EXPECT_EQ(pairs, static_cast<int>(edits.size() * edits.size()));
}

const PairList kPairLists[] = {
    {"Distinct",
     {casterAt("A", "a.example", "ua", "pa"), casterAt("B", "b.example", "ub", "pb"),
      casterAt("C", "c.example", "uc", "pc")}},
    {"RepeatedNames",
     {casterAt("Home", "first.example", "u1", "p1"), casterAt("Home", "second.example", "u2", "p2"),
      casterAt("Home", "third.example", "u1", "p1")}},
};
INSTANTIATE_TEST_SUITE_P(Lists, CasterMergePairs, ::testing::ValuesIn(kPairLists),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessadorn
