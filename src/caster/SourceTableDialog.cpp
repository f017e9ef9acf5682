#include "caster/SourceTableDialog.h"

#include "modem/ConnectionCommands.h"
#include "modem/MountpointNeeds.h"
#include "modem/MountpointOrder.h"
#include "modem/Outcomes.h"
#include "modem/SourceRow.h"

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
        names.push_back(sourceText(table.mountpoint(record)));
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
    const SourceRow row = SourceRow::read(m_Table, index);
    ControlModel& c = controls();
    c.setText(kName, "Name: " + row.identifier);
    c.setText(kAuthorization,
              std::string("Authorization: ") + (row.authentication == "N" ? "None" : "Basic"));
    c.setText(kFormat, "Format: " + row.format);
    c.setText(kSolution, std::string("Solution: ") +
                             (m_Table.field(index, 12) == "0" ? "Simple Base" : "VRS"));
    const auto km = m_From && row.place
                        ? std::optional<double>(MountpointOrder::distanceKm(*m_From, *row.place))
                        : std::nullopt;
    c.setText(kDistance, km ? distanceText(*km) : row.placeNote());
    c.setText(kNeeds, row.needsPosition() ? SourceRow::kNeedsPosition : "");
}

void SourceTableDialog::onCommand(int id) {
    if (id == kCancel) endDialog(0);
}

void SourceTableDialog::onOk() {
    if (m_Table.count() < 1) return;
    const int record = selected();
    if (record < 0) return;
    const std::string question =
        positionQuestion(SourceRow::read(m_Table, record), m_Session.device().read());
    if (!question.empty() && messageBox(question, "Attention", MessageButtons::YesNo) != kIdYes)
        return;

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
