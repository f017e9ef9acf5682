#include "caster/SourceTableDialog.h"

#include "modem/ConnectionCommands.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace tessadorn {

SourceTableDialog::SourceTableDialog(Dialog& parent, ModemSession& session, CasterStore& store,
                                     const SourceTable& table)
    : Dialog(parent, kTemplate), m_Session(session), m_Store(store), m_Table(table) {}

void SourceTableDialog::onInit() {
    const SourceTable& table = m_Table;
    if (table.m_SourceCount <= 0) return;
    controls().clearItems(kList);
    for (int i = 0; i < table.m_SourceCount && i < SourceTable::kMaxRecords; ++i)
        controls().addItem(
            kList, deviceToUtf8(table.m_SourceTable[static_cast<std::size_t>(i)].mountpoint));
}

int SourceTableDialog::selected() const {
    const int index = controls().selection(kList);
    const int count = std::min(m_Table.m_SourceCount, SourceTable::kMaxRecords);
    return index >= 0 && index < count ? index : -1;
}

void SourceTableDialog::onSelectionChange(int id) {
    if (id != kList) return;
    const int index = selected();
    if (index < 0) return;
    const SourceTableEntry& e = m_Table.m_SourceTable[static_cast<std::size_t>(index)];
    controls().setDeviceText(kName, "Name: " + e.identifier);
    controls().setDeviceText(kAuthorization, std::string("Authorization: ") +
                                                 (e.authentication == "N" ? "None" : "Basic"));
    controls().setDeviceText(kFormat, "Format: " + e.format);
    controls().setDeviceText(kSolution, std::string("Solution: ") +
                                            (e.solution == "0" ? "Simple Base" : "VRS"));
}

void SourceTableDialog::onCommand(int id) {
    if (id == kCancel) endDialog(0);
}

void SourceTableDialog::onOk() {
    if (m_Table.m_SourceCount < 1) return;
    const int record = selected();
    if (record < 0) return;

    WaitCursor& cursor = waitCursor();
    cursor.showWait();
    CasterAddress caster;
    {
        std::lock_guard lock(m_Store.mutex());
        caster = connectionAddress(m_Store.current(), m_Store.auth == "yes", m_Store.user,
                                   m_Store.password);
    }
    const CasterReply outcome = ConnectionCommands(m_Session).connectMountpoint(
        caster, m_Table.m_SourceTable[static_cast<std::size_t>(record)].mountpoint);
    const std::string_view message = casterReplyMessage(outcome);
    switch (outcome) {
    case CasterReply::Accepted:
        messageBox(message);
        endDialog(0);
        quitApplication(0);
        break;
    case CasterReply::ServerNotResponding:
    case CasterReply::NotAuthorized:
    case CasterReply::InvalidMountpoint:
        messageBox(message, "ERROR");
        endDialog(0);
        break;
    case CasterReply::ConnectionError:
        messageBox(message, "ERROR");
        break;
    case CasterReply::NoAnswer:
        messageBox(message);
        break;
    }
    cursor.restore();
}

} // namespace tessadorn
