// Profiles against tessadorn-sim: exported from a configured base, applied to a rover.
#include "TempDir.h"
#include "app/SimulatorProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessadorn {
namespace {

// The commands that only read the modem; every other one changes it.
const std::set<std::string> kReads = {"DEVICE?",    "#GETCFG?",    "#GETGGA?", "#AUTO?",
                                      "#STCONNECT", "ADDRSERVER?", "#GETBRD?", "IP?"};

// What the simulator heard, one command per log line, without the line end.
std::vector<std::string> heard(const std::string& log) {
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (const auto at = line.find("] <- "); at != std::string::npos) {
            std::string command = line.substr(at + 5);
            command.resize(std::min(command.size(), command.find("\\r\\n")));
            lines.push_back(command);
        }
    return lines;
}

std::vector<std::string> settingCommands(const std::vector<std::string>& commands) {
    std::vector<std::string> out;
    for (const auto& c : commands)
        if (!kReads.count(c)) out.push_back(c);
    return out;
}

const std::vector<std::string> kBase = {"--role",       "base", "--apn",       "internet.example",
                                        "--apn-user",   "u",    "--gps",       "TRIMBLE",
                                        "--gps-port",   "COM2", "--broadcast", "1",
                                        "--restart-ms", "0",    "--serial",    "TD0000001"};

struct Case {
    const char* name;
    std::vector<std::string> rover;         // the rover's settings
    std::function<void(QJsonObject&)> edit; // the exported profile, changed
    std::string options;                    // of profile apply
    int status;
    std::vector<std::string> sent; // setting commands, by their start
    bool nothingHeard = false;     // refused before the port is opened
    std::string outputHas;
    bool readsBackAsTheBase = true; // once something was sent
    unsigned mode = 0644;           // of the profile's file
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

void dropDevice(QJsonObject& p) {
    p.remove("device");
}

void withApnPassword(QJsonObject& p) {
    dropDevice(p);
    QJsonObject apn = p["apn"].toObject();
    apn["password"] = "secret";
    p["apn"] = apn;
}

const Case kCases[] = {
    {"FreshRoverTakesWhatDiffers",
     {"--restart-ms", "0"},
     dropDevice,
     "--json",
     0,
     {"MODE=BASE", "APN internet.example", "USER u", "PASSWORD", "SAVE", "RESET",
      "#SETGGA,AUTO,TRIMBLE,COM2", "#SETBRD"},
     false,
     "\"changed\":true"},
    // The port the modem reports stays when the profile names none.
    {"TrimbleWithoutAPortKeepsTheModemsPort",
     {"--gps", "TRIMBLE", "--gps-port", "COM2"},
     [](QJsonObject& p) {
         p = QJsonObject{{"tessadorn_profile", 1}, {"gps", QJsonObject{{"receiver", "TRIMBLE"}}}};
     },
     "",
     0,
     {},
     false,
     "unchanged"},
    // Once the modem stayed a rover, the base's settings are not sent to it.
    {"RefusedRoleSendsNoBaseSetting",
     {"--refuse", "MODE=BASE", "--restart-ms", "0"},
     dropDevice,
     "--timeout 40",
     3,
     {"MODE=BASE", "MODE=BASE", "MODE=BASE", "MODE=BASE", "MODE=BASE", "MODE=BASE",
      "APN internet.example", "USER u", "PASSWORD", "SAVE", "RESET", "#SETGGA,AUTO,TRIMBLE,COM2"},
     false,
     "The profile's \"relay\" needs a base.",
     false},
    // A modem pulled after the APN's restart ends the run at once; what it took is said.
    {"PulledModemSaysWhatWasApplied",
     {"--restart-ms", "0", "--drop-after-commands", "18"},
     dropDevice,
     "--json",
     1,
     {"MODE=BASE", "APN internet.example", "USER u", "PASSWORD", "SAVE", "RESET"},
     false,
     "\"applied\":[\"role\",\"apn\"]",
     false},
    // A --timeout given bounds the whole run, restarts and all; what was taken is said.
    {"TimeoutSaysWhatWasApplied",
     {"--restart-ms", "60000"},
     dropDevice,
     "--json --timeout 6",
     4,
     {"MODE=BASE"},
     false,
     "\"applied\":[\"role\"]",
     false},
    {"SecondApplySendsNothing", kBase, dropDevice, "--json", 0, {}, false, "\"changed\":false"},
    // A check that finds the modem different ends with its own status; a matching one with 0.
    {"CheckSendsNothing", {}, dropDevice, "--check --json", 5, {}, false, "\"state\":\"differs\""},
    {"CheckOfAMatchingModem",
     kBase,
     dropDevice,
     "--check --json",
     0,
     {},
     false,
     "\"changed\":false"},
    {"AnotherModemIsRefused",
     {},
     {},
     "--json",
     2,
     {},
     false,
     "\"changed\":false,\"status\":2,\"error\""},
    {"ReadableFileWithAPasswordIsRefused",
     {},
     [](QJsonObject& p) {
         dropDevice(p);
         QJsonObject apn = p["apn"].toObject();
         apn["password"] = "secret";
         p["apn"] = apn;
     },
     "",
     2,
     {},
     true,
     ""},
    {"WritableFileWithAPasswordIsRefused", {}, withApnPassword, "", 2, {}, true, "", true, 0622},
    {"OwnersFileWithAPasswordIsApplied",
     {"--restart-ms", "0"},
     withApnPassword,
     "",
     0,
     {"MODE=BASE", "APN internet.example", "USER u", "PASSWORD secret", "SAVE", "RESET",
      "#SETGGA,AUTO,TRIMBLE,COM2", "#SETBRD"},
     false,
     "changed",
     true,
     0600},
    {"UnknownKeyIsRefused",
     {},
     [](QJsonObject& p) {
         p["apn"] = QJsonObject{{"name", "x"}, {"colour", "red"}};
     },
     "",
     2,
     {},
     true,
     ""},
};

class ProfilePtyTest : public ::testing::TestWithParam<Case> {
  protected:
    void TearDown() override {
        base.stop();
        rover.stop();
    }
    int ctl(const std::string& link, const std::string& arguments) {
        const std::string command =
            "XDG_STATE_HOME=" + dir.file("state") + " " + TESSADORN_CTL_EXECUTABLE + " --port " +
            link + " --config-dir " + dir.file("cfg") +
            (arguments.find("--timeout") == std::string::npos ? " --timeout 10 " : " ") +
            arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bool start(SimulatorProcess& sim, std::vector<std::string> args, const std::string& link,
               const std::string& log) {
        args.insert(args.end(), {"--baud", "2", "--link", link});
        if (sim.start(TESSADORN_SIM_EXECUTABLE, args, 5000, log)) return true;
        ADD_FAILURE() << sim.error();
        return false;
    }
    // The profile as export writes it, without the device facts.
    QJsonObject exported(const std::string& link) {
        const std::string file = dir.file("exported.json");
        EXPECT_EQ(ctl(link, "profile export " + file), 0) << test::readBytes(err);
        QJsonObject p =
            QJsonDocument::fromJson(QByteArray::fromStdString(test::readBytes(file))).object();
        p.remove("device");
        return p;
    }

    test::TempDir dir;
    std::string out = dir.file("out"), err = dir.file("err");
    SimulatorProcess base, rover;
};

TEST_P(ProfilePtyTest, AppliesWhatDiffersAndReportsIt) {
    const Case& c = GetParam();
    const std::string baseLink = dir.file("base"), roverLink = dir.file("rover");
    const std::string roverLog = dir.file("rover.log");
    ASSERT_TRUE(start(base, kBase, baseLink, "/dev/null"));
    ASSERT_TRUE(start(rover, c.rover, roverLink, roverLog));
    const std::string file = dir.file("profile.json");
    ASSERT_EQ(ctl(baseLink, "profile export " + file), 0) << test::readBytes(err);
    QJsonObject profile =
        QJsonDocument::fromJson(QByteArray::fromStdString(test::readBytes(file))).object();
    ASSERT_TRUE(profile.contains("device"));
    EXPECT_FALSE(profile["apn"].toObject().contains("password")) << "no password without --secrets";
    if (c.edit) c.edit(profile);
    test::writeBytes(file, QJsonDocument(profile).toJson().toStdString());
    chmod(file.c_str(), c.mode);

    EXPECT_EQ(ctl(roverLink, "profile apply " + file + " " + c.options), c.status)
        << test::readBytes(err);
    const auto commands = heard(roverLog);
    if (c.nothingHeard) {
        EXPECT_TRUE(commands.empty());
    }
    const auto sent = settingCommands(commands);
    ASSERT_EQ(sent.size(), c.sent.size()) << ::testing::PrintToString(sent);
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(sent[i].rfind(c.sent[i], 0), 0u) << sent[i];
    EXPECT_NE(test::readBytes(out).find(c.outputHas), std::string::npos) << test::readBytes(out);
    if (c.status == 2) {
        EXPECT_NE(test::readBytes(err).find("profile"), std::string::npos);
    }
    // The rover now reads back as the base did.
    if (!c.sent.empty() && c.readsBackAsTheBase) {
        EXPECT_EQ(exported(roverLink), exported(baseLink));
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, ProfilePtyTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// One modem and its caster list, for profiles applied to the modem they describe.
class OneModemProfileTest : public ::testing::Test {
  protected:
    void TearDown() override { sim.stop(); }
    bool start(std::vector<std::string> args) {
        args.insert(args.end(), {"--baud", "2", "--link", link});
        if (sim.start(TESSADORN_SIM_EXECUTABLE, args, 5000, log)) return true;
        ADD_FAILURE() << sim.error();
        return false;
    }
    int ctl(const std::string& arguments) {
        const std::string command = "XDG_STATE_HOME=" + dir.file("state") + " " +
                                    TESSADORN_CTL_EXECUTABLE + " --port " + link +
                                    " --config-dir " + dir.file("cfg") + " --timeout 20 " +
                                    arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The setting commands the modem heard since `from` commands.
    std::vector<std::string> sentSince(std::size_t from) {
        auto all = heard(log);
        all.erase(all.begin(), all.begin() + static_cast<long>(std::min(from, all.size())));
        return settingCommands(all);
    }

    test::TempDir dir;
    std::string link = dir.file("com1"), log = dir.file("sim.log");
    std::string out = dir.file("out"), err = dir.file("err"), file = dir.file("p.json");
    SimulatorProcess sim;
};

struct OwnCase {
    const char* name;
    std::vector<std::string> modem;
};
void PrintTo(const OwnCase& c, std::ostream* os) {
    *os << c.name;
}

const OwnCase kOwnCases[] = {
    {"RoverTrimbleOnCom2", {"--gps", "TRIMBLE", "--gps-port", "COM2"}},
    {"RoverKv318", {"--gps", "KV-318"}},
    {"RoverWavecom", {"--gps", "WAVECOM"}},
    {"RoverUnknown", {"--gps", "UNKNOWN", "--auto", "1"}},
    {"RoverTopcon", {"--gps", "TOPCON"}},
    {"RoverManualPosition",
     {"--gps", "UNKNOWN", "--gga-mode", "MANUAL", "--latitude", "41.71", "--longitude", "1.84"}},
    {"RoverConnected", {"--scenario", "connected"}},
    {"BaseRelayOn", {"--scenario", "base"}},
    {"BaseRelayOff", {"--role", "base", "--broadcast", "0"}},
    {"BaseManualPosition",
     {"--role", "base", "--gps", "UNKNOWN", "--gga-mode", "MANUAL", "--latitude", "41.71",
      "--longitude", "1.84"}},
    {"BaseFirmware2", {"--role", "base", "--firmware", "2.1.0"}},
};

class OwnProfileTest : public OneModemProfileTest, public ::testing::WithParamInterface<OwnCase> {};

// Every modem's own profile applies back to it with nothing sent.
TEST_P(OwnProfileTest, AppliesBackUnchanged) {
    ASSERT_TRUE(start(GetParam().modem));
    ASSERT_EQ(ctl("profile export " + file), 0) << test::readBytes(err);
    const std::size_t before = heard(log).size();
    EXPECT_EQ(ctl("--json profile apply " + file), 0) << test::readBytes(err);
    EXPECT_EQ(sentSince(before), std::vector<std::string>{});
    const std::string report = test::readBytes(out);
    EXPECT_NE(report.find("\"changed\":false"), std::string::npos) << report;
    EXPECT_EQ(report.find("\"state\":\"failed\""), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(Profiles, OwnProfileTest, ::testing::ValuesIn(kOwnCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct CasterStepCase {
    const char* name;
    std::vector<std::string> modem;
    std::string mountpoint;
    std::string options;
    int status;
    std::vector<std::string> sent;
    std::string said; // on stdout or stderr
};
void PrintTo(const CasterStepCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<std::string> kTable = {"#SIGNAL OFF", "#LIST 2,caster.example.com:2101"};
std::vector<std::string> tableThen(const std::string& command) {
    auto all = kTable;
    all.push_back(command);
    return all;
}

// The caster of a profile is connected to as the Connect control connects: the source table
// at the version the caster list holds, the mountpoint checked in it, the position question.
const CasterStepCase kCasterSteps[] = {
    {"VersionFromTheList",
     {},
     "DEMO01",
     "",
     0,
     tableThen("#CONNECT 2,caster.example.com:2101/DEMO01"),
     "changed"},
    {"MountpointNotInTheTable", {}, "DEMO0", "", 2, kTable, "No mountpoint DEMO0"},
    {"PositionNeededWithoutYes",
     {"--gps", "UNKNOWN"},
     "DEMOVRS",
     "",
     2,
     kTable,
     "--yes connects all the same"},
    // Past the question the caster decides (this one wants a user).
    {"PositionNeededWithYes",
     {"--gps", "UNKNOWN"},
     "DEMOVRS",
     "--yes",
     3,
     tableThen("#CONNECT 2,caster.example.com:2101/DEMOVRS"),
     "Connection not authorized."},
};

class CasterStepTest : public OneModemProfileTest,
                       public ::testing::WithParamInterface<CasterStepCase> {};

TEST_P(CasterStepTest, ConnectsAsTheConnectControl) {
    const CasterStepCase& c = GetParam();
    ASSERT_TRUE(start(c.modem));
    ASSERT_EQ(ctl("caster add Home caster.example.com 2101 --ntrip 2"), 0) << test::readBytes(err);
    test::writeBytes(file, "{\"tessadorn_profile\": 1, \"caster\": {\"host\": "
                           "\"caster.example.com\", \"port\": \"2101\", \"mountpoint\": \"" +
                               c.mountpoint + "\"}}");
    const std::size_t before = heard(log).size();
    EXPECT_EQ(ctl("profile apply " + file + " " + c.options), c.status) << test::readBytes(err);
    EXPECT_EQ(sentSince(before), c.sent) << test::readBytes(out) << test::readBytes(err);
    EXPECT_NE((test::readBytes(out) + test::readBytes(err)).find(c.said), std::string::npos)
        << test::readBytes(out) << test::readBytes(err);
}

INSTANTIATE_TEST_SUITE_P(Profiles, CasterStepTest, ::testing::ValuesIn(kCasterSteps),
                         [](const auto& info) { return std::string(info.param.name); });

// A profile with passwords is written for its owner only.
TEST(ProfileExport, WithSecretsTheFileIsTheOwnersOnly) {
    test::TempDir dir;
    SimulatorProcess sim;
    const std::string link = dir.file("com1"), file = dir.file("p.json");
    ASSERT_TRUE(sim.start(TESSADORN_SIM_EXECUTABLE,
                          {"--apn-password", "pw", "--baud", "2", "--link", link}, 5000,
                          "/dev/null"));
    const std::string command =
        "XDG_STATE_HOME=" + dir.file("state") + " " + TESSADORN_CTL_EXECUTABLE + " --port " + link +
        " --config-dir " + dir.file("cfg") + " profile export --secrets " + file + " >/dev/null";
    ASSERT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
    EXPECT_EQ(test::fileMode(file), 0600);
    EXPECT_NE(test::readBytes(file).find("\"password\": \"pw\""), std::string::npos);
    sim.stop();
}

// profile export writes through a FIFO, a device or "-" (standard output) and leaves them what
// they are; only a regular file (or a new name) is replaced.
TEST(ProfileExport, WritesThroughWhatTheNameIs) {
    test::TempDir dir;
    SimulatorProcess sim;
    const std::string link = dir.file("com1");
    ASSERT_TRUE(
        sim.start(TESSADORN_SIM_EXECUTABLE, {"--baud", "2", "--link", link}, 5000, "/dev/null"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.file("fifo"), dir.file("to-fifo"));
    test::writeBytes(dir.file("old.json"), "old");
    // A device of the test's own (a pseudo-terminal), never one the machine needs.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    const struct {
        const char* name;
        std::string target;
        int status;
        std::filesystem::file_type type; // of the target afterwards (links followed)
        bool fromFifo;                   // the profile is read from the FIFO
        bool onStdout;
        std::string stderrHas;
    } cases[] = {
        {"Fifo", dir.file("fifo"), 0, std::filesystem::file_type::fifo, true, false, ""},
        {"LinkToAFifo", dir.file("to-fifo"), 0, std::filesystem::file_type::fifo, true, false, ""},
        {"Device", terminal, 0, std::filesystem::file_type::character, false, false, ""},
        {"Stdout", "-", 0, std::filesystem::file_type::not_found, false, true, ""},
        {"RegularFile", dir.file("old.json"), 0, std::filesystem::file_type::regular, false, false,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Both ends of the FIFO held open here: the profile waits in it until read below.
        const int fifoIn =
            c.fromFifo ? ::open(dir.file("fifo").c_str(), O_RDONLY | O_NONBLOCK) : -1;
        const int fifoOut = c.fromFifo ? ::open(dir.file("fifo").c_str(), O_WRONLY) : -1;
        const std::string command = "cd " + dir.path() + " && XDG_STATE_HOME=" + dir.file("state") +
                                    " " + TESSADORN_CTL_EXECUTABLE + " --port " + link +
                                    " --config-dir " + dir.file("cfg") +
                                    " --timeout 10 profile export " + c.target + " >" +
                                    dir.file("out") + " 2>" + dir.file("err");
        const int status = std::system(command.c_str());
        std::string fromFifo;
        if (c.fromFifo) {
            ::close(fifoOut);
            char buffer[4096];
            for (ssize_t n; (n = ::read(fifoIn, buffer, sizeof buffer)) > 0;)
                fromFifo.append(buffer, static_cast<std::size_t>(n));
            ::close(fifoIn);
        }
        EXPECT_EQ(WEXITSTATUS(status), c.status) << test::readBytes(dir.file("err"));
        EXPECT_EQ(std::filesystem::status(c.target).type(), c.type);
        const std::string out = test::readBytes(dir.file("out"));
        EXPECT_EQ(out.find("\"tessadorn_profile\": 1") != std::string::npos, c.onStdout) << out;
        if (c.fromFifo) {
            EXPECT_NE(fromFifo.find("\"tessadorn_profile\": 1"), std::string::npos) << fromFifo;
        }
        if (c.type == std::filesystem::file_type::regular) {
            EXPECT_NE(test::readBytes(c.target).find("\"tessadorn_profile\": 1"),
                      std::string::npos);
        }
        EXPECT_NE(test::readBytes(dir.file("err")).find(c.stderrHas), std::string::npos)
            << test::readBytes(dir.file("err"));
    }
    char echoed[64] = {};
    EXPECT_GT(::read(master, echoed, sizeof echoed - 1), 0) << "the terminal got the profile";
    ::close(master);
    EXPECT_EQ(std::filesystem::symlink_status(dir.file("to-fifo")).type(),
              std::filesystem::file_type::symlink);
    sim.stop();
}

} // namespace
} // namespace tessadorn
