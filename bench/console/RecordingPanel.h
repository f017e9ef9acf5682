#pragma once

#include "console/PanelControls.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace tessadorn::bench {

// The main dialog's controls without a window: every text, visibility and check mark is kept
// per control id, and an optional observer hears of every visibility change (on the calling
// thread) so that a benchmark can time the moment a picture appears.
class RecordingPanel final : public PanelControls {
  public:
    using VisibilityObserver = std::function<void(int id, bool visible)>;

    // Set before the panel is shared with another thread.
    void setVisibilityObserver(VisibilityObserver observer) { m_Observer = std::move(observer); }

    void setText(int id, std::string_view utf8) override;
    void setVisible(int id, bool visible) override;
    void setChecked(int id, bool checked) override;

    std::string text(int id) const;
    bool visible(int id) const;
    // Number of calls of all three kinds so far.
    long calls() const { return m_Calls.load(); }

  private:
    mutable std::mutex m_Mutex;
    std::map<int, std::string> m_Texts;
    std::map<int, bool> m_Visible;
    std::map<int, bool> m_Checked;
    std::atomic<long> m_Calls{0};
    VisibilityObserver m_Observer;
};

} // namespace tessadorn::bench
