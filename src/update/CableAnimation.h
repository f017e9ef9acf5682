#pragma once

#include "platform/Clock.h"
#include "ui/ControlModel.h"
#include "update/UpdateFlags.h"

namespace tessadorn {

// The picture that shows where to plug the cable: while "Start Update" is pending, the plug
// moves up to the RADIO ROVER connector in four half-second steps (frames 1111, 1110, 1109,
// 1108), stays plugged in (1107) for a second and a half, and starts again every 3.5 seconds.
// Otherwise every frame is hidden.
class CableAnimation {
  public:
    static constexpr int kTurnMs = 100;
    static constexpr int kTicks = 35;

    CableAnimation(ControlModel& controls, const UpdateFlags& flags, Clock& clock);

    // Turns every 100 ms until stop animation is set.
    void run();
    // One turn of the loop.
    void turn();

  private:
    void showAlone(int frame);
    void hideAll();

    ControlModel& m_Controls;
    const UpdateFlags& m_Flags;
    Clock& m_Clock;
    int m_Counter = 1;
    bool m_FirstTurn = true;
    bool m_Animating = false;
};

} // namespace tessadorn
