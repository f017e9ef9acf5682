// The history view: the signal picture of the first dialog opens it, and its picture shows the
// polls, the bands and the lost moment where they belong.
#include "ui/qt/HistoryWindow.h"
#include "GuiWait.h"
#include "ui/ControlModel.h"
#include "ui/PollHistory.h"
#include "ui/qt/DeviceScreen.h"
#include "ui/qt/DialogView.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tessadorn {
namespace {

constexpr int kSignal = 1066;

std::shared_ptr<ControlModel> pictureDialog() {
    DialogTemplate t;
    t.id = 600;
    ControlTemplate c;
    c.id = kSignal;
    c.kind = ControlKind::Bitmap;
    c.bitmap = 151;
    c.rect = {10, 10, 37, 31};
    t.controls.push_back(c);
    return std::make_shared<ControlModel>(t);
}

TEST(HistoryView, TheSignalPictureOfTheFirstDialogOpensIt) {
    DeviceScreen screen(1);
    int opened = 0;
    screen.setPictureAction({kSignal}, [&opened] { ++opened; });
    DialogView* first = screen.openDialog(1, pictureDialog());
    DialogView* second = screen.openDialog(2, pictureDialog());
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    QTest::mouseClick(second->controlWidget(kSignal), Qt::LeftButton);
    EXPECT_EQ(opened, 0) << "only the main dialog's picture opens the history";
    screen.closeDialog(2);
    QTest::mouseClick(first->controlWidget(kSignal), Qt::LeftButton);
    EXPECT_EQ(opened, 1);
}

TEST(HistoryView, DrawsTheLevelTheBandsAndTheLostMoment) {
    PollHistory history;
    const std::int64_t start = 1'796'601'600'000;
    // An hour: level 4 with the SIM ready, then the modem lost for the last quarter.
    for (std::int64_t t = 0; t < 2'700'000; t += 500)
        history.polled(start + t, 4, 5, 1, 1);
    history.mark(start + 2'700'000, PollHistory::Moment::Lost);
    history.mark(start + 3'600'000, PollHistory::Moment::Found);
    QImage image(HistoryWindow::kWidth, HistoryWindow::kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    HistoryWindow::draw(painter, image.size(), history);
    painter.end();

    auto count = [&image](QRect area, auto test) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += test(QColor(image.pixel(x, y)));
        return n;
    };
    const auto blue = [](QColor c) { return c.blue() > 150 && c.red() < 80; };
    const auto green = [](QColor c) { return c.green() > 140 && c.red() < 100 && c.blue() < 120; };
    const auto red = [](QColor c) { return c.red() > 180 && c.green() < 90; };
    const int w = image.width(), h = image.height();
    // The level's line runs along the top of the plot in its first three quarters, not after.
    EXPECT_GT(count(QRect(w / 8, 40, w / 2, h / 5), blue), w / 4);
    EXPECT_EQ(count(QRect(w * 7 / 8, 40, w / 10, h / 2), blue), 0);
    // The SIM band is green under the polls; a red line marks the lost moment.
    EXPECT_GT(count(QRect(w / 8, h / 2, w / 2, h / 2 - 40), green), w);
    EXPECT_GT(count(QRect(w * 3 / 4 - 20, 40, 40, h / 2), red), 50);
}

// Counts the paints of a widget.
struct PaintCounter final : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// An open history window is drawn again as new polls come (it looks once a second).
TEST(HistoryView, AnOpenWindowIsRedrawnAsPollsCome) {
    PollHistory history;
    const std::int64_t start = 1'796'601'600'000;
    history.polled(start, 3, 5, 1, 2);
    HistoryWindow window(history);
    PaintCounter counter;
    window.installEventFilter(&counter);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(test::pumpUntil([&] { return counter.paints > 0; }, 5000));
    for (int poll = 1; poll <= 2; ++poll) {
        SCOPED_TRACE(poll);
        const int before = counter.paints;
        history.polled(start + poll * 500, 1, 5, 1, 2);
        EXPECT_TRUE(test::pumpUntil([&] { return counter.paints > before; }, 5000));
    }
    window.removeEventFilter(&counter);
}

} // namespace
} // namespace tessadorn
