#pragma once

#include "console/MonitorHooks.h"
#include "modem/DeviceConfig.h"
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
    BenchHooks(DeviceConfig& device, const std::atomic<int>& deviceReady,
               const std::atomic<int>& baudIndex, const std::atomic<int>& stConnect)
        : m_Device(device), m_DeviceReady(deviceReady), m_BaudIndex(baudIndex),
          m_StConnect(stConnect) {}

    // Set before the monitor starts.
    void setReadyObserver(std::function<void()> observer) { m_ReadyObserver = std::move(observer); }

    void portError() override { ++m_PortErrors; }
    void rateFound(int baudIndex) override { m_RateFound = baudIndex; }
    CasterStore& casterList() override { return m_CasterList; }
    void listNotSaved(const std::string&) override {}
    PanelInputs panelInputs() override;

    int portErrors() const { return m_PortErrors.load(); }
    // The last baud index the modem answered at, -1 before it answered.
    int rateFound() const { return m_RateFound.load(); }

  private:
    DeviceConfig& m_Device;
    const std::atomic<int>& m_DeviceReady;
    const std::atomic<int>& m_BaudIndex;
    const std::atomic<int>& m_StConnect;
    std::function<void()> m_ReadyObserver;
    std::atomic<int> m_PortErrors{0};
    std::atomic<int> m_RateFound{-1};
    // Takes every save and keeps nothing.
    struct NoFile final : FileWriter {
        bool replace(const std::string&, std::string_view, int) override { return true; }
        bool createIfMissing(const std::string&, int) override { return true; }
    } m_NoFile;
    CasterStore m_CasterList{"ntripcfg.txt", m_NoFile};
};

} // namespace tessadorn::bench
