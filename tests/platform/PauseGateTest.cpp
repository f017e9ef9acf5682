#include "platform/PauseGate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tessadorn {
namespace {

// A stopped gate ends the worker at its next checkpoint, also one that is parked by a pause.
TEST(PauseGate, AStoppedGateEndsTheWorkerAtItsCheckpoint) {
    PauseGate gate;
    gate.attach();
    EXPECT_TRUE(gate.checkpoint()) << "nothing asked: the worker goes on";
    std::atomic<bool> stopped{false};
    std::thread dialog([&] {
        gate.pause(); // returns once the worker below is parked
        gate.stop();
        stopped = true;
    });
    // The worker's loop: it goes on until a checkpoint tells it to end (a gate that never does
    // is given up on a while after the stop).
    for (int afterStop = 0; gate.checkpoint() && afterStop < 1000;)
        if (stopped.load()) ++afterStop;
    dialog.join();
    EXPECT_TRUE(gate.stopping());
    EXPECT_FALSE(gate.checkpoint()) << "and every later checkpoint";
    gate.detach();
}

} // namespace
} // namespace tessadorn
