#include "ScriptedHost.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "app/SimulatorProcess.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/DebugOutput.h"
#include "platform/TermiosSerialPort.h"
#include "settings/GpsSourceDialog.h"
#include "ui/TemplateSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <sstream>

namespace tessadorn {
namespace {

using G = GpsSourceDialog;

TemplateSet programTemplates() {
    TemplateSet set;
    for (const auto& t : TemplateLibrary::program().templates())
        set.add(t);
    return set;
}

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

std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line) return i;
    return lines.size();
}

// The program and the simulated modem on a pseudo-terminal, in real time: the GPS dialog moves
// the modem to 115200 bit/s and the program follows it there.
class GpsRatePtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        files.casterList = dir.file("ntripcfg.txt");
        files.profile = dir.file("tessadorn.cfg");
        host.setScreenSize(240, 320);
        const std::vector<std::string> args = {"--role", "rover",   "--baud", "2",
                                               "--gps",  "TRIMBLE", "--link", link};
        ASSERT_TRUE(simulator.start(TESSADORN_SIM_EXECUTABLE, args, 5000, log))
            << simulator.error();
    }
    void TearDown() override { simulator.stop(); }

    // Waits on the dialog thread until the modem is ready and the GPS picture shows.
    void waitUntilReady(MainDialog& dialog) {
        host.call([&dialog](Dialog&) {
            ASSERT_GE(test::waitUntil(
                          [&] {
                              return dialog.m_DeviceReady.load() == 1 &&
                                     dialog.controls().visible(ids::Gps);
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

TEST_F(GpsRatePtyTest, WavecomAt115200MovesModemAndProgramToTheNewRate) {
    {
        TermiosSerialPort port(link);
        MainDialog dialog(host, port, RealClock::instance(), files);
        waitUntilReady(dialog);
        host.click(ids::Gps);
        host.select(G::kGpsList, G::Wavecom);
        host.select(G::kSecondList, 4);
        host.ok();
        host.call([&](Dialog&) {
            EXPECT_EQ(dialog.m_BaudIndex.load(), 4);
            EXPECT_EQ(dialog.m_Serial.OpenIndex(), 4);
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
            EXPECT_EQ(dialog.m_DeviceReady.load(), 1);
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
        EXPECT_EQ(dialog.m_BaudIndex.load(), 4);
    }
    const auto lines = heard(log);
    const std::vector<std::string> restart(lines.begin() + static_cast<long>(before), lines.end());
    ASSERT_FALSE(restart.empty());
    EXPECT_EQ(restart.front(), "DEVICE?\\r\\n") << "the first try is heard";
    EXPECT_EQ(std::count(restart.begin(), restart.end(), "DEVICE?\\r\\n"), 1);
}

// The process runs under a German locale, as the Qt front end sets it from the environment: the
// manual position still goes out with decimal points.
class GermanLocale {
  public:
    explicit GermanLocale(const std::string& folder) {
        // Built into a folder of the test's own when the system has not generated it.
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 && !std::setlocale(LC_ALL, "de_DE.UTF-8")) return;
        setenv("LOCPATH", folder.c_str(), 1);
        setenv("LC_ALL", "de_DE.UTF-8", 1);
        m_Active = std::setlocale(LC_ALL, "") != nullptr;
        if (m_Active) std::locale::global(std::locale(""));
    }
    ~GermanLocale() {
        std::setlocale(LC_ALL, "C");
        std::locale::global(std::locale::classic());
        unsetenv("LC_ALL");
        unsetenv("LOCPATH");
    }
    bool active() const { return m_Active; }

  private:
    bool m_Active = false;
};

TEST_F(GpsRatePtyTest, ManualPositionUnderAGermanLocaleKeepsItsDecimalPoints) {
    GermanLocale german(dir.path());
    if (!german.active()) GTEST_SKIP() << "no de_DE.UTF-8 locale (Debian package locales)";
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%.6f", 41.5);
    ASSERT_STREQ(formatted, "41,500000") << "the locale writes decimal commas";

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
    EXPECT_EQ(dialog.doModal(), kIdOk);
    EXPECT_EQ(host.shownTexts(), std::vector<std::string>{"Tessadorn configured successfully!"});
    const auto lines = heard(log);
    EXPECT_LT(indexOf(lines, "#SETGGA,MANUAL,41.500000,2.250000\\r\\n"), lines.size());
    EXPECT_EQ(dialog.m_Device.read().GgaLatitude, "41.500000");
    EXPECT_EQ(dialog.m_Device.read().GgaLongitude, "2.250000");
}

} // namespace
} // namespace tessadorn
