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

// The monitor's first poll after the update goes out at 38400, whatever it held before. The
// modem found at 115200 before is found where it answers now, and that rate is the one saved.
TEST(MainDialogUpdate, AfterTheUpdateThePortReopensAt38400AndTheModemIsFoundWhereItAnswers) {
    struct Case {
        const char* name;
        int modemAfter; // the rate the modem listens at after the update
        bool scans;     // the rate scan runs (from 9600 on)
        char savedRate; // what tessadorn.cfg holds then
    };
    const Case cases[] = {
        {"still at 115200: the scan finds it there", 4, true, '4'},
        {"restarted at 38400: found at the port's rate", 2, false, '2'},
    };
    for (const auto& c : cases) {
        test::MainDialogRig rig;
        rig.modem.baud = 4; // found at 115200 before the update
        MainDialog dialog(rig.host, rig.port, rig.clock, rig.files);
        std::size_t before = 0;
        rig.host.call([&](Dialog& d) {
            ASSERT_TRUE(rig.until([&] { return dialog.session().deviceReady(); }));
            ASSERT_EQ(dialog.session().baudIndex(), 4);
            // The picture is hidden on the ready face; the handler is what both buttons run.
            d.onCommand(ids::TextUpdate);
        });
        // Runs inside the handler above: the update dialog is on top.
        rig.host.call([&](Dialog& top) {
            ASSERT_EQ(top.templateId(), kUpdateTemplate);
            before = rig.port.writes().size(); // the monitor is parked
            // The modem restarts after the update: it answers nothing until the program looks
            // for it again.
            std::lock_guard lock(rig.modem.m);
            rig.modem.baud = c.modemAfter;
            rig.modem.answers = [looked = false](std::string_view cmd, int) mutable {
                looked = looked || cmd == protocol::kDevice;
                return looked;
            };
        });
        rig.host.ok();
        rig.host.call([&](Dialog&) {
            ASSERT_TRUE(rig.until([&] { return rig.port.writes().size() > before; }));
            EXPECT_EQ(rig.port.writes()[before].baudIndex, 2) << c.name;
            // Lost, found again and configured: ready once more.
            ASSERT_TRUE(rig.until([&] {
                const auto w = rig.port.writes();
                return dialog.session().deviceReady() &&
                       std::any_of(w.begin() + static_cast<long>(before), w.end(),
                                   [](const auto& x) { return x.bytes == protocol::kGetCfg; });
            })) << c.name;
            const auto w = rig.port.writes();
            EXPECT_EQ(w.back().baudIndex, c.modemAfter) << c.name;
            EXPECT_EQ(std::any_of(w.begin() + static_cast<long>(before), w.end(),
                                  [](const auto& x) { return x.baudIndex == 0; }),
                      c.scans)
                << c.name;
            EXPECT_EQ(dialog.session().baudIndex(), c.modemAfter) << c.name;
            EXPECT_EQ(test::readBytes(rig.files.profile), std::string(1, c.savedRate)) << c.name;
        });
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), kIdOk) << c.name;
    }
}

} // namespace
} // namespace tessadorn
