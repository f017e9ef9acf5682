// Through the real Qt view, without a display: the main dialog on the simulated modem, a click
// on the Connect picture, a mountpoint picked in the list, its details read from the screen, the
// title-bar OK, and the program's last message answered from the keyboard.
#include "GuiWait.h"
#include "ProgramTemplates.h"
#include "TempDir.h"
#include "app/SimulatorProcess.h"
#include "caster/SourceTableDialog.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/DebugOutput.h"
#include "platform/TermiosSerialPort.h"
#include "ui/TemplateSource.h"
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

namespace tessadorn {
namespace {

using test::labelText;

using D = SourceTableDialog;

bool waitUntil(const std::function<bool()>& condition) {
    return test::pumpUntil(condition, 30000);
}

using test::programTemplates;

const char* kCasterList =
    "<config>\r\n<current>\r\n<server>0</server>\r\n<auth value=\"yes\">\r\n"
    "<user>demo</user>\r\n<password>demo</password>\r\n</auth>\r\n"
    "<carrier value=\"no\"></carrier>\r\n<AutoConnection>0</AutoConnection>\r\n</current>\r\n"
    "<servers>\r\n<sv num=0>\r\n<name>Demo</name>\r\n<ip>caster.example</ip>\r\n"
    "<port>2101</port>\r\n<user>demo</user>\r\n<Password>demo</Password>\r\n"
    "<Tessadorn>0</Tessadorn>\r\n<vntrip>2</vntrip>\r\n</sv>\r\n</servers>\r\n</config>\r\n";

TEST(ConnectGui, PickAMountpointOnTheScreenAndConnect) {
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(TESSADORN_SIM_EXECUTABLE, {"--quiet", "--baud", "4"}, 5000, "/dev/null"))
        << sim.error();
    test::TempDir dir;
    MainDialog::Files files;
    files.casterList = dir.file("ntripcfg.txt");
    files.profile = dir.file("tessadorn.cfg");
    std::ofstream(files.casterList, std::ios::binary) << kCasterList;
    std::ofstream(files.profile, std::ios::binary) << "4";

    DebugCapture quiet;
    const TemplateSet templates = programTemplates();
    TermiosSerialPort port(sim.ptyPath());
    DeviceScreen screen(1);
    screen.show();
    QApplication::setActiveWindow(&screen);
    QtDialogHost host(templates, screen);
    std::atomic<bool> finished{false};
    int exitCode = -1;
    host.start(
        [&](QtDialogHost& h) {
            MainDialog dialog(h, port, RealClock::instance(), files);
            dialog.doModal();
            return h.exitCode();
        },
        [&](int code) {
            exitCode = code;
            finished = true;
        });

    // The ready face with its Connect picture.
    ASSERT_TRUE(waitUntil([&] {
        DialogView* top = screen.topDialog();
        QWidget* connect = top ? top->controlWidget(ids::Connect) : nullptr;
        return connect && connect->isVisible() && !host.inputBlocked();
    }));
    QTest::mouseClick(screen.topDialog()->controlWidget(ids::Connect), Qt::LeftButton);

    // The mountpoints of the simulated caster.
    ASSERT_TRUE(waitUntil([&] {
        return screen.topDialog()->model()->title() == "Servers" && !host.inputBlocked() &&
               qobject_cast<QListView*>(screen.topDialog()->controlWidget(D::kList))
                       ->model()
                       ->rowCount() > 0;
    }));
    auto* list = qobject_cast<QListView*>(screen.topDialog()->controlWidget(D::kList));
    ASSERT_GE(list->model()->rowCount(), 2);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "DEMO01");
    const QModelIndex second = list->model()->index(1, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(second).center());
    // The dialog writes the four details one after another; the screen shows each when it comes.
    const auto details = [&] {
        return QStringList{labelText(screen, D::kName), labelText(screen, D::kAuthorization),
                           labelText(screen, D::kFormat), labelText(screen, D::kSolution)};
    };
    const QStringList want{"Name: University Roof", "Authorization: Basic", "Format: RTCM 3.2",
                           "Solution: Simple Base"};
    EXPECT_TRUE(waitUntil([&] { return details() == want; }))
        << details().join(" | ").toStdString();

    screen.pressTitleOk();
    ASSERT_TRUE(waitUntil([&] { return !screen.messageBoxes().empty(); }));
    EXPECT_EQ(screen.messageBoxes().front()->request().text,
              "Tessadorn configured. When you press OK, application will exit.");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return finished.load(); }));
    EXPECT_EQ(exitCode, 0);
}

} // namespace
} // namespace tessadorn
