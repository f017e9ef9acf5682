#pragma once

#include "modem/ModemSession.h"
#include "ui/Dialog.h"

namespace tessadorn {

// "Halvik QRV Connect Service": switches the base modem's upload to the relay caster on or off
// and shows what a rover must enter to receive it (the relay's host, port 2102 and this modem's
// serial number as mountpoint; the three edits are for display only). Closes with 4 once the
// modem accepted the setting, 0 on Cancel.
class RelayServiceDialog final : public Dialog {
  public:
    static constexpr int kTemplate = 186;
    static constexpr int kEnable = 1127, kExplanation = 1128;
    static constexpr int kHostLabel = 1049, kPortLabel = 1057, kMountpointLabel = 1058;
    static constexpr int kHost = 1134, kPort = 1135, kMountpoint = 1136;
    static constexpr int kResultConfigured = 4;

    static constexpr std::string_view kTextOn =
        "It will upload base data to Halvik QRV Connect.\r\nYour Tessadorn rover will get data "
        "from your\r\nbase Tessadorn from QRV Connect server.\r\n\r\nIn Tessadorn Rover you must "
        "introduce the\r\nfollow IP, Port and select this Mountpoint:";
    static constexpr std::string_view kTextOff =
        "It will upload base data to Halvik QRV Connect.\r\nYour Tessadorn rover will get data "
        "from your\r\nbase Tessadorn from QRV Connect server.\r\nIn Tessadorn Rover you must "
        "introduce the\r\nfollow IP, Port and select this Mountpoint:";

    RelayServiceDialog(Dialog& parent, ModemSession& session);

    void onInit() override;
    void onCommand(int id) override;
    void onOk() override;
    void onCancel() override { endDialog(0); }

  private:
    void enableDetails(bool on);

    ModemSession& m_Session;
};

} // namespace tessadorn
