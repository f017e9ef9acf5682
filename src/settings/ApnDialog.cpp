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
        m_Stored = {m_Store.apn, m_Store.carrierUser, m_Store.carrierPassword};
    }
    controls().setDeviceText(kApn, m_Stored.apn);
    controls().setDeviceText(kUser, m_Stored.user);
    controls().setDeviceText(kPassword, m_Stored.password);
    // What the edits hold of them: a value from the modem may be longer than an edit.
    m_Shown = {controls().readEdit(kApn), controls().readEdit(kUser),
               controls().readEdit(kPassword)};
    controls().setDeviceText(kImei, m_Session.device().read().Imei);
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
    const auto edited = [this](int id, const std::string& shown, const std::string& stored) {
        const std::string text = controls().readEdit(id);
        return text == shown ? stored : text;
    };
    const Typed typed{edited(kApn, m_Shown.apn, m_Stored.apn),
                      edited(kUser, m_Shown.user, m_Stored.user),
                      edited(kPassword, m_Shown.password, m_Stored.password)};
    if (typed.apn == m_Stored.apn && typed.user == m_Stored.user &&
        typed.password == m_Stored.password) {
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
        messageBox("APN configuration Error");
        section.end();
        return;
    }
    messageBox("APN configured. Tessadorn is rebooting...");
    section.end();
    endDialog(1);
}

} // namespace tessadorn
