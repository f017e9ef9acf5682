#pragma once

#include "ui/DialogRunner.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn::test {

// A host for tests, without a screen. The test writes a script of user actions before it runs a
// dialog; the steps run in order on the dialog thread (the test's thread), each against the
// dialog on top when its turn comes, so one script drives nested modal dialogs too. When the
// script runs out, the dialog on top ends with kEndedIdle, and so on down the stack: a test can
// never hang on a dialog that waits for the user.
//
// Message boxes, from any thread, are answered from a list of answers given beforehand; when
// none is left an OK box gets kIdOk and a Yes/No box gets kIdNo. An answer that is not one of the
// box's buttons (Yes to an OK box) fails the test. Every box is recorded with its caption (the
// program's title when the dialog gave none) and its buttons.
class ScriptedHost final : public DialogRunner {
  public:
    struct ShownBox {
        MessageBoxRequest request;
        int answer = 0;
    };

    explicit ScriptedHost(const TemplateSource& templates);

    // Script steps.
    void click(int id);
    void select(int id, int index);
    // Types into an edit (or a combo's edit field), replacing its text, as a user could: not
    // into a hidden, disabled or read-only edit, digits only into a digits-only edit.
    void type(int id, std::string_view utf8);
    void ok();
    void cancel();
    void turn(int width, int height);
    // Runs a function against the dialog on top: to look at it half-way through a script.
    void call(std::function<void(Dialog&)> step);

    void answer(int button);
    std::vector<ShownBox> shownBoxes() const;
    // Texts of the boxes shown, in order.
    std::vector<std::string> shownTexts() const;
    // The boxes shown, in order, each as "caption | text | OK" (or "| Yes/No"): what the user
    // saw of it, for one comparison with a table's expected boxes.
    std::vector<std::string> shownSummaries() const;

    int messageBox(const MessageBoxRequest& request) override;

  protected:
    bool waitWhenIdle() const override { return false; }

  private:
    mutable std::mutex m_BoxMutex;
    std::deque<int> m_Answers;
    std::vector<ShownBox> m_Shown;
};

} // namespace tessadorn::test
