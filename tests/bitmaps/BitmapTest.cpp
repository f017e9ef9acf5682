// Checks every bitmap of the program as it will be loaded at run time: the file exists, Qt can
// render it, it has the size its control is laid out for, and it shows what it is meant to show
// (colour of the signal states, grey placeholders shaped like their icons, a cable animation in
// which only the plug moves).

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

enum Hue : unsigned { NoHue = 0, Red = 1, Green = 2, Blue = 4, Amber = 8, AnyHue = 15 };

enum class Tone { Colour, Grey };

struct Bitmap {
    int number;
    int width;
    int height;
    Tone tone;
    unsigned mustShow; // hues that must be present
    unsigned mustLack; // hues that must be absent
};

// Every bitmap the dialogs load, with the size its control is laid out for.
const std::vector<Bitmap> kBitmaps = {
    {128, 32, 32, Tone::Colour, Blue, NoHue},
    {142, 64, 100, Tone::Colour, NoHue, NoHue},
    {145, 82, 100, Tone::Colour, NoHue, NoHue},
    {151, 37, 31, Tone::Colour, Red, Green | Blue | Amber},
    {152, 37, 31, Tone::Colour, NoHue, AnyHue},
    {153, 37, 31, Tone::Colour, Red, Green | Blue | Amber},
    {154, 37, 31, Tone::Colour, Green, Red | Blue | Amber},
    {155, 37, 31, Tone::Colour, Green, Red | Blue | Amber},
    {156, 37, 31, Tone::Colour, Blue, Red | Green | Amber},
    {157, 150, 30, Tone::Colour, NoHue, NoHue},
    {158, 37, 24, Tone::Colour, Blue, NoHue},
    {159, 37, 24, Tone::Colour, NoHue, NoHue},
    {160, 37, 24, Tone::Colour, NoHue, NoHue},
    {161, 37, 24, Tone::Colour, Red, NoHue},
    {162, 37, 24, Tone::Colour, NoHue, NoHue},
    {163, 37, 24, Tone::Colour, NoHue, NoHue},
    {164, 37, 24, Tone::Colour, NoHue, NoHue},
    {165, 37, 24, Tone::Grey, NoHue, AnyHue},
    {167, 37, 24, Tone::Grey, NoHue, AnyHue},
    {168, 37, 24, Tone::Grey, NoHue, AnyHue},
    {169, 37, 24, Tone::Grey, NoHue, AnyHue},
    {171, 150, 108, Tone::Colour, Amber, NoHue},
    {172, 150, 108, Tone::Colour, Amber, NoHue},
    {173, 150, 108, Tone::Colour, Amber, NoHue},
    {174, 150, 108, Tone::Colour, Amber, NoHue},
    {175, 150, 108, Tone::Colour, Amber, NoHue},
    {179, 150, 108, Tone::Colour, Amber, NoHue},
    {180, 150, 108, Tone::Colour, Amber, NoHue},
    {181, 150, 108, Tone::Colour, Amber, NoHue},
    {182, 150, 108, Tone::Colour, Amber, NoHue},
    {183, 150, 108, Tone::Colour, Amber, NoHue},
    {185, 37, 24, Tone::Colour, NoHue, NoHue},
    {188, 37, 24, Tone::Colour, Blue, NoHue},
};

void PrintTo(const Bitmap& b, std::ostream* os) {
    *os << "bitmap " << b.number;
}

QString pathOf(int number) {
    return QDir(QStringLiteral(TESSADORN_BITMAP_DIR)).filePath(QString::number(number) + ".svg");
}

// Renders a bitmap onto white at `scale` times its own size; a null image if it cannot load.
QImage render(int number, int scale = 1) {
    QSvgRenderer renderer(pathOf(number));
    if (!renderer.isValid()) return {};
    QImage image(renderer.defaultSize() * scale, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

unsigned hueOf(QRgb pixel) {
    const QColor c = QColor::fromRgb(pixel).toHsv();
    if (c.hsvSaturation() < 110 || c.value() < 70) return NoHue;
    const int h = c.hsvHue();
    if (h >= 345 || h <= 12) return Red;
    if (h >= 30 && h <= 50) return Amber;
    if (h >= 90 && h <= 160) return Green;
    if (h >= 190 && h <= 250) return Blue;
    return NoHue;
}

int countPixels(const QImage& image, auto&& wanted) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (wanted(image.pixel(x, y))) ++n;
    return n;
}

int countHue(const QImage& image, unsigned hue) {
    return countPixels(image, [hue](QRgb p) { return (hueOf(p) & hue) != 0; });
}

bool isInk(QRgb p) {
    return p != qRgb(255, 255, 255);
}

class EveryBitmap : public ::testing::TestWithParam<Bitmap> {};

TEST_P(EveryBitmap, LoadsAtItsSize) {
    const Bitmap& b = GetParam();
    ASSERT_TRUE(QFile::exists(pathOf(b.number))) << pathOf(b.number).toStdString();
    QSvgRenderer renderer(pathOf(b.number));
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.defaultSize(), QSize(b.width, b.height));
    EXPECT_EQ(renderer.viewBox(), QRect(0, 0, b.width, b.height));
}

TEST_P(EveryBitmap, DrawsAVisiblePicture) {
    const Bitmap& b = GetParam();
    const QImage image = render(b.number);
    ASSERT_FALSE(image.isNull());
    // At least a tenth of the area carries the picture: a blank or nearly blank file fails.
    EXPECT_GE(countPixels(image, isInk), b.width * b.height / 10);
}

TEST_P(EveryBitmap, UsesItsColours) {
    const Bitmap& b = GetParam();
    const QImage image = render(b.number);
    ASSERT_FALSE(image.isNull());
    for (unsigned hue : {Red, Green, Blue, Amber}) {
        const int n = countHue(image, hue);
        if (b.mustShow & hue) {
            EXPECT_GE(n, 8) << "hue " << hue << " missing";
        }
        if (b.mustLack & hue) {
            EXPECT_EQ(n, 0) << "hue " << hue << " present";
        }
    }
    if (b.tone == Tone::Grey) {
        const int coloured = countPixels(
            image, [](QRgb p) { return QColor::fromRgb(p).toHsv().hsvSaturation() > 40; });
        EXPECT_EQ(coloured, 0) << "placeholder has coloured pixels";
    }
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, EveryBitmap, ::testing::ValuesIn(kBitmaps),
                         [](const auto& info) { return std::to_string(info.param.number); });

// The signal pictures show more coloured waves the better the signal.
TEST(SignalBitmaps, ColouredAreaGrowsWithLevel) {
    int previous = 0;
    for (int number = 153; number <= 156; ++number) {
        const QImage image = render(number);
        ASSERT_FALSE(image.isNull()) << number;
        const int coloured = countHue(image, AnyHue);
        EXPECT_GT(coloured, previous) << "bitmap " << number;
        previous = coloured;
    }
}

// A grey placeholder stands where its coloured icon will appear and has the same outline.
TEST(PlaceholderBitmaps, ShapedLikeTheIconTheyStandFor) {
    const std::vector<std::pair<int, int>> pairs = {{165, 163}, {167, 159}, {168, 160}, {169, 162}};
    for (const auto& [grey, icon] : pairs) {
        const QImage a = render(grey);
        const QImage b = render(icon);
        ASSERT_FALSE(a.isNull() || b.isNull()) << grey;
        ASSERT_EQ(a.size(), b.size()) << grey;
        int both = 0;
        int either = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const bool inA = isInk(a.pixel(x, y));
                const bool inB = isInk(b.pixel(x, y));
                both += inA && inB;
                either += inA || inB;
            }
        ASSERT_GT(either, 0);
        EXPECT_GE(double(both) / either, 0.75) << grey << " against " << icon;
    }
}

struct CableSequence {
    const char* socket;
    int first; // first of five frames, plug in the socket
    bool leftHalf;
};

void PrintTo(const CableSequence& s, std::ostream* os) {
    *os << "frames from " << s.first;
}

class CableAnimation : public ::testing::TestWithParam<CableSequence> {};

// Centre of the plug (the only amber part), in pixels.
QPointF plugCentre(const QImage& image) {
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (hueOf(image.pixel(x, y)) == Amber) {
                sx += x;
                sy += y;
                ++n;
            }
    return n ? QPointF(sx / n, sy / n) : QPointF(-1, -1);
}

TEST_P(CableAnimation, PlugDrawsAwayFromItsSocketFrameByFrame) {
    const CableSequence& s = GetParam();
    double lastY = -1;
    for (int number = s.first; number < s.first + 5; ++number) {
        const QImage image = render(number);
        ASSERT_FALSE(image.isNull()) << number;
        const QPointF c = plugCentre(image);
        ASSERT_GE(c.y(), 0) << "no plug in " << number;
        EXPECT_GE(c.y(), lastY + 3) << "plug does not move away in " << number;
        EXPECT_EQ(c.x() < image.width() / 2.0, s.leftHalf) << "plug at wrong socket in " << number;
        lastY = c.y();
    }
}

TEST_P(CableAnimation, ModemStaysStill) {
    // The upper part of every frame (the modem with its labels) is the same picture in both
    // sequences, so that switching frames moves only the cable.
    const QImage reference = render(171);
    ASSERT_FALSE(reference.isNull());
    const int rows = reference.height() * 45 / 100;
    for (int number = GetParam().first; number < GetParam().first + 5; ++number) {
        const QImage image = render(number);
        ASSERT_EQ(image.size(), reference.size()) << number;
        EXPECT_EQ(image.copy(0, 0, image.width(), rows), reference.copy(0, 0, image.width(), rows))
            << "modem differs in " << number;
    }
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, CableAnimation,
                         ::testing::Values(CableSequence{"RadioRover", 171, true},
                                           CableSequence{"Base", 179, false}),
                         [](const auto& info) { return std::string(info.param.socket); });

} // namespace

int main(int argc, char** argv) {
    // Runs without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
