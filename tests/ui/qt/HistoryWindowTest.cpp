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

#include <algorithm>
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

QImage drawn(const PollHistory& history) {
    QImage image(HistoryWindow::kWidth, HistoryWindow::kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    HistoryWindow::draw(painter, image.size(), history);
    return image;
}

bool isRed(QColor c) {
    return c.red() > 180 && c.green() < 90 && c.blue() < 90;
}
bool isAmber(QColor c) {
    return c.red() > 200 && c.green() > 140 && c.green() < 200 && c.blue() < 80;
}
bool isGreenMark(QColor c) {
    return c.green() > 120 && c.red() < 100 && c.blue() < 120;
}

// The bands' colours as the legend says: green ready, amber not ready, red a missing SIM.
struct BandCase {
    const char* name;
    int simState;
    int apnReady;
    bool red;
    bool amber;
};
void PrintTo(const BandCase& c, std::ostream* os) {
    *os << c.name;
}
class HistoryBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(HistoryBands, HaveTheLegendsColours) {
    const BandCase& c = GetParam();
    PollHistory history;
    const std::int64_t start = 1'796'601'600'000;
    for (std::int64_t t = 0; t < 600'000; t += 500)
        history.polled(start + t, 3, c.simState, c.apnReady, 1);
    const QImage image = drawn(history);
    // Down a column in the middle of the bands, under the plot.
    int red = 0, amber = 0;
    for (int y = image.height() / 2 + 60; y < image.height(); ++y) {
        const QColor colour(image.pixel(image.width() / 2, y));
        red += isRed(colour);
        amber += isAmber(colour);
    }
    EXPECT_EQ(red > 0, c.red) << red << " red pixels";
    EXPECT_EQ(amber > 0, c.amber) << amber << " amber pixels";
}

INSTANTIATE_TEST_SUITE_P(History, HistoryBands,
                         ::testing::Values(BandCase{"AllReady", 5, 1, false, false},
                                           BandCase{"ApnNotReadyIsAmber", 5, 0, false, true},
                                           BandCase{"SimNotReadyIsAmber", 3, 1, false, true},
                                           BandCase{"SimMissingIsRed", 0, 1, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The label texts at the top of the plot, row by row of labels: each run of red or green text
// pixels (letters less than 4 pixels apart), leaving out the columns of the marks' lines.
struct TextRun {
    bool red;
    int left, right;
    int width() const { return right - left + 1; }
};
std::vector<std::vector<TextRun>> labelRuns(const QImage& image) {
    std::vector<std::vector<TextRun>> rows;
    const int lineY = image.height() / 2;
    for (int top = 46; top < 46 + 4 * 15; top += 15) {
        std::vector<TextRun> runs;
        for (const bool red : {true, false}) {
            int left = -1, right = -10;
            for (int x = 0; x < image.width(); ++x) {
                const QColor line(image.pixel(x, lineY));
                if (isRed(line) || isGreenMark(line)) continue;
                bool here = false;
                for (int y = top; y < top + 15; ++y) {
                    const QColor c(image.pixel(x, y));
                    // Anti-aliased letters too: reddish or greenish on the light background.
                    here = here || (red ? c.red() - c.green() > 40 && c.red() - c.blue() > 40
                                        : c.green() - c.red() > 25 && c.green() - c.blue() > 15);
                }
                if (!here) continue;
                if (x - right >= 4) {
                    if (left >= 0) runs.push_back({red, left, right});
                    left = x;
                }
                right = x;
            }
            if (left >= 0) runs.push_back({red, left, right});
        }
        rows.push_back(runs);
    }
    return rows;
}

TEST(HistoryView, LostAndFoundLabelsCloseTogetherDoNotOverlap) {
    const std::int64_t start = 1'796'601'600'000;
    // One loss alone: how wide one "lost" and one "found" label are.
    PollHistory single;
    single.polled(start, 3, 5, 1, 1);
    single.mark(start + 300'000, PollHistory::Moment::Lost);
    single.mark(start + 400'000, PollHistory::Moment::Found);
    single.polled(start + 600'000, 3, 5, 1, 1);
    int lostWidth = 0, foundWidth = 0;
    for (const auto& row : labelRuns(drawn(single)))
        for (const TextRun& run : row)
            (run.red ? lostWidth : foundWidth) = run.width();
    ASSERT_GT(lostWidth, 10);
    ASSERT_GT(foundWidth, lostWidth);

    // Lost and found twice within 15 s: a few pixels apart on the plot.
    PollHistory flapping;
    flapping.polled(start, 3, 5, 1, 1);
    for (std::int64_t t : {300'000, 310'000})
        flapping.mark(start + t, PollHistory::Moment::Lost),
            flapping.mark(start + t + 5'000, PollHistory::Moment::Found);
    flapping.polled(start + 600'000, 3, 5, 1, 1);
    int labels = 0;
    for (const auto& row : labelRuns(drawn(flapping))) {
        // Each label whole: neither wider (another on it) nor narrower (another over part of it).
        for (const TextRun& run : row)
            EXPECT_NEAR(run.width(), run.red ? lostWidth : foundWidth, 1) << "labels overlap";
        for (std::size_t i = 0; i + 1 < row.size(); ++i)
            for (std::size_t j = i + 1; j < row.size(); ++j)
                EXPECT_TRUE(row[i].right < row[j].left || row[j].right < row[i].left)
                    << "a lost and a found label in one place";
        labels += static_cast<int>(row.size());
    }
    EXPECT_EQ(labels, 4) << "every label is drawn";
}

TEST(HistoryView, TheTitleNamesTheModemOnceFound) {
    PollHistory history;
    EXPECT_EQ(HistoryWindow::title(history, "/dev/ttyUSB0").toStdString(),
              "TESSADORN - Signal history - /dev/ttyUSB0");
    history.setModem("T-0042");
    EXPECT_EQ(HistoryWindow::title(history, "/dev/ttyUSB0").toStdString(),
              "TESSADORN - Signal history - T-0042 on /dev/ttyUSB0");
    HistoryWindow window(history, "/dev/ttyUSB0");
    EXPECT_EQ(window.windowTitle().toStdString(),
              "TESSADORN - Signal history - T-0042 on /dev/ttyUSB0");
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
