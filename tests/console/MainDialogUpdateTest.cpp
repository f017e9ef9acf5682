#include "FakeSerialPort.h"
#include "MainDialogRig.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "TestModem.h"
#include "WaitUntil.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/DebugOutput.h"
#include "ui/TemplateSource.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

using test::FakeSerialPort;
using test::Modem;
using test::ScriptedHost;
using test::ScriptedModem;

using test::programTemplates;

constexpr int kUpdateTemplate = 178;

class MainDialogUpdateTest : public ::testing::Test, protected test::MainDialogRig {
  protected:
};

TEST_F(MainDialogUpdateTest, UpdateButtonWhileSearchingOpensTheDialogWithTheMonitorPaused) {
    modem.silent = true;
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog&) { ASSERT_TRUE(until([&] { return port.writes().size() >= 2; })); });
    host.click(ids::Update); // the picture shown on the searching face
    std::size_t writesDuring = 0;
    host.call([&](Dialog& top) {
        ASSERT_EQ(top.templateId(), kUpdateTemplate);
        EXPECT_TRUE(dialog.session().monitorGate().parked())
            << "the monitor waits for the whole dialog";
        EXPECT_FALSE(port.isOpen()) << "the dialog opens the port itself";
        writesDuring = port.writes().size();
    });
    host.call([&](Dialog& top) {
        ASSERT_EQ(top.templateId(), kUpdateTemplate);
        EXPECT_EQ(port.writes().size(), writesDuring) << "nobody uses the line meanwhile";
    });
    host.ok(); // closes the update dialog
    host.call([&](Dialog& top) {
        EXPECT_EQ(&top, &dialog);
        EXPECT_TRUE(until([&] { return !dialog.session().monitorGate().parked(); })) << "resumed";
        EXPECT_TRUE(until([&] { return port.writes().size() > writesDuring; }));
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
}

TEST_F(MainDialogUpdateTest, AfterTheUpdateThePortReopensAt38400AndTheModemIsFoundAgain) {
    modem.baud = 4; // found at 115200 before the update
    MainDialog dialog(host, port, clock, files);
    std::size_t before = 0;
    host.call([&](Dialog& d) {
        ASSERT_TRUE(until([&] { return dialog.session().deviceReady().load() == 1; }));
        ASSERT_EQ(dialog.session().baudIndex().load(), 4);
        // The picture is hidden on the ready face; the handler is what both buttons run.
        d.onCommand(ids::TextUpdate);
    });
    // Runs inside the handler above: the update dialog is on top.
    host.call([&](Dialog& top) {
        ASSERT_EQ(top.templateId(), kUpdateTemplate);
        before = port.writes().size(); // the monitor is parked
    });
    host.ok();
    host.call([&](Dialog&) {
        // The monitor's first poll after the update goes out at 38400, whatever it held before;
        // the modem stays silent there, and the rate scan finds it at 115200 again.
        ASSERT_TRUE(until([&] { return port.writes().size() > before; }));
        EXPECT_EQ(port.writes()[before].baudIndex, 2);
        ASSERT_TRUE(until([&] {
            const auto w = port.writes();
            return dialog.session().deviceReady().load() == 1 && w.back().baudIndex == 4 &&
                   std::any_of(w.begin() + static_cast<long>(before), w.end(),
                               [](const auto& x) { return x.baudIndex == 0; });
        }));
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
}

// The adapter is pulled while the update dialog is up, and the window is closed: the close
// opens nothing (an open of the gone device would be reported as a failure on the way out).
TEST_F(MainDialogUpdateTest, ClosingDuringTheUpdateOpensThePortNoMore) {
    modem.silent = true;
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog&) { ASSERT_TRUE(until([&] { return port.writes().size() >= 2; })); });
    host.click(ids::Update);
    int opensAtClose = -1;
    host.call([&](Dialog& top) {
        ASSERT_EQ(top.templateId(), kUpdateTemplate);
        port.goAway();
        // What the window's close does: the link is cut, then every dialog unwinds.
        dialog.abortLink();
        opensAtClose = port.opens();
        host.quitApplication(0);
    });
    dialog.doModal();
    EXPECT_EQ(port.opens(), opensAtClose);
    EXPECT_FALSE(port.isOpen());
}

} // namespace
} // namespace tessadorn
