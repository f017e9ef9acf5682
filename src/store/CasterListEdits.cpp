#include "store/CasterListEdits.h"

#include "store/FieldCheck.h"

namespace tessadorn::caster_list {

std::array<std::string, 5> fieldNames(int versionRow) {
    const bool ibss = versionRow == kIbssRow;
    return {"Name", ibss ? "Organization" : "Server", "Port", ibss ? "Device" : "User", "Password"};
}

namespace {

// What a dialog's edit holds; a longer value (typed on the command line) is refused, not cut.
constexpr std::size_t kMaxTyped = 48;

} // namespace

std::string tooLong(std::string_view field, std::string_view value) {
    if (value.size() <= kMaxTyped) return {};
    return "The field \"" + std::string(field) + "\" holds at most " + std::to_string(kMaxTyped) +
           " characters.";
}

namespace {

// A TCP port: 1 to 65535 in decimal digits.
bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

} // namespace

std::string refusal(const TypedCaster& t, const std::array<std::string, 5>& names) {
    const struct {
        const std::string& value;
        FieldUse use;
    } fields[] = {{t.name, FieldUse::ListOnly},
                  {t.ip, FieldUse::Address},
                  {t.port, FieldUse::Address},
                  {t.user, FieldUse::Credential},
                  {t.password, FieldUse::Credential}};
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string refused = refusedValueMessage(names[i], fields[i].value, fields[i].use);
        if (refused.empty()) refused = tooLong(names[i], fields[i].value);
        if (!refused.empty()) return refused;
    }
    if (!t.port.empty() && !isPort(t.port))
        return "The field \"" + names[2] + "\" takes a port from 1 to 65535.";
    return {};
}

int find(const CasterDocument& doc, std::string_view name) {
    for (int i = 0; i < doc.count && i < CasterDocument::kMaxEntries; ++i)
        if (doc.entries[static_cast<std::size_t>(i)].name == name) return i;
    return -1;
}

bool store(CasterDocument& doc, int slot, const TypedCaster& typed) {
    const bool added = slot == kNewCaster;
    if (added) {
        if (doc.count >= CasterDocument::kMaxEntries) return false;
        slot = doc.count;
    } else if (slot < 0 || slot >= doc.count) {
        return false;
    }
    CasterEntry& e = doc.entries[static_cast<std::size_t>(slot)];
    e.name = typed.name;
    e.ip = typed.ip;
    e.port = typed.port;
    e.user = typed.user;
    e.Password = typed.password;
    e.Tessadorn = "0";
    e.vntrip = typed.versionRow >= 0 ? std::to_string(typed.versionRow + 1) : "0";
    if (added) {
        ++doc.count;
        doc.hasCurrent = true;
    }
    return true;
}

bool remove(CasterDocument& doc, int slot) {
    if (slot < 0 || slot >= doc.count) return false;
    for (int i = slot; i + 1 < doc.count; ++i)
        doc.entries[static_cast<std::size_t>(i)] = doc.entries[static_cast<std::size_t>(i + 1)];
    --doc.count;
    doc.entries[static_cast<std::size_t>(doc.count)].clear();
    if (doc.count > 0) {
        doc.server = "0";
        doc.user = doc.entries[0].user;
        doc.password = doc.entries[0].Password;
    } else {
        doc.server = "";
        doc.user.clear();
        doc.password.clear();
        doc.hasCurrent = false;
    }
    return true;
}

bool use(CasterDocument& doc, int slot, bool authenticate) {
    if (!doc.hasCurrent || slot < 0 || slot >= doc.count) return false;
    const CasterEntry& e = doc.entries[static_cast<std::size_t>(slot)];
    doc.user = e.user;
    doc.password = e.Password;
    doc.auth = authenticate ? "yes" : "no";
    doc.server = std::to_string(slot);
    return true;
}

std::string apnRefusal(const TypedApn& typed) {
    const struct {
        const char* field;
        const std::string& value;
    } fields[] = {{"APN", typed.apn}, {"User", typed.user}, {"Password", typed.password}};
    for (const auto& f : fields)
        if (std::string why = refusedValueMessage(f.field, f.value, FieldUse::Carrier);
            !why.empty())
            return why;
    return {};
}

bool sameApn(const CasterDocument& doc, const TypedApn& typed) {
    return typed.apn == doc.apn && typed.user == doc.carrierUser &&
           typed.password == doc.carrierPassword;
}

TypedApn ApnPrefill::typed(const TypedApn& read) const {
    const auto kept = [](const std::string& text, const std::string& shownText,
                         const std::string& storedText) {
        return text == shownText ? storedText : text;
    };
    return {kept(read.apn, shown.apn, stored.apn), kept(read.user, shown.user, stored.user),
            kept(read.password, shown.password, stored.password)};
}

void setApn(CasterDocument& doc, const TypedApn& typed) {
    doc.apn = typed.apn;
    doc.carrierUser = typed.user;
    doc.carrierPassword = typed.password;
}

} // namespace tessadorn::caster_list
