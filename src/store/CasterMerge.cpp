#include "store/CasterMerge.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <tuple>

namespace tessadorn {

std::string CasterConflict::message() const {
    const std::string server = "the server \"" + deviceToUtf8(name) + "\" (" + deviceToUtf8(ip) +
                               ":" + deviceToUtf8(port) + ")";
    switch (kind) {
    case Kind::EditedBoth:
        return "Another program changed " + server +
               " meanwhile: its version is kept and your changes to it were not saved.";
    case Kind::DeletedHereChanged:
        return "Another program changed " + server +
               " that you deleted: it is kept with that program's changes.";
    case Kind::ChangedHereDeleted:
        return "Another program deleted " + server + " that you changed: it is kept with yours.";
    case Kind::MovedBoth:
        return "Another program moved " + server + " too: it stays where that program put it.";
    case Kind::ChosenDeleted:
        return "Another program deleted " + server +
               " that you chose: the current server is the one that program left.";
    case Kind::CurrentBoth:
        return "Another program chose " + server +
               " as the current server meanwhile: that choice is kept and yours was not saved.";
    case Kind::ApnBoth:
        return "Another program changed the APN meanwhile: its APN is kept and yours was not "
               "saved.";
    }
    return {};
}

namespace {

int listSize(const CasterDocument& d) {
    return std::clamp(d.count, 0, CasterDocument::kMaxEntries);
}

const CasterEntry& slotOf(const CasterDocument& d, int slot) {
    return d.entries[static_cast<std::size_t>(slot)];
}

// The slot the current section names, or -1 when it names no caster of the list.
int chosenSlot(const CasterDocument& d) {
    const int slot = d.server.value();
    return slot >= 0 && slot < listSize(d) ? slot : -1;
}

// Two versions that can be one caster changed: the same name, or the same address.
bool looksLikeOneCaster(const CasterEntry& a, const CasterEntry& b) {
    return a.name == b.name || (a.ip == b.ip && a.port == b.port);
}

// How one side's list lines up with the base list.
struct MergeLineUp {
    std::vector<int> toSide;   // per base slot: the side's slot, -1 when the side deleted it
    std::vector<int> fromSide; // per side slot: the base slot, -1 when the side added it
    std::vector<bool> moved;   // per base slot: the side moved it whole past other casters

    void pair(int b, int s) {
        toSide[static_cast<std::size_t>(b)] = s;
        fromSide[static_cast<std::size_t>(s)] = b;
    }
    bool changed(const CasterDocument& base, const CasterDocument& side, int b) const {
        const int s = toSide[static_cast<std::size_t>(b)];
        return s >= 0 && slotOf(side, s) != slotOf(base, b);
    }
};

MergeLineUp lineUpWithBase(const CasterDocument& base, const CasterDocument& side) {
    const int n = listSize(base);
    const int m = listSize(side);
    MergeLineUp u{std::vector<int>(static_cast<std::size_t>(n), -1),
                  std::vector<int>(static_cast<std::size_t>(m), -1),
                  std::vector<bool>(static_cast<std::size_t>(n), false)};
    // The longest run of casters equal in every field, in order: those stayed where they were.
    std::vector<std::vector<int>> run(static_cast<std::size_t>(n + 1),
                                      std::vector<int>(static_cast<std::size_t>(m + 1), 0));
    const auto at = [&run](int i, int j) -> int& {
        return run[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
    };
    for (int i = n - 1; i >= 0; --i)
        for (int j = m - 1; j >= 0; --j)
            at(i, j) = slotOf(base, i) == slotOf(side, j) ? at(i + 1, j + 1) + 1
                                                          : std::max(at(i + 1, j), at(i, j + 1));
    std::vector<std::pair<int, int>> anchors;
    for (int i = 0, j = 0; i < n && j < m;) {
        if (slotOf(base, i) == slotOf(side, j) && at(i, j) == at(i + 1, j + 1) + 1) {
            anchors.emplace_back(i, j);
            ++i;
            ++j;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            ++i;
        } else {
            ++j;
        }
    }
    for (const auto& [i, j] : anchors)
        u.pair(i, j);
    // Between two such casters: as many on each side are the same casters changed in place;
    // otherwise a caster pairs with one of its name or address.
    anchors.emplace_back(n, m);
    int fromI = 0;
    int fromJ = 0;
    for (const auto& [endI, endJ] : anchors) {
        if (endI - fromI == endJ - fromJ) {
            for (int k = 0; k < endI - fromI; ++k)
                u.pair(fromI + k, fromJ + k);
        } else {
            for (int i = fromI; i < endI; ++i)
                for (int j = fromJ; j < endJ; ++j)
                    if (u.fromSide[static_cast<std::size_t>(j)] < 0 &&
                        looksLikeOneCaster(slotOf(base, i), slotOf(side, j))) {
                        u.pair(i, j);
                        break;
                    }
        }
        fromI = endI + 1;
        fromJ = endJ + 1;
    }
    // A caster equal in every field elsewhere was moved.
    for (int i = 0; i < n; ++i) {
        if (u.toSide[static_cast<std::size_t>(i)] >= 0) continue;
        for (int j = 0; j < m; ++j)
            if (u.fromSide[static_cast<std::size_t>(j)] < 0 && slotOf(base, i) == slotOf(side, j)) {
                u.pair(i, j);
                u.moved[static_cast<std::size_t>(i)] = true;
                break;
            }
    }
    return u;
}

// One caster of the merged list and where it came from.
struct MergeItem {
    CasterEntry entry;
    int base = -1;   // its slot in the base list, -1 when a side added it
    int ours = -1;   // its slot in this side's list, -1 when this side has it not
    int theirs = -1; // its slot in the disk's list, -1 when the disk has it not
};

class ListReplay {
  public:
    ListReplay(const CasterDocument& base, const CasterDocument& ours, const CasterDocument& theirs,
               std::vector<CasterConflict>& conflicts)
        : m_Base(base), m_Ours(ours), m_Theirs(theirs), m_Conflicts(conflicts),
          m_OursUp(lineUpWithBase(base, ours)), m_TheirsUp(lineUpWithBase(base, theirs)) {}

    const MergeLineUp& oursUp() const { return m_OursUp; }
    const MergeLineUp& theirsUp() const { return m_TheirsUp; }

    std::vector<MergeItem> run() {
        for (int t = 0; t < listSize(m_Theirs); ++t) {
            const int b = m_TheirsUp.fromSide[static_cast<std::size_t>(t)];
            const int o = b >= 0 ? m_OursUp.toSide[static_cast<std::size_t>(b)] : -1;
            m_Items.push_back({slotOf(m_Theirs, t), b, o, t});
        }
        std::vector<bool> drop(m_Items.size(), false);
        for (int b = 0; b < listSize(m_Base); ++b)
            replayOn(b, drop);
        for (int j = 0; j < listSize(m_Ours); ++j)
            if (m_OursUp.fromSide[static_cast<std::size_t>(j)] < 0) addedHere(j);
        std::vector<MergeItem> kept;
        for (std::size_t k = 0; k < m_Items.size(); ++k)
            if (!drop[k]) kept.push_back(std::move(m_Items[k]));
        m_Items = std::move(kept);
        std::sort(m_Pending.begin(), m_Pending.end(),
                  [](const MergeItem& a, const MergeItem& b) { return a.ours < b.ours; });
        for (MergeItem& p : m_Pending)
            place(std::move(p));
        return std::move(m_Items);
    }

  private:
    void conflict(CasterConflict::Kind kind, const CasterEntry& e) {
        m_Conflicts.push_back({kind, e.name, e.ip, e.port});
    }

    // This side's change of base caster b, on the disk's list.
    void replayOn(int b, std::vector<bool>& drop) {
        const std::size_t bi = static_cast<std::size_t>(b);
        const int o = m_OursUp.toSide[bi];
        const int t = m_TheirsUp.toSide[bi];
        const bool oursChanged = m_OursUp.changed(m_Base, m_Ours, b);
        const bool theirsChanged = m_TheirsUp.changed(m_Base, m_Theirs, b);
        if (o < 0) {
            if (t < 0) return;
            if (theirsChanged)
                conflict(CasterConflict::Kind::DeletedHereChanged, slotOf(m_Theirs, t));
            else
                drop[static_cast<std::size_t>(t)] = true;
            return;
        }
        if (t < 0) {
            if (oursChanged) {
                conflict(CasterConflict::Kind::ChangedHereDeleted, slotOf(m_Ours, o));
                m_Pending.push_back({slotOf(m_Ours, o), b, o, -1});
            }
            return;
        }
        MergeItem& item = m_Items[static_cast<std::size_t>(t)];
        if (oursChanged) {
            if (!theirsChanged)
                item.entry = slotOf(m_Ours, o);
            else if (slotOf(m_Theirs, t) != slotOf(m_Ours, o))
                conflict(CasterConflict::Kind::EditedBoth, slotOf(m_Theirs, t));
        }
        if (!m_OursUp.moved[bi]) return;
        m_Pending.push_back(item);
        drop[static_cast<std::size_t>(t)] = true;
    }

    // A caster this side added; one the disk added equal in every field is the same caster.
    void addedHere(int j) {
        for (MergeItem& item : m_Items)
            if (item.base < 0 && item.ours < 0 && item.entry == slotOf(m_Ours, j)) {
                item.ours = j;
                return;
            }
        m_Pending.push_back({slotOf(m_Ours, j), -1, j, -1});
    }

    // Whether `y` goes before (1) or after (-1) `x`, which this side added or moved: as this
    // side has them where it changed their order, else as the disk has them; 0 when neither
    // side has both (added one on each side).
    static int wanted(const MergeItem& x, const MergeItem& y) {
        const bool oursBefore = y.ours >= 0 && y.ours < x.ours;
        if (y.ours >= 0 && (x.base < 0 || y.base < 0 || oursBefore != (y.base < x.base)))
            return oursBefore ? 1 : -1;
        if (x.theirs >= 0 && y.theirs >= 0) return y.theirs < x.theirs ? 1 : -1;
        if (y.ours >= 0) return oursBefore ? 1 : -1;
        return 0;
    }

    // At the place that keeps every order either side chose; later among equal places, so an
    // addition at the end goes after the disk's. A caster moved on both sides whose orders
    // cannot both hold stays where the disk has it.
    void place(MergeItem item) {
        const std::size_t n = m_Items.size();
        std::vector<int> want(n);
        int before = 0;
        for (std::size_t k = 0; k < n; ++k) {
            want[k] = wanted(item, m_Items[k]);
            if (want[k] > 0) ++before;
        }
        std::size_t at = 0;
        int best = before; // at 0, every caster that should come first does not
        int broken = before;
        for (std::size_t k = 0; k < n; ++k) {
            broken += (want[k] < 0) - (want[k] > 0);
            if (broken <= best) {
                best = broken;
                at = k + 1;
            }
        }
        if (best > 0 && item.theirs >= 0) {
            conflict(CasterConflict::Kind::MovedBoth, item.entry);
            at = 0;
            for (std::size_t k = 0; k < n; ++k)
                if (m_Items[k].theirs >= 0 && m_Items[k].theirs < item.theirs) at = k + 1;
        }
        m_Items.insert(m_Items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    }

    const CasterDocument& m_Base;
    const CasterDocument& m_Ours;
    const CasterDocument& m_Theirs;
    std::vector<CasterConflict>& m_Conflicts;
    MergeLineUp m_OursUp;
    MergeLineUp m_TheirsUp;
    std::vector<MergeItem> m_Items;
    std::vector<MergeItem> m_Pending;
};

// The base slot of the caster a side's current section names: -1 for one the side added, -2
// for none.
int chosenInBase(const CasterDocument& side, const MergeLineUp* up) {
    const int slot = chosenSlot(side);
    if (slot < 0) return -2;
    return up ? up->fromSide[static_cast<std::size_t>(slot)] : slot;
}

bool sectionChanged(const CasterDocument& base, const CasterDocument& side, const MergeLineUp& up) {
    const int chosen = chosenInBase(side, &up);
    const int was = chosenInBase(base, nullptr);
    return side.hasCurrent != base.hasCurrent || side.auth != base.auth || side.user != base.user ||
           side.password != base.password || chosen != was ||
           (chosen == -2 && side.server != base.server);
}

auto apnBlock(const CasterDocument& d) {
    return std::tie(d.carrier, d.apn, d.carrierUser, d.carrierPassword);
}

// The position in `items` of the caster a side chose, or -1.
int positionOf(const std::vector<MergeItem>& items, int MergeItem::*side, int slot) {
    if (slot < 0) return -1;
    for (std::size_t k = 0; k < items.size(); ++k)
        if (items[k].*side == slot) return static_cast<int>(k);
    return -1;
}

} // namespace

bool mergeCasterLists(const CasterDocument& base, const CasterDocument& ours,
                      const CasterDocument& theirs, CasterDocument& merged,
                      std::vector<CasterConflict>& conflicts) {
    ListReplay replay(base, ours, theirs, conflicts);
    std::vector<MergeItem> items = replay.run();
    const MergeLineUp& oursUp = replay.oursUp();
    const MergeLineUp& theirsUp = replay.theirsUp();
    const bool fits = items.size() <= static_cast<std::size_t>(CasterDocument::kMaxEntries);
    if (!fits) items.resize(static_cast<std::size_t>(CasterDocument::kMaxEntries));

    // The current section: the chosen caster, its authentication and credentials, as one.
    const int oursAt = positionOf(items, &MergeItem::ours, chosenSlot(ours));
    const int theirsAt = positionOf(items, &MergeItem::theirs, chosenSlot(theirs));
    const CasterDocument* source = &theirs;
    int chosenAt = theirsAt;
    if (sectionChanged(base, ours, oursUp)) {
        const bool theirsChanged = sectionChanged(base, theirs, theirsUp);
        const bool agree = ours.hasCurrent == theirs.hasCurrent && ours.auth == theirs.auth &&
                           ours.user == theirs.user && ours.password == theirs.password &&
                           oursAt == theirsAt && (oursAt >= 0 || ours.server == theirs.server);
        if (theirsChanged && !agree) {
            const int t = chosenSlot(theirs);
            conflicts.push_back({CasterConflict::Kind::CurrentBoth,
                                 t >= 0 ? slotOf(theirs, t).name : std::string(),
                                 t >= 0 ? slotOf(theirs, t).ip : std::string(),
                                 t >= 0 ? slotOf(theirs, t).port : std::string()});
        } else if (chosenSlot(ours) >= 0 && oursAt < 0) {
            const CasterEntry& e = slotOf(ours, chosenSlot(ours));
            conflicts.push_back({CasterConflict::Kind::ChosenDeleted, e.name, e.ip, e.port});
        } else {
            source = &ours;
            chosenAt = oursAt;
        }
    }

    merged.reset();
    merged.count = static_cast<int>(items.size());
    for (std::size_t k = 0; k < items.size(); ++k)
        merged.entries[k] = items[k].entry;
    for (std::size_t k = items.size(); k < merged.entries.size(); ++k)
        merged.entries[k].clear();
    merged.hasCurrent = source->hasCurrent;
    merged.auth = source->auth;
    merged.user = source->user;
    merged.password = source->password;
    merged.server = source->server;
    if (chosenAt >= 0) {
        if (chosenAt != source->server.value()) merged.server = std::to_string(chosenAt);
        // Credentials copied from the chosen caster follow its changes on the other side.
        const CasterEntry& was = slotOf(*source, chosenSlot(*source));
        const CasterEntry& now = merged.entries[static_cast<std::size_t>(chosenAt)];
        if (source->user == was.user && source->password == was.Password) {
            merged.user = now.user;
            merged.password = now.Password;
        }
    } else if (chosenSlot(*source) >= 0) {
        // The chosen caster did not survive the merge: the first caster, as after a deletion.
        merged.server = merged.count > 0 ? "0" : "";
        merged.user = merged.count > 0 ? merged.entries[0].user : std::string();
        merged.password = merged.count > 0 ? merged.entries[0].Password : std::string();
        if (merged.count == 0) merged.hasCurrent = false;
    }

    // The APN block, as one.
    const CasterDocument* apnSource = &theirs;
    if (apnBlock(ours) != apnBlock(base)) {
        if (apnBlock(theirs) == apnBlock(base) || apnBlock(theirs) == apnBlock(ours))
            apnSource = &ours;
        else
            conflicts.push_back({CasterConflict::Kind::ApnBoth, {}, {}, {}});
    }
    merged.carrier = apnSource->carrier;
    merged.apn = apnSource->apn;
    merged.carrierUser = apnSource->carrierUser;
    merged.carrierPassword = apnSource->carrierPassword;
    merged.AutoConnection =
        ours.AutoConnection != base.AutoConnection ? ours.AutoConnection : theirs.AutoConnection;
    return fits;
}

} // namespace tessadorn
