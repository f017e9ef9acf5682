#include "console/AnimationThread.h"

namespace tessadorn {

void AnimationThread::tick() {
    const bool ready = m_DeviceReady.load() == 1;
    if (ready && !m_SeenReady) {
        m_Display.animationReady();
        m_SeenReady = true;
    } else if (!ready && m_SeenReady) {
        m_Display.animationNotReady();
        m_Tick = 6;
        m_SeenReady = false;
    } else if (!ready) {
        switch (m_Tick) {
        case 5:
            m_Display.animationFrame(ids::Frame1);
            break;
        case 10:
            m_Display.animationFrame(ids::Frame2);
            break;
        case 15:
            m_Display.animationFrame(ids::Frame3);
            break;
        case 20:
            m_Display.animationFrame(ids::Frame4);
            break;
        case 25:
            m_Display.animationFrame(ids::Frame5);
            break;
        default:
            break;
        }
        m_Tick = m_Tick == kCycleTicks ? 1 : m_Tick + 1;
    }
}

void AnimationThread::run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        tick();
        m_Clock.sleepMs(kTickMs);
    }
}

} // namespace tessadorn
