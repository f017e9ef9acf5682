// End to end: the main dialog on the simulated modem's pseudo-terminal, the simulator a real
// NTRIP client (--network) of rtklib's str2str on loopback. Connect reads the caster's table,
// a mountpoint is chosen, and the modem's answer ends the program or shows the caster's refusal.
#include "ProgramTemplates.h"
#include "ScriptedHost.h"
#include "Str2StrCaster.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "app/SimulatorProcess.h"
#include "caster/SourceTableDialog.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/DebugOutput.h"
#include "platform/TermiosSerialPort.h"
#include "ui/TemplateSource.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessadorn {
namespace {

using test::Str2StrCaster;
using D = SourceTableDialog;

const char* kStrFields =
    "MOUNT;Loopback;RTCM 3.2;1004(1);2;GPS;NET;DEU;50.0;8.0;0;0;gen;none;B;N;9600;";

using test::programTemplates;

std::string casterList(const std::string& port, const std::string& password) {
    return "<config>\r\n<current>\r\n<server>0</server>\r\n<auth value=\"yes\">\r\n"
           "<user>user</user>\r\n<password>" +
           password +
           "</password>\r\n</auth>\r\n<carrier value=\"no\"></carrier>\r\n"
           "<AutoConnection>0</AutoConnection>\r\n</current>\r\n<servers>\r\n"
           "<sv num=0>\r\n<name>Loopback</name>\r\n<ip>127.0.0.1</ip>\r\n<port>" +
           port + "</port>\r\n<user>user</user>\r\n<Password>" + password +
           "</Password>\r\n<Tessadorn>0</Tessadorn>\r\n<vntrip>1</vntrip>\r\n</sv>\r\n"
           "</servers>\r\n</config>\r\n";
}

struct Case {
    const char* name;
    const char* password;
    std::vector<std::string> texts;
    bool ends;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class ConnectPty : public ::testing::TestWithParam<Case> {};

TEST_P(ConnectPty, ThroughTheSimulatedModemToARealCaster) {
    const Case& c = GetParam();
    if (!Str2StrCaster::installed()) GTEST_SKIP() << "rtklib's str2str is not installed";
    Str2StrCaster caster("user", "pass", kStrFields);
    ASSERT_TRUE(caster.up()) << "str2str did not start";
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(TESSADORN_SIM_EXECUTABLE,
                          {"--quiet", "--network", "--baud", "4", "--network-timeout-ms", "3000"},
                          5000, "/dev/null"))
        << sim.error();

    test::TempDir dir;
    MainDialog::Files files;
    files.casterList = dir.file("ntripcfg.txt");
    files.profile = dir.file("tessadorn.cfg");
    std::ofstream(files.casterList, std::ios::binary) << casterList(caster.port(), c.password);
    std::ofstream(files.profile, std::ios::binary) << "4";

    DebugCapture quiet;
    TemplateSet templates = programTemplates();
    test::ScriptedHost host(templates);
    host.setScreenSize(240, 320);
    TermiosSerialPort port(sim.ptyPath());
    MainDialog dialog(host, port, RealClock::instance(), files);
    host.call([&](Dialog& d) {
        ASSERT_GE(test::waitUntil(
                      [&] {
                          return dialog.session().deviceReady() &&
                                 d.controls().visible(ids::Connect);
                      },
                      60),
                  0);
    });
    host.click(ids::Connect);
    host.call([](Dialog& d) {
        ASSERT_EQ(d.templateId(), D::kTemplate);
        EXPECT_EQ(d.controls().items(D::kList), (std::vector<std::string>{"MOUNT"}));
    });
    host.select(D::kList, 0);
    host.call([](Dialog& d) {
        EXPECT_EQ(d.controls().text(D::kName), "Name: Loopback");
        EXPECT_EQ(d.controls().text(D::kAuthorization), "Authorization: Basic");
    });
    host.ok();
    dialog.doModal();
    EXPECT_EQ(host.shownTexts(), c.texts);
    EXPECT_EQ(host.quitRequested(), c.ends);
    EXPECT_EQ(host.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Caster, ConnectPty,
    ::testing::Values(Case{"RightLogin",
                           "pass",
                           {"Tessadorn configured. When you press OK, application will exit."},
                           true},
                      Case{"WrongLogin",
                           "nope",
                           {"Connection not authorized.\r\nPlease check your User and Password"},
                           false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessadorn
