// A newcomer with an empty caster list adds a caster from the main dialog and chooses it, all
// through the Qt view: the caster picture, "...", Add, the fields typed, OK, OK, OK.
#include "FakeSerialPort.h"
#include "GuiWait.h"
#include "ProgramTemplates.h"
#include "TempDir.h"
#include "TestModem.h"
#include "console/MainDialog.h"
#include "layout/TemplateLibrary.h"
#include "platform/DebugOutput.h"
#include "ui/TemplateSource.h"
#include "ui/qt/DeviceScreen.h"
#include "ui/qt/DialogView.h"
#include "ui/qt/QtDialogHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace tessadorn {
namespace {

using test::FakeSerialPort;
using test::Modem;
using test::ScriptedModem;

using test::programTemplates;

bool waitUntil(const std::function<bool()>& condition) {
    return test::pumpUntil(condition, 20000);
}

class CasterListGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        files.casterList = dir.file("ntripcfg.txt");
        files.profile = dir.file("tessadorn.cfg");
        modem.attach(peer);
        screen.show();
        host.start(
            [this](QtDialogHost& h) {
                MainDialog dialog(h, port, clock, files);
                {
                    std::lock_guard lock(mutex);
                    main = &dialog;
                }
                dialog.doModal();
                {
                    std::lock_guard lock(mutex);
                    main = nullptr;
                }
                return 0;
            },
            [this](int) { finished = true; });
    }

    void TearDown() override {
        host.shutdown();
        EXPECT_TRUE(waitUntil([this] { return finished.load(); }));
    }

    // The dialog on top holds this control (its widget, once drawn).
    QWidget* onTop(int id) {
        QWidget* found = nullptr;
        waitUntil([&] {
            DialogView* top = screen.topDialog();
            found = top ? top->controlWidget(id) : nullptr;
            return found != nullptr && top->model()->has(id);
        });
        return found;
    }

    bool deviceReady() {
        std::lock_guard lock(mutex);
        return main && main->session().deviceReady() &&
               main->controls().text(ids::Firmware).rfind("FW v", 0) == 0;
    }

    void type(int id, const char* text) {
        auto* edit = qobject_cast<QLineEdit*>(onTop(id));
        ASSERT_NE(edit, nullptr) << id;
        QTest::keyClicks(edit, text);
        ASSERT_TRUE(waitUntil([&] { return screen.topDialog()->model()->text(id) == text; }));
    }

    test::TempDir dir;
    MainDialog::Files files;
    TemplateSet templates = programTemplates();
    DeviceScreen screen{1};
    QtDialogHost host{templates, screen};
    VirtualClock clock;
    ScriptedModem peer{1};
    FakeSerialPort port{clock, peer};
    Modem modem;
    DebugCapture quiet;
    std::mutex mutex;
    MainDialog* main = nullptr;
    std::atomic<bool> finished{false};
};

TEST_F(CasterListGuiTest, ANewcomerAddsAndChoosesACaster) {
    ASSERT_TRUE(waitUntil([this] { return deviceReady(); })) << "the ready face";

    QWidget* picture = onTop(ids::Caster);
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(picture->isVisible());
    QTest::mouseClick(picture, Qt::LeftButton);

    ASSERT_NE(onTop(1038), nullptr) << "the caster selection";
    auto* servers = qobject_cast<QPushButton*>(onTop(1002)); // "..."
    ASSERT_NE(servers, nullptr);
    QTest::mouseClick(servers, Qt::LeftButton);

    ASSERT_NE(onTop(1039), nullptr) << "the server list";
    auto* add = qobject_cast<QPushButton*>(onTop(1000));
    ASSERT_NE(add, nullptr);
    QTest::mouseClick(add, Qt::LeftButton);

    ASSERT_NE(onTop(1137), nullptr) << "the server edit dialog";
    type(1011, "My caster");
    type(1012, "caster.example.org");
    type(1013, "2101");
    type(1014, "rover");
    type(1015, "s3cret");
    screen.pressTitleOk();

    auto* list = qobject_cast<QListView*>(onTop(1039));
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(waitUntil([&] { return list->model()->rowCount() == 1; }));
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "My caster");
    screen.pressTitleOk();

    auto* authentication = qobject_cast<QCheckBox*>(onTop(1037));
    ASSERT_NE(authentication, nullptr);
    auto* user = qobject_cast<QLabel*>(onTop(1055));
    ASSERT_TRUE(waitUntil([&] { return user->text() == "rover"; }));
    EXPECT_EQ(user->frameShape(), QFrame::Box);
    QTest::mouseClick(authentication, Qt::LeftButton, {}, QPoint(6, 5));
    ASSERT_TRUE(waitUntil([&] { return screen.topDialog()->model()->checked(1037); }));
    screen.pressTitleOk();

    auto* line1 = qobject_cast<QLabel*>(onTop(ids::Line1));
    auto* line2 = qobject_cast<QLabel*>(onTop(ids::Line2));
    ASSERT_NE(line1, nullptr);
    ASSERT_NE(line2, nullptr);
    EXPECT_TRUE(waitUntil([&] { return line1->text() == "Svr: My caster"; }))
        << line1->text().toStdString();
    EXPECT_TRUE(waitUntil([&] { return line2->text() == "Authorization: yes (rover)"; }))
        << line2->text().toStdString();

    const std::string saved = test::readBytes(files.casterList);
    EXPECT_NE(saved.find("<current>\r\n<server>0</server>\r\n<auth value=\"yes\">\r\n"
                         "<user>rover</user>\r\n<password>s3cret</password>\r\n</auth>\r\n"),
              std::string::npos)
        << saved;
    EXPECT_NE(saved.find("<sv num=0>\r\n<name>My caster</name>\r\n<ip>caster.example.org</ip>\r\n"
                         "<port>2101</port>\r\n<user>rover</user>\r\n<Password>s3cret</Password>"
                         "\r\n<Tessadorn>0</Tessadorn>\r\n<vntrip>1</vntrip>\r\n</sv>\r\n"),
              std::string::npos)
        << saved;
}

} // namespace
} // namespace tessadorn
