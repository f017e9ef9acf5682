#include "console/MainDialog.h"
#include "FakeSerialPort.h"
#include "MainDialogRig.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "TestModem.h"
#include "WaitUntil.h"
#include "layout/TemplateLibrary.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "ui/TemplateSource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

namespace tessadorn {
namespace {

namespace fs = std::filesystem;
using test::FakeSerialPort;
using test::Modem;
using test::ScriptedHost;
using test::ScriptedModem;

using test::programTemplates;

class MainDialogTest : public ::testing::Test, protected test::MainDialogRig {
  protected:
};

const char* kCasterList =
    "<config>\r\n"
    "<current>\r\n<server>0</server>\r\n<auth value=\"yes\">\r\n"
    "<user>x</user>\r\n<password>y</password>\r\n</auth>\r\n"
    "<carrier value=\"no\"></carrier>\r\n"
    "<AutoConnection>0</AutoConnection>\r\n</current>\r\n"
    "<servers>\r\n"
    "<sv num=0>\r\n<name>Other</name>\r\n<ip>other.example</ip>\r\n"
    "<port>2101</port>\r\n<user>x</user>\r\n<Password>y</Password>\r\n"
    "<Tessadorn>0</Tessadorn>\r\n<vntrip>1</vntrip>\r\n</sv>\r\n"
    "<sv num=1>\r\n<name>Home</name>\r\n<ip>caster.example</ip>\r\n"
    "<port>2101</port>\r\n<user>alice</user>\r\n<Password>secret</Password>\r\n"
    "<Tessadorn>0</Tessadorn>\r\n<vntrip>2</vntrip>\r\n</sv>\r\n"
    "</servers>\r\n"
    "</config>\r\n";

TEST_F(MainDialogTest, StartFindsTheModemAndBringsTheFilesInLine) {
    writeCasterList(kCasterList);
    modem.baud = 4; // not the 38400 tried first
    MainDialog dialog(host, port, clock, files);
    const std::string carrier = "<carrier value=\"yes\">\r\n<apn>web.example</apn>\r\n"
                                "<user>wu</user>\r\n<password>wp</password>\r\n</carrier>";
    const std::string current =
        "<server>1</server>\r\n<auth value=\"yes\">\r\n<user>alice</user>\r\n"
        "<password>secret</password>";
    // Everything the start brings about, each step in its own time on the monitor's thread:
    // waited for as states, never for a time.
    const auto inLine = [&] {
        const std::string saved = test::readBytes(files.casterList);
        return dialog.session().deviceReady() && test::readBytes(files.profile) == "4" &&
               saved.find(carrier) != std::string::npos &&
               saved.find(current) != std::string::npos &&
               dialog.controls().text(ids::Line0) == "SN: T-0042" &&
               dialog.controls().visible(ids::RoleClient);
    };
    host.call([&](Dialog&) { ASSERT_TRUE(until(inLine)); });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);

    EXPECT_TRUE(inLine()) << "ready " << dialog.session().deviceReady() << ", "
                          << dialog.controls().text(ids::Line0) << "\n"
                          << test::readBytes(files.casterList);
    EXPECT_EQ(dialog.session().savedBaudIndex(), 4) << "the rate that answered";
    std::lock_guard lock(dialog.store().mutex());
    EXPECT_EQ(dialog.store().server, "1");
    EXPECT_EQ(dialog.store().user, "alice");
}

// Files that cannot be read (folders in their place) are failed loads: the program starts with
// an empty list and the default rate, finds the modem and saves nothing over them.
TEST_F(MainDialogTest, FilesThatCannotBeReadDoNotStopTheStart) {
    fs::create_directory(files.casterList);
    fs::create_directory(files.profile);
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog&) {
        ASSERT_TRUE(until([&] { return dialog.session().deviceReady(); }));
        ASSERT_TRUE(until([&] { return dialog.controls().text(ids::Line1) == "Svr:"; }));
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
    EXPECT_EQ(dialog.session().baudIndex(), DeviceProfile::kDefaultBaudIndex);
    EXPECT_TRUE(fs::is_directory(files.casterList));
    EXPECT_TRUE(fs::is_directory(files.profile));
}

TEST_F(MainDialogTest, ClosingStopsTheWorkersWhileTheModemIsSilent) {
    modem.silent = true;
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog&) {
        ASSERT_TRUE(until([&] {
            for (const auto& w : port.writes())
                if (w.baudIndex == 4) return true;
            return false;
        })) << "the scan reaches the last rate";
    });
    host.cancel();
    EXPECT_EQ(dialog.doModal(), kIdCancel);
    // The workers are joined: nothing writes to the port any more.
    const auto n = port.writes().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(port.writes().size(), n);
    EXPECT_FALSE(dialog.session().deviceReady());
    EXPECT_EQ(dialog.controls().text(ids::Status).rfind("Connecting at ", 0), 0u);
}

TEST_F(MainDialogTest, APortThatCannotBeOpenedEndsTheProgram) {
    port.failOpen(true);
    MainDialog dialog(host, port, clock, files);
    host.answer(kIdOk);
    host.call([&](Dialog&) {
        // The monitor shows the box, then ends the dialog itself.
        ASSERT_TRUE(until([&] { return host.shownBoxes().size() == 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    EXPECT_EQ(dialog.doModal(), 0);
    ASSERT_EQ(host.shownBoxes().size(), 1u);
    EXPECT_EQ(host.shownBoxes()[0].request.text, "Com Port Error");
    EXPECT_EQ(host.shownBoxes()[0].request.caption, "ERROR");
}

TEST_F(MainDialogTest, TurningTheScreenRefreshesThePanel) {
    modem.set(&Modem::role, "SERVER");
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog&) {
        ASSERT_TRUE(until([&] { return dialog.controls().text(ids::Firmware) == "FW v2.3.1"; }));
    });
    host.turn(320, 240);
    host.call([&](Dialog&) {
        EXPECT_EQ(dialog.controls().text(ids::Firmware), "Fw v2.3.1");
        EXPECT_EQ(dialog.controls().text(ids::Line0), "Model: TESSADORN SERVER");
        EXPECT_EQ(dialog.controls().text(ids::Line3), "Server Port: 2101");
        EXPECT_EQ(dialog.controls().text(ids::ApnInfo), "");
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
}

// After a turn, and after turning back, every panel line shows what it showed before: no
// template caption comes back in place of a value.
TEST_F(MainDialogTest, TurningTheScreenKeepsEveryPanelLine) {
    const int lineIds[] = {ids::Line0, ids::Line1, ids::Line2, ids::Line3, ids::ServerState};
    MainDialog dialog(host, port, clock, files); // an empty caster list
    std::vector<std::string> before;
    host.call([&](Dialog&) {
        ASSERT_TRUE(until([&] { return dialog.session().deviceReady(); }));
        ASSERT_TRUE(until(
            [&] { return dialog.controls().text(ids::Line3) == "GPS Position: AUTO (TRIMBLE)"; }));
        for (int id : lineIds)
            before.push_back(dialog.controls().text(id));
        EXPECT_EQ(before[1], "Svr:");
    });
    for (auto [w, h] : {std::pair{320, 240}, std::pair{240, 320}}) {
        host.turn(w, h);
        host.call([&](Dialog&) {
            for (std::size_t i = 0; i < std::size(lineIds); ++i)
                EXPECT_EQ(dialog.controls().text(lineIds[i]), before[i]) << lineIds[i] << " " << w;
        });
    }
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
}

// A base turned while the monitor is still reading it keeps the lines written so far.
TEST_F(MainDialogTest, ABaseTurnedDuringConfigurationKeepsItsLines) {
    modem.set(&Modem::role, "SERVER");
    std::promise<void> turned;
    const std::shared_future<void> release = turned.get_future().share();
    std::atomic<bool> addressAsked{false};
    modem.answers = [&](std::string_view cmd, int) {
        if (cmd == protocol::kIp) {
            addressAsked = true;
            release.wait(); // the monitor stops here until the screen has turned
        }
        return true;
    };
    struct Release {
        std::promise<void>& p;
        bool done = false;
        void operator()() {
            if (!done) p.set_value();
            done = true;
        }
        ~Release() { (*this)(); }
    } releaseOnce{turned};
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog&) {
        ASSERT_TRUE(until([&] { return addressAsked.load(); }));
        EXPECT_EQ(dialog.controls().text(ids::Line1), "SN: T-0042");
    });
    host.turn(320, 240);
    host.call([&](Dialog&) {
        releaseOnce();
        ASSERT_TRUE(until([&] { return dialog.controls().text(ids::Firmware) == "FW v2.3.1"; }));
        EXPECT_EQ(dialog.controls().text(ids::Line0), "Model: TESSADORN SERVER");
        EXPECT_EQ(dialog.controls().text(ids::Line1), "SN: T-0042");
        EXPECT_EQ(dialog.controls().text(ids::Line3), "Server Port: 2101");
        EXPECT_EQ(dialog.controls().text(ids::ServerState), "Server: ACTIVE + QRV CONNECT");
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
}

TEST_F(MainDialogTest, StartFaceAndBackground) {
    modem.silent = true; // the start face stays while the modem is searched for
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog& d) {
        for (int id : {ids::Apn, ids::Gps, ids::PanelGroup, ids::Line0, ids::AutoConnect,
                       ids::TextCaster, ids::RoleClient, ids::RoleServer})
            EXPECT_FALSE(d.controls().visible(id)) << id;
        EXPECT_TRUE(d.controls().visible(ids::Caster));
        EXPECT_TRUE(d.controls().visible(ids::Logo));
        const auto bg = d.onBackgroundColour();
        ASSERT_TRUE(bg.has_value());
        EXPECT_EQ(bg->textBackground, 0xFAFAFAu);
        EXPECT_EQ(bg->brush, 0xFFFFFFu);
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
    EXPECT_TRUE(fs::exists(files.casterList)) << "a missing caster list is created empty";
}

// The modem's APN block reaches the file even when its stored caster matches no entry; a block
// the file could not carry back is not taken, and the file still loads at the next start.
TEST_F(MainDialogTest, TheModemsApnReachesTheFileOnlyWhenTheFileCanCarryIt) {
    const struct {
        const char* apn;
        bool taken;
    } cases[] = {{"web2.example", true}, {"web<x", false}};
    for (const auto& c : cases) {
        writeCasterList(kCasterList);
        modem.set(&Modem::addr, "nowhere.example:2101,MP1,alice,secret");
        modem.cfgReplies = {std::string("CLIENT,T-0042,2.3.1,350000111122223,") + c.apn + ",wu,wp"};
        {
            MainDialog dialog(host, port, clock, files);
            host.call([&](Dialog&) {
                ASSERT_TRUE(until([&] { return dialog.session().deviceReady(); }));
            });
            host.ok();
            EXPECT_EQ(dialog.doModal(), kIdOk);
        }
        const std::string saved = test::readBytes(files.casterList);
        EXPECT_EQ(saved.find("<apn>web2.example</apn>") != std::string::npos, c.taken) << saved;
        EXPECT_NE(saved.find("<server>0</server>"), std::string::npos) << saved;
        CasterStore again(files.casterList, AtomicFile::standard());
        EXPECT_TRUE(again.Load()) << c.apn;
        EXPECT_EQ(again.count, 2) << c.apn;
    }
}

// A current caster number past the end of the list names no caster: the panel shows none,
// never one caster's name beside another's user.
TEST_F(MainDialogTest, ACurrentCasterPastTheListIsShownAsNone) {
    std::string list = kCasterList;
    list.replace(list.find("<server>0</server>"), 18, "<server>7</server>");
    list.replace(list.find("<user>x</user>"), 14, "<user>u7</user>");
    writeCasterList(list);
    modem.set(&Modem::addr, "nowhere.example:2101,MP1,alice,secret");
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog&) {
        ASSERT_TRUE(until([&] { return dialog.session().deviceReady(); }));
        ASSERT_TRUE(until(
            [&] { return dialog.controls().text(ids::Line3) == "GPS Position: AUTO (TRIMBLE)"; }));
        EXPECT_EQ(dialog.controls().text(ids::Line1), "Svr:");
        EXPECT_EQ(dialog.controls().text(ids::Line2), "Authorization:");
    });
    host.turn(320, 240);
    host.call([&](Dialog&) {
        EXPECT_EQ(dialog.controls().text(ids::Line1), "Svr:");
        EXPECT_EQ(dialog.controls().text(ids::Line2), "Authorization:");
    });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
}

TEST_F(MainDialogTest, WithoutACurrentCasterTheMatchLivesOnlyInMemory) {
    std::string list = kCasterList;
    const auto from = list.find("<current>"), to = list.find("</current>\r\n") + 12;
    list.replace(from, to - from, "<current></current>\r\n");
    writeCasterList(list);
    MainDialog dialog(host, port, clock, files);
    host.call([&](Dialog&) { ASSERT_TRUE(until([&] { return dialog.session().deviceReady(); })); });
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
    const std::string saved = test::readBytes(files.casterList);
    EXPECT_NE(saved.find("<current></current>\r\n<servers>"), std::string::npos) << saved;
    std::lock_guard lock(dialog.store().mutex());
    EXPECT_EQ(dialog.store().server, "1");
    EXPECT_EQ(dialog.store().apn, "web.example");
    EXPECT_EQ(dialog.store().carrier, "yes");
    EXPECT_FALSE(dialog.store().hasCurrent);
}

} // namespace
} // namespace tessadorn
