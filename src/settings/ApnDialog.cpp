#include "settings/ApnDialog.h"

#include "modem/DeviceSettings.h"
#include "modem/Outcomes.h"
#include "store/SaveReport.h"
#include "store/TextInput.h"

namespace tessadorn {

ApnDialog::ApnDialog(Dialog& parent, ModemSession& session, CasterStore& store)
    : Dialog(parent, kTemplate), m_Session(session), m_Store(store) {}

void ApnDialog::onInit() {
    Typed& stored = m_Prefill.stored;
    {
        std::lock_guard lock(m_Store.mutex());
        stored = {m_Store.apn, m_Store.carrierUser, m_Store.carrierPassword};
    }
    controls().setDeviceText(kApn, stored.apn);
    controls().setDeviceText(kUser, stored.user);
    controls().setDeviceText(kPassword, stored.password);
    // What the edits hold of them: a value from the modem may be longer than an edit.
    m_Prefill.shown = readTyped();
    controls().setDeviceText(kImei, m_Session.device().read().Imei);
}

ApnDialog::Typed ApnDialog::readTyped() const {
    return {controls().readEdit(kApn), controls().readEdit(kUser), controls().readEdit(kPassword)};
}

void ApnDialog::onCommand(int id) {
    if (id == kCancel) endDialog(0);
}

bool ApnDialog::acceptable(const Typed& typed) {
    const std::string why = caster_list::apnRefusal(typed);
    if (!why.empty()) messageBox(why);
    return why.empty();
}

void ApnDialog::onOk() {
    // A field whose edit still shows what it showed at the start keeps its value whole.
    const Typed typed = m_Prefill.typed(readTyped());
    if (typed.apn == m_Prefill.stored.apn && typed.user == m_Prefill.stored.user &&
        typed.password == m_Prefill.stored.password) {
        endDialog(1);
        return;
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
        messageBox(outcome::kApnRefused);
        section.end();
        return;
    }
    messageBox(outcome::kApnRebooting);
    section.end();
    endDialog(1);
}

} // namespace tessadorn
