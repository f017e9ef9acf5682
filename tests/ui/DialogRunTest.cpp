#include "TestTemplates.h"

#include "ScriptedHost.h"
#include "ui/Dialog.h"

#include <gtest/gtest.h>

#include <thread>

namespace tessadorn {
namespace {

using namespace tessadorn::test;

// Records what its handlers saw.
class RecordingDialog : public Dialog {
  public:
    using Dialog::Dialog;

    void onInit() override { events.push_back("init"); }
    void onCommand(int id) override {
        events.push_back("command " + std::to_string(id));
        checkedWhenClicked.push_back(controls().checked(id));
        if (id == kButton && endOnButton) endDialog(endOnButton);
    }
    void onSelectionChange(int id) override {
        events.push_back("selection " + std::to_string(id) + " " +
                         std::to_string(controls().selection(id)));
    }
    void onSize(int w, int h) override {
        events.push_back("size " + std::to_string(w) + "x" + std::to_string(h));
        Dialog::onSize(w, h);
    }

    std::vector<std::string> events;
    std::vector<bool> checkedWhenClicked;
    int endOnButton = 0;
};

class DialogRunTest : public ::testing::Test {
  protected:
    void SetUp() override { host.setScreenSize(320, 240); }

    TemplateSet templates = testTemplates();
    ScriptedHost host{templates};
};

TEST_F(DialogRunTest, SizeComesBeforeInitAndOkEndsWithOne) {
    host.setScreenSize(320, 240);
    RecordingDialog dialog(host, 103);
    host.ok();
    EXPECT_EQ(dialog.doModal(), kIdOk);
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"size 320x240", "init"}));
}

TEST_F(DialogRunTest, SystemCancelEndsWithTwo) {
    RecordingDialog dialog(host, 103);
    host.cancel();
    EXPECT_EQ(dialog.doModal(), kIdCancel);
}

TEST_F(DialogRunTest, EndDialogGivesItsResultAndLaterStepsAreNotRun) {
    RecordingDialog dialog(host, 103);
    dialog.endOnButton = 4;
    host.click(kButton);
    host.click(kCheck); // not reached: the dialog ended on the button
    EXPECT_EQ(dialog.doModal(), 4);
    EXPECT_EQ(dialog.events.back(), "command 1000");
}

TEST_F(DialogRunTest, ARunOutScriptEndsTheDialogInsteadOfHanging) {
    RecordingDialog dialog(host, 103);
    EXPECT_EQ(dialog.doModal(), DialogRunner::kEndedIdle);
}

TEST_F(DialogRunTest, CheckBoxMarkFlipsBeforeTheHandlerRuns) {
    RecordingDialog dialog(host, 103);
    host.click(kCheck);
    host.click(kCheck);
    host.click(kCheck);
    dialog.doModal();
    EXPECT_EQ(dialog.checkedWhenClicked, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(dialog.controls().checked(kCheck));
}

TEST_F(DialogRunTest, ClicksTheUserCouldNotMakeAreNotDelivered) {
    RecordingDialog dialog(host, 103);
    host.click(kHiddenButton);
    host.click(kDisabledButton);
    host.click(kPlainPicture); // a picture that does not report clicks
    host.click(kLabel);
    host.click(kPicture); // a picture button does
    host.call([](Dialog& d) { d.controls().setVisible(kButton, false); });
    host.click(kButton);
    dialog.doModal();
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"size 320x240", "init", "command 1094"}));
}

// A dialog that asks before the program ends while it is on top.
class GuardedDialog : public Dialog {
  public:
    using Dialog::Dialog;
    std::string closeQuestion() const override { return "Quit anyway?"; }
};

TEST_F(DialogRunTest, TheCloseQuestionIsTheTopDialogs) {
    EXPECT_EQ(host.closeQuestion(), "") << "no dialog runs";
    RecordingDialog plain(host, 103);
    host.call([&](Dialog&) {
        EXPECT_EQ(host.closeQuestion(), "");
        GuardedDialog guarded(plain, 103);
        host.call([&](Dialog& top) {
            EXPECT_EQ(&top, &guarded);
            EXPECT_EQ(host.closeQuestion(), "Quit anyway?");
        });
        host.ok();
        guarded.doModal();
        EXPECT_EQ(host.closeQuestion(), "") << "the guarded dialog has ended";
    });
    plain.doModal();
}

TEST_F(DialogRunTest, SelectionChangeSelectsThenCallsTheHandler) {
    RecordingDialog dialog(host, 103);
    host.call([](Dialog& d) {
        for (const char* row : {"A", "B", "C"})
            d.controls().addItem(kList, row);
    });
    host.select(kList, 2);
    host.select(kList, 7); // no such row: nothing happens
    dialog.doModal();
    EXPECT_EQ(dialog.events.back(), "selection 1039 2");
    EXPECT_EQ(dialog.controls().selection(kList), 2);
}

TEST_F(DialogRunTest, TypingFollowsTheEditStyles) {
    RecordingDialog dialog(host, 103);
    host.type(kEdit, "internet");
    host.type(kDigits, "21a0-1");
    host.type(kReadOnly, "nope");
    host.type(kLabel, "nope");
    dialog.doModal();
    EXPECT_EQ(dialog.controls().text(kEdit), "internet");
    EXPECT_EQ(dialog.controls().text(kDigits), "2101");
    EXPECT_EQ(dialog.controls().text(kReadOnly), "");
    EXPECT_EQ(dialog.controls().text(kLabel), "Connecting ...");
}

TEST_F(DialogRunTest, MessageBoxesAreAnsweredInOrderAndRecorded) {
    std::vector<int> answers;
    host.answer(kIdYes);
    host.call([&answers](Dialog& d) {
        answers.push_back(d.messageBox("Delete the server?", "Attention", MessageButtons::YesNo));
        answers.push_back(d.messageBox("Delete the server?", "Attention", MessageButtons::YesNo));
        answers.push_back(d.messageBox("Com Port Error", "ERROR"));
        answers.push_back(d.messageBox("APN configuration Error"));
    });
    RecordingDialog dialog(host, 103);
    dialog.doModal();
    // The second question had no answer left: No, so that nothing is done.
    EXPECT_EQ(answers, (std::vector<int>{kIdYes, kIdNo, kIdOk, kIdOk}));
    const auto boxes = host.shownBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].request.caption, "Attention");
    EXPECT_EQ(boxes[0].request.buttons, MessageButtons::YesNo);
    EXPECT_EQ(boxes[2].request.text, "Com Port Error");
    EXPECT_EQ(boxes[2].request.caption, "ERROR");
    EXPECT_EQ(boxes[3].request.caption, kApplicationTitle);
    EXPECT_EQ(boxes[3].request.buttons, MessageButtons::Ok);
}

TEST_F(DialogRunTest, MessageBoxesFromAWorkerThreadAreRecordedToo) {
    RecordingDialog dialog(host, 103);
    int answer = 0;
    host.call([&answer](Dialog& d) {
        std::thread worker([&] { answer = d.messageBox("Modem Updated Successfully!!"); });
        worker.join();
    });
    dialog.doModal();
    EXPECT_EQ(answer, kIdOk);
    EXPECT_EQ(host.shownTexts(), (std::vector<std::string>{"Modem Updated Successfully!!"}));
}

// Opens a child dialog on its button, remembers the child's result and what the child held.
class ParentDialog : public RecordingDialog {
  public:
    using RecordingDialog::RecordingDialog;
    void onCommand(int id) override {
        if (id != kButton) return RecordingDialog::onCommand(id);
        Dialog child(*this, 111);
        childResult = runModal(child);
        childEdit = child.controls().readEdit(kEdit);
        childTitle = child.controls().title();
    }
    int childResult = -99;
    std::string childEdit, childTitle;
};

TEST_F(DialogRunTest, NestedModalRunsItsPartOfTheScriptAndReturnsItsResult) {
    ParentDialog parent(host, 103);
    host.click(kButton);          // parent opens the child
    host.type(kEdit, "movistar"); // in the child
    host.call([](Dialog& d) { EXPECT_EQ(d.templateId(), 111); });
    host.ok();                                                    // the child ends with 1
    host.call([](Dialog& d) { EXPECT_EQ(d.templateId(), 103); }); // back in the parent
    host.click(kCheck);
    host.cancel();
    EXPECT_EQ(parent.doModal(), kIdCancel);
    EXPECT_EQ(parent.childResult, kIdOk);
    EXPECT_EQ(parent.childEdit, "movistar");
    EXPECT_EQ(parent.childTitle, "APN Configuration");
    EXPECT_EQ(parent.controls().text(kEdit), "") << "typing went to the child";
    EXPECT_TRUE(parent.controls().checked(kCheck));
}

TEST_F(DialogRunTest, QuitUnwindsEveryDialogWithCancel) {
    class Quitter : public Dialog {
      public:
        using Dialog::Dialog;
        void onInit() override { quitApplication(3); }
    };
    host.click(kButton); // the child asks the application to end as it starts
    host.click(kCheck);  // never reached
    struct ChildQuits : ParentDialog {
        using ParentDialog::ParentDialog;
        void onCommand(int id) override {
            Quitter child(*this, 111);
            childResult = runModal(child);
            afterChild = true;
            (void)id;
        }
        bool afterChild = false;
    } quitting(host, 103);
    EXPECT_EQ(quitting.doModal(), kIdCancel);
    EXPECT_EQ(quitting.childResult, kIdCancel);
    EXPECT_TRUE(quitting.afterChild) << "the handler runs to its end";
    EXPECT_FALSE(quitting.controls().checked(kCheck));
    EXPECT_TRUE(host.quitRequested());
    EXPECT_EQ(host.exitCode(), 3);
    Dialog later(host, 103);
    EXPECT_EQ(later.doModal(), kIdCancel) << "no dialog runs once the application ends";
}

TEST_F(DialogRunTest, AWorkerCanEndTheDialog) {
    RecordingDialog dialog(host, 103);
    host.call([](Dialog& d) {
        std::thread worker([&d] { d.endDialog(5); });
        worker.join();
    });
    host.click(kCheck); // not delivered: the dialog ended first
    EXPECT_EQ(dialog.doModal(), 5);
    EXPECT_FALSE(dialog.controls().checked(kCheck));
}

TEST_F(DialogRunTest, WaitCursorBringsBackTheRememberedCursor) {
    CursorState& cursor = host.cursor();
    std::vector<bool> seen;
    cursor.setObserver([&seen](bool waiting) { seen.push_back(waiting); });
    EXPECT_FALSE(cursor.waiting());
    cursor.showWait();
    EXPECT_TRUE(cursor.waiting());
    cursor.restore();
    EXPECT_FALSE(cursor.waiting());
    // Nested: the inner section remembers the wait cursor and brings it back.
    cursor.showWait();
    cursor.showWait();
    cursor.restore();
    EXPECT_TRUE(cursor.waiting());
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true, true, true}));
}

TEST_F(DialogRunTest, BackgroundAnswerReachesTheModel) {
    struct White : Dialog {
        using Dialog::Dialog;
        std::optional<BackgroundAnswer> onBackgroundColour() override {
            return BackgroundAnswer{0xFAFAFA, 0xFFFFFF};
        }
    } dialog(host, 103);
    Dialog plain(host, 103);
    dialog.doModal();
    plain.doModal();
    EXPECT_EQ(dialog.controls().background(), std::optional<std::uint32_t>(0xFFFFFF));
    EXPECT_FALSE(plain.controls().background().has_value());
}

} // namespace
} // namespace tessadorn
