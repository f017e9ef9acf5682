#include "RecordingPanel.h"

namespace tessadorn::bench {

void RecordingPanel::setText(int id, std::string_view utf8) {
    ++m_Calls;
    std::lock_guard lock(m_Mutex);
    m_Texts[id] = std::string(utf8);
}

void RecordingPanel::setVisible(int id, bool visible) {
    ++m_Calls;
    {
        std::lock_guard lock(m_Mutex);
        m_Visible[id] = visible;
    }
    if (m_Observer) m_Observer(id, visible);
}

void RecordingPanel::setChecked(int id, bool checked) {
    ++m_Calls;
    std::lock_guard lock(m_Mutex);
    m_Checked[id] = checked;
}

std::string RecordingPanel::text(int id) const {
    std::lock_guard lock(m_Mutex);
    const auto it = m_Texts.find(id);
    return it == m_Texts.end() ? std::string() : it->second;
}

bool RecordingPanel::visible(int id) const {
    std::lock_guard lock(m_Mutex);
    const auto it = m_Visible.find(id);
    return it != m_Visible.end() && it->second;
}

} // namespace tessadorn::bench
