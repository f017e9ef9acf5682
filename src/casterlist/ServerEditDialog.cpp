#include "casterlist/ServerEditDialog.h"

#include "store/FieldCheck.h"

#include <mutex>

namespace tessadorn {

ServerEditDialog::ServerEditDialog(Dialog& parent, CasterStore& store, int slot)
    : Dialog(parent, kTemplate), m_Store(store), m_Slot(slot) {}

void ServerEditDialog::onInit() {
    ControlModel& c = controls();
    for (const char* version : kVersions)
        c.addItem(kVersion, version);
    c.setSelection(kVersion, 0);
    if (m_Slot == kNewCaster) return;

    CasterEntry entry;
    {
        std::lock_guard lock(m_Store.mutex());
        if (m_Slot < 0 || m_Slot >= m_Store.count) return;
        entry = m_Store.entries[static_cast<std::size_t>(m_Slot)];
    }
    c.setDeviceText(kName, entry.name);
    c.setDeviceText(kServer, entry.ip);
    c.setDeviceText(kPort, entry.port);
    c.setDeviceText(kUser, entry.user);
    c.setDeviceText(kPassword, entry.Password);
    const NtripKind kind = entry.vntrip.value();
    if (kind != NtripKind::Other) {
        c.setSelection(kVersion, static_cast<int>(kind) - 1);
    } else {
        c.setSelection(kVersion, -1);
        c.setText(kVersion, "");
    }
    // The captions follow the row selected, also for a hand-written version such as "03".
    const bool ibss = kind == NtripKind::Ibss;
    c.setText(kServerCaption, ibss ? "Organization:" : "Server:");
    c.setText(kUserCaption, ibss ? "Device:" : "User:");
    c.setEnabled(kPort, !ibss);
}

void ServerEditDialog::versionRefresh() {
    ControlModel& c = controls();
    const bool ibss = c.selection(kVersion) == kIbssRow;
    c.setText(kServerCaption, ibss ? "Organization:" : "Server:");
    c.setText(kUserCaption, ibss ? "Device:" : "User:");
    if (ibss) c.setText(kPort, kIbssPort);
    c.setEnabled(kPort, !ibss);
}

void ServerEditDialog::onSelectionChange(int id) {
    if (id == kVersion) versionRefresh();
}

void ServerEditDialog::onSize(int width, int height) {
    relayoutForScreen(width, height);
    versionRefresh();
}

void ServerEditDialog::onCommand(int id) {
    if (id == kCancel) endDialog(0);
}

std::string ServerEditDialog::fieldName(int captionId) const {
    std::string name = controls().text(captionId);
    while (!name.empty() && (name.back() == ':' || name.back() == ' '))
        name.pop_back();
    return name;
}

void ServerEditDialog::onOk() {
    const ControlModel& c = controls();
    struct Field {
        int edit;
        int caption;
        FieldUse use;
        std::string value;
    };
    Field fields[] = {{kName, kNameCaption, FieldUse::ListOnly, {}},
                      {kServer, kServerCaption, FieldUse::Address, {}},
                      {kPort, kPortCaption, FieldUse::Address, {}},
                      {kUser, kUserCaption, FieldUse::Credential, {}},
                      {kPassword, kPasswordCaption, FieldUse::Credential, {}}};
    for (Field& f : fields) {
        f.value = c.readEdit(f.edit);
        const std::string refused = refusedValueMessage(fieldName(f.caption), f.value, f.use);
        if (!refused.empty()) {
            messageBox(refused);
            return;
        }
    }
    const int row = c.selection(kVersion);
    {
        std::lock_guard lock(m_Store.mutex());
        int slot = m_Slot;
        if (slot == kNewCaster) {
            if (m_Store.count >= CasterDocument::kMaxEntries) {
                endDialog(0);
                return;
            }
            slot = m_Store.count;
        } else if (slot < 0 || slot >= m_Store.count) {
            endDialog(0);
            return;
        }
        CasterEntry& e = m_Store.entries[static_cast<std::size_t>(slot)];
        e.name = fields[0].value;
        e.ip = fields[1].value;
        e.port = fields[2].value;
        e.user = fields[3].value;
        e.Password = fields[4].value;
        e.Tessadorn = "0";
        e.vntrip = row >= 0 ? std::to_string(row + 1) : "0";
        if (m_Slot == kNewCaster) {
            ++m_Store.count;
            m_Store.hasCurrent = true;
        }
    }
    endDialog(0);
}

} // namespace tessadorn
