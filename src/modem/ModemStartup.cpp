#include "modem/ModemStartup.h"

#include "modem/CasterSync.h"
#include "store/SaveReport.h"

namespace tessadorn {

ModemStartup::ModemStartup(ModemSession& session, CasterStore& casterList, Hooks hooks)
    : m_Session(session), m_CasterList(casterList), m_Hooks(std::move(hooks)),
      m_Reads(session, [this] { return checkpoint(); }) {}

void ModemStartup::keep(bool changed) {
    std::string failure;
    if (changed && !saveCasterList(m_CasterList, failure) && m_Hooks.listNotSaved)
        m_Hooks.listNotSaved(failure);
}

ModemStartup::Outcome ModemStartup::run() {
    const auto mode = m_Reads.configuration();
    if (!mode) return Outcome::NoConfiguration;
    keep(caster_sync::takeApn(m_Session.device().read(), m_CasterList));
    if (m_Hooks.roleKnown) m_Hooks.roleKnown(*mode);
    if (*mode == kModeServer) {
        if (m_Reads.serverState() && m_Hooks.serverAddressRead) m_Hooks.serverAddressRead();
    } else if (m_Reads.clientState()) {
        keep(caster_sync::takeStoredCaster(m_Session.device().read(), m_CasterList));
    }
    return Outcome::Done;
}

} // namespace tessadorn
