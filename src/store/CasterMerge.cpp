#include "store/CasterMerge.h"

#include <string_view>
#include <vector>

namespace tessadorn {

namespace {

const CasterEntry* named(const CasterDocument& doc, std::string_view name) {
    for (int i = 0; i < doc.count && i < CasterDocument::kMaxEntries; ++i)
        if (doc.entries[static_cast<std::size_t>(i)].name == name)
            return &doc.entries[static_cast<std::size_t>(i)];
    return nullptr;
}

// The name of the current caster, or nullptr when `server` names none.
const std::string* currentName(const CasterDocument& doc) {
    const int slot = doc.server.value();
    if (slot < 0 || slot >= doc.count || slot >= CasterDocument::kMaxEntries) return nullptr;
    return &doc.entries[static_cast<std::size_t>(slot)].name;
}

bool sameCurrent(const CasterDocument& a, const CasterDocument& b) {
    const std::string* x = currentName(a);
    const std::string* y = currentName(b);
    return a.server == b.server && (x == y || (x && y && *x == *y));
}

template <typename T> const T& pick(const T& base, const T& ours, const T& theirs) {
    return ours == base ? theirs : ours;
}

} // namespace

bool mergeCasterLists(const CasterDocument& base, const CasterDocument& ours,
                      const CasterDocument& theirs, CasterDocument& merged) {
    std::vector<CasterEntry> list;
    for (int i = 0; i < theirs.count && i < CasterDocument::kMaxEntries; ++i) {
        const CasterEntry& t = theirs.entries[static_cast<std::size_t>(i)];
        const CasterEntry* b = named(base, t.name);
        const CasterEntry* o = named(ours, t.name);
        if (b && !o) continue; // removed here
        list.push_back(o ? (b && *o == *b ? t : *o) : t);
    }
    for (int i = 0; i < ours.count && i < CasterDocument::kMaxEntries; ++i) {
        const CasterEntry& o = ours.entries[static_cast<std::size_t>(i)];
        if (named(theirs, o.name)) continue; // taken above
        const CasterEntry* b = named(base, o.name);
        if (b && *b == o) continue; // removed on disk, unchanged here
        list.push_back(o);
    }

    const CasterDocument& chosen = sameCurrent(ours, base) ? theirs : ours;
    merged.reset();
    merged.hasCurrent = pick(base.hasCurrent, ours.hasCurrent, theirs.hasCurrent);
    merged.auth = pick(base.auth, ours.auth, theirs.auth);
    merged.user = pick(base.user, ours.user, theirs.user);
    merged.password = pick(base.password, ours.password, theirs.password);
    merged.carrier = pick(base.carrier, ours.carrier, theirs.carrier);
    merged.apn = pick(base.apn, ours.apn, theirs.apn);
    merged.carrierUser = pick(base.carrierUser, ours.carrierUser, theirs.carrierUser);
    merged.carrierPassword =
        pick(base.carrierPassword, ours.carrierPassword, theirs.carrierPassword);
    merged.AutoConnection = pick(base.AutoConnection, ours.AutoConnection, theirs.AutoConnection);
    merged.server = chosen.server;
    const std::string* current = currentName(chosen);
    const bool fits = list.size() <= static_cast<std::size_t>(CasterDocument::kMaxEntries);
    merged.count = 0;
    for (const CasterEntry& e : list) {
        if (merged.count == CasterDocument::kMaxEntries) break;
        if (current && e.name == *current) merged.server = std::to_string(merged.count);
        merged.entries[static_cast<std::size_t>(merged.count++)] = e;
    }
    for (int i = merged.count; i < CasterDocument::kMaxEntries; ++i)
        merged.entries[static_cast<std::size_t>(i)].clear();
    return fits;
}

} // namespace tessadorn
