#pragma once

#include "console/PanelControls.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tessadorn::test {

// The main dialog's controls as the status display leaves them.
class FakePanel final : public PanelControls {
  public:
    struct Control {
        std::string text;
        bool visible = true;
        bool checked = false;
    };
    void setText(int id, std::string_view utf8) override {
        {
            std::lock_guard l(m_Mutex);
            m_Controls[id].text = utf8;
            m_History[id].emplace_back(utf8);
        }
        if (onText) onText(id, utf8);
    }
    // Hears every text as it is set (set before the panel is used).
    std::function<void(int, std::string_view)> onText;
    // Every text the control was given, in order.
    std::vector<std::string> history(int id) const {
        std::lock_guard l(m_Mutex);
        auto it = m_History.find(id);
        return it == m_History.end() ? std::vector<std::string>{} : it->second;
    }
    void setVisible(int id, bool visible) override {
        std::lock_guard l(m_Mutex);
        m_Controls[id].visible = visible;
    }
    void setChecked(int id, bool checked) override {
        std::lock_guard l(m_Mutex);
        m_Controls[id].checked = checked;
    }
    std::string text(int id) const {
        std::lock_guard l(m_Mutex);
        auto it = m_Controls.find(id);
        return it == m_Controls.end() ? std::string() : it->second.text;
    }
    bool visible(int id) const {
        std::lock_guard l(m_Mutex);
        auto it = m_Controls.find(id);
        return it != m_Controls.end() && it->second.visible; // untouched controls count as hidden
    }
    bool checked(int id) const {
        std::lock_guard l(m_Mutex);
        auto it = m_Controls.find(id);
        return it != m_Controls.end() && it->second.checked;
    }

  private:
    mutable std::mutex m_Mutex;
    std::map<int, Control> m_Controls;
    std::map<int, std::vector<std::string>> m_History;
};

} // namespace tessadorn::test
