#pragma once

#include "modem/ModemSession.h"
#include "modem/Position.h"
#include "modem/SourceTable.h"
#include "store/CasterStore.h"
#include "ui/Dialog.h"

#include <optional>
#include <string>
#include <vector>

namespace tessadorn {

// "Servers": the mountpoints of the source table just read, the details of the one selected,
// and on OK the modem told to connect to it. When the modem confirms, the program ends; the
// modem keeps the connection by itself.
//
// Names show as the caster wrote them (UTF-8, or the device code page); the modem is sent the
// row's own bytes. When the modem reports a manual position, the list runs from the nearest
// station to the farthest (stations without a place last) and the details give the distance;
// a row without a place says why. A mountpoint that needs the receiver's position asks first
// when the modem has no position source.
class SourceTableDialog : public Dialog {
  public:
    static constexpr int kTemplate = 105;
    static constexpr int kList = 1039;
    static constexpr int kName = 1041;
    static constexpr int kAuthorization = 1042;
    static constexpr int kFormat = 1043;
    static constexpr int kSolution = 1044;
    // The distance, or why the row has no place (and so comes after the rows with one).
    static constexpr int kDistance = 1045;
    // What the mountpoint needs: "Needs your position" for a caster that wants the position.
    static constexpr int kNeeds = 1046;
    static constexpr int kCancel = 1000;

    SourceTableDialog(Dialog& parent, ModemSession& session, CasterStore& store,
                      const SourceTable& table);

    void onInit() override;
    void onCommand(int id) override;
    void onSelectionChange(int id) override;
    void onOk() override;

    // "Distance: 43 km", in whole km.
    static std::string distanceText(double km);
    // The message for rows the table could not hold ("The caster lists N more ...").
    static std::string leftOutText(int rows);

  private:
    // The selected record, or -1.
    int selected() const;
    ModemSession& m_Session;
    CasterStore& m_Store;
    const SourceTable& m_Table;
    // Record shown in each row of the list.
    std::vector<int> m_Order;
    std::optional<Position> m_From;
};

} // namespace tessadorn
