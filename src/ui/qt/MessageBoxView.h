#pragma once

#include "ui/MessageBoxRequest.h"
#include "ui/PendingAnswer.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QVBoxLayout;

namespace tessadorn {

// A message box drawn on the device screen, above every dialog. Pressing a button answers the
// waiting thread and closes the box; a box destroyed unanswered answers kIdCancel. From the
// keyboard, Return presses its first button (OK or Yes) and Escape its last (OK or No).
class MessageBoxView final : public QWidget {
  public:
    MessageBoxView(const MessageBoxRequest& request, std::shared_ptr<PendingAnswer> answer,
                   int scale, QWidget* parent);

    // Presses a button as the user would (also used by tests).
    void press(int button);
    const MessageBoxRequest& request() const { return m_Request; }
    // Draws the box at another scale of the device screen.
    void setScale(int scale);
    // Called once the box has been answered and hidden.
    void setOnClosed(std::function<void()> onClosed) { m_OnClosed = std::move(onClosed); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    MessageBoxRequest m_Request;
    std::shared_ptr<PendingAnswer> m_Answer;
    QLabel* m_Caption = nullptr;
    QVBoxLayout* m_FrameLayout = nullptr;
    QVBoxLayout* m_OuterLayout = nullptr;
    std::function<void()> m_OnClosed;
};

} // namespace tessadorn
