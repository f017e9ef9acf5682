#pragma once

#include "caster/CasterAccess.h"
#include "ui/Dialog.h"

namespace tessadorn {

// "Servers": the mountpoints of the source table just read, the details of the one selected,
// and on OK the modem told to connect to it. When the modem confirms, the program ends; the
// modem keeps the connection by itself.
class SourceTableDialog : public Dialog {
  public:
    static constexpr int kTemplate = 105;
    static constexpr int kList = 1039;
    static constexpr int kName = 1041;
    static constexpr int kAuthorization = 1042;
    static constexpr int kFormat = 1043;
    static constexpr int kSolution = 1044;
    static constexpr int kCancel = 1000;

    static constexpr std::size_t kDrainThreshold = 64;
    static constexpr int kConnectResends = 5;
    static constexpr int kReadLimit = 512;

    // What became of the connection, by the modem's answer.
    enum Outcome {
        kNoAnswer = 0,
        kConnected = 1,
        kServerNotResponding = 2,
        kNotAuthorized = 3,
        kInvalidMountpoint = 4,
        kConnectionError = 5,
    };

    SourceTableDialog(Dialog& parent, CasterAccess access);

    void onInit() override;
    void onCommand(int id) override;
    void onSelectionChange(int id) override;
    void onOk() override;

  private:
    // The selected record, or -1.
    int selected() const;
    int connect(int record);

    CasterAccess m_Access;
};

} // namespace tessadorn
