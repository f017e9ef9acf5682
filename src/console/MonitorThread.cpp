#include "console/MonitorThread.h"

#include "console/PanelText.h"
#include "modem/ModemMonitor.h"

namespace tessadorn {

MonitorThread::MonitorThread(ModemSession& session, StatusDisplay& display, MonitorHooks& hooks,
                             std::vector<MonitorObserver*> observers)
    : m_Session(session), m_Display(display), m_Hooks(hooks), m_Observers(std::move(observers)) {}

void MonitorThread::run() {
    ModemMonitor::Face face;
    face.statusLine = [this](std::string_view text) { m_Display.statusLine(std::string(text)); };
    face.portGone = [this] { m_Display.portGone(m_Session.serial().RemoteAddress()); };
    face.roleKnown = [this](int mode) {
        if (mode == kModeServer)
            m_Display.serverModelLines(m_Hooks.panelInputs());
        else
            m_Display.clientStart();
    };
    face.serverAddressRead = [this] { m_Display.serverAddressLines(m_Hooks.panelInputs()); };
    face.listNotSaved = [this](const std::string& failure) { m_Hooks.listNotSaved(failure); };
    face.ready = [this] { ready(); };
    face.apnState = [this](int apnReady, int simState) { m_Display.apnLine(apnReady, simState); };
    face.serverReset = [this] { m_Display.serverReset(); };
    face.connectionChanged = [this](bool connected) { m_Display.connectPictures(connected); };
    face.signalLevel = [this](int level) { m_Display.signalPicture(level); };
    face.lost = [this] { m_Display.linkLost(); };
    face.portError = [this] { m_Hooks.portError(); };
    ModemMonitor(m_Session, m_Hooks.casterList(), std::move(face), m_Observers).run();
}

// The ready face of the role, then the firmware line that ends it.
void MonitorThread::ready() {
    if (m_Session.mode() == kModeServer)
        m_Display.serverReadyFace(m_Hooks.panelInputs());
    else
        m_Session.connectionState(
            m_Display.clientReadyFace(m_Hooks.panelInputs(), m_Session.autoConnect()));
    m_Display.firmwareLine(m_Session.device().read());
}

} // namespace tessadorn
