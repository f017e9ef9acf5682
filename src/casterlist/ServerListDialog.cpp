#include "casterlist/ServerListDialog.h"

#include "casterlist/ServerEditDialog.h"
#include "platform/TextCodec.h"
#include "store/CasterListEdits.h"
#include "store/SaveReport.h"

#include <mutex>

namespace tessadorn {

ServerListDialog::ServerListDialog(Dialog& parent, CasterStore& store)
    : Dialog(parent, kTemplate), m_Store(store) {}

void ServerListDialog::onInit() {
    // Another program (the command line) may have changed the list since it was read.
    m_Store.refresh();
    std::lock_guard lock(m_Store.mutex());
    if (m_Store.count == 0) return;
    fillList();
}

// Empties the list and fills it with the casters' names in list order; a full list disables
// Add (nothing here enables it again).
void ServerListDialog::fillList() {
    ControlModel& c = controls();
    std::lock_guard lock(m_Store.mutex());
    c.clearItems(kList);
    for (int i = 0; i < m_Store.count; ++i)
        c.addItem(kList, deviceToUtf8(m_Store.entries[static_cast<std::size_t>(i)].name));
    if (m_Store.count >= CasterDocument::kMaxEntries) c.setEnabled(kAdd, false);
}

int ServerListDialog::selectedCaster() const {
    const int row = controls().selection(kList);
    std::lock_guard lock(m_Store.mutex());
    return row >= 0 && row < m_Store.count ? row : -1;
}

void ServerListDialog::onCommand(int id) {
    switch (id) {
    case kAdd:
        return add();
    case kEdit:
        return edit();
    case kDelete:
        return remove();
    default:
        return;
    }
}

void ServerListDialog::add() {
    ServerEditDialog editor(*this, m_Store, ServerEditDialog::kNewCaster);
    runModal(editor);
    fillList();
}

void ServerListDialog::edit() {
    const int row = selectedCaster();
    if (row < 0) return;
    ServerEditDialog editor(*this, m_Store, row);
    runModal(editor);
    fillList();
}

void ServerListDialog::remove() {
    const int row = selectedCaster();
    if (row < 0) return;
    if (messageBox("Do you want to delete this server?", "Delete", MessageButtons::YesNo) != kIdYes)
        return;
    std::lock_guard lock(m_Store.mutex());
    if (!caster_list::remove(m_Store, row)) return;
    fillList();
}

void ServerListDialog::onOk() {
    if (std::string failure; !saveCasterList(m_Store, failure))
        messageBox(failure, kSaveFailureCaption);
    // What another program changed differently meanwhile was kept: the user hears which.
    if (const std::string kept = conflictReport(m_Store); !kept.empty()) messageBox(kept);
    endDialog(0);
}

} // namespace tessadorn
