#include "ProgramTemplates.h"
#include "ScriptedHost.h"
#include "SimulatorStart.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "app/SimulatorProcess.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "modem/Protocol.h"
#include "platform/DebugOutput.h"
#include "platform/TermiosSerialPort.h"
#include "settings/ApnDialog.h"
#include "settings/GpsSourceDialog.h"
#include "settings/RelayServiceDialog.h"
#include "ui/TemplateSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tessadorn {
namespace {

using G = GpsSourceDialog;

using test::programTemplates;

// The commands the simulator heard (at the rate it listened at), one per line of its log.
std::vector<std::string> heard(const std::string& log) {
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find("] <- ");
        if (at != std::string::npos) lines.push_back(line.substr(at + 5));
    }
    return lines;
}

// Where `line` first comes at or after `from`; lines.size() when it does not.
std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line,
                    std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i] == line) return i;
    return lines.size();
}

// The program and the simulated modem on a pseudo-terminal, in real time.
class SettingsPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        files.casterList = dir.file("ntripcfg.txt");
        files.profile = dir.file("tessadorn.cfg");
        host.setScreenSize(240, 320);
    }
    // The simulator at 38400 bit/s with these settings besides, logging what it hears.
    bool startSimulator(std::vector<std::string> args) {
        args.insert(args.end(), {"--baud", "2"});
        return test::startSimulator(simulator, link, std::move(args), log);
    }
    void TearDown() override { simulator.stop(); }

    // Waits on the dialog thread until the modem is ready and `button` shows.
    void waitUntilReady(MainDialog& dialog, int button = ids::Gps) {
        host.call([&dialog, button](Dialog&) {
            ASSERT_GE(test::waitUntil(
                          [&] {
                              return dialog.session().deviceReady() &&
                                     dialog.controls().visible(button);
                          },
                          30),
                      0);
        });
    }

    test::TempDir dir;
    std::string link = dir.file("com1");
    std::string log = dir.file("sim.log");
    MainDialog::Files files;
    TemplateSet templates = programTemplates();
    test::ScriptedHost host{templates};
    SimulatorProcess simulator;
    DebugCapture debug;
};

TEST_F(SettingsPtyTest, WavecomAt115200MovesModemAndProgramToTheNewRate) {
    ASSERT_TRUE(startSimulator({"--role", "rover", "--gps", "TRIMBLE"}));
    {
        TermiosSerialPort port(link);
        MainDialog dialog(host, port, RealClock::instance(), files);
        waitUntilReady(dialog);
        host.click(ids::Gps);
        host.select(G::kGpsList, G::Wavecom);
        host.select(G::kSecondList, 4);
        host.ok();
        host.call([&](Dialog&) {
            EXPECT_EQ(dialog.session().baudIndex(), 4);
            EXPECT_EQ(dialog.session().serial().OpenIndex(), 4);
            EXPECT_EQ(test::readBytes(files.profile), "4");
            // The monitor goes on polling the modem at the new rate, without a search.
            const auto polledAfterChange = [&] {
                const auto lines = heard(log);
                const auto change = indexOf(lines, "#COM 115200\\r\\n");
                for (auto i = change; i < lines.size(); ++i)
                    if (lines[i] == "#APN\\r\\n" || lines[i] == "#SIGNALONCE\\r\\n") return true;
                return false;
            };
            EXPECT_GE(test::waitUntil(polledAfterChange, 20), 0);
            EXPECT_TRUE(dialog.session().deviceReady());
            EXPECT_EQ(dialog.controls().text(ids::Status).rfind("Connecting at", 0),
                      std::string::npos)
                << dialog.controls().text(ids::Status);
        });
        host.ok();
        EXPECT_EQ(dialog.doModal(), kIdOk);
        EXPECT_EQ(host.shownTexts(),
                  std::vector<std::string>{"Tessadorn configured successfully!"});
        const auto lines = heard(log);
        EXPECT_LT(indexOf(lines, "#SETGGA,AUTO,WAVECOM,COM0\\r\\n"),
                  indexOf(lines, "#COM 115200\\r\\n"));
        EXPECT_EQ(debug.count("Opening COM...\r\n"), 1);
    }

    // The next start tries the remembered rate first and finds the modem there at once.
    const std::size_t before = heard(log).size();
    {
        TermiosSerialPort port(link);
        MainDialog dialog(host, port, RealClock::instance(), files);
        waitUntilReady(dialog);
        host.ok();
        EXPECT_EQ(dialog.doModal(), kIdOk);
        EXPECT_EQ(dialog.session().baudIndex(), 4);
    }
    const auto lines = heard(log);
    const std::vector<std::string> restart(lines.begin() + static_cast<long>(before), lines.end());
    ASSERT_FALSE(restart.empty());
    EXPECT_EQ(restart.front(), "DEVICE?\\r\\n") << "the first try is heard";
    EXPECT_EQ(std::count(restart.begin(), restart.end(), "DEVICE?\\r\\n"), 1);
}

// A process that runs under a German locale, as the Qt front end sets the locale from the
// environment, still sends the manual position with decimal points. The session runs in a child
// process of its own, so that the locale (and what the C library keeps of it) ends with it.
TEST_F(SettingsPtyTest, ManualPositionUnderAGermanLocaleKeepsItsDecimalPoints) {
    ASSERT_TRUE(startSimulator({"--role", "rover", "--gps", "UNKNOWN"}));
    // Built into a folder of the test's own when the system has not generated it.
    const std::string command =
        "localedef -i de_DE -f UTF-8 " + dir.path() + "/de_DE.UTF-8 >/dev/null 2>&1";
    const bool built = std::system(command.c_str()) == 0;
    constexpr int kNoLocale = 77, kNoCommas = 78, kNotRecorded = 79;

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (built) setenv("LOCPATH", dir.path().c_str(), 1);
        setenv("LC_ALL", "de_DE.UTF-8", 1);
        if (!std::setlocale(LC_ALL, "")) std::_Exit(kNoLocale);
        std::locale::global(std::locale(""));
        char formatted[32];
        std::snprintf(formatted, sizeof formatted, "%.6f", 41.5);
        if (std::string(formatted) != "41,500000") std::_Exit(kNoCommas);

        TermiosSerialPort port(link);
        MainDialog dialog(host, port, RealClock::instance(), files);
        waitUntilReady(dialog);
        host.click(ids::Gps);
        host.select(G::kGpsList, G::Unknown);
        host.click(G::kManual);
        host.type(G::kLatitude, "41.5");
        host.type(G::kLongitude, "2.25");
        host.ok();
        host.ok();
        dialog.doModal();
        const auto device = dialog.session().device().read();
        std::_Exit(device.GgaLatitude == "41.500000" && device.GgaLongitude == "2.250000"
                       ? 0
                       : kNotRecorded);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kNoLocale)
        GTEST_SKIP() << "no de_DE.UTF-8 locale (Debian package locales)";
    ASSERT_NE(WEXITSTATUS(status), kNoCommas) << "the locale writes decimal commas";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the position is recorded as the modem has it";
    const auto lines = heard(log);
    EXPECT_LT(indexOf(lines, "#SETGGA,MANUAL,41.500000,2.250000\\r\\n"), lines.size());
}

// A new APN restarts the modem; the program loses it for the restart and finds it again.
TEST_F(SettingsPtyTest, ApnChangeRestartsTheModemWhichIsFoundAgain) {
    // Long enough for three polls in a row to go unanswered.
    ASSERT_TRUE(startSimulator({"--role", "rover", "--restart-ms", "8000"}));
    TermiosSerialPort port(link);
    MainDialog dialog(host, port, RealClock::instance(), files);
    waitUntilReady(dialog, ids::Apn);
    host.answer(kIdYes);
    host.click(ids::Apn);
    host.type(ApnDialog::kApn, "new.apn.example");
    host.type(ApnDialog::kUser, "me");
    host.type(ApnDialog::kPassword, "pw");
    host.ok();
    host.call([&](Dialog&) {
        EXPECT_GE(test::waitUntil([&] { return !dialog.session().deviceReady(); }, 30), 0)
            << "lost while it restarts";
        EXPECT_GE(test::waitUntil([&] { return dialog.session().deviceReady(); }, 40), 0)
            << "found again";
        EXPECT_EQ(dialog.session().device().read().ApnName, "new.apn.example");
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
    EXPECT_EQ(host.shownTexts(),
              (std::vector<std::string>{"Do you want to update the APN configuration?",
                                        "APN configured. Tessadorn is rebooting..."}));
    const auto lines = heard(log);
    const auto reset = indexOf(lines, "RESET\\r\\n");
    ASSERT_LT(reset, lines.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(reset) - 4,
                                       lines.begin() + static_cast<long>(reset)),
              (std::vector<std::string>{"APN new.apn.example\\r\\n", "USER me\\r\\n",
                                        "PASSWORD pw\\r\\n", "SAVE\\r\\n"}));
    EXPECT_LT(indexOf(lines, "#GETCFG?\\r\\n", reset), lines.size())
        << "identified again after the restart";
}

// A base switches its upload to the relay caster on.
TEST_F(SettingsPtyTest, RelayBroadcastSwitchedOnInBaseRole) {
    ASSERT_TRUE(startSimulator({"--role", "base", "--broadcast", "0"}));
    TermiosSerialPort port(link);
    MainDialog dialog(host, port, RealClock::instance(), files);
    waitUntilReady(dialog, ids::Relay);
    host.click(ids::Relay);
    host.click(RelayServiceDialog::kEnable);
    host.ok();
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
    EXPECT_EQ(host.shownTexts(), std::vector<std::string>{"Tessadorn configured successfully!"});
    EXPECT_EQ(dialog.session().device().read().BroadcastOn, "1");
    const auto lines = heard(log);
    EXPECT_LT(indexOf(lines, "#SETBRD,1," + std::string(protocol::relayHost()) + ",2102," +
                                 std::string(protocol::broadcastTag()) + "\\r\\n"),
              lines.size());
}

} // namespace
} // namespace tessadorn
