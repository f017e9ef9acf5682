#pragma once

#include "store/CasterStore.h"
#include "ui/Dialog.h"

namespace tessadorn {

// "Servers": the caster list with Add, Edit and Delete. Created from template 107
// (landscape), laid out from 108 on a portrait screen.
//
// Add, Edit and Delete change the store at once; OK writes the file (a failed save is
// reported) and closes with 0; the system's cancel closes with 2 and leaves the changes in
// memory for the next save. Add is disabled while the list is full, and stays disabled once
// that happened until the dialog is opened again.
class ServerListDialog : public Dialog {
  public:
    static constexpr int kTemplate = 107;

    // Control ids.
    static constexpr int kList = 1039;
    static constexpr int kAdd = 1000, kEdit = 1001, kDelete = 1002;

    ServerListDialog(Dialog& parent, CasterStore& store);

    void onInit() override;
    void onCommand(int id) override;
    void onOk() override;

  private:
    void fillList();
    // Row of the first selected caster, -1 when none is selected.
    int selectedCaster() const;
    void add();
    void edit();
    void remove();

    CasterStore& m_Store;
};

} // namespace tessadorn
