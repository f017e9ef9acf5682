// Through the real Qt view, without a display: a caster with 840 rows (820 of them RTCM or CMR)
// on the simulated modem, which reports a manual position. The nearest station heads the list
// wherever it stands in the table, Tab into the list chooses nothing, and a station far down
// the table is found by typing its name and connects.
#include "GuiWait.h"
#include "ProgramTemplates.h"
#include "TempDir.h"
#include "app/SimulatorProcess.h"
#include "caster/SourceTableDialog.h"
#include "caster/SourceTableRetrieval.h"
#include "console/MainDialog.h"
#include "platform/DebugOutput.h"
#include "platform/TermiosSerialPort.h"
#include "ui/qt/DeviceScreen.h"
#include "ui/qt/DialogView.h"
#include "ui/qt/MessageBoxView.h"
#include "ui/qt/QtDialogHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListView>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace tessadorn {
namespace {

using test::labelText;

using D = SourceTableDialog;

bool waitUntil(const std::function<bool()>& condition) {
    return test::pumpUntil(condition, 60000);
}

const char* kCasterList =
    "<config>\r\n<current>\r\n<server>0</server>\r\n<auth value=\"no\">\r\n"
    "<user></user>\r\n<password></password>\r\n</auth>\r\n"
    "<carrier value=\"no\"></carrier>\r\n<AutoConnection>0</AutoConnection>\r\n</current>\r\n"
    "<servers>\r\n<sv num=0>\r\n<name>Big</name>\r\n<ip>big.example</ip>\r\n"
    "<port>2101</port>\r\n<user></user>\r\n<Password></Password>\r\n"
    "<Tessadorn>0</Tessadorn>\r\n<vntrip>1</vntrip>\r\n</sv>\r\n</servers>\r\n</config>\r\n";

// 840 STR rows: stations spread over Europe and Africa (none within 40 km of 47.1 N 9.2 E),
// every 42nd in NMEA; "LOCAL" near that point as row 611 and "ZZTOP" as row 700.
std::string bigTable() {
    std::string t = "SOURCETABLE 200 OK\r\nServer: Big/1.0\r\n\r\n";
    for (int i = 0; i < 840; ++i) {
        std::string name = "MP" + std::to_string(i), lat, lon;
        if (i == 611) {
            name = "LOCAL", lat = "47.11", lon = "9.21";
        } else {
            lat = std::to_string(30 + (i * 37) % 40) + ".5";
            lon = std::to_string(-10 + (i * 13) % 50) + ".25";
        }
        if (i == 700) name = "ZZTOP";
        const char* format = i % 42 == 41 ? "NMEA" : (i % 2 ? "CMR+" : "RTCM 3.2");
        t += "STR;" + name + ";Station " + std::to_string(i) + ";" + format +
             ";1004(1),1005(10);2;GPS+GLO;EUREF;DEU;" + lat + ";" + lon +
             ";0;0;Gen;none;N;N;9600;\r\n";
    }
    return t + "ENDSOURCETABLE\r\n";
}

// The program's window on the simulated modem with the list of one caster, Big, whose table is
// `table`; its Connect button pressed once the modem is ready.
struct Window {
    test::TempDir dir;
    SimulatorProcess sim;
    DebugCapture quiet;
    TemplateSet templates = test::programTemplates();
    std::unique_ptr<TermiosSerialPort> port;
    DeviceScreen screen{1};
    std::unique_ptr<QtDialogHost> host;
    std::atomic<bool> finished{false};

    // `rate`: the baud index of the simulator and of the profile.
    bool start(const std::string& table, std::vector<std::string> simulator, int rate) {
        const std::string tableFile = dir.file("big.txt");
        std::ofstream(tableFile, std::ios::binary) << table;
        simulator.insert(simulator.end(), {"--quiet", "--baud", std::to_string(rate), "--table",
                                           "big.example=" + tableFile});
        if (!sim.start(TESSADORN_SIM_EXECUTABLE, simulator, 5000, "/dev/null")) {
            ADD_FAILURE() << sim.error();
            return false;
        }
        MainDialog::Files files;
        files.casterList = dir.file("ntripcfg.txt");
        files.profile = dir.file("tessadorn.cfg");
        std::ofstream(files.casterList, std::ios::binary) << kCasterList;
        std::ofstream(files.profile, std::ios::binary) << rate;
        port = std::make_unique<TermiosSerialPort>(sim.ptyPath());
        screen.show();
        QApplication::setActiveWindow(&screen);
        host = std::make_unique<QtDialogHost>(templates, screen);
        host->start(
            [this, files](QtDialogHost& h) {
                MainDialog dialog(h, *port, RealClock::instance(), files);
                dialog.doModal();
                return h.exitCode();
            },
            [this](int) { finished = true; });
        if (!waitUntil([&] {
                DialogView* top = screen.topDialog();
                QWidget* connect = top ? top->controlWidget(ids::Connect) : nullptr;
                return connect && connect->isVisible() && !host->inputBlocked();
            }))
            return false;
        QTest::mouseClick(screen.topDialog()->controlWidget(ids::Connect), Qt::LeftButton);
        return true;
    }
    QString title() {
        DialogView* top = screen.topDialog();
        return top ? QString::fromStdString(top->model()->title()) : QString();
    }
};

TEST(LargeTableGui, NearestFirstTabChoosesNothingTypingFindsAndConnects) {
    Window w;
    ASSERT_TRUE(w.start(bigTable(),
                        {"--no-pacing", "--gga-mode", "MANUAL", "--latitude", "47.100000",
                         "--longitude", "9.200000"},
                        4));
    DeviceScreen& screen = w.screen;
    QtDialogHost& host = *w.host;
    std::atomic<bool>& finished = w.finished;
    QListView* list = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        DialogView* top = screen.topDialog();
        if (!top || top->model()->title() != "Servers" || host.inputBlocked()) return false;
        list = qobject_cast<QListView*>(top->controlWidget(D::kList));
        return list && list->model()->rowCount() == 820;
    }));
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "LOCAL") << "the nearest station first";

    // Tab into the list: a current row, but nothing chosen.
    list->setFocus(Qt::TabFocusReason);
    QTest::qWait(100);
    EXPECT_TRUE(list->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(screen.topDialog()->model()->selection(D::kList), -1);
    EXPECT_EQ(labelText(screen, D::kName), "Name :");

    QTest::keyClicks(list, "ZZT");
    ASSERT_TRUE(waitUntil([&] { return labelText(screen, D::kName) == "Name: Station 700"; }))
        << labelText(screen, D::kName).toStdString();
    EXPECT_EQ(list->currentIndex().data().toString(), "ZZTOP");
    EXPECT_EQ(list->selectionModel()->selectedIndexes(), QModelIndexList{list->currentIndex()});
    EXPECT_TRUE(labelText(screen, D::kDistance).startsWith("Distance: "));

    screen.pressTitleOk();
    ASSERT_TRUE(waitUntil([&] { return !screen.messageBoxes().empty(); }));
    EXPECT_EQ(screen.messageBoxes().front()->request().text,
              "Tessadorn configured. When you press OK, application will exit.");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return finished.load(); }));
}

// Escape while the table comes at 9600 bit/s asks first; on Yes the title says that the rest is
// only discarded, and at the table's end the window is back with no list of mountpoints.
TEST(LargeTableGui, EscapeStopsATableAndNoListOpens) {
    std::string table = bigTable();
    table.erase(table.find("STR;MP200;"), table.find("ENDSOURCETABLE") - table.find("STR;MP200;"));
    Window w;
    ASSERT_TRUE(w.start(table, {}, 0));
    ASSERT_TRUE(waitUntil([&] { return w.title().startsWith("Mountpoints read: "); }))
        << w.title().toStdString();
    QTest::keyClick(&w.screen, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !w.screen.messageBoxes().empty(); }));
    MessageBoxView* box = w.screen.messageBoxes().front();
    EXPECT_EQ(box->request().text, SourceTableRetrieval::kStopQuestion);
    box->press(kIdYes);
    ASSERT_TRUE(waitUntil([&] {
        return w.title() == QString::fromUtf8(SourceTableRetrieval::kDiscardingText.data(),
                                              SourceTableRetrieval::kDiscardingText.size());
    })) << w.title().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !w.host->inputBlocked(); }));
    EXPECT_FALSE(w.title().startsWith("Modem still")) << w.title().toStdString();
    EXPECT_NE(w.title(), "Servers") << "no list of a stopped table";
    EXPECT_TRUE(w.screen.messageBoxes().empty());
    w.host->shutdown();
    ASSERT_TRUE(waitUntil([&] { return w.finished.load(); }));
}

} // namespace
} // namespace tessadorn
