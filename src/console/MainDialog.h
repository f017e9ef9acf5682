#pragma once

#include "console/MonitorHooks.h"
#include "console/PanelControls.h"
#include "console/StatusDisplay.h"
#include "modem/ModemSession.h"
#include "modem/SourceTable.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "store/CasterStore.h"
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
// It owns the modem session (the link and everything read from the modem), the caster list and
// the two workers: MonitorThread (finds and watches the modem) and AnimationThread (the
// searching animation). Closing the dialog stops both at their next wait and joins them.
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

    ModemSession& session() { return m_Session; }
    CasterStore& store() { return m_Store; }
    // The last source table read from a caster.
    const SourceTable& sources() const { return m_Sources; }

  private:
    // The caster buttons (1000, 1094): the current caster selection, then the panel lines of
    // the caster (MainDialogCasters.cpp).
    void chooseCaster();
    void casterChosen(int result);
    // The update buttons: the firmware update dialog, with the port closed around it.
    void runFirmwareUpdate();
    // Device settings (MainDialogSettings.cpp).
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

    // MonitorHooks
    void portError() override;
    CasterStore& casterList() override { return m_Store; }
    void listNotSaved(const std::string& failure) override;
    PanelInputs panelInputs() override;

    Clock& m_Clock;
    ModemSession m_Session;
    CasterStore m_Store;
    SourceTable m_Sources;
    // The dialog's background: drawn in RGB(250, 250, 250) on a white brush.
    const BackgroundAnswer m_BackgroundBrush{StatusDisplay::kBackgroundRgb,
                                             StatusDisplay::kBrushRgb};
    StatusDisplay m_Display{*this};
    std::thread m_MonitorThread;
    std::thread m_AnimationThread;
};

} // namespace tessadorn
