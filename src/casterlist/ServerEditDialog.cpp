#include "casterlist/ServerEditDialog.h"

#include "store/CasterListEdits.h"

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
    const bool ibss = c.selection(kVersion) == caster_list::kIbssRow;
    c.setText(kServerCaption, ibss ? "Organization:" : "Server:");
    c.setText(kUserCaption, ibss ? "Device:" : "User:");
    if (ibss) c.setText(kPort, caster_list::kIbssPort);
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
    caster_list::TypedCaster typed{c.readEdit(kName), c.readEdit(kServer),   c.readEdit(kPort),
                                   c.readEdit(kUser), c.readEdit(kPassword), c.selection(kVersion)};
    const std::array<std::string, 5> names = {fieldName(kNameCaption), fieldName(kServerCaption),
                                              fieldName(kPortCaption), fieldName(kUserCaption),
                                              fieldName(kPasswordCaption)};
    if (const std::string refused = caster_list::refusal(typed, names); !refused.empty()) {
        messageBox(refused);
        return;
    }
    {
        std::lock_guard lock(m_Store.mutex());
        caster_list::store(m_Store, m_Slot == kNewCaster ? caster_list::kNewCaster : m_Slot, typed);
    }
    endDialog(0);
}

} // namespace tessadorn
