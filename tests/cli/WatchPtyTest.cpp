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
#include <sys/stat.h>
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
    const std::vector<std::string> simArgs = {
        "--baud", "2", "--link", link, "--event", "4000:signal=1", "--restart-ms", "0"};
    const std::string simLog = dir.file("sim.log");
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.start(TESSADORN_SIM_EXECUTABLE, simArgs, 5000, simLog));

    // The watch's socket where a user who is not the watch's may reach it (and be refused).
    const std::string run = dir.file("run");
    ASSERT_EQ(::chmod(dir.file("").c_str(), 0711), 0);
    Watch w;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", QString::fromStdString(dir.file("state")));
    env.insert("TESSADORN_RUNTIME_DIR", QString::fromStdString(run));
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

    // The port is held: tessadornctl's commands are run by the watch, which goes on; another
    // watch is refused, told how to stop this one; a user who is not the watch's is refused.
    const std::string serial = found["serial"].toString().toStdString();
    const std::string watchPid = std::to_string(w.process.processId());
    const struct {
        std::string prefix; // before the command (another user)
        std::string command;
        int status;
        std::string stdoutHas, stderrHas;
    } served[] = {
        {"", "--json status", 0, "\"serial\":\"" + serial + "\"", ""},
        {"", "--json status", 0, "\"auto_connect\":false", ""},
        {"", "auto on", 0, "Autoconnection enabled", ""},
        {"", "--json status", 0, "\"auto_connect\":true", ""},
        // A profile is written and read by the command, as its user.
        {"", "profile export " + dir.file("rover.json"), 0,
         "Profile written to " + dir.file("rover.json"), ""},
        {"", "--json profile apply --check " + dir.file("rover.json"), 0, "\"changed\":false", ""},
        {"", "apn web.example --user u9 --password sekret9", 0,
         "APN configured. Tessadorn is rebooting...", ""},
        {"", "watch", 1, "",
         "is in use by tessadornctl (process " + watchPid +
             "). It is a watch of the modem: tessadornctl's commands on this port are run by "
             "it, but to use the port here, stop the watch first: end it (kill " +
             watchPid + ")."},
        {"setpriv --reuid=65534 --regid=65534 --clear-groups ", "status", 1, "",
         "which serves the commands of its own user and root only."},
    };
    for (const auto& c : served) {
        const std::string other = c.prefix + "env XDG_STATE_HOME=" + dir.file("state") +
                                  " TESSADORN_RUNTIME_DIR=" + run + " " + TESSADORN_CTL_EXECUTABLE +
                                  " --port " + link + " --config-dir " + dir.file("cfg2") + " " +
                                  c.command + " >" + dir.file("out") + " 2>" + dir.file("err");
        EXPECT_EQ(WEXITSTATUS(std::system(other.c_str())), c.status)
            << c.command << ": " << fileText(dir.file("err"));
        EXPECT_NE(fileText(dir.file("out")).find(c.stdoutHas), std::string::npos)
            << c.command << ": " << fileText(dir.file("out"));
        EXPECT_NE(fileText(dir.file("err")).find(c.stderrHas), std::string::npos)
            << c.command << ": " << fileText(dir.file("err"));
    }
    EXPECT_NE(fileText(dir.file("rover.json")).find("\"auto_connect\": true"), std::string::npos)
        << fileText(dir.file("rover.json"));
    // The settings reached the modem; the password went to it alone, not to the watch's lines
    // or its log.
    const std::string modemHeard = fileText(simLog);
    EXPECT_NE(modemHeard.find("<- #AUTO ON"), std::string::npos);
    EXPECT_NE(modemHeard.find("<- PASSWORD sekret9"), std::string::npos);
    w.read();
    for (const QJsonObject& e : w.events)
        EXPECT_EQ(QJsonDocument(e).toJson().indexOf("sekret9"), -1);
    const std::string grep = "grep -rq sekret9 " + dir.file("state");
    EXPECT_NE(WEXITSTATUS(std::system(grep.c_str())), 0) << "the password is in the watch's log";
    // The watch goes on, and says what it served and how the modem is now.
    const QJsonObject servedAuto = w.next("served", 5);
    EXPECT_EQ(servedAuto["command"].toString(), "auto on");
    EXPECT_EQ(servedAuto["status"].toInt(-1), 0);
    EXPECT_EQ(w.next("found", 5)["serial"].toString().toStdString(), serial);
    EXPECT_EQ(w.next("served", 5)["command"].toString(), "profile export");
    EXPECT_EQ(w.next("served", 5)["command"].toString().toStdString(),
              "profile apply " + dir.file("rover.json"));
    EXPECT_EQ(w.next("served", 5)["command"].toString(), "apn web.example");
    EXPECT_FALSE(w.next("status", 5).isEmpty());

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

    // A command served while the modem is silent keeps to its --timeout.
    simulator.stop();
    EXPECT_FALSE(w.next("lost", 5).isEmpty());
    std::vector<std::string> silent = simArgs;
    silent.insert(silent.end(), {"--silent", "1"});
    ASSERT_TRUE(simulator.start(TESSADORN_SIM_EXECUTABLE, silent, 5000, "/dev/null"));
    const std::string away = "XDG_STATE_HOME=" + dir.file("state") +
                             " TESSADORN_RUNTIME_DIR=" + run + " " + TESSADORN_CTL_EXECUTABLE +
                             " --port " + link + " --config-dir " + dir.file("cfg2") +
                             " --timeout 1 status >/dev/null 2>" + dir.file("err");
    EXPECT_EQ(WEXITSTATUS(std::system(away.c_str())), 4) << fileText(dir.file("err"));
    EXPECT_NE(fileText(dir.file("err")).find("no answer within 1 s"), std::string::npos)
        << fileText(dir.file("err"));

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

// The group a watch serves besides its own user and root must exist: a misspelt one is refused
// before the port is touched, a known one lets the watch go on (here to a port that is not there).
TEST(WatchPty, TheGroupServedMustExist) {
    test::TempDir dir;
    const struct {
        const char* group;
        int status;
        std::string says;
    } cases[] = {
        {"no-such-group-here", 2,
         "The group \"no-such-group-here\" (TESSADORN_WATCH_GROUP) does not exist."},
        {"root", 1, "cannot open the serial port " + dir.file("none")},
    };
    for (const auto& c : cases) {
        const std::string command =
            "env TESSADORN_WATCH_GROUP=" + std::string(c.group) +
            " TESSADORN_RUNTIME_DIR=" + dir.file("run") + " XDG_STATE_HOME=" + dir.file("state") +
            " " + TESSADORN_CTL_EXECUTABLE + " --port " + dir.file("none") + " --config-dir " +
            dir.file("cfg") + " watch >/dev/null 2>" + dir.file("err");
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), c.status) << c.group;
        EXPECT_NE(fileText(dir.file("err")).find(c.says), std::string::npos)
            << fileText(dir.file("err"));
    }
}

} // namespace
} // namespace tessadorn
