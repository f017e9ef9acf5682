#include "update/CableAnimation.h"

#include "platform/DebugOutput.h"
#include "update/UpdateControls.h"

namespace tessadorn {

CableAnimation::CableAnimation(ControlModel& controls, const UpdateFlags& flags, Clock& clock)
    : m_Controls(controls), m_Flags(flags), m_Clock(clock) {}

void CableAnimation::run() {
    debugLine("Iniciem Thread Animació Rover\r\n");
    while (!m_Flags.stopAnimation.load()) {
        turn();
        m_Clock.sleepMs(kTurnMs);
    }
    debugLine("Sortim Thread Animació Rover\r\n");
}

void CableAnimation::turn() {
    if (m_FirstTurn) {
        for (int frame : update_ids::kBaseFrames)
            m_Controls.setVisible(frame, false);
    }
    if (!m_Flags.startRequested.load()) {
        if (m_FirstTurn || m_Animating) {
            hideAll();
            m_Counter = 1;
        }
        m_Animating = false;
        m_FirstTurn = false;
        return;
    }
    m_FirstTurn = false;
    if (!m_Animating) {
        m_Animating = true;
        showAlone(1111);
        m_Counter = 6;
        return;
    }
    switch (m_Counter) {
    case 5:
        showAlone(1111);
        break;
    case 10:
        showAlone(1110);
        break;
    case 15:
        showAlone(1109);
        break;
    case 20:
        showAlone(1108);
        break;
    case 25:
        showAlone(1107);
        break;
    default:
        break;
    }
    m_Counter = m_Counter >= kTicks ? 1 : m_Counter + 1;
}

void CableAnimation::showAlone(int frame) {
    for (int other : update_ids::kRoverFrames)
        if (other != frame) m_Controls.setVisible(other, false);
    m_Controls.setVisible(frame, true);
}

void CableAnimation::hideAll() {
    for (int frame : update_ids::kRoverFrames)
        m_Controls.setVisible(frame, false);
}

} // namespace tessadorn
