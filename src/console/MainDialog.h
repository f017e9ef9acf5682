#pragma once

#include "console/PanelControls.h"
#include "console/StatusDisplay.h"
#include "platform/ui/Dialog.h"

#include <atomic>

namespace tessadorn {

// The program's main window: the searching face while the modem is looked for, the status
// panel and the picture buttons once it is ready. Created from template 103; the re-layout
// switches to 102 on a portrait screen.
class MainDialog : public Dialog, public PanelControls {
  public:
    static constexpr int kTemplate = 103;
    static constexpr int kIcon = 128;

    explicit MainDialog(DialogHost& host);

    void onInit() override;
    void onSize(int width, int height) override;
    std::optional<BackgroundAnswer> onBackgroundColour() override;

    // PanelControls: the status display writes through these (any thread).
    void setText(int id, std::string_view utf8) override { controls().setText(id, utf8); }
    void setVisible(int id, bool visible) override { controls().setVisible(id, visible); }
    void setChecked(int id, bool checked) override { controls().setChecked(id, checked); }

    StatusDisplay& display() { return m_Display; }

    // 1 once the modem was identified, configured and the panel filled.
    std::atomic<int> m_DeviceReady{0};
    std::atomic<int> m_Mode{-1};
    std::atomic<int> m_StConnect{0};

  private:
    // The dialog's background: drawn in RGB(250, 250, 250) on a white brush.
    const BackgroundAnswer m_BackgroundBrush{StatusDisplay::kBackgroundRgb,
                                             StatusDisplay::kBrushRgb};
    StatusDisplay m_Display{*this};
};

} // namespace tessadorn
