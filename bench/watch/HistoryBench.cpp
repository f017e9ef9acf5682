// history_bench [--hours H] [--draws N] [--screenshot FILE]
//
// The window's history over a simulated day: the modem layer's monitor polls a rover on a
// virtual serial port (DayModem) for H hours of virtual time (24 by default) and the history
// keeps every poll, as in the program. Reports the polls held and the memory they take (the
// history's own count, and the process's resident growth), then draws the history window's
// picture at its desktop size N times (50 by default, offscreen) and reports the median and the
// longest draw against one frame at 60 Hz (goal < 16 ms). --screenshot FILE saves the picture.
#include "DayModem.h"

#include "console/HistoryRecorder.h"
#include "modem/ModemMonitor.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "store/CasterStore.h"
#include "ui/PollHistory.h"
#include "ui/qt/HistoryWindow.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tessadorn;
using namespace tessadorn::bench;

namespace {

constexpr std::int64_t kHourMs = 3'600'000;
constexpr std::int64_t kDayStart = 1'796'601'600'000; // 2026-12-07 00:00 UTC
constexpr double kFrameMs = 16.0;

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    double hours = 24;
    int draws = 50;
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--hours" && i + 1 < argc)
            hours = std::atof(argv[++i]);
        else if (a == "--draws" && i + 1 < argc)
            draws = std::max(1, std::atoi(argv[++i]));
        else if (a == "--screenshot" && i + 1 < argc)
            screenshot = argv[++i];
        else {
            std::fprintf(stderr,
                         "usage: history_bench [--hours H] [--draws N] [--screenshot FILE]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", "UTC");
    QApplication app(argc, argv);
    setDebugSink([](std::string_view) {});

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("history_bench." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::int64_t endMs = static_cast<std::int64_t>(hours * kHourMs);
    VirtualClock clock;
    DayModem port(clock, 0);
    ModemSession session(port, clock, (dir / "tessadorn.cfg").string(), AtomicFile::standard());
    CasterStore list((dir / "ntripcfg.txt").string(), AtomicFile::standard());
    PollHistory history;
    HistoryRecorder recorder(history, [&clock] { return kDayStart + clock.nowMs(); });
    // Ends the monitor once the day is over.
    struct Ender final : MonitorObserver {
        VirtualClock& clock;
        ModemSession& session;
        std::int64_t endMs;
        Ender(VirtualClock& c, ModemSession& s, std::int64_t e) : clock(c), session(s), endMs(e) {}
        void polled(const PolledValues&) override {
            if (clock.nowMs() >= endMs) session.monitorGate().stop();
        }
    } ender(clock, session, endMs);

    const long rssBefore = residentKiB();
    const auto start = std::chrono::steady_clock::now();
    ModemMonitor(session, list, {}, {&recorder, &ender}).run();
    const double runSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long rssAfter = residentKiB();
    std::filesystem::remove_all(dir);

    std::printf("virtual time      %.1f h in %.1f s, %zu polls held\n",
                static_cast<double>(clock.nowMs()) / kHourMs, runSeconds, history.size());
    std::printf("history memory    %.2f MiB held (%zu bytes a poll; a day of polls every 500 ms "
                "at most %.2f MiB); resident growth %ld KiB\n",
                static_cast<double>(history.bytesHeld()) / (1024.0 * 1024.0),
                PollHistory::kBytesPerPoll,
                static_cast<double>(PollHistory::kDayOfPolls * PollHistory::kBytesPerPoll) /
                    (1024.0 * 1024.0),
                rssAfter - rssBefore);

    QImage image(HistoryWindow::kWidth, HistoryWindow::kHeight,
                 QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times;
    for (int i = 0; i < draws; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        QPainter painter(&image);
        HistoryWindow::draw(painter, image.size(), history);
        painter.end();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("draw at %dx%d     median %.2f ms, longest %.2f ms over %d draws (goal < %.0f ms: "
                "ratio %.3f)\n",
                HistoryWindow::kWidth, HistoryWindow::kHeight, median, times.back(), draws,
                kFrameMs, median / kFrameMs);
    if (!screenshot.empty() && !image.save(QString::fromStdString(screenshot))) {
        std::fprintf(stderr, "history_bench: cannot write %s\n", screenshot.c_str());
        return 1;
    }
    return 0;
}
