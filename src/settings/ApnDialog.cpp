#include "settings/ApnDialog.h"

#include "link/PauseSection.h"
#include "link/Protocol.h"
#include "link/Transactions.h"
#include "settings/TextInput.h"
#include "store/FieldCheck.h"
#include "store/SaveReport.h"

namespace tessadorn {

namespace p = protocol;

ApnDialog::ApnDialog(Dialog& parent, DeviceAccess access, CasterStore& store)
    : Dialog(parent, kTemplate), m_Access(access), m_Store(store) {}

void ApnDialog::onInit() {
    {
        std::lock_guard lock(m_Store.mutex());
        controls().setDeviceText(kApn, m_Store.apn);
        controls().setDeviceText(kUser, m_Store.carrierUser);
        controls().setDeviceText(kPassword, m_Store.carrierPassword);
    }
    controls().setDeviceText(kImei, m_Access.m_Device.read().Imei);
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

bool ApnDialog::configureModem(const Typed& typed) {
    Transactions tx(m_Access.m_Serial, m_Access.m_Reading);
    int accepted = 0;
    // Each value is sent even when the modem refused the one before.
    accepted += tx.SendWaitToken(p::apn(typed.apn), p::kTokOkLine, kResends);
    accepted += tx.SendWaitToken(p::apnUser(typed.user), p::kTokOkLine, kResends);
    accepted += tx.SendWaitToken(p::apnPassword(typed.password), p::kTokOkLine, kResends);
    if (accepted < 3) return false;
    if (!tx.SendWaitToken(p::kSave, p::kTokOkLine, kResends)) return false;
    // The modem restarts; whether it answered does not matter.
    tx.SendWaitToken(p::kReset, p::kTokOkLine, kResends);
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

    PauseSection section("APN", m_Access.m_Reading, m_Access.monitorGate, waitCursor(),
                         m_Access.clock);
    if (!configureModem(typed)) {
        messageBox("APN configuration Error");
        section.end();
        return;
    }
    messageBox("APN configured. Tessadorn is rebooting...");
    section.end();
    endDialog(1);
}

} // namespace tessadorn
