#pragma once

#include "modem/DeviceSettings.h"
#include "modem/ModemSession.h"
#include "ui/Dialog.h"

#include <string_view>

namespace tessadorn {

// "GPS Configuration": where the position the modem reports to the caster comes from, a GPS
// receiver of one of five makes or a latitude and longitude typed in. A make that fixes the
// speed of the modem's serial port moves the program's link to that speed too, and the device
// profile remembers it.
//
// Closes with 0 on Cancel; after OK with 1 for "HALVIK KV-318", 2 for "TRIMBLE" or "TOPCON",
// 3 for "WAVECOM EMU" and 4 for "UNKNOWN" (automatic or manual).
class GpsSourceDialog final : public Dialog {
  public:
    static constexpr int kTemplate = 141;
    static constexpr int kGpsList = 1082, kSecondList = 1081;
    static constexpr int kPortLabel = 1057, kBaudLabel = 1126;
    static constexpr int kManual = 1122;
    static constexpr int kLatitudeLabel = 1076, kLatitude = 1077;
    static constexpr int kLongitudeLabel = 1078, kLongitude = 1079;
    static constexpr int kCancel = 1085;
    enum Make { Kv318 = 0, Trimble = 1, Wavecom = 2, Unknown = 3, Topcon = 4 };

    GpsSourceDialog(Dialog& parent, ModemSession& session);

    void onInit() override;
    void onCommand(int id) override;
    void onSelectionChange(int id) override;
    void onOk() override;
    void onCancel() override { endDialog(0); }

  private:
    void fillSecondList(int make);
    void showPortLabel(bool port);
    void enablePosition(bool on);
    void zeroPosition();
    // Reads the manual position; false (after naming the field to the user) when it is not one.
    bool readPosition(double& latitude, double& longitude);

    ModemSession& m_Session;
    // The TRIMBLE port chosen at opening (0 for TOPCON, -1 for the others).
    int m_PortIndex = -1;
};

} // namespace tessadorn
