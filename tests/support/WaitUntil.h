#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace tessadorn::test {

// Waits in real time for a condition that other threads bring about. Returns the seconds it
// took, or -1 when it did not hold within `limitSeconds`.
inline double waitUntil(const std::function<bool()>& cond, int limitSeconds = 20) {
    using Steady = std::chrono::steady_clock;
    const auto t0 = Steady::now();
    while (!cond()) {
        if (Steady::now() - t0 > std::chrono::seconds(limitSeconds)) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::chrono::duration<double>(Steady::now() - t0).count();
}

} // namespace tessadorn::test
