// The caster list's commands: list, add, edit, remove and choose the current caster. No modem.
#include "cli/Modem.h"
#include "cli/Verbs.h"
#include "platform/TextCodec.h"
#include "store/CasterListEdits.h"
#include "store/TextInput.h"

#include <mutex>

namespace tessadorn::cli {

namespace {

Value casterJson(const CasterDocument& doc, int slot) {
    const CasterEntry& e = doc.entries[static_cast<std::size_t>(slot)];
    const char* ntrip = "none";
    switch (e.vntrip.value()) {
    case NtripKind::Ntrip1:
        ntrip = "1";
        break;
    case NtripKind::Ntrip2:
        ntrip = "2";
        break;
    case NtripKind::Ibss:
        ntrip = "ibss";
        break;
    case NtripKind::Other:
        break;
    }
    const bool current = doc.hasCurrent && doc.server.value() == slot;
    Value v = Value::object();
    // A port as a number; one a hand-edited file holds that is not a port stays its text.
    const auto port = text_input::parseDecimal(e.port);
    const bool numeric = port && *port >= 1 && *port <= 65535 && *port == static_cast<int>(*port);
    v.set("name", Value::str(deviceToUtf8(e.name)))
        .set("host", e.ip == "null" ? Value::null() : Value::str(deviceToUtf8(e.ip)))
        .set("port", numeric ? Value::num(*port) : Value::str(deviceToUtf8(e.port)))
        .set("user", Value::str(deviceToUtf8(e.user)))
        .set("ntrip", Value::str(ntrip))
        .set("kind",
             Value::str(e.Tessadorn.value() == ServerKind::Tessadorn ? "tessadorn" : "caster"))
        .set("current", Value::boolean(current));
    if (current) v.set("auth", Value::boolean(doc.auth == "yes"));
    return v;
}

// --ntrip 1|2|ibss as a row of the version list.
bool versionRow(const std::string& text, int& row) {
    const std::string t = lower(text);
    if (t == "1" || t == "1.0")
        row = 0;
    else if (t == "2" || t == "2.0")
        row = 1;
    else if (t == "ibss")
        row = caster_list::kIbssRow;
    else
        return false;
    return true;
}

// How many, as a sentence starts with it.
std::string countWord(int n) {
    static const char* const words[] = {"No", "One", "Two", "Three", "Four", "Five"};
    return n >= 0 && n < 6 ? words[n] : std::to_string(n);
}

// The slot of the caster a command names (device code page): the caster called `name`, or with
// --index N the N-th caster of the list as `casters` shows it, which must be called `name` unless
// the command `renames` it to `name`. A name that several casters share is refused without
// --index: the command would otherwise change one of them without saying which. False with the
// refusal in `r`.
bool namedSlot(const Request& q, const CasterDocument& doc, const std::string& name, bool renames,
               int& slot, Result& r) {
    if (const std::string* index = option(q, "index")) {
        const auto n = text_input::parseDecimal(*index);
        if (!n || *n < 1 || *n > doc.count || *n != static_cast<int>(*n)) {
            r = failTyped(kBadInput, "--index takes the place of a caster in the list, 1 to " +
                                         std::to_string(doc.count) + ", not " + *index);
            return false;
        }
        slot = static_cast<int>(*n) - 1;
        const std::string& there = doc.entries[static_cast<std::size_t>(slot)].name;
        if (there == name) return true;
        if (renames) {
            if (caster_list::find(doc, name) < 0) return true;
            r = fail(kBadInput, "A caster is already called \"" + name + "\".");
            return false;
        }
        r = fail(kBadInput, "Caster " + std::to_string(slot + 1) + " is called \"" + there +
                                "\", not \"" + name + "\".");
        return false;
    }
    slot = caster_list::find(doc, name);
    if (slot < 0) {
        r = fail(kBadInput, "No caster is called \"" + name + "\".");
        return false;
    }
    std::string places;
    int shared = 0;
    for (int i = 0; i < doc.count && i < CasterDocument::kMaxEntries; ++i) {
        const CasterEntry& e = doc.entries[static_cast<std::size_t>(i)];
        if (e.name != name) continue;
        places += (shared++ ? ", " : "") + e.ip + ":" + e.port;
    }
    if (shared == 1) return true;
    r = fail(kBadInput, countWord(shared) + " casters are named " + name + " (" + places +
                            "); rename one in the window or with caster edit --index N");
    return false;
}

// caster add NAME HOST PORT / caster edit NAME [HOST [PORT]] with --user, --password, --ntrip.
Result storeCaster(const Request& q, Opened& opened, bool add) {
    const auto& w = q.words;
    if (w.size() < (add ? 5u : 3u) || w.size() > 5)
        return fail(kBadInput, add ? "caster add needs NAME HOST PORT"
                                   : "caster edit needs NAME and may take HOST and PORT");
    // What the list's code page cannot hold is refused, never stored as "?".
    const bool ibss = option(q, "ntrip") && lower(*option(q, "ntrip")) == "ibss";
    const auto names = caster_list::fieldNames(ibss ? caster_list::kIbssRow : 0);
    const std::string* typedTexts[] = {&w[2], w.size() > 3 ? &w[3] : nullptr,
                                       w.size() > 4 ? &w[4] : nullptr, option(q, "user"),
                                       option(q, "password")};
    for (std::size_t i = 0; i < names.size(); ++i)
        if (typedTexts[i])
            if (std::string why = codePageRefusal(names[i], *typedTexts[i]); !why.empty())
                return failTyped(kBadInput, why);
    CasterList& list = opened.list();
    std::lock_guard lock(list.store.mutex());
    int slot = caster_list::kNewCaster;
    caster_list::TypedCaster typed;
    typed.name = utf8ToDevice(w[2]);
    if (!add) {
        if (Result refused; !namedSlot(q, list.store, typed.name, true, slot, refused))
            return refused;
        const CasterEntry& e = list.store.entries[static_cast<std::size_t>(slot)];
        typed = {
            e.name,
            e.ip,
            e.port,
            e.user,
            e.Password,
            e.vntrip.value() == NtripKind::Other ? -1 : static_cast<int>(e.vntrip.value()) - 1};
        // With --index the caster takes the name typed.
        typed.name = utf8ToDevice(w[2]);
    } else if (caster_list::find(list.store, typed.name) >= 0) {
        return fail(kBadInput, "A caster is already called \"" + typed.name + "\".");
    } else if (list.store.count >= CasterDocument::kMaxEntries) {
        return fail(kBadInput, "The caster list is full (" +
                                   std::to_string(CasterDocument::kMaxEntries) + " casters).");
    }
    if (w.size() > 3) typed.ip = utf8ToDevice(w[3]);
    if (w.size() > 4) typed.port = utf8ToDevice(w[4]);
    if (const auto* u = option(q, "user")) typed.user = utf8ToDevice(*u);
    if (const auto* p = option(q, "password")) typed.password = utf8ToDevice(*p);
    if (const auto* n = option(q, "ntrip"); n && !versionRow(*n, typed.versionRow))
        return fail(kBadInput, "--ntrip takes 1, 2 or ibss, not " + *n);
    // An IBSS caster is reached at its fixed port, as the edit dialog fills it in.
    if (typed.versionRow == caster_list::kIbssRow && w.size() <= 4 && option(q, "ntrip"))
        typed.port = std::string(caster_list::kIbssPort);
    if (const std::string refused =
            caster_list::refusal(typed, caster_list::fieldNames(typed.versionRow));
        !refused.empty())
        return fail(kBadInput, refused);
    caster_list::store(list.store, slot, typed);
    Result r;
    if (!list.save(r)) return r;
    return done(std::string(add ? "Caster added: " : "Caster changed: ") + typed.name);
}

// caster remove NAME / caster use NAME.
Result namedCaster(const Request& q, Opened& opened, bool remove) {
    const auto& w = q.words;
    if (w.size() != 3) return fail(kBadInput, "caster " + w[1] + " needs a NAME");
    if (std::string why = codePageRefusal("Name", w[2]); !why.empty())
        return failTyped(kBadInput, why);
    const std::string name = utf8ToDevice(w[2]);
    CasterList& list = opened.list();
    std::lock_guard lock(list.store.mutex());
    int slot = -1;
    if (Result refused; !namedSlot(q, list.store, name, false, slot, refused)) return refused;
    if (remove) {
        caster_list::remove(list.store, slot);
    } else {
        bool auth = list.store.auth == "yes";
        if (option(q, "auth")) auth = true;
        if (option(q, "no-auth")) auth = false;
        // A list read from a file without a current section gets one now.
        list.store.hasCurrent = true;
        caster_list::use(list.store, slot, auth);
    }
    Result r;
    if (!list.save(r)) return r;
    return done(std::string(remove ? "Caster removed: " : "Current caster: ") + name);
}

} // namespace

Result listCasters(const Request& q, Environment&, Opened& opened) {
    if (q.words.size() != 1) return fail(kBadInput, "casters takes no arguments");
    CasterList& list = opened.list();
    Result r;
    r.data = Value::array();
    std::vector<std::vector<std::string>> rows = {{"", "NAME", "HOST", "PORT", "USER", "NTRIP"}};
    std::lock_guard lock(list.store.mutex());
    for (int i = 0; i < list.store.count; ++i) {
        Value v = casterJson(list.store, i);
        rows.push_back({v.get("current")->flag ? "*" : "", v.get("name")->line(),
                        v.get("host")->line(), v.get("port")->line(), v.get("user")->line(),
                        v.get("ntrip")->line()});
        r.data.push(std::move(v));
    }
    r.text = alignedTable(rows);
    return r;
}

Result addCaster(const Request& q, Environment&, Opened& opened) {
    return storeCaster(q, opened, true);
}

Result editCaster(const Request& q, Environment&, Opened& opened) {
    return storeCaster(q, opened, false);
}

Result removeCaster(const Request& q, Environment&, Opened& opened) {
    return namedCaster(q, opened, true);
}

Result useCaster(const Request& q, Environment&, Opened& opened) {
    return namedCaster(q, opened, false);
}

} // namespace tessadorn::cli
