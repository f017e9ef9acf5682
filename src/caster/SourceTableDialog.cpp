#include "caster/SourceTableDialog.h"

#include "link/Transactions.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace tessadorn {

namespace p = protocol;

SourceTableDialog::SourceTableDialog(Dialog& parent, CasterAccess access)
    : Dialog(parent, kTemplate), m_Access(access) {}

void SourceTableDialog::onInit() {
    const SourceTable& table = m_Access.m_Table;
    if (table.m_SourceCount <= 0) return;
    controls().clearItems(kList);
    for (int i = 0; i < table.m_SourceCount && i < SourceTable::kMaxRecords; ++i)
        controls().addItem(
            kList, deviceToUtf8(table.m_SourceTable[static_cast<std::size_t>(i)].mountpoint));
}

int SourceTableDialog::selected() const {
    const int index = controls().selection(kList);
    const int count = std::min(m_Access.m_Table.m_SourceCount, SourceTable::kMaxRecords);
    return index >= 0 && index < count ? index : -1;
}

void SourceTableDialog::onSelectionChange(int id) {
    if (id != kList) return;
    const int index = selected();
    if (index < 0) return;
    const SourceTableEntry& e = m_Access.m_Table.m_SourceTable[static_cast<std::size_t>(index)];
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

int SourceTableDialog::connect(int record) {
    SerialChannel& serial = m_Access.m_Serial;
    serial.Drain(kDrainThreshold);

    CasterEntry caster;
    bool authorize = false;
    std::string user, password;
    {
        CasterStore& store = m_Access.m_Store;
        std::lock_guard lock(store.mutex());
        caster = store.current();
        authorize = store.auth == "yes";
        user = store.user;
        password = store.password;
    }
    const auto& mountpoint =
        m_Access.m_Table.m_SourceTable[static_cast<std::size_t>(record)].mountpoint;
    const auto command = p::connect(static_cast<int>(caster.vntrip.value()), authorize, caster.ip,
                                    caster.port, mountpoint, user, password);

    Transactions tx(serial, m_Access.m_Reading);
    if (tx.SendWaitEither(command, p::kTokCmdOk, p::kTokCmdError, kConnectResends, kReadLimit) != 1)
        return kConnectionError;
    return serial.WaitOneOfFiveLimited(
        {p::kTokOkPrompt, p::kTokError41, p::kTokError42, p::kTokError43, p::kTokError5},
        kReadLimit);
}

void SourceTableDialog::onOk() {
    if (m_Access.m_Table.m_SourceCount < 1) return;
    const int record = selected();
    if (record < 0) return;

    WaitCursor& cursor = waitCursor();
    cursor.showWait();
    const int outcome = connect(record);
    switch (outcome) {
    case kConnected:
        messageBox("Tessadorn configured. When you press OK, application will exit.");
        endDialog(0);
        quitApplication(0);
        break;
    case kServerNotResponding:
        messageBox("Server is not responding.\r\nPlease check your Server settings", "ERROR");
        endDialog(0);
        break;
    case kNotAuthorized:
        messageBox("Connection not authorized.\r\nPlease check your User and Password", "ERROR");
        endDialog(0);
        break;
    case kInvalidMountpoint:
        messageBox("Invalid Mountpoint.", "ERROR");
        endDialog(0);
        break;
    case kConnectionError:
        messageBox("Connection Error.\r\nPlease try again.", "ERROR");
        break;
    default:
        messageBox("Error");
        break;
    }
    cursor.restore();
}

} // namespace tessadorn
