#pragma once

#include "ui/PollHistory.h"

#include <QWidget>

#include <cstdint>

class QTimer;

namespace tessadorn {

// A desktop window of its own beside the handheld's screen: the signal level over the time the
// history holds (at least the last 10 minutes), with the SIM, APN and connection states as bands
// under it and the moments the modem was lost (red) or found (green) as lines across. It looks
// for new polls every second and redraws when there are some. GUI thread only.
class HistoryWindow final : public QWidget {
  public:
    static constexpr int kWidth = 1200;
    static constexpr int kHeight = 620;
    static constexpr std::int64_t kMinSpanMs = 10 * 60 * 1000;

    explicit HistoryWindow(const PollHistory& history, QWidget* parent = nullptr);

    // Draws the history into `size` pixels (the window's paint, and for pictures and benches).
    static void draw(QPainter& painter, QSize size, const PollHistory& history);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const PollHistory& m_History;
    QTimer* m_Timer;
    std::uint64_t m_DrawnVersion = 0;
};

} // namespace tessadorn
