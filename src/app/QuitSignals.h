#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tessadorn {

// SIGTERM, SIGINT and SIGHUP do not end the program at once (a save could leave its temporary
// copy behind, the simulated modem could stay): each is handed to the event loop, where
// `onSignal` closes the window as its close button does. A second such signal ends the program
// at once by the signal's default action. One per program; the handlers stay until the process
// ends (a signal after the event loop ended is not acted on).
class QuitSignals final : public QObject {
  public:
    explicit QuitSignals(std::function<void(int signal)> onSignal = {});
    ~QuitSignals() override;

    // What a signal does (replaces the one given at construction).
    void setOnSignal(std::function<void(int signal)> onSignal);

  private:
    void received();

    std::function<void(int)> m_OnSignal;
    QSocketNotifier* m_Notifier = nullptr;
};

} // namespace tessadorn
