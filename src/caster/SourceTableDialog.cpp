#include "caster/SourceTableDialog.h"

#include "modem/ConnectionCommands.h"
#include "modem/MountpointOrder.h"
#include "modem/Outcomes.h"
#include "platform/TextCodec.h"

#include <cmath>

namespace tessadorn {

SourceTableDialog::SourceTableDialog(Dialog& parent, ModemSession& session, CasterStore& store,
                                     const SourceTable& table)
    : Dialog(parent, kTemplate), m_Session(session), m_Store(store), m_Table(table) {}

std::string SourceTableDialog::distanceText(double km) {
    return "Distance: " + std::to_string(std::llround(km)) + " km";
}

std::string SourceTableDialog::leftOutText(int rows) {
    return outcome::rowsLeftOut(rows);
}

void SourceTableDialog::onInit() {
    const SourceTable& table = m_Table;
    if (table.count() <= 0) return;
    m_From = MountpointOrder::manualPosition(m_Session.device().read());
    m_Order = MountpointOrder::byDistance(table, m_From);
    std::vector<std::string> names;
    names.reserve(m_Order.size());
    for (int record : m_Order)
        names.push_back(deviceToUtf8(table.mountpoint(record)));
    controls().setItems(kList, std::move(names));
    if (table.leftOut() > 0) messageBox(leftOutText(table.leftOut()));
}

int SourceTableDialog::selected() const {
    const int index = controls().selection(kList);
    return index >= 0 && index < static_cast<int>(m_Order.size())
               ? m_Order[static_cast<std::size_t>(index)]
               : -1;
}

void SourceTableDialog::onSelectionChange(int id) {
    if (id != kList) return;
    const int index = selected();
    if (index < 0) return;
    const SourceTable& t = m_Table;
    controls().setDeviceText(kName, "Name: " + std::string(t.field(index, 2)));
    controls().setDeviceText(kAuthorization, std::string("Authorization: ") +
                                                 (t.field(index, 15) == "N" ? "None" : "Basic"));
    controls().setDeviceText(kFormat, "Format: " + std::string(t.field(index, 3)));
    controls().setDeviceText(kSolution, std::string("Solution: ") +
                                            (t.field(index, 12) == "0" ? "Simple Base" : "VRS"));
    const auto km = m_From ? MountpointOrder::distanceKm(t, index, *m_From) : std::nullopt;
    controls().setText(kDistance, km ? distanceText(*km) : std::string());
}

void SourceTableDialog::onCommand(int id) {
    if (id == kCancel) endDialog(0);
}

void SourceTableDialog::onOk() {
    if (m_Table.count() < 1) return;
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
    const CasterReply outcome =
        ConnectionCommands(m_Session).connectMountpoint(caster, m_Table.mountpoint(record));
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
