#pragma once

#include "console/PanelControls.h"
#include "console/PanelText.h"

#include <map>
#include <mutex>
#include <string>

namespace tessadorn {

// The faces of the main dialog: the searching face with its animation, and the ready face of
// each mode with the "Current Configuration" panel, role and signal pictures, APN and firmware
// lines and the picture buttons. Every operation writes single controls; texts given in the
// device code page are converted here.
class StatusDisplay {
  public:
    explicit StatusDisplay(PanelControls& controls) : m_Controls(controls) {}

    // Panel and action pictures hidden, the caster picture shown (start and link loss).
    void hideAll();
    // The searching face after the modem was lost (the monitor also clears m_DeviceReady).
    void linkLost();
    void statusLine(const std::string& utf8);
    // A status that nothing after it can change (the simulated modem is not started again): the
    // line shows it from now on, whatever the monitor says later.
    void finalStatusLine(const std::string& utf8);
    // The searching face while the port's device is gone and the monitor waits for it; a remote
    // port's broken connection is named by its address.
    void portGone(std::string_view remoteAddress = {});
    static constexpr std::string_view kPortGoneText = "The port is gone; waiting for it...";

    // Server mode, step by step as the monitor learns the values.
    void serverModelLines(const PanelInputs& in);
    void serverAddressLines(const PanelInputs& in);
    void serverReadyFace(const PanelInputs& in);
    // Client mode.
    void clientStart();
    // Returns the connection state as the Connect pictures now show it (0 when not connected).
    int clientReadyFace(const PanelInputs& in, int autoConnect);
    // Both modes: the firmware line ends the ready face.
    void firmwareLine(const DeviceConfig::Values& d);

    // The Connect pictures when the polled connection state turned on or off.
    void connectPictures(bool connected);
    // Shows the signal picture of the level (-1..4); other levels hide all six.
    void signalPicture(int level);
    void apnLine(int apnReady, int simState);
    // Server mode lost its address ("No SIM", "APN not ready" or signal 0).
    void serverReset();

    // After a size change (the re-layout has already run and put the templates' captions back):
    // every text this display wrote is written again, so that no line falls back to a caption;
    // then the ready face's lines are formed anew. True when the connect pictures were drawn
    // again from `in.stConnect`: an "off" is then to be read again (the caller forgets it).
    bool sizeRefresh(bool deviceReady, int mode, const PanelInputs& in);

    // Animation: the ready face's placeholders, or the searching face's frames.
    void animationReady();
    void animationNotReady();
    // Shows only frame `frameId` of the five.
    void animationFrame(int frameId);

    // The main dialog's background: drawn in RGB(250, 250, 250) on a white brush.
    static constexpr unsigned kBackgroundRgb = 0xFAFAFA;
    static constexpr unsigned kBrushRgb = 0xFFFFFF;

  private:
    void lines(const std::vector<PanelLine>& lines);
    void text(int id, const std::string& device);
    // Every text goes out through here and is remembered for the next size change.
    void write(int id, std::string_view utf8);
    void show(int id) { m_Controls.setVisible(id, true); }
    void hide(int id) { m_Controls.setVisible(id, false); }
    int showConnectControls(const std::string& gpsType, int autoConnect, int stConnect);

    PanelControls& m_Controls;
    std::mutex m_WrittenMutex;
    std::map<int, std::string> m_Written; // the last text written to each control (UTF-8)
    bool m_StatusFinal = false;           // under m_WrittenMutex
};

} // namespace tessadorn
