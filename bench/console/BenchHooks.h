#pragma once

#include "console/MonitorHooks.h"
#include "modem/ModemSession.h"

#include <atomic>
#include <functional>

namespace tessadorn::bench {

// The main dialog's side of the monitor without the dialog: no caster list and no profile file,
// the panel inputs made of the monitor's own state. The ready observer is called (on the
// monitor thread) whenever the panel inputs are asked for while the modem is ready: that is
// the moment the ready face is drawn.
class BenchHooks final : public MonitorHooks {
  public:
    explicit BenchHooks(ModemSession& session) : m_Session(session) {}

    // Set before the monitor starts.
    void setReadyObserver(std::function<void()> observer) { m_ReadyObserver = std::move(observer); }

    void portError() override { ++m_PortErrors; }
    void configurationParsed() override { ++m_Configurations; }
    void storedCasterParsed() override {}
    PanelInputs panelInputs() override;

    int portErrors() const { return m_PortErrors.load(); }
    int configurations() const { return m_Configurations.load(); }

  private:
    ModemSession& m_Session;
    std::function<void()> m_ReadyObserver;
    std::atomic<int> m_PortErrors{0};
    std::atomic<int> m_Configurations{0};
};

} // namespace tessadorn::bench
