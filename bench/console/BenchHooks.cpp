#include "BenchHooks.h"

namespace tessadorn::bench {

PanelInputs BenchHooks::panelInputs() {
    if (m_Session.deviceReady() && m_ReadyObserver) m_ReadyObserver();
    PanelInputs in;
    in.device = m_Session.device().read();
    in.baudIndex = m_Session.baudIndex();
    in.stConnect = m_Session.stConnect();
    return in;
}

} // namespace tessadorn::bench
