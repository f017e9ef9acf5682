// tessadornctl through the real ser2net (RFC 2217) in front of tessadorn-sim's pseudo-terminal,
// all on 127.0.0.1: the search with the rate changed in band, slow links, a rate move, a big
// table, a connection cut in the middle of a command, a refused connection, and a watch through
// a restarted ser2net.
#include "Ser2netRig.h"
#include "TempDir.h"
#include "app/SimulatorProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace tessadorn {
namespace {

using Steady = std::chrono::steady_clock;

std::string textOf(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class RemoteRig {
  public:
    explicit RemoteRig(std::vector<std::string> simArgs) : m_SimArgs(std::move(simArgs)) {
        m_SimArgs.insert(m_SimArgs.end(), {"--link", link});
    }
    ~RemoteRig() {
        ser2net.stop();
        simulator.stop();
    }
    bool start() {
        if (!simulator.start(TESSADORN_SIM_EXECUTABLE, m_SimArgs, 5000, simLog)) return false;
        return ser2net.start();
    }
    // tessadornctl on `port`; its exit status.
    int ctl(const std::string& port, const std::string& arguments) {
        const std::string command =
            "XDG_STATE_HOME=" + dir.file("state") + " " + TESSADORN_CTL_EXECUTABLE + " --port " +
            port + " --config-dir " + dir.file("cfg") + " " + arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    QJsonObject json() const { return QJsonDocument::fromJson(textOf(out).c_str()).object(); }

    test::TempDir dir;
    std::string link = dir.file("com1");
    std::string simLog = dir.file("sim.log");
    std::string out = dir.file("out");
    std::string err = dir.file("err");
    SimulatorProcess simulator;
    test::Ser2net ser2net{dir.path(), link};

  private:
    std::vector<std::string> m_SimArgs;
};

struct LinkRow {
    const char* name;
    int simBaud;       // the baud index the modem listens at
    int delayMs;       // each direction; -1: straight to ser2net, no forwarder
    int rate;          // what status reports
    const char* index; // what tessadorn.ports keeps
};

void PrintTo(const LinkRow& row, std::ostream* os) {
    *os << row.name;
}

const LinkRow kLinkRows[] = {
    {"Straight57600", 3, -1, 57600, "3"},
    {"Forwarded0ms", 1, 0, 19200, "1"},
    {"Forwarded150ms", 1, 150, 19200, "1"},
    {"Forwarded300ms", 1, 300, 19200, "1"},
};

class RemoteLink : public ::testing::TestWithParam<LinkRow> {};

// The search tries 38400 first, then 9600 and onwards, changing the rate in band on one
// connection; a slow link still finds the modem, and the rate is kept under the address.
TEST_P(RemoteLink, StatusFindsTheModemAndKeepsItsRateByAddress) {
    const LinkRow& row = GetParam();
    RemoteRig rig({"--baud", std::to_string(row.simBaud)});
    ASSERT_TRUE(rig.start()) << textOf(rig.dir.file("ser2net.log"));
    std::unique_ptr<test::DelayingForwarder> forwarder;
    std::string port = rig.ser2net.address();
    if (row.delayMs >= 0) {
        forwarder = std::make_unique<test::DelayingForwarder>(rig.ser2net.port(), row.delayMs);
        port = "rfc2217://127.0.0.1:" + std::to_string(forwarder->port());
    }
    ASSERT_EQ(rig.ctl(port, "--timeout 90 status --json"), 0) << textOf(rig.err);
    EXPECT_EQ(rig.json()["rate"].toInt(), row.rate) << textOf(rig.out);
    EXPECT_EQ(rig.json()["serial"].toString(), "TD0412087");
    EXPECT_NE(textOf(rig.dir.file("cfg/tessadorn.ports")).find(port + " " + row.index + "\n"),
              std::string::npos)
        << textOf(rig.dir.file("cfg/tessadorn.ports"));

    // The next command starts at the kept rate: the modem hears one DEVICE? more.
    const int identifiedBefore = countOf(textOf(rig.simLog), "<- DEVICE?");
    ASSERT_EQ(rig.ctl(port, "--timeout 60 status --json"), 0) << textOf(rig.err);
    EXPECT_EQ(countOf(textOf(rig.simLog), "<- DEVICE?"), identifiedBefore + 1);
}

INSTANTIATE_TEST_SUITE_P(Ser2net, RemoteLink, ::testing::ValuesIn(kLinkRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The receiver's make moves the link to 115200: the modem is told, ser2net follows in band,
// and the next command finds the modem at once at the new rate.
TEST(RemotePty, RateMoveFollowedInBand) {
    RemoteRig rig({"--baud", "2", "--gps", "UNKNOWN"});
    ASSERT_TRUE(rig.start());
    const std::string port = rig.ser2net.address();
    ASSERT_EQ(rig.ctl(port, "--timeout 60 gps receiver UNKNOWN --rate 115200"), 0)
        << textOf(rig.err);
    EXPECT_NE(textOf(rig.simLog).find("<- #COM 115200"), std::string::npos);
    const int identifiedBefore = countOf(textOf(rig.simLog), "<- DEVICE?");
    ASSERT_EQ(rig.ctl(port, "--timeout 60 status --json"), 0) << textOf(rig.err);
    EXPECT_EQ(rig.json()["rate"].toInt(), 115200);
    EXPECT_EQ(countOf(textOf(rig.simLog), "<- DEVICE?"), identifiedBefore + 1);
}

// 383 rows at 115200 bit/s arrive whole; the same table cut by ser2net's end half way ends the
// command at once with the port gone and no half list printed.
TEST(RemotePty, BigTableWholeAndCutMidway) {
    RemoteRig rig({"--baud", "4", "--default-table", TESSADORN_TEST_DATA "/igs-ip.txt"});
    ASSERT_TRUE(rig.start());
    const std::string port = rig.ser2net.address();
    ASSERT_EQ(rig.ctl(port, "caster add Igs igs-ip.example 2101"), 0) << textOf(rig.err);
    ASSERT_EQ(rig.ctl(port, "caster use Igs"), 0) << textOf(rig.err);
    ASSERT_EQ(rig.ctl(port, "--timeout 60 mountpoints --json"), 0) << textOf(rig.err);
    const QJsonDocument table = QJsonDocument::fromJson(textOf(rig.out).c_str());
    // Every row the program takes from the file over a local pseudo-terminal.
    EXPECT_EQ(table.array().size(), 383);

    std::thread cut([&] {
        std::this_thread::sleep_for(std::chrono::seconds(4));
        rig.ser2net.stop();
    });
    const auto t0 = Steady::now();
    const int status = rig.ctl(port, "--timeout 60 mountpoints --json");
    const double took = std::chrono::duration<double>(Steady::now() - t0).count();
    cut.join();
    EXPECT_EQ(status, 1) << textOf(rig.err);
    EXPECT_NE(textOf(rig.err).find("The port " + port + " is gone."), std::string::npos)
        << textOf(rig.err);
    // The error alone, no half list.
    EXPECT_EQ(rig.json()["error"].toString().toStdString(), "The port " + port + " is gone.");
    EXPECT_EQ(countOf(textOf(rig.out), "\n"), 1) << textOf(rig.out);
    EXPECT_LT(took, 20.0) << "the command ends with the connection, not at its time-out";
}

// The window through ser2net: it finds the modem, reaches its polls and draws the ready face;
// its log names the remote port.
TEST(RemotePty, WindowReachesItsPolls) {
    RemoteRig rig({"--baud", "3"});
    ASSERT_TRUE(rig.start());
    const std::string port = rig.ser2net.address();
    const std::string shot = rig.dir.file("shot.png");
    const std::string command =
        "QT_QPA_PLATFORM=offscreen XDG_STATE_HOME=" + rig.dir.file("state") + " " +
        TESSADORN_EXECUTABLE + " --port " + port + " --config-dir " + rig.dir.file("cfg") +
        " --screenshot " + shot + " --screenshot-wait 90 >" + rig.out + " 2>" + rig.err;
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0) << textOf(rig.err);
    const std::string heard = textOf(rig.simLog);
    EXPECT_NE(heard.find("<- #APN"), std::string::npos) << "the polls reached the modem";
    EXPECT_NE(textOf(rig.dir.file("state/tessadorn/tessadorn.log")).find("Port: " + port),
              std::string::npos);
    EXPECT_NE(textOf(rig.dir.file("state/tessadorn/tessadorn.log")).find("Modem answered at 57600"),
              std::string::npos);
    EXPECT_GT(textOf(shot).size(), 1000u);
}

// The fleet script takes a remote address as a port: the profile the modem was exported to
// matches it, and the line names the address.
TEST(RemotePty, FleetScriptReachesARemoteModem) {
    RemoteRig rig({"--baud", "2"});
    ASSERT_TRUE(rig.start());
    const std::string port = rig.ser2net.address();
    const std::string profile = rig.dir.file("profile.json");
    ASSERT_EQ(rig.ctl(port, "--timeout 60 profile export " + profile), 0) << textOf(rig.err);
    const std::string command = "TESSADORNCTL=" + std::string(TESSADORN_CTL_EXECUTABLE) +
                                " FLEET_STATE=" + rig.dir.file("fleet") +
                                " XDG_STATE_HOME=" + rig.dir.file("state") + " sh " +
                                TESSADORN_FLEET_SCRIPT + " " + profile + " " + port + " >" +
                                rig.out + " 2>" + rig.err;
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0) << textOf(rig.err) << textOf(rig.out);
    EXPECT_EQ(textOf(rig.out), port + "  unchanged\n");
}

struct RefusalRow {
    const char* name;
    std::string port;
    int status;
    std::string says;
};

void PrintTo(const RefusalRow& row, std::ostream* os) {
    *os << row.name;
}

class RemoteRefusal : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(RemoteRefusal, ClearMessageAndFailureStatus) {
    const RefusalRow& row = GetParam();
    test::TempDir dir;
    const std::string err = dir.file("err");
    const std::string command =
        "XDG_STATE_HOME=" + dir.file("state") + " " + TESSADORN_CTL_EXECUTABLE + " --port '" +
        row.port + "' --config-dir " + dir.file("cfg") + " --timeout 10 status >/dev/null 2>" + err;
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), row.status);
    EXPECT_NE(textOf(err).find(row.says), std::string::npos) << textOf(err);
}

const int kNobodyPort = test::freeLoopbackPort();

const RefusalRow kRefusalRows[] = {
    {"NobodyListens", "rfc2217://127.0.0.1:" + std::to_string(kNobodyPort), 1,
     "refused the connection (host 127.0.0.1, port " + std::to_string(kNobodyPort) + ")"},
    {"RawPortWithoutItsRate", "tcp://127.0.0.1:" + std::to_string(kNobodyPort), 1,
     "needs the rate its far end is fixed at"},
    {"BadPortNumber", "rfc2217://127.0.0.1:99999", 1, "has no port number from 1 to 65535"},
};

INSTANTIATE_TEST_SUITE_P(Ser2net, RemoteRefusal, ::testing::ValuesIn(kRefusalRows),
                         [](const auto& info) { return std::string(info.param.name); });

// watch through ser2net: a second program on the address is refused; ser2net stopped, the modem
// is lost ("the port is gone"); ser2net back on the
// same port, the modem is found again; the lines name the remote address.
TEST(RemotePty, WatchFollowsSer2netRestarted) {
    RemoteRig rig({"--baud", "2"});
    ASSERT_TRUE(rig.start());
    QProcess watch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", QString::fromStdString(rig.dir.file("state")));
    watch.setProcessEnvironment(env);
    const QString port = QString::fromStdString(rig.ser2net.address());
    watch.start(TESSADORN_CTL_EXECUTABLE,
                {"--port", port, "--config-dir", QString::fromStdString(rig.dir.file("cfg")),
                 "--json", "watch", "--interval", "1"});
    ASSERT_TRUE(watch.waitForStarted());
    QByteArray lines;
    const auto next = [&](const QString& kind, int seconds) {
        const auto deadline = Steady::now() + std::chrono::seconds(seconds);
        while (Steady::now() < deadline) {
            watch.waitForReadyRead(100);
            lines += watch.readAllStandardOutput();
            for (int end; (end = lines.indexOf('\n')) >= 0;) {
                const QJsonObject e = QJsonDocument::fromJson(lines.left(end)).object();
                lines.remove(0, end + 1);
                if (e["class"].toString() == kind) return e;
            }
        }
        return QJsonObject();
    };
    const QJsonObject found = next("found", 30);
    ASSERT_FALSE(found.isEmpty()) << watch.readAllStandardError().toStdString();
    EXPECT_EQ(found["port"].toString(), port);
    EXPECT_EQ(found["rate"].toInt(), 38400);

    // The address is held here: a second program is refused, the watch keeps its connection.
    EXPECT_EQ(rig.ctl(port.toStdString(), "--timeout 10 status"), 1);
    EXPECT_NE(textOf(rig.err).find("The port " + port.toStdString() +
                                   " is in use by tessadornctl (process "),
              std::string::npos)
        << textOf(rig.err);
    EXPECT_FALSE(next("status", 5).isEmpty()) << "the watch still polls";

    rig.ser2net.stop();
    const auto stopped = Steady::now();
    const QJsonObject lost = next("lost", 10);
    ASSERT_FALSE(lost.isEmpty());
    EXPECT_EQ(lost["reason"].toString(), "the port is gone");
    EXPECT_LT(std::chrono::duration<double>(Steady::now() - stopped).count(), 5.0);

    ASSERT_TRUE(rig.ser2net.start());
    EXPECT_FALSE(next("found", 20).isEmpty()) << "found again once ser2net answers";
    watch.terminate();
    ASSERT_TRUE(watch.waitForFinished(10000));
    EXPECT_EQ(watch.exitCode(), 0);
}

} // namespace
} // namespace tessadorn
