#include "FakeSerialPort.h"
#include "MainDialogRig.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "TestModem.h"
#include "WaitUntil.h"
#include "casterlist/CasterSelectDialog.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/DebugOutput.h"
#include "ui/TemplateSource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace tessadorn {
namespace {

using test::FakeSerialPort;
using test::Modem;
using test::ScriptedHost;
using test::ScriptedModem;
using Select = CasterSelectDialog;

using test::programTemplates;

const char* kTwoCasters = "<config>\r\n"
                          "<current>\r\n<server>0</server>\r\n<auth value=\"yes\">\r\n"
                          "<user>x</user>\r\n<password>y</password>\r\n</auth>\r\n"
                          "<carrier value=\"no\"></carrier>\r\n"
                          "<AutoConnection>0</AutoConnection>\r\n</current>\r\n"
                          "<servers>\r\n"
                          "<sv num=0>\r\n<name>Other</name>\r\n<ip>other.example</ip>\r\n"
                          "<port>2101</port>\r\n<user>x</user>\r\n<Password>y</Password>\r\n"
                          "<Tessadorn>0</Tessadorn>\r\n<vntrip>1</vntrip>\r\n</sv>\r\n"
                          "<sv num=1>\r\n<name>Home</name>\r\n<ip>caster.example</ip>\r\n"
                          "<port>2101</port>\r\n<user>bob</user>\r\n<Password>secret</Password>\r\n"
                          "<Tessadorn>0</Tessadorn>\r\n<vntrip>2</vntrip>\r\n</sv>\r\n"
                          "</servers>\r\n"
                          "</config>\r\n";

class CasterButtonTest : public ::testing::Test, protected test::MainDialogRig {
  protected:
    // Waits for the ready face, then blanks the caster lines, so that what the close of the
    // selection dialog writes there can be told from the monitor's fill.
    void whenReady(MainDialog& dialog) {
        host.call([&](Dialog&) {
            ASSERT_TRUE(
                until([&] { return dialog.controls().text(ids::Firmware).rfind("FW v", 0) == 0; }));
            dialog.controls().setText(ids::Line1, "");
            dialog.controls().setText(ids::Line2, "");
        });
    }
};

TEST_F(CasterButtonTest, TheCasterPictureOpensTheSelectionWhileTheModemIsSearched) {
    modem.silent = true;
    writeCasterList(kTwoCasters);
    MainDialog dialog(host, port, clock, files);
    host.click(ids::Caster);
    host.call([](Dialog& d) {
        EXPECT_EQ(d.templateId(), Select::kTemplate);
        EXPECT_EQ(d.controls().items(Select::kList), (std::vector<std::string>{"Other", "Home"}));
    });
    host.select(Select::kList, 1);
    host.ok();
    host.call([&](Dialog& d) {
        EXPECT_EQ(&d, &dialog);
        EXPECT_FALSE(dialog.session().deviceReady());
        EXPECT_FALSE(dialog.controls().visible(ids::Line1)) << "the panel stays as it was";
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
    std::lock_guard lock(dialog.store().mutex());
    EXPECT_EQ(dialog.store().server, "1");
    EXPECT_EQ(dialog.store().user, "bob");
}

enum class Close { Ok, Cancel, Escape };

struct PanelCase {
    const char* name;
    std::string gga;
    std::string stconnect;
    bool casters;
    Close close;
    bool clearAuth;
    // The caster lines after the close; nullopt: left blank (unchanged).
    std::optional<std::string> line1, line2;
};

void PrintTo(const PanelCase& c, std::ostream* os) {
    *os << c.name;
}

class CasterPanelTest : public CasterButtonTest, public ::testing::WithParamInterface<PanelCase> {};

TEST_P(CasterPanelTest, TheCasterLinesAfterTheSelection) {
    const PanelCase& c = GetParam();
    modem.set(&Modem::gga, c.gga);
    modem.set(&Modem::stconnect, c.stconnect);
    if (c.casters) writeCasterList(kTwoCasters);
    MainDialog dialog(host, port, clock, files);
    whenReady(dialog);
    host.click(ids::Caster);
    host.call([](Dialog& d) { ASSERT_EQ(d.templateId(), Select::kTemplate); });
    if (c.casters) host.select(Select::kList, 1);
    if (c.clearAuth) host.click(Select::kAuth);
    switch (c.close) {
    case Close::Ok:
        host.ok();
        break;
    case Close::Cancel:
        host.click(Select::kCancel);
        break;
    case Close::Escape:
        host.cancel();
        break;
    }
    host.call([&](Dialog&) {
        EXPECT_EQ(dialog.controls().text(ids::Line1), c.line1.value_or(""));
        EXPECT_EQ(dialog.controls().text(ids::Line2), c.line2.value_or(""));
        if (c.stconnect == "ON") {
            EXPECT_TRUE(dialog.controls().visible(ids::Disconnect));
            EXPECT_FALSE(dialog.controls().visible(ids::Connect));
        }
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
}

INSTANTIATE_TEST_SUITE_P(
    Closes, CasterPanelTest,
    ::testing::Values(PanelCase{"chosen", "AUTO,TRIMBLE,COM2", "OFF", true, Close::Ok, false,
                                "Svr: Home", "Authorization: yes (bob)"},
                      PanelCase{"withoutAuthentication", "AUTO,UNKNOWN,COM2", "OFF", true,
                                Close::Ok, true, "Svr: Home", "Authorization: no"},
                      PanelCase{"cancelButton", "AUTO,TRIMBLE,COM2", "OFF", true, Close::Cancel,
                                false, "Svr: Other", "Authorization: yes (x)"},
                      PanelCase{"escape", "AUTO,TRIMBLE,COM2", "OFF", true, Close::Escape, false,
                                std::nullopt, std::nullopt},
                      PanelCase{"topcon", "AUTO,TOPCON,COM2", "OFF", true, Close::Ok, false,
                                std::nullopt, std::nullopt},
                      PanelCase{"connected", "AUTO,TRIMBLE,COM2", "ON", true, Close::Ok, false,
                                "Svr: caster.example /MP1", "Authorization: yes (alice)"},
                      PanelCase{"emptyList", "AUTO,TRIMBLE,COM2", "OFF", false, Close::Ok, false,
                                "Svr:", "Authorization:"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessadorn
