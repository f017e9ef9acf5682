#include "ui/qt/HistoryWindow.h"

#include <QDateTime>
#include <QPainter>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <array>

namespace tessadorn {

namespace {

constexpr int kLeft = 96, kRight = 24, kTop = 44, kBandHeight = 22, kBandGap = 6, kAxis = 34;
constexpr int kLowLevel = -1, kHighLevel = 4;

QColor simColour(int state) {
    return state == 0   ? QColor(205, 60, 50)
           : state == 5 ? QColor(70, 160, 90)
                        : QColor(230, 170, 40);
}
// The APN is ready or not: amber when not, as the legend says (red is for a missing SIM only).
QColor apnColour(int ready) {
    return ready == 0 ? QColor(230, 170, 40) : QColor(70, 160, 90);
}
QColor connectionColour(int state) {
    return state == 1   ? QColor(60, 120, 200)
           : state == 2 ? QColor(175, 175, 180)
                        : QColor(225, 225, 228);
}

// A tick every so often, so that about eight labels fit under the plot.
std::int64_t tickMs(std::int64_t spanMs) {
    static constexpr std::array<std::int64_t, 11> steps = {
        60'000,    300'000,    600'000,    900'000,    1'800'000, 3'600'000,
        7'200'000, 10'800'000, 14'400'000, 21'600'000, 43'200'000};
    for (const std::int64_t s : steps)
        if (spanMs / s <= 10) return s;
    return steps.back();
}

// Draws one band: runs of columns of one colour as one rectangle each.
template <typename Colour>
void band(QPainter& p, const std::vector<PollHistory::Column>& columns, int x0, int y, int height,
          Colour colour) {
    std::size_t c = 0;
    while (c < columns.size()) {
        if (!columns[c].polled) {
            ++c;
            continue;
        }
        const QColor here = colour(columns[c]);
        std::size_t end = c + 1;
        while (end < columns.size() && columns[end].polled && colour(columns[end]) == here)
            ++end;
        p.fillRect(x0 + static_cast<int>(c), y, static_cast<int>(end - c), height, here);
        c = end;
    }
}

// The "lost" and "found" labels beside their lines, each in the first row where it overlaps no
// label drawn before it (rows from the top of the plot down); a label that finds no room is
// left out, its line stays. Near the right edge a label goes to the left of its line.
class HistoryLabelRows {
  public:
    static constexpr int kRows = 4, kRowHeight = 15, kPad = 3;

    HistoryLabelRows(QPainter& painter, const QRect& plot) : m_Painter(painter), m_Plot(plot) {
        m_Ends.fill(m_Plot.left() - 1000);
    }
    // On a patch of the background, so that another mark's line never runs through the text.
    void place(int x, const QString& text, const QColor& colour) {
        const int width = m_Painter.fontMetrics().horizontalAdvance(text);
        const int left = x + kPad + width <= m_Plot.right() ? x + kPad : x - kPad - width;
        for (int row = 0; row < kRows; ++row) {
            if (left <= m_Ends[static_cast<std::size_t>(row)] + kPad) continue;
            const QRect box(left - 1, m_Plot.top() + 2 + row * kRowHeight, width + 2, kRowHeight);
            m_Painter.fillRect(box, QColor(250, 250, 250));
            m_Painter.setPen(colour);
            m_Painter.drawText(box, Qt::AlignCenter, text);
            m_Ends[static_cast<std::size_t>(row)] = left + width;
            return;
        }
    }

  private:
    QPainter& m_Painter;
    QRect m_Plot;
    std::array<int, kRows> m_Ends{};
};

} // namespace

QString HistoryWindow::title(const PollHistory& history, const QString& port) {
    QString text = QStringLiteral("TESSADORN - Signal history");
    const std::string serial = history.modem();
    if (!serial.empty()) text += QStringLiteral(" - ") + QString::fromLatin1(serial);
    if (!port.isEmpty())
        text += (serial.empty() ? QStringLiteral(" - ") : QStringLiteral(" on ")) + port;
    return text;
}

HistoryWindow::HistoryWindow(const PollHistory& history, QString port, QWidget* parent)
    : QWidget(parent, Qt::Window), m_History(history), m_Port(std::move(port)),
      m_Timer(new QTimer(this)) {
    setWindowTitle(title(m_History, m_Port));
    resize(kWidth, kHeight);
    setMinimumSize(480, 320);
    auto* closeKey = new QShortcut(QKeySequence(QKeySequence::Close), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    connect(m_Timer, &QTimer::timeout, this, [this] {
        if (m_History.version() == m_DrawnVersion) return;
        setWindowTitle(title(m_History, m_Port));
        if (isVisible()) update();
    });
    m_Timer->start(1000);
}

void HistoryWindow::paintEvent(QPaintEvent*) {
    m_DrawnVersion = m_History.version();
    QPainter painter(this);
    draw(painter, size(), m_History);
}

void HistoryWindow::draw(QPainter& p, QSize size, const PollHistory& history) {
    p.fillRect(QRect(QPoint(0, 0), size), QColor(250, 250, 250));
    const int plotWidth = std::max(1, size.width() - kLeft - kRight);
    const int bandsHeight = 3 * (kBandHeight + kBandGap);
    const int plotHeight = std::max(60, size.height() - kTop - bandsHeight - kAxis - 8);
    const QRect plot(kLeft, kTop, plotWidth, plotHeight);
    QFont font = p.font();
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(QColor(40, 40, 44));

    std::int64_t first = 0, last = 0;
    if (!history.extent(first, last)) {
        p.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter,
                   QStringLiteral("No polls yet: the history starts once the modem is found."));
        return;
    }
    const std::int64_t to = last + 1;
    const std::int64_t from = std::min(first, to - kMinSpanMs);
    const auto columns = history.columns(from, to, plotWidth);

    auto levelY = [&](int level) {
        const int clamped = std::clamp(level, kLowLevel, kHighLevel);
        return plot.bottom() -
               (clamped - kLowLevel) * (plot.height() - 1) / (kHighLevel - kLowLevel);
    };
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(from);
    const QDateTime end = QDateTime::fromMSecsSinceEpoch(to);
    p.drawText(QRect(kLeft, 8, plotWidth, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Signal level, %1 to %2")
                   .arg(start.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                        end.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));

    // The levels' grid and names.
    for (int level = kLowLevel; level <= kHighLevel; ++level) {
        const int y = levelY(level);
        p.setPen(QColor(225, 225, 228));
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(QColor(90, 90, 96));
        p.drawText(QRect(0, y - 9, kLeft - 8, 18), Qt::AlignRight | Qt::AlignVCenter,
                   level < 0 ? QStringLiteral("no SIM") : QString::number(level));
    }
    // The time axis: a tick and its clock time, under the bands.
    const int bandsTop = plot.bottom() + 10;
    const int axisY = bandsTop + bandsHeight;
    const std::int64_t tick = tickMs(to - from);
    const qint64 offset = start.offsetFromUtc() * 1000LL;
    for (std::int64_t t = ((from + offset) / tick + 1) * tick - offset; t < to; t += tick) {
        const int x = kLeft + static_cast<int>((t - from) * plotWidth / (to - from));
        p.setPen(QColor(235, 235, 238));
        p.drawLine(x, plot.top(), x, plot.bottom());
        p.setPen(QColor(90, 90, 96));
        p.drawLine(x, axisY, x, axisY + 4);
        p.drawText(QRect(x - 40, axisY + 6, 80, 18), Qt::AlignCenter,
                   QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm")));
    }
    p.setPen(QColor(160, 160, 166));
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    // The level: from the lowest to the highest polled in each column, so a day's worth of polls
    // stays one line with its dips.
    const QColor line(30, 90, 170);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const auto& col = columns[c];
        if (!col.polled) continue;
        const int top = levelY(col.maxSignal) - 1;
        const int bottom = levelY(col.minSignal) + 1;
        p.fillRect(plot.left() + static_cast<int>(c), top, 1, bottom - top + 1, line);
    }

    // The bands with their names.
    const char* names[] = {"SIM", "APN", "Connection"};
    for (int b = 0; b < 3; ++b) {
        const int y = bandsTop + b * (kBandHeight + kBandGap);
        p.setPen(QColor(90, 90, 96));
        p.drawText(QRect(0, y, kLeft - 8, kBandHeight), Qt::AlignRight | Qt::AlignVCenter,
                   QString::fromLatin1(names[b]));
        p.fillRect(plot.left(), y, plotWidth, kBandHeight, QColor(240, 240, 242));
    }
    band(p, columns, plot.left(), bandsTop, kBandHeight,
         [](const PollHistory::Column& c) { return simColour(c.simState); });
    band(p, columns, plot.left(), bandsTop + kBandHeight + kBandGap, kBandHeight,
         [](const PollHistory::Column& c) { return apnColour(c.apnReady); });
    band(p, columns, plot.left(), bandsTop + 2 * (kBandHeight + kBandGap), kBandHeight,
         [](const PollHistory::Column& c) { return connectionColour(c.connection); });

    // Lost and found, across the plot and the bands; their labels over all the lines.
    const QColor lostColour(205, 60, 50), foundColour(50, 150, 80);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int x = plot.left() + static_cast<int>(c);
        for (const bool lost : {true, false}) {
            if (!(lost ? columns[c].lost : columns[c].found)) continue;
            p.setPen(QPen(lost ? lostColour : foundColour, 2));
            p.drawLine(x, plot.top(), x, axisY);
        }
    }
    HistoryLabelRows labels(p, plot);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int x = plot.left() + static_cast<int>(c);
        if (columns[c].lost) labels.place(x, QStringLiteral("lost"), lostColour);
        if (columns[c].found) labels.place(x, QStringLiteral("found"), foundColour);
    }
    // What the colours mean.
    p.setPen(QColor(90, 90, 96));
    p.drawText(QRect(kLeft, 8, plotWidth, 24), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("green ready / amber not ready / red missing; connection: blue on, "
                              "grey off"));
}

} // namespace tessadorn
