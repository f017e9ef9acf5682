#include "update/CableAnimation.h"
#include "layout/TemplateLibrary.h"
#include "platform/DebugOutput.h"
#include "update/UpdateControls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tessadorn {
namespace {

// The frame shown after each turn: its id, 0 for none, -1 for more than one.
class CableAnimationTest : public ::testing::Test {
  protected:
    static std::unique_ptr<ControlModel> dialogControls() {
        const DialogTemplate* tpl = TemplateLibrary::program().find(178);
        EXPECT_NE(tpl, nullptr);
        return tpl ? std::make_unique<ControlModel>(*tpl) : std::make_unique<ControlModel>();
    }

    int shown() const {
        int frame = 0;
        for (int id : update_ids::kRoverFrames)
            if (controls->visible(id)) frame = frame == 0 ? id : -1;
        return frame;
    }
    // Runs `turns` turns and gives the frame after each.
    std::vector<int> turns(int n) {
        std::vector<int> out;
        for (int i = 0; i < n; ++i) {
            animation.turn();
            out.push_back(shown());
        }
        return out;
    }

    std::unique_ptr<ControlModel> controls = dialogControls();
    UpdateFlags flags;
    VirtualClock clock;
    CableAnimation animation{*controls, flags, clock};
};

TEST_F(CableAnimationTest, PlugMovesUpInHalfSecondStepsAndStaysInForASecondAndAHalf) {
    // Frames a test could find switched on: the first turn hides them all.
    for (int id : update_ids::kRoverFrames)
        controls->setVisible(id, true);
    for (int id : update_ids::kBaseFrames)
        controls->setVisible(id, true);
    EXPECT_EQ(turns(3), (std::vector<int>{0, 0, 0})) << "nothing before Start Update";
    for (int id : update_ids::kBaseFrames)
        EXPECT_FALSE(controls->visible(id)) << id;

    flags.startRequested = true;
    // Turn 1: furthest away at once, counter 6; one step closer at counters 10, 15, 20; plugged
    // in at 25 for 15 turns; furthest away again at 5: a cycle of 35 turns.
    std::vector<int> expected;
    auto hold = [&](int frame, int n) { expected.insert(expected.end(), n, frame); };
    hold(1111, 5);  // turn 1, counters 6..9
    hold(1110, 5);  // 10..14
    hold(1109, 5);  // 15..19
    hold(1108, 5);  // 20..24
    hold(1107, 15); // 25..35, 1..4
    hold(1111, 5);  // 5..9
    hold(1110, 1);  // 10
    EXPECT_EQ(turns(static_cast<int>(expected.size())), expected);

    // "Continue": the frames go and the next start begins furthest away again.
    flags.startRequested = false;
    EXPECT_EQ(turns(2), (std::vector<int>{0, 0}));
    flags.startRequested = true;
    EXPECT_EQ(turns(6), (std::vector<int>{1111, 1111, 1111, 1111, 1111, 1110}));
    for (int id : update_ids::kBaseFrames)
        EXPECT_FALSE(controls->visible(id)) << "the BASE frames never appear";
}

TEST_F(CableAnimationTest, RunLogsItsStartAndEnd) {
    DebugCapture debug;
    flags.stopAnimation = true;
    animation.run();
    EXPECT_EQ(debug.lines(), (std::vector<std::string>{"Iniciem Thread Animació Rover\r\n",
                                                       "Sortim Thread Animació Rover\r\n"}));
}

} // namespace
} // namespace tessadorn
