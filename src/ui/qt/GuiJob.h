#pragma once

#include <QEvent>

#include <functional>

class QObject;

namespace tessadorn {

// A function handed to the Qt GUI thread as a posted event. The hand-over is annotated for
// ThreadSanitizer, which cannot see the lock inside Qt's event queue. Receivers run it from
// their customEvent() with GuiJob::runIfJob(). A job whose receiver is destroyed first is
// dropped unrun.
class GuiJob final : public QEvent {
  public:
    static QEvent::Type jobType();

    // Any thread.
    static void post(QObject* receiver, std::function<void()> job);
    // GUI thread: runs the event when it is a job; returns whether it was one.
    static bool runIfJob(QEvent* event);
    // GUI thread: for code that looks at posted events before their receiver does (an
    // application-wide event filter): everything posted so far becomes visible.
    static void takeOverPosted();

    ~GuiJob() override;

  private:
    explicit GuiJob(std::function<void()> job);
    std::function<void()> m_Job;
};

} // namespace tessadorn
