#pragma once

#include "modem/ModemSession.h"
#include "store/CasterStore.h"
#include "ui/Dialog.h"
#include "update/UpdateFlags.h"

#include <atomic>
#include <string>
#include <thread>

namespace tessadorn {

// "Firmware Update": the modem fetches and installs new firmware over its own cellular link.
// Created from template 178, re-laid out from 177 on a portrait screen.
//
// The dialog runs two workers for its whole life, the cable animation and the update sequencer;
// they work on the caller's serial channel, which the caller has closed and keeps away from the
// monitor while the dialog is open. The APN values are prefilled from the caster list and used
// for the update only, never stored.
//
// Only the title-bar OK closes the dialog, and only while no update runs: between "Start
// Update" and "Continue" it asks first, and while the modem is being updated it is hidden.
// Closing stops both workers and joins them.
class FirmwareUpdateDialog : public Dialog {
  public:
    static constexpr int kTemplate = 178;
    static constexpr int kCloseSettleMs = 200;

    FirmwareUpdateDialog(Dialog& parent, ModemSession& session, CasterStore& store);
    ~FirmwareUpdateDialog() override;

    void onInit() override;
    void onCommand(int id) override;
    void onOk() override;
    // The system's cancel never closes this dialog.
    void onCancel() override {}
    // Re-lays the dialog out for the screen and keeps the status line's text.
    void onSize(int width, int height) override;
    std::string closeQuestion() const override;

    UpdatePhase phase() const { return m_Flags.phase.load(); }
    // Stops both workers (at their next poll, or at the next read of a serial wait) and joins
    // them. Safe to call more than once.
    void stopWorkers();

  private:
    ModemSession& m_Session;
    CasterStore& m_Store;
    UpdateFlags m_Flags;
    // The serial channel's abort flag before the dialog made its own stop flag the abort.
    const std::atomic<bool>* m_PreviousAbort;
    std::thread m_Animation;
    std::thread m_Sequencer;
};

} // namespace tessadorn
