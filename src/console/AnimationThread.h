#pragma once

#include "console/StatusDisplay.h"
#include "platform/Clock.h"

#include <atomic>

namespace tessadorn {

// Animates the searching face every 100 ms while no modem is ready: the cable plug moves into
// the rover socket in four half-second steps and stays plugged for a second and a half, every
// 3.5 s. When the modem becomes ready it puts the ready face's placeholders in place.
class AnimationThread {
  public:
    static constexpr int kTickMs = 100;
    static constexpr int kCycleTicks = 35;

    AnimationThread(const std::atomic<int>& deviceReady, StatusDisplay& display, Clock& clock)
        : m_DeviceReady(deviceReady), m_Display(display), m_Clock(clock) {}

    // One turn of the loop (exposed for tests).
    void tick();
    // Runs until `stop` is set; notices it within one tick.
    void run(const std::atomic<bool>& stop);

  private:
    const std::atomic<int>& m_DeviceReady;
    StatusDisplay& m_Display;
    Clock& m_Clock;
    bool m_SeenReady = false;
    int m_Tick = 1;
};

} // namespace tessadorn
