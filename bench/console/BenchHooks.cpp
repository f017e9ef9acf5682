#include "BenchHooks.h"

namespace tessadorn::bench {

PanelInputs BenchHooks::panelInputs() {
    if (m_DeviceReady.load() == 1 && m_ReadyObserver) m_ReadyObserver();
    PanelInputs in;
    in.device = m_Device.read();
    in.baudIndex = m_BaudIndex.load();
    in.stConnect = m_StConnect.load();
    return in;
}

} // namespace tessadorn::bench
