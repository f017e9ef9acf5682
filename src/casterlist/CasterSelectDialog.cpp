#include "casterlist/CasterSelectDialog.h"

#include "casterlist/ServerListDialog.h"
#include "platform/TextCodec.h"
#include "store/CasterListEdits.h"
#include "store/SaveReport.h"

#include <mutex>

namespace tessadorn {

CasterSelectDialog::CasterSelectDialog(Dialog& parent, CasterStore& store)
    : Dialog(parent, kTemplate), m_Store(store) {}

void CasterSelectDialog::emptyDetails() {
    controls().setText(kFirstDetail, "");
    controls().setText(kSecondDetail, "");
}

void CasterSelectDialog::fillList() {
    ControlModel& c = controls();
    std::lock_guard lock(m_Store.mutex());
    c.clearItems(kList);
    for (int i = 0; i < m_Store.count; ++i)
        c.addItem(kList, deviceToUtf8(m_Store.entries[static_cast<std::size_t>(i)].name));
}

void CasterSelectDialog::onInit() {
    // Another program (the command line) may have changed the list since it was read.
    m_Store.refresh();
    ControlModel& c = controls();
    std::lock_guard lock(m_Store.mutex());
    if (!m_Store.hasCurrent) {
        // The list stays empty until the user comes back from the server list.
        emptyDetails();
        return;
    }
    c.setDeviceText(kFirstDetail, m_Store.user);
    c.setDeviceText(kSecondDetail, m_Store.password);
    c.setChecked(kAuth, m_Store.auth == "yes");
    if (m_Store.count == 0) return;
    fillList();
    const int row = m_Store.server.value();
    c.setSelection(kList, row >= 0 && row < m_Store.count ? row : -1);
    const int chosen = c.selection(kList);
    if (chosen >= 0 &&
        m_Store.entries[static_cast<std::size_t>(chosen)].vntrip.value() == NtripKind::Ibss)
        c.setText(kFirstCaption, "Device:");
}

// The details of the selected caster: address and port of a Tessadorn server (which needs no
// authentication), user and password of an NTRIP caster.
void CasterSelectDialog::selectionRefresh() {
    ControlModel& c = controls();
    CasterEntry e;
    {
        std::lock_guard lock(m_Store.mutex());
        const int row = c.selection(kList);
        if (row < 0 || row >= m_Store.count) {
            emptyDetails();
            return;
        }
        e = m_Store.entries[static_cast<std::size_t>(row)];
    }
    if (e.Tessadorn.value() == ServerKind::Tessadorn) {
        c.setVisible(kAuth, false);
        c.setText(kFirstCaption, "IP:");
        c.setText(kSecondCaption, "Port:");
        c.setDeviceText(kFirstDetail, e.ip);
        c.setDeviceText(kSecondDetail, e.port);
    } else {
        c.setVisible(kAuth, true);
        c.setText(kFirstCaption, e.vntrip.value() == NtripKind::Ibss ? "Device:" : "User:");
        c.setText(kSecondCaption, "Password:");
        c.setDeviceText(kFirstDetail, e.user);
        c.setDeviceText(kSecondDetail, e.Password);
    }
}

void CasterSelectDialog::onSelectionChange(int id) {
    if (id == kList) selectionRefresh();
}

void CasterSelectDialog::onSize(int width, int height) {
    relayoutForScreen(width, height);
    selectionRefresh();
}

void CasterSelectDialog::onCommand(int id) {
    if (id == kServers) return openServerList();
    if (id == kCancel) return endDialog(kResultCancel);
}

void CasterSelectDialog::openServerList() {
    {
        ServerListDialog list(*this, m_Store);
        runModal(list);
    }
    ControlModel& c = controls();
    std::lock_guard lock(m_Store.mutex());
    fillList();
    // The current caster again, or the last one when the list became shorter than that.
    const int number = m_Store.server.value();
    int row = -1;
    if (number >= 0 && m_Store.count > 0) row = number < m_Store.count ? number : m_Store.count - 1;
    c.setSelection(kList, row);
    if (row < 0) {
        emptyDetails();
        return;
    }
    const CasterEntry& e = m_Store.entries[static_cast<std::size_t>(row)];
    c.setDeviceText(kFirstDetail, e.user);
    c.setDeviceText(kSecondDetail, e.Password);
    selectionRefresh();
}

void CasterSelectDialog::onOk() {
    {
        std::lock_guard lock(m_Store.mutex());
        caster_list::use(m_Store, controls().selection(kList), controls().checked(kAuth));
    }
    if (std::string failure; !saveCasterList(m_Store, failure))
        messageBox(failure, kSaveFailureCaption);
    // What another program changed differently meanwhile was kept: the user hears which.
    if (const std::string kept = conflictReport(m_Store); !kept.empty()) messageBox(kept);
    endDialog(kResultOk);
}

} // namespace tessadorn
