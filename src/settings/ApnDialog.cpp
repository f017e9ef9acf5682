#include "settings/ApnDialog.h"

#include "modem/DeviceSettings.h"
#include "settings/TextInput.h"
#include "store/FieldCheck.h"
#include "store/SaveReport.h"

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

bool ApnDialog::acceptable(const Typed& typed) {
    // The caster list file cannot hold "<"; the modem hands the values back in its
    // comma-separated configuration reply, and the update puts them between quotes.
    static constexpr std::string_view kForbidden = "<,\"";
    const struct {
        const char* field;
        const std::string& value;
    } fields[] = {{"APN", typed.apn}, {"User", typed.user}, {"Password", typed.password}};
    for (const auto& f : fields) {
        if (const std::string why = refusedValueMessage(f.field, f.value, kForbidden);
            !why.empty()) {
            messageBox(why);
            return false;
        }
    }
    return true;
}

void ApnDialog::onOk() {
    const Typed typed{controls().readEdit(kApn), controls().readEdit(kUser),
                      controls().readEdit(kPassword)};
    {
        std::lock_guard lock(m_Store.mutex());
        if (typed.apn == m_Store.apn && typed.user == m_Store.carrierUser &&
            typed.password == m_Store.carrierPassword) {
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
        m_Store.apn = typed.apn;
        m_Store.carrierUser = typed.user;
        m_Store.carrierPassword = typed.password;
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
