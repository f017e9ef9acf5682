#pragma once

#include "store/CasterStore.h"
#include "ui/Dialog.h"

namespace tessadorn {

// "Configuration": the choice of the current caster from the caster list, with its access
// details, whether it requires authentication, and the way to the server list ("...").
// Created from template 101 (landscape), laid out from 104 on a portrait screen.
//
// Only OK changes the current choice: the chosen caster's user and password become the current
// credentials, the check box the `auth` value, and the file is written (a failed save is
// reported). While no current caster was ever chosen (`hasCurrent` clear), and when no row is
// selected, OK stores no choice but still writes the file. Results: 1 after OK, 0 after
// Cancel, 2 after the system's cancel.
//
// The store is shared with the monitor's caster list synchronisation: every handler takes the
// store's lock while it reads or changes it, and none holds it while the user is asked
// anything, so the monitor is never held up for longer than one step of the dialog.
class CasterSelectDialog : public Dialog {
  public:
    static constexpr int kTemplate = 101;

    // Control ids.
    static constexpr int kServerCaption = 1017;
    static constexpr int kList = 1038;
    static constexpr int kServers = 1002;
    static constexpr int kFirstCaption = 1018, kFirstDetail = 1055;
    static constexpr int kSecondCaption = 1019, kSecondDetail = 1056;
    static constexpr int kAuth = 1037;
    static constexpr int kCancel = 1000;

    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 0;

    CasterSelectDialog(Dialog& parent, CasterStore& store);

    void onInit() override;
    void onCommand(int id) override;
    void onSelectionChange(int id) override;
    void onOk() override;
    void onSize(int width, int height) override;

  private:
    void selectionRefresh();
    void fillList();
    void openServerList();
    void emptyDetails();

    CasterStore& m_Store;
};

} // namespace tessadorn
