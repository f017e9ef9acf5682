#pragma once

#include "console/MonitorHooks.h"
#include "modem/ModemSession.h"
#include "platform/FileWriter.h"
#include "store/CasterStore.h"

#include <atomic>
#include <functional>

namespace tessadorn::bench {

// The main dialog's side of the monitor without the dialog: a caster list that is never written
// and no profile file,
// the panel inputs made of the monitor's own state. The ready observer is called (on the
// monitor thread) whenever the panel inputs are asked for while the modem is ready: that is
// the moment the ready face is drawn.
class BenchHooks final : public MonitorHooks {
  public:
    explicit BenchHooks(ModemSession& session) : m_Session(session) {}

    // Set before the monitor starts.
    void setReadyObserver(std::function<void()> observer) { m_ReadyObserver = std::move(observer); }

    void portError() override { ++m_PortErrors; }
    CasterStore& casterList() override { return m_CasterList; }
    void listNotSaved(const std::string&) override {}
    PanelInputs panelInputs() override;

    int portErrors() const { return m_PortErrors.load(); }

  private:
    ModemSession& m_Session;
    std::function<void()> m_ReadyObserver;
    std::atomic<int> m_PortErrors{0};
    // Takes every save and keeps nothing.
    struct NoFile final : FileWriter {
        bool replace(const std::string&, std::string_view, int) override { return true; }
        bool createIfMissing(const std::string&, int) override { return true; }
    } m_NoFile;
    CasterStore m_CasterList{"ntripcfg.txt", m_NoFile};
};

} // namespace tessadorn::bench
