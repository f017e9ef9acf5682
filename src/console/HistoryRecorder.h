#pragma once

#include "modem/MonitorObserver.h"
#include "ui/PollHistory.h"

#include <cstdint>
#include <functional>

namespace tessadorn {

// Keeps what the monitor polls in the window's history, with the moments the modem was found
// and lost, stamped with `wallMs` (milliseconds since 1970).
class HistoryRecorder final : public MonitorObserver {
  public:
    HistoryRecorder(PollHistory& history, std::function<std::int64_t()> wallMs)
        : m_History(history), m_WallMs(std::move(wallMs)) {}

    void found(const ModemFacts& facts) override {
        m_History.setModem(facts.serial);
        m_History.mark(m_WallMs(), PollHistory::Moment::Found);
    }
    void polled(const PolledValues& v) override {
        m_History.polled(m_WallMs(), v.signal, v.simState, v.apnReady, v.connection);
    }
    void lost(LostReason) override { m_History.mark(m_WallMs(), PollHistory::Moment::Lost); }

  private:
    PollHistory& m_History;
    std::function<std::int64_t()> m_WallMs;
};

} // namespace tessadorn
