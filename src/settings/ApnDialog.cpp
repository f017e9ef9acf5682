#include "settings/ApnDialog.h"

#include "modem/DeviceSettings.h"
#include "store/SaveReport.h"
#include "store/TextInput.h"

namespace tessadorn {

ApnDialog::ApnDialog(Dialog& parent, ModemSession& session, CasterStore& store)
    : Dialog(parent, kTemplate), m_Session(session), m_Store(store) {}

void ApnDialog::onInit() {
    {
        std::lock_guard lock(m_Store.mutex());
        controls().setDeviceText(kApn, m_Store.apn);
        controls().setDeviceText(kUser, m_Store.carrierUser);
        controls().setDeviceText(kPassword, m_Store.carrierPassword);
    }
    controls().setDeviceText(kImei, m_Session.device().read().Imei);
}

void ApnDialog::onCommand(int id) {
    if (id == kCancel) endDialog(0);
}

bool ApnDialog::acceptable(const caster_list::TypedApn& typed) {
    const std::string why = caster_list::apnRefusal(typed);
    if (!why.empty()) messageBox(why);
    return why.empty();
}

void ApnDialog::onOk() {
    const caster_list::TypedApn typed{controls().readEdit(kApn), controls().readEdit(kUser),
                                      controls().readEdit(kPassword)};
    {
        std::lock_guard lock(m_Store.mutex());
        if (caster_list::sameApn(m_Store, typed)) {
            endDialog(1);
            return;
        }
    }
    if (!acceptable(typed)) return;
    if (messageBox("Do you want to update the APN configuration?", "Attention",
                   MessageButtons::YesNo) != kIdYes)
        return;

    // The list is written before the modem is asked.
    {
        std::lock_guard lock(m_Store.mutex());
        caster_list::setApn(m_Store, typed);
    }
    if (std::string failure; !saveCasterList(m_Store, failure))
        messageBox(failure, kSaveFailureCaption);

    PauseSection section = m_Session.pause("APN", waitCursor());
    if (!DeviceSettings(m_Session).setApn(typed.apn, typed.user, typed.password)) {
        messageBox("APN configuration Error");
        section.end();
        return;
    }
    messageBox("APN configured. Tessadorn is rebooting...");
    section.end();
    endDialog(1);
}

} // namespace tessadorn
