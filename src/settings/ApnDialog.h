#pragma once

#include "modem/ModemSession.h"
#include "store/CasterListEdits.h"
#include "store/CasterStore.h"
#include "ui/Dialog.h"

namespace tessadorn {

// "APN Options": the access point name, user and password with which the modem opens its
// cellular data connection, and the modem's IMEI (read only). OK writes a change to the caster
// list first, then sends it to the modem followed by "SAVE" and "RESET", after which the modem
// restarts and the monitor finds it again. Closes with 1 after OK, 0 on Cancel.
class ApnDialog final : public Dialog {
  public:
    static constexpr int kTemplate = 111;
    static constexpr int kApn = 1011, kUser = 1012, kPassword = 1013, kImei = 1014;
    static constexpr int kCancel = 1000;

    ApnDialog(Dialog& parent, ModemSession& session, CasterStore& store);

    void onInit() override;
    void onCommand(int id) override;
    void onOk() override;
    void onCancel() override { endDialog(0); }

  private:
    using Typed = caster_list::TypedApn;
    // False (after telling the user which field) when a value cannot be kept.
    bool acceptable(const Typed& typed);
    // What the three edits hold now.
    Typed readTyped() const;

    ModemSession& m_Session;
    // The list's values when the dialog opened, and what the edits showed of them.
    caster_list::ApnPrefill m_Prefill;
    CasterStore& m_Store;
};

} // namespace tessadorn
