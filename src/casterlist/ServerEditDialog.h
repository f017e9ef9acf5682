#pragma once

#include "store/CasterStore.h"
#include "ui/Dialog.h"

namespace tessadorn {

// "Configuration": edits one caster of the list, new or existing: its NTRIP version (or IBSS),
// name, server, port, user and password. Created from template 110 (landscape), laid out from
// 109 on a portrait screen.
//
// OK changes the store in memory only (the server list dialog saves the file); a new caster
// takes the next free slot and becomes the current one if none was chosen. Values the caster
// list or the modem could not carry back intact are refused with a message naming the field;
// the dialog then stays open. Results: 0 after OK and Cancel, 2 after the system's cancel.
class ServerEditDialog : public Dialog {
  public:
    static constexpr int kTemplate = 110;
    static constexpr int kNewCaster = -1;

    // Control ids.
    static constexpr int kVersion = 1137;
    static constexpr int kName = 1011, kServer = 1012, kPort = 1013, kUser = 1014, kPassword = 1015;
    static constexpr int kNameCaption = 1017, kServerCaption = 1018, kPortCaption = 1019,
                         kUserCaption = 1055, kPasswordCaption = 1056;
    static constexpr int kCancel = 1000;

    // The rows of the version list; a caster's `vntrip` is its row plus one.
    // The IBSS row and its fixed port are the caster list's (caster_list::kIbssRow, kIbssPort).
    static constexpr const char* kVersions[] = {"NTRIP 1.0", "NTRIP 2.0", "IBSS"};

    // `slot` is the caster's place in the list, kNewCaster for a new one.
    ServerEditDialog(Dialog& parent, CasterStore& store, int slot);

    void onInit() override;
    void onCommand(int id) override;
    void onSelectionChange(int id) override;
    void onOk() override;
    void onSize(int width, int height) override;

  private:
    void versionRefresh();
    // The caption of an edit as the user sees it, without its colon.
    std::string fieldName(int captionId) const;

    CasterStore& m_Store;
    int m_Slot;
};

} // namespace tessadorn
