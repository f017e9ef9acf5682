#include "update/FirmwareUpdateDialog.h"

#include "update/CableAnimation.h"
#include "update/UpdateControls.h"
#include "update/UpdateSequencer.h"
#include "update/UpdateValues.h"

#include <mutex>

namespace tessadorn {

FirmwareUpdateDialog::FirmwareUpdateDialog(Dialog& parent, ModemSession& session,
                                           CasterStore& store)
    : Dialog(parent, kTemplate), m_Session(session), m_Store(store),
      m_PreviousAbort(session.serial().AbortFlag()) {
    // A serial wait of the sequencer ends at its next read once the dialog closes.
    m_Session.serial().SetAbortFlag(&m_Flags.stopSequencer);
}

FirmwareUpdateDialog::~FirmwareUpdateDialog() {
    stopWorkers();
    m_Session.serial().SetAbortFlag(m_PreviousAbort);
}

void FirmwareUpdateDialog::onInit() {
    m_Flags.startRequested.store(false);
    m_Flags.continueRequested.store(false);
    ControlModel& c = controls();
    c.setVisible(update_ids::Accept, false);
    c.setVisible(update_ids::Cancel, false);
    caster_list::TypedApn& stored = m_Flags.prefill.stored;
    {
        std::lock_guard lock(m_Store.mutex());
        stored = {m_Store.apn, m_Store.carrierUser, m_Store.carrierPassword};
    }
    c.setDeviceText(update_ids::Apn, stored.apn);
    c.setDeviceText(update_ids::User, stored.user);
    c.setDeviceText(update_ids::Password, stored.password);
    m_Flags.prefill.shown = readUpdateEdits(c);
    c.setVisible(update_ids::Continue, false);
    c.setVisible(update_ids::Status, false);
    c.setVisible(update_ids::Progress, false);
    c.setText(update_ids::Start, "Start Update");

    m_Animation = std::thread([this] {
        CableAnimation animation(controls(), m_Flags, m_Session.clock());
        animation.run();
    });
    m_Sequencer = std::thread([this] {
        UpdateSequencer sequencer(*this, m_Flags, m_Session);
        sequencer.run();
    });
}

void FirmwareUpdateDialog::onCommand(int id) {
    if (id == update_ids::Start) {
        if (m_Flags.phase.load() != UpdatePhase::Idle) return;
        // Values that cannot reach the engine intact are refused before anything starts.
        const std::string why = readUpdateValues(controls(), m_Flags.prefill).refusal();
        if (!why.empty()) {
            messageBox(why);
            return;
        }
        m_Flags.startRequested.store(true);
    } else if (id == update_ids::Continue) {
        m_Flags.continueRequested.store(true);
    }
}

void FirmwareUpdateDialog::onOk() {
    // While the modem is being updated the OK is hidden and nothing closes the dialog.
    if (m_Flags.phase.load() == UpdatePhase::Running || !controls().titleOkVisible()) return;
    if (m_Flags.startRequested.load() && messageBox("Do you want to cancel the Update process?",
                                                    "Attention", MessageButtons::YesNo) != kIdYes)
        return;
    // The update may have started while the question was up.
    if (m_Flags.phase.load() == UpdatePhase::Running) return;
    m_Flags.stopAnimation.store(true);
    m_Flags.stopSequencer.store(true);
    m_Session.clock().sleepMs(kCloseSettleMs);
    endDialog(kIdOk);
    stopWorkers();
}

void FirmwareUpdateDialog::onSize(int width, int height) {
    std::lock_guard lock(m_Flags.statusMutex);
    relayoutForScreen(width, height);
    if (!m_Flags.status.empty()) controls().setText(update_ids::Status, m_Flags.status);
}

std::string FirmwareUpdateDialog::closeQuestion() const {
    if (m_Flags.phase.load() != UpdatePhase::Running) return {};
    return "An update is in progress. Quit anyway?";
}

void FirmwareUpdateDialog::stopWorkers() {
    m_Flags.stopAnimation.store(true);
    m_Flags.stopSequencer.store(true);
    if (m_Animation.joinable()) m_Animation.join();
    if (m_Sequencer.joinable()) m_Sequencer.join();
}

} // namespace tessadorn
