#include "console/MainDialog.h"
#include "store/SaveReport.h"

#include "console/AnimationThread.h"
#include "console/MonitorThread.h"
#include "platform/AtomicFile.h"
#include "platform/ProgramFolder.h"
#include "ui/MessageBoxRequest.h"

#include <filesystem>

namespace tessadorn {

namespace {
FileWriter& writerOf(const MainDialog::Files& files) {
    return files.writer ? *files.writer : AtomicFile::standard();
}
} // namespace

MainDialog::Files MainDialog::filesIn(const std::string& folder) {
    const std::filesystem::path dir(folder);
    Files files;
    files.casterList = (dir / kCasterListFileName).string();
    files.profile = (dir / kProfileFileName).string();
    return files;
}

MainDialog::MainDialog(DialogHost& host, SerialPort& port, Clock& clock, Files files)
    : Dialog(host, kTemplate), m_Clock(clock),
      m_Session(port, clock, files.profile, writerOf(files)),
      m_Store(files.casterList, writerOf(files)) {
    controls().setTitle(kApplicationTitle);
    controls().setIcon(kIcon);
}

MainDialog::~MainDialog() {
    stopWorkers();
}

void MainDialog::onInit() {
    m_Session.notReady();
    m_Display.hideAll();

    // Start-up load: the caster list (a failed load is not shown), then the device profile.
    m_Store.Load();
    m_Session.loadProfile();

    m_AnimationThread = std::thread([this] {
        AnimationThread animation(m_Session.readyFlag(), m_Display, m_Clock);
        animation.run(m_Session.closingFlag());
    });
    m_MonitorThread = std::thread([this] {
        MonitorThread monitor(m_Session, m_Display, *this);
        monitor.run();
    });
}

void MainDialog::stopWorkers() {
    m_Session.abortLink();
    if (m_MonitorThread.joinable() && m_MonitorThread.get_id() != std::this_thread::get_id())
        m_MonitorThread.join();
    if (m_AnimationThread.joinable()) m_AnimationThread.join();
}

void MainDialog::onCommand(int id) {
    switch (id) {
    case ids::TextApn:
    case ids::Apn:
        return openApnSettings();
    case ids::TextGps:
    case ids::Gps:
        return openGpsSource();
    case ids::Relay:
        return openRelayService();
    case ids::TextCaster:
    case ids::Caster:
        return chooseCaster();
    case ids::TextUpdate:
    case ids::Update:
        return runFirmwareUpdate();
    case ids::TextConnect:
    case ids::Connect:
    case ids::Disconnect:
        return connectCommand();
    case ids::TextServer:
    case ids::ToServer:
        return changeRole(true);
    case ids::TextClient:
    case ids::ToClient:
        return changeRole(false);
    case ids::AutoConnect:
        return autoConnection();
    default:
        break;
    }
}

void MainDialog::onOk() {
    stopWorkers();
    endDialog(kIdOk);
}

void MainDialog::onCancel() {
    stopWorkers();
    endDialog(kIdCancel);
}

void MainDialog::onSize(int width, int height) {
    relayoutForScreen(width, height);
    // The monitor may change the connection state meanwhile: the re-layout only forgets an
    // "off", never writes back what it read.
    if (m_Display.sizeRefresh(m_Session.deviceReady(), m_Session.mode(), panelInputs()))
        m_Session.connectionOffForgotten();
}

std::optional<BackgroundAnswer> MainDialog::onBackgroundColour() {
    return m_BackgroundBrush;
}

void MainDialog::portError() {
    // On the monitor thread: the program cannot work without its port.
    messageBox("Com Port Error", "ERROR");
    endDialog(0);
}

// The start-up changes the list under its lock and saves it after; a save that fails is reported
// to the user like any other (the list in memory keeps the change).
void MainDialog::listNotSaved(const std::string& failure) {
    messageBox(failure, kSaveFailureCaption);
}

PanelInputs MainDialog::panelInputs() {
    PanelInputs in;
    in.device = m_Session.device().read();
    in.baudIndex = m_Session.baudIndex();
    in.stConnect = m_Session.stConnect();
    std::lock_guard lock(m_Store.mutex());
    in.count = m_Store.count;
    in.auth = m_Store.auth;
    in.user = m_Store.user;
    in.hasCurrentEntry = m_Store.serverInList();
    in.current = m_Store.current();
    return in;
}

} // namespace tessadorn
