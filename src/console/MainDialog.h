#pragma once

#include "caster/CasterAccess.h"
#include "caster/SourceTable.h"
#include "console/MonitorHooks.h"
#include "console/PanelControls.h"
#include "console/StatusDisplay.h"
#include "link/DeviceConfig.h"
#include "link/SerialChannel.h"
#include "platform/Clock.h"
#include "platform/PauseGate.h"
#include "platform/SerialPort.h"
#include "settings/DeviceAccess.h"
#include "store/CasterStore.h"
#include "store/DeviceProfile.h"
#include "ui/Dialog.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace tessadorn {

// The program's main window: the searching face while the modem is looked for, the status
// panel and the picture buttons once it is ready. Created from template 103; the re-layout
// switches to 102 on a portrait screen.
//
// It owns the link to the modem, the caster list, the values read from the modem and the two
// workers: MonitorThread (finds and watches the modem) and AnimationThread (the searching
// animation). Closing the dialog stops both at their next wait and joins them.
class MainDialog : public Dialog, public PanelControls, private MonitorHooks {
  public:
    static constexpr int kTemplate = 103;
    static constexpr int kIcon = 128;

    // Where the program keeps its files (the folder is chosen once at start).
    struct Files {
        std::string casterList;
        std::string profile;
        FileWriter* writer = nullptr; // nullptr: atomic replacement on disk
    };
    // "ntripcfg.txt" and "tessadorn.cfg" in `folder`.
    static Files filesIn(const std::string& folder);

    MainDialog(DialogHost& host, SerialPort& port, Clock& clock, Files files);
    ~MainDialog() override;

    void onInit() override;
    void onCommand(int id) override;
    void onOk() override;
    void onCancel() override;
    void onSize(int width, int height) override;
    std::optional<BackgroundAnswer> onBackgroundColour() override;

    // PanelControls: the status display writes through these (any thread).
    void setText(int id, std::string_view utf8) override { controls().setText(id, utf8); }
    void setVisible(int id, bool visible) override { controls().setVisible(id, visible); }
    void setChecked(int id, bool checked) override { controls().setChecked(id, checked); }

    StatusDisplay& display() { return m_Display; }

    // Stops the workers (at their next wait) and joins them. Safe to call more than once.
    void stopWorkers();

    SerialChannel m_Serial;
    std::atomic<int> m_Reading{0};
    // 1 once the modem was identified, configured and the panel filled.
    std::atomic<int> m_DeviceReady{0};
    std::atomic<int> m_Mode{-1};
    std::atomic<int> m_BaudIndex{DeviceProfile::kDefaultBaudIndex};
    std::atomic<int> m_SavedBaudIndex{DeviceProfile::kNoSavedIndex};
    std::atomic<int> m_StConnect{0};
    std::atomic<int> m_AutoConnect{0};
    DeviceConfig m_Device;
    CasterStore m_Store;
    DeviceProfile m_Profile;
    // How dialogs borrow the serial line from the monitor.
    PauseGate m_MonitorGate;
    // The last source table read from a caster (m_SourceTable, m_SourceCount).
    SourceTable m_Sources;

    // Ends every exchange with the modem at its next read or write wait, from any thread: the
    // way out when the window closes while a handler or the monitor waits on the line.
    void abortLink() {
        m_Closing = true;
        m_MonitorGate.stop();
    }

  private:
    // The caster buttons (1000, 1094): the current caster selection, then the panel lines of
    // the caster (MainDialogCasters.cpp).
    void chooseCaster();
    void casterChosen(int result);
    // The update buttons: the firmware update dialog, with the port closed around it.
    void runFirmwareUpdate();
    // Device settings (MainDialogSettings.cpp).
    DeviceAccess deviceAccess();
    void openApnSettings();
    void openGpsSource();
    void openRelayService();
    // The Connect control and its three branches, the role buttons, automatic connection
    // (MainDialogConnect.cpp).
    void connectCommand();
    void stopConnection();
    void connectTessadorn();
    void changeRole(bool toServer);
    void autoConnection();
    CasterAccess casterAccess();

    // MonitorHooks
    void portError() override;
    void rateFound(int baudIndex) override;
    void configurationParsed() override;
    void storedCasterParsed() override;
    PanelInputs panelInputs() override;

    Clock& m_Clock;
    // The dialog's background: drawn in RGB(250, 250, 250) on a white brush.
    const BackgroundAnswer m_BackgroundBrush{StatusDisplay::kBackgroundRgb,
                                             StatusDisplay::kBrushRgb};
    StatusDisplay m_Display{*this};
    std::atomic<bool> m_Closing{false};
    std::thread m_MonitorThread;
    std::thread m_AnimationThread;
};

} // namespace tessadorn
