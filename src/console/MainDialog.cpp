#include "console/MainDialog.h"

#include "platform/ui/MessageBoxRequest.h"

namespace tessadorn {

MainDialog::MainDialog(DialogHost& host) : Dialog(host, kTemplate) {
    controls().setTitle(kApplicationTitle);
    controls().setIcon(kIcon);
}

void MainDialog::onInit() {
    m_DeviceReady = 0;
    m_Display.hideAll();

    // ---- Start-up load and worker threads ----------------------------------------------
    // Here the caster list and the device profile are loaded, then AnimationThread and
    // MonitorThread start (in that order) and run until the program ends.
    // ------------------------------------------------------------------------------------
}

void MainDialog::onSize(int width, int height) {
    relayoutForScreen(width, height);
    // Panel refresh for the new layout. The inputs come from DeviceConfig and the caster list
    // once they live here; while the modem is not ready only the three lines are emptied.
    PanelInputs inputs;
    int stConnect = m_StConnect.load();
    m_Display.sizeRefresh(m_DeviceReady.load() == 1, m_Mode.load(), inputs, stConnect);
    m_StConnect = stConnect;
}

std::optional<BackgroundAnswer> MainDialog::onBackgroundColour() {
    return m_BackgroundBrush;
}

} // namespace tessadorn
