// tessadornctl watch against tessadorn-sim on a pseudo-terminal, in real time: the event lines,
// the metrics file, the port pulled and back, the port held against others, and SIGTERM.
#include "TempDir.h"
#include "app/SimulatorProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace tessadorn {
namespace {

using Clock = std::chrono::steady_clock;

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Watch {
    QProcess process;
    std::vector<QJsonObject> events;
    QByteArray rest;

    // The next event of `kind` within `seconds`; an empty object when none came.
    QJsonObject next(const QString& kind, double seconds) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(int(seconds * 1000));
        std::size_t seen = 0;
        while (true) {
            for (; seen < events.size(); ++seen)
                if (events[seen]["class"].toString() == kind) {
                    QJsonObject e = events[seen];
                    events.erase(events.begin(), events.begin() + long(seen) + 1);
                    return e;
                }
            if (Clock::now() >= deadline) return {};
            process.waitForReadyRead(100);
            read();
        }
    }
    void read() {
        rest += process.readAllStandardOutput();
        for (int end; (end = rest.indexOf('\n')) >= 0;) {
            const QByteArray line = rest.left(end);
            rest.remove(0, end + 1);
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            events.push_back(doc.object());
        }
    }
};

TEST(WatchPty, FollowsTheModemThroughAPulledPortAndEndsOnSigterm) {
    test::TempDir dir;
    const std::string link = dir.file("com1");
    const std::string prom = dir.file("tessadorn.prom");
    const std::vector<std::string> simArgs = {"--baud", "2",       "--link",
                                              link,     "--event", "4000:signal=1"};
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.start(TESSADORN_SIM_EXECUTABLE, simArgs, 5000, "/dev/null"));

    Watch w;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", QString::fromStdString(dir.file("state")));
    w.process.setProcessEnvironment(env);
    w.process.start(TESSADORN_CTL_EXECUTABLE,
                    {"--port", QString::fromStdString(link), "--config-dir",
                     QString::fromStdString(dir.file("cfg")), "--json", "watch", "--interval", "2",
                     "--prometheus", QString::fromStdString(prom)});
    ASSERT_TRUE(w.process.waitForStarted());

    const QJsonObject found = w.next("found", 15);
    ASSERT_FALSE(found.isEmpty()) << w.process.readAllStandardError().toStdString();
    EXPECT_EQ(found["role"].toString(), "rover");
    EXPECT_EQ(found["rate"].toInt(), 38400);
    EXPECT_EQ(found["port"].toString().toStdString(), link);
    const QRegularExpression iso(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)"));
    EXPECT_TRUE(iso.match(found["time"].toString()).hasMatch())
        << found["time"].toString().toStdString();
    const QJsonObject status = w.next("status", 5);
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(status["sim"].toObject()["name"].toString(), "ready");
    EXPECT_TRUE(status["signal"].isDouble());
    // The simulator's signal falls to 1 after 4 s: a status line says so.
    bool fell = false;
    for (int i = 0; i < 5 && !fell; ++i) {
        const QJsonObject next = w.next("status", 3);
        fell = !next.isEmpty() && next["signal"].toInt() == 1;
    }
    EXPECT_TRUE(fell);
    EXPECT_FALSE(w.next("heartbeat", 5).isEmpty());

    // The metrics file is whole: HELP and TYPE for each metric, samples that parse.
    const std::string metrics = fileText(prom);
    EXPECT_NE(metrics.find("tessadorn_up{port=\"" + link + "\"} 1\n"), std::string::npos)
        << metrics;
    EXPECT_NE(metrics.find("tessadorn_signal_level{port=\"" + link + "\"} 1\n"), std::string::npos)
        << metrics;
    EXPECT_NE(metrics.find("# TYPE tessadorn_info gauge\ntessadorn_info{serial="),
              std::string::npos);

    // The port is held: another program is refused.
    const std::string other = "XDG_STATE_HOME=" + dir.file("state") + " " +
                              TESSADORN_CTL_EXECUTABLE + " --port " + link + " --config-dir " +
                              dir.file("cfg2") + " status >/dev/null 2>" + dir.file("err");
    EXPECT_EQ(WEXITSTATUS(std::system(other.c_str())), 1);
    EXPECT_NE(fileText(dir.file("err")).find("is in use by tessadornctl (process "),
              std::string::npos);

    // The pty goes away: lost; it comes back: found.
    w.events.clear();
    auto pulled = Clock::now();
    simulator.stop();
    const QJsonObject lost = w.next("lost", 5);
    const double lostAfter = std::chrono::duration<double>(Clock::now() - pulled).count();
    ASSERT_FALSE(lost.isEmpty());
    EXPECT_EQ(lost["reason"].toString(), "the port is gone");
    EXPECT_EQ(lost["serial"].toString(), found["serial"].toString());
    EXPECT_EQ(lost["port"].toString().toStdString(), link);
    EXPECT_FALSE(w.next("searching", 5).isEmpty());
    ASSERT_TRUE(simulator.start(TESSADORN_SIM_EXECUTABLE, simArgs, 5000, "/dev/null"));
    const auto back = Clock::now();
    EXPECT_FALSE(w.next("found", 10).isEmpty());
    const double foundAfter = std::chrono::duration<double>(Clock::now() - back).count();
    std::printf("lost %.2f s after the pty went, found %.2f s after it came back\n", lostAfter,
                foundAfter);
    EXPECT_LT(lostAfter, 2.0);
    EXPECT_LT(foundAfter, 5.0);

    // SIGTERM: status 0, every line whole.
    w.process.terminate();
    ASSERT_TRUE(w.process.waitForFinished(5000));
    EXPECT_EQ(w.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(w.process.exitCode(), 0);
    w.read();
    EXPECT_TRUE(w.rest.isEmpty()) << "a cut line: " << w.rest.toStdString();
    EXPECT_NE(fileText(prom).find("tessadorn_up{port=\"" + link + "\"} 0\n"), std::string::npos);
    simulator.stop();
}

} // namespace
} // namespace tessadorn
