#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace tessadorn {

void RealClock::sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t RealClock::nowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

RealClock& RealClock::instance() {
    static RealClock clock;
    return clock;
}

void VirtualClock::advanceTo(std::int64_t t) {
    std::int64_t now = m_Now.load();
    while (now < t && !m_Now.compare_exchange_weak(now, t)) {
    }
}

} // namespace tessadorn
