#pragma once

#include "ui/PollHistory.h"

#include <QString>
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

    // `port`: the serial port the modem is on, named in the title with the modem's serial number.
    explicit HistoryWindow(const PollHistory& history, QString port = {},
                           QWidget* parent = nullptr);

    // Draws the history into `size` pixels (the window's paint, and for pictures and benches).
    static void draw(QPainter& painter, QSize size, const PollHistory& history);
    // The window's title: the modem it shows, once found, and its port.
    static QString title(const PollHistory& history, const QString& port);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const PollHistory& m_History;
    QString m_Port;
    QTimer* m_Timer;
    std::uint64_t m_DrawnVersion = 0;
};

} // namespace tessadorn
