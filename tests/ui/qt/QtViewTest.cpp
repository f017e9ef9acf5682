#include "GuiWait.h"
#include "ui/Dialog.h"
#include "ui/TemplateSource.h"
#include "ui/qt/DeviceScreen.h"
#include "ui/qt/DialogView.h"
#include "ui/qt/MessageBoxView.h"
#include "ui/qt/QtDialogHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace tessadorn {
namespace {

constexpr int kButton = 1000;
constexpr int kLabel = 200;
constexpr int kCheck = 1087;
constexpr int kBordered = 1055;

TemplateSet smallDialog() {
    DialogTemplate t;
    t.id = 500;
    t.caption = "Small";
    auto add = [&t](int id, ControlKind kind, const char* text, Rect r) {
        ControlTemplate c;
        c.id = id;
        c.kind = kind;
        c.text = text;
        c.rect = r;
        t.controls.push_back(c);
    };
    add(kButton, ControlKind::PushButton, "Press", {4, 4, 60, 14});
    add(kLabel, ControlKind::Label, "Waiting", {4, 24, 120, 10});
    add(kCheck, ControlKind::CheckBox, "Box", {4, 40, 80, 10});
    add(kBordered, ControlKind::Label, "", {4, 56, 120, 12});
    t.controls.back().style = StyleBorder;
    TemplateSet set;
    set.add(t);
    return set;
}

bool waitUntil(const std::function<bool()>& condition) {
    return test::pumpUntil(condition, 20000);
}

// A dialog whose button handler runs the test's function.
class ScriptDialog : public Dialog {
  public:
    ScriptDialog(DialogHost& host, std::function<void(ScriptDialog&)> onButton)
        : Dialog(host, 500), m_OnButton(std::move(onButton)) {}
    void onCommand(int id) override {
        if (id == kCheck) checkedInHandler = controls().checked(kCheck);
        if (id != kButton) return;
        handlerThread = std::this_thread::get_id();
        ++presses;
        if (m_OnButton) m_OnButton(*this);
    }

    std::string closeQuestion() const override {
        return guard && guard->load() ? "Quit anyway?" : "";
    }

    std::atomic<int> presses{0};
    std::atomic<bool> checkedInHandler{false};
    std::thread::id handlerThread;
    const std::atomic<bool>* guard = nullptr; // while set, closing the window asks first

  private:
    std::function<void(ScriptDialog&)> m_OnButton;
};

class QtViewTest : public ::testing::Test {
  protected:
    void SetUp() override { screen.show(); }

    // Runs the dialog on the dialog thread; `finished` turns true when it returned.
    void run(std::function<void(ScriptDialog&)> onButton) {
        host.start(
            [this, onButton](QtDialogHost& h) {
                ScriptDialog dialog(h, onButton);
                dialog.guard = &guarded;
                {
                    std::lock_guard lock(mutex);
                    current = &dialog;
                }
                result = dialog.doModal();
                presses = dialog.presses.load();
                checkedInHandler = dialog.checkedInHandler.load();
                handlerThread = dialog.handlerThread;
                {
                    std::lock_guard lock(mutex);
                    current = nullptr;
                }
                return 0;
            },
            [this](int) { finished = true; });
        ASSERT_TRUE(waitUntil([this] { return screen.topDialog() != nullptr; }));
    }

    QWidget* widget(int id) { return screen.topDialog()->controlWidget(id); }

    void endAndWait() {
        // A handler that just ended: its dialog waits for input again.
        ASSERT_TRUE(waitUntil([this] { return !host.inputBlocked(); }));
        screen.pressTitleOk();
        ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    }

    TemplateSet templates = smallDialog();
    DeviceScreen screen{1};
    QtDialogHost host{templates, screen};
    std::mutex mutex;
    ScriptDialog* current = nullptr;
    std::atomic<bool> finished{false};
    std::atomic<bool> guarded{false};
    int result = 0;
    int presses = 0;
    bool checkedInHandler = false;
    std::thread::id handlerThread;
};

TEST_F(QtViewTest, AClickReachesTheHandlerOnTheDialogThread) {
    run({});
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    QTest::mouseClick(widget(kCheck), Qt::LeftButton, {}, QPoint(6, 5));
    ASSERT_TRUE(waitUntil([this] { return static_cast<QCheckBox*>(widget(kCheck))->isChecked(); }))
        << "the check mark comes back from the model";
    endAndWait();
    EXPECT_EQ(result, kIdOk);
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(checkedInHandler) << "the mark flipped before the handler ran";
    EXPECT_NE(handlerThread, std::this_thread::get_id());
    EXPECT_NE(handlerThread, std::thread::id());
}

TEST_F(QtViewTest, TheScreenKeepsPaintingWhileAHandlerBlocks) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> inHandler{false};
    run([&](ScriptDialog&) {
        inHandler = true;
        released.wait();
    });
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return inHandler.load(); }));
    // A worker writes while the dialog thread is blocked; the view follows and paints.
    std::shared_ptr<ControlModel> model = screen.topDialog()->model();
    std::thread worker([model] { model->setText(kLabel, "Connecting at 57600..."); });
    worker.join();
    auto* label = static_cast<QLabel*>(widget(kLabel));
    EXPECT_TRUE(waitUntil([&] { return label->text() == "Connecting at 57600..."; }));
    EXPECT_FALSE(screen.grab().isNull());
    release.set_value();
    endAndWait();
}

TEST_F(QtViewTest, ClicksAreDroppedWhileTheWaitCursorShows) {
    run({});
    host.cursor().showWait();
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    QTest::mouseClick(widget(kCheck), Qt::LeftButton, {}, QPoint(6, 5));
    screen.pressTitleOk(); // the title-bar OK too
    host.cursor().restore();
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    endAndWait(); // handled after every click that got through
    EXPECT_EQ(presses, 1);
    EXPECT_FALSE(checkedInHandler);
    EXPECT_EQ(result, kIdOk);
}

// A handler that waits without the wait cursor (the update waits for the monitor before its
// window opens): what the user clicks or types meanwhile never reaches the dialog below the
// window still to come; once the dialog thread waits for input again, clicks count.
TEST_F(QtViewTest, InputWhileAHandlerRunsIsDropped) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> inHandler{false};
    run([&](ScriptDialog&) {
        if (inHandler.exchange(true)) return;
        released.wait();
    });
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return inHandler.load(); }));
    QTest::qWait(2 * QtDialogHost::kBusyMs.count());
    EXPECT_TRUE(host.inputBlocked());
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    QTest::mouseClick(widget(kCheck), Qt::LeftButton, {}, QPoint(6, 5));
    QTest::keyClick(widget(kCheck), Qt::Key_Space);
    screen.pressTitleOk();
    release.set_value();
    ASSERT_TRUE(waitUntil([&] { return !host.inputBlocked(); }));
    EXPECT_FALSE(static_cast<QCheckBox*>(widget(kCheck))->isChecked());
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    endAndWait();
    EXPECT_EQ(presses, 2) << "the first click and the one after the handler";
    EXPECT_FALSE(checkedInHandler);
    EXPECT_EQ(result, kIdOk);
}

TEST_F(QtViewTest, ClosingDuringAMessageBoxDoesNotHang) {
    std::atomic<int> answer{0};
    run([&](ScriptDialog& d) {
        answer = d.messageBox("Do you want to cancel the Update process?", "Attention",
                              MessageButtons::YesNo);
    });
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([this] { return !screen.messageBoxes().empty(); }));
    EXPECT_EQ(screen.messageBoxes().front()->request().caption, "Attention");
    host.shutdown();
    ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    EXPECT_EQ(answer.load(), kIdCancel);
    EXPECT_EQ(result, kIdCancel);
}

TEST_F(QtViewTest, AMessageBoxAnswerReachesTheWaitingThread) {
    std::atomic<int> answer{0};
    run([&](ScriptDialog& d) {
        answer = d.messageBox("Delete?", "Attention", MessageButtons::YesNo);
    });
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([this] { return !screen.messageBoxes().empty(); }));
    auto* yes = screen.messageBoxes().front()->findChild<QPushButton*>("Yes");
    ASSERT_NE(yes, nullptr);
    QTest::mouseClick(yes, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return answer.load() != 0; }));
    EXPECT_EQ(answer.load(), kIdYes);
    endAndWait();
}

// A label with a border is drawn with a line around it, an empty one too; other labels are not.
TEST_F(QtViewTest, ABorderedLabelIsDrawnWithItsBorder) {
    run({});
    auto* bordered = static_cast<QLabel*>(widget(kBordered));
    auto* plain = static_cast<QLabel*>(widget(kLabel));
    EXPECT_EQ(bordered->frameShape(), QFrame::Box);
    EXPECT_EQ(plain->frameShape(), QFrame::NoFrame);
    const QImage image = bordered->grab().toImage();
    ASSERT_FALSE(image.isNull());
    const int y = image.height() / 2;
    const QColor edge = image.pixelColor(0, y);
    const QColor inside = image.pixelColor(image.width() / 2, y);
    EXPECT_LT(edge.lightness() + 40, inside.lightness()) << "a dark line at the left edge";
    endAndWait();
}

TEST_F(QtViewTest, ClosingTheWindowAsksFirstWhileTheDialogOnTopSaysSo) {
    guarded = true;
    run({});
    auto answerQuestion = [this](const char* button) {
        host.requestClose();
        ASSERT_TRUE(waitUntil([this] { return !screen.messageBoxes().empty(); }));
        EXPECT_EQ(screen.messageBoxes().front()->request().text, "Quit anyway?");
        EXPECT_EQ(screen.messageBoxes().front()->request().caption, "Attention");
        auto* b = screen.messageBoxes().front()->findChild<QPushButton*>(button);
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    };
    answerQuestion("No");
    ASSERT_TRUE(waitUntil([this] { return screen.messageBoxes().empty(); }));
    ASSERT_TRUE(waitUntil([this] { return !host.askingToClose(); }));
    EXPECT_FALSE(finished.load()) << "No keeps the program running";
    EXPECT_NE(screen.topDialog(), nullptr);
    answerQuestion("Yes");
    ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    EXPECT_EQ(result, kIdCancel);
}

TEST_F(QtViewTest, ClosingTheWindowWithoutAQuestionEndsAtOnce) {
    run({});
    host.requestClose();
    ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    EXPECT_TRUE(screen.messageBoxes().empty());
}

// Keys go where the focus is, as a user's would.
void key(Qt::Key k) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, k);
}

TEST_F(QtViewTest, TheKeyboardAnswersBoxesAndMovesAndEndsTheDialog) {
    QApplication::setActiveWindow(&screen);
    std::vector<int> answers;
    std::atomic<int> asked{0};
    run([&](ScriptDialog& d) {
        for (auto buttons : {MessageButtons::YesNo, MessageButtons::YesNo, MessageButtons::Ok,
                             MessageButtons::Ok}) {
            ++asked;
            answers.push_back(d.messageBox("Question?", "Attention", buttons));
        }
    });
    QTest::mouseClick(widget(kButton), Qt::LeftButton);
    const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter, Qt::Key_Escape};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(
            waitUntil([&] { return asked.load() == i + 1 && !screen.messageBoxes().empty(); }));
        key(keys[i]);
    }
    ASSERT_TRUE(
        waitUntil([&] { return !host.cursor().waiting() && screen.messageBoxes().empty(); }));
    // Tab moves between the dialog's controls.
    ASSERT_TRUE(waitUntil([&] { return QApplication::focusWidget() != nullptr; }));
    QWidget* before = QApplication::focusWidget();
    key(Qt::Key_Tab);
    QWidget* after = QApplication::focusWidget();
    EXPECT_NE(after, before);
    EXPECT_TRUE(after == widget(kButton) || after == widget(kCheck));
    // Return is the title-bar OK.
    key(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    EXPECT_EQ(result, kIdOk);
    EXPECT_EQ(answers, (std::vector<int>{kIdYes, kIdNo, kIdOk, kIdOk}));
}

TEST_F(QtViewTest, TurningTheScreenReachesTheDialog) {
    run({});
    std::shared_ptr<ControlModel> model = screen.topDialog()->model();
    screen.turn();
    EXPECT_FALSE(screen.portrait());
    // Both sides change in one step: no reader sees a width of the turn with the old height.
    EXPECT_TRUE(waitUntil([this] { return host.screenSize().width == 320; }));
    EXPECT_EQ(host.screenSize().height, 240);
    endAndWait();
}

} // namespace
} // namespace tessadorn
