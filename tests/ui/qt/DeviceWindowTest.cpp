// The desktop window: the handheld's screen scales with the window and always shows whole.
#include "ui/qt/DeviceWindow.h"
#include "ui/qt/DeviceScreen.h"
#include "ui/qt/MessageBoxView.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

namespace tessadorn {
namespace {

struct ResizeCase {
    const char* name;
    QSize window;
    bool portrait;
    int scale;
};

void PrintTo(const ResizeCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceWindowResize : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(DeviceWindowResize, TheScreenScalesToFitAndShowsWhole) {
    const ResizeCase& c = GetParam();
    DeviceWindow window(2);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.resize(c.window);
    QApplication::processEvents();

    const DeviceScreen& screen = window.screen();
    EXPECT_EQ(screen.portrait(), c.portrait);
    EXPECT_EQ(screen.scale(), c.scale);
    // The whole screen lies inside the window, title bar and its OK included.
    EXPECT_TRUE(window.rect().contains(screen.geometry()))
        << "window " << window.width() << "x" << window.height() << ", screen " << screen.width()
        << "x" << screen.height();
    // Never smaller than the screen of its orientation at scale 1.
    EXPECT_GE(window.minimumWidth(), screen.screenWidth());
    EXPECT_GE(window.minimumHeight(), screen.screenHeight());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceWindowResize,
    ::testing::Values(ResizeCase{"LargerPortrait", {800, 1010}, true, 3},
                      ResizeCase{"SmallerPortrait", {300, 400}, true, 1},
                      ResizeCase{"WideWindowTurnsToLandscape", {1000, 700}, false, 2},
                      ResizeCase{"TooSmallIsHeldAtScaleOne", {100, 150}, true, 1},
                      ResizeCase{"TooFlatIsHeldAtThePortraitMinimum", {330, 200}, true, 1},
                      ResizeCase{"SmallLandscape", {400, 350}, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceWindow, AnOpenMessageBoxScalesWithTheScreen) {
    DeviceWindow window(3);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto answer = std::make_shared<PendingAnswer>();
    auto result = answer->future();
    window.screen().showMessageBox({"Com Port Error", "ERROR", MessageButtons::Ok}, answer);
    answer.reset();
    window.resize(300, 400);
    QApplication::processEvents();
    ASSERT_EQ(window.screen().scale(), 1);
    const auto boxes = window.screen().messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front()->font().pixelSize(), 11);
    EXPECT_TRUE(window.screen().rect().contains(boxes.front()->geometry()));
    boxes.front()->press(kIdOk);
    EXPECT_EQ(result.get(), kIdOk);
}

TEST(DeviceWindow, ScaleToFitLeavesTheMarginFree) {
    const QSize portrait(DeviceScreen::kShortSide, DeviceScreen::kLongSide);
    EXPECT_EQ(DeviceWindow::scaleToFit({2 * 240 + 24, 2 * 320 + 24}, portrait), 2);
    EXPECT_EQ(DeviceWindow::scaleToFit({2 * 240 + 23, 2 * 320 + 24}, portrait), 1);
    EXPECT_EQ(DeviceWindow::scaleToFit({10, 10}, portrait), 1);
}

} // namespace
} // namespace tessadorn
