#include "FakeSerialPort.h"
#include "HeldRate.h"
#include "ProgramTemplates.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "WaitUntil.h"
#include "layout/TemplateLibrary.h"
#include "modem/Protocol.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "ui/TemplateSource.h"
#include "update/FirmwareUpdateDialog.h"
#include "update/UpdateControls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessadorn {
namespace {

using test::FakeSerialPort;
using test::ScriptedHost;
using test::ScriptedModem;
namespace u = update_ids;

const std::string kOkReply = "\r\nOK\r\n";
const std::string kErrorReply = "\r\nERROR\r\n";
const std::string kSuccess = "Modem Updated Successfully!!";
const std::string kNotDetected = "Tessadorn not detected.\r\nProcess canceled";
const std::string kComPortError = "Error opening Com Port.\r\nProcess canceled";

std::string updateError(int n) {
    return "Tessadorn Update Error (" + std::to_string(n) + ").\r\nProcess canceled";
}

using test::programTemplates;

bool until(const std::function<bool()>& cond) {
    return test::waitUntil(cond) >= 0;
}

// A modem in virtual time: its correction firmware listens at 38400 and says "Bye" to
// "#EXIT0"; its cellular engine answers at `engineBaud`. Once the OTAP trace is switched on, the
// engine's progress lines follow one a second.
struct ScriptedEngine {
    bool bye = true;
    bool byeOnResend = false; // "Bye" to the second exit command only
    int engineBaud = 4;
    std::string setReply = kOkReply;
    std::string startReply = kOkReply;
    bool traceStarts = true;
    std::vector<std::string> progress;
    std::atomic<bool>* holdOnTrace = nullptr; // set once the trace is switched on

    void attach(ScriptedModem& peer) {
        if (bye) {
            std::vector<std::string> byes{"\r\nBye\r\n"};
            if (byeOnResend) byes.insert(byes.begin(), "");
            peer.on(std::string(protocol::kExit0), byes).onlyAtBaud = 2;
        }
        peer.setUnmatched([this, &peer](std::string_view cmd, int baud, std::int64_t now) {
            if (baud != engineBaud) return;
            if (cmd == protocol::kAt) {
                peer.push(kOkReply, now + 20);
            } else if (cmd.rfind("AT^SJOTAP=", 0) == 0) {
                peer.push(setReply, now + 20);
            } else if (cmd == protocol::kOtapStart) {
                peer.push(startReply, now + 20);
            } else if (cmd == protocol::kOtapTrace) {
                peer.push(kOkReply, now + 20);
                if (!traceStarts) return;
                std::int64_t at = now + 1000;
                peer.push("OTAP.OUT STARTED\r\n", at);
                for (const auto& line : progress)
                    peer.push(line, at += 1000);
                if (holdOnTrace) holdOnTrace->store(true);
            }
        });
    }
};

// Lets a test hold the update at a step: while held, the modem's next byte does not come. The
// hold gives way after a minute of real time, so that a test whose script went wrong fails
// instead of hanging in the dialog's destructor.
class HoldingPeer final : public test::SerialPeer {
  public:
    explicit HoldingPeer(SerialPeer& inner) : m_Inner(inner) {}
    std::atomic<bool> held{false};

    void received(std::string_view bytes, int baud, std::int64_t now) override {
        m_Inner.received(bytes, baud, now);
    }
    std::int64_t readyAt(int baud) override {
        for (int ms = 0; held.load() && ms < 60000; ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return m_Inner.readyAt(baud);
    }
    std::uint8_t take() override { return m_Inner.take(); }
    void purged(int baud, std::int64_t now) override { m_Inner.purged(baud, now); }

  private:
    SerialPeer& m_Inner;
};

class FirmwareUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.setScreenSize(320, 240);
        std::lock_guard lock(store.mutex());
        store.apn = "web.example";
        store.carrierUser = "wu";
        store.carrierPassword = "wp";
    }

    // The dialog as the main dialog opens it, with the port closed.
    std::unique_ptr<FirmwareUpdateDialog> makeDialog() {
        engine.attach(peer);
        auto dialog = std::make_unique<FirmwareUpdateDialog>(owner, session, store);
        dialog->model()->addObserver([this, d = dialog.get()](int id) {
            if (id == u::Progress) {
                const auto bar = d->controls().state(u::Progress);
                std::lock_guard lock(m_StatusMutex);
                if (bar) m_Bar.push_back({bar->position, bar->rangeMax});
            }
            if (id != u::Status) return;
            std::lock_guard lock(m_StatusMutex);
            const std::string text = d->controls().text(u::Status);
            if (m_Statuses.empty() || m_Statuses.back() != text) m_Statuses.push_back(text);
        });
        return dialog;
    }

    // Script steps: wait (in real time) until the dialog is in `phase`.
    void waitForPhase(FirmwareUpdateDialog& d, UpdatePhase phase) {
        host.call([&d, phase](Dialog&) { ASSERT_TRUE(until([&] { return d.phase() == phase; })); });
    }
    void startAndContinue(FirmwareUpdateDialog& d) {
        host.click(u::Start);
        waitForPhase(d, UpdatePhase::WaitingForCable);
        host.click(u::Continue);
    }
    // Waits for the outcome box and for the dialog to be back at idle, then closes it.
    void finishAndClose(FirmwareUpdateDialog& d, std::size_t boxes) {
        host.call([this, &d, boxes](Dialog&) {
            ASSERT_TRUE(until([&] { return host.shownBoxes().size() >= boxes; }));
            ASSERT_TRUE(until([&] {
                return d.phase() == UpdatePhase::Idle && d.controls().visible(u::Start) &&
                       d.controls().titleOkVisible();
            }));
        });
        host.ok();
    }

    std::vector<std::string> statuses() const {
        std::lock_guard lock(m_StatusMutex);
        return m_Statuses;
    }
    // The progress bar as "position/top" when leaving the correction firmware was done: its
    // last state before the engine search set its own range.
    std::string barAfterLeaving() const {
        std::lock_guard lock(m_StatusMutex);
        std::string last;
        for (const auto& [position, top] : m_Bar) {
            if (top != 6) break;
            last = std::to_string(position) + "/" + std::to_string(top);
        }
        return last;
    }
    // Baud indexes at which `command` was written, in order.
    std::vector<int> writtenAt(std::string_view command) const {
        std::vector<int> rates;
        for (const auto& w : port.writes())
            if (w.bytes == command) rates.push_back(w.baudIndex);
        return rates;
    }
    void expectIdleFace(const FirmwareUpdateDialog& d) const {
        const ControlModel& c = d.controls();
        for (int id :
             {u::ApnLabel, u::UserLabel, u::PasswordLabel, u::Apn, u::User, u::Password, u::Start})
            EXPECT_TRUE(c.visible(id)) << id;
        for (int id : {u::Continue, u::Status, u::Progress, u::Accept, u::Cancel})
            EXPECT_FALSE(c.visible(id)) << id;
        EXPECT_TRUE(c.titleOkVisible());
    }

    test::TempDir dir;
    TemplateSet templates = programTemplates();
    ScriptedHost host{templates};
    VirtualClock clock;
    ScriptedModem peer;
    HoldingPeer holding{peer};
    FakeSerialPort port{clock, holding};
    ModemSession session{port, clock, dir.file("tessadorn.cfg"), AtomicFile::standard()};
    SerialChannel& serial = session.serial();
    CasterStore store{dir.file("ntripcfg.txt"), AtomicFile::standard()};
    ScriptedEngine engine;
    DebugCapture debug;
    Dialog owner{host, 103};

  private:
    mutable std::mutex m_StatusMutex;
    std::vector<std::string> m_Statuses;
    std::vector<std::pair<int, int>> m_Bar;
};

// ---- Outcomes of one update ----

struct OutcomeCase {
    const char* name;
    std::string setReply = kOkReply;
    std::string startReply = kOkReply;
    bool traceStarts = true;
    std::vector<std::string> progress = {};
    std::string message;
    bool downloads = true; // got as far as "Downloading Update Files..."
    bool installs = false; // the status switched to "Installing Update Files..."
    bool finishes = true;  // through "Process Finished"
    int barPosition = -1;  // at the end, when it matters
};

void PrintTo(const OutcomeCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateOutcome : public FirmwareUpdateTest,
                      public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(UpdateOutcome, EndsWithItsMessageAndReturnsToIdle) {
    const OutcomeCase& c = GetParam();
    engine.setReply = c.setReply;
    engine.startReply = c.startReply;
    engine.traceStarts = c.traceStarts;
    engine.progress = c.progress;
    auto dialog = makeDialog();
    startAndContinue(*dialog);
    finishAndClose(*dialog, 1);
    EXPECT_EQ(dialog->doModal(), kIdOk);

    EXPECT_EQ(host.shownTexts(), (std::vector<std::string>{c.message}));
    ASSERT_EQ(host.shownBoxes().size(), 1u);
    EXPECT_EQ(host.shownBoxes()[0].request.caption, kApplicationTitle);
    EXPECT_EQ(host.shownBoxes()[0].request.buttons, MessageButtons::Ok);
    expectIdleFace(*dialog);

    const auto seen = statuses();
    auto saw = [&](const std::string& s) {
        return std::find(seen.begin(), seen.end(), s) != seen.end();
    };
    EXPECT_TRUE(saw("Preparing Tessadorn Update..."));
    EXPECT_TRUE(saw("Starting Update Process..."));
    EXPECT_EQ(saw("Downloading Update Files..."), c.downloads);
    EXPECT_EQ(saw("Installing Update Files..."), c.installs);
    EXPECT_EQ(!seen.empty() && seen.back() == "Process Finished", c.finishes);
    if (c.barPosition >= 0) {
        const auto bar = dialog->controls().state(u::Progress);
        ASSERT_TRUE(bar.has_value());
        EXPECT_EQ(bar->rangeMax, 23);
        EXPECT_EQ(bar->position, c.barPosition);
    }

    // The correction firmware said "Bye" to the first exit command: nothing was sent blindly.
    EXPECT_EQ(writtenAt(protocol::kExit0), (std::vector<int>{2}));
    EXPECT_TRUE(writtenAt(protocol::kExit0Again).empty());
    // The engine was looked for from the lowest rate up and found at 115200.
    EXPECT_EQ(writtenAt(protocol::kAt), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(writtenAt(protocol::otapSet("web.example", "wu", "wp").text), (std::vector<int>{4}));
}

INSTANTIATE_TEST_SUITE_P(
    Update, UpdateOutcome,
    ::testing::Values(
        OutcomeCase{.name = "RebootAfterTwoTransfers",
                    .progress = {"OTAP: context activated\r\n", "Transfer finished.\r\n",
                                 "OTAP: downloading\r\n", "Transfer finished.\r\n",
                                 "OTAP: installing\r\n", "Reboot now\r\n"},
                    .message = kSuccess,
                    .installs = true,
                    // 5 rates searched, set to 5, three commands, three "OTAP" lines, reboot.
                    .barPosition = 12},
        OutcomeCase{.name = "OneTransferThenFailure",
                    .progress = {"OTAP: context activated\r\n", "Transfer finished.\r\n",
                                 "operation failed: download aborted\r\n"},
                    .message = updateError(6)},
        OutcomeCase{.name = "EngineError",
                    .progress = {"OTAP: context activated\r\n", "+CME ERROR: 100\r\n"},
                    .message = updateError(7)},
        OutcomeCase{.name = "EngineFallsSilentAfterOneTransfer",
                    .progress = {"OTAP: context activated\r\n", "Transfer finished.\r\n"},
                    .message = updateError(4)},
        OutcomeCase{.name = "SetCommandRefused",
                    .setReply = kErrorReply,
                    .message = updateError(1),
                    .downloads = false,
                    .finishes = false},
        OutcomeCase{.name = "StartCommandRefused",
                    .startReply = kErrorReply,
                    .message = updateError(2),
                    .downloads = false,
                    .finishes = false},
        OutcomeCase{.name = "TraceNeverStarts",
                    .traceStarts = false,
                    .message = updateError(3),
                    .downloads = false,
                    .finishes = false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Leaving the correction firmware and finding the engine ----

// "#EXIT0" at the link's rate (38400), resent once; without "Bye" the second exit command goes
// out blindly at every rate. Then the engine is looked for from the lowest rate up (here at
// 115200). A port that cannot be opened at a rate is reported and that rate skipped.
struct LeaveCase {
    const char* name;
    bool bye = true;
    bool byeOnResend = false;
    int engineBaud = 4;
    int failOpenAt = -100;
    int linkBaud = 2; // the rate the modem was last found at; -1 while none was found
    std::vector<int> exit0 = {}, exit0Again = {}, at = {}, otapSet = {};
    std::vector<std::string> texts = {};
    std::string barAfterLeaving = "6/6";
};

void PrintTo(const LeaveCase& c, std::ostream* os) {
    *os << c.name;
}

class LeaveAndSearch : public FirmwareUpdateTest,
                       public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveAndSearch, SendsAtTheRatesAndTellsTheOutcome) {
    const auto& c = GetParam();
    engine.bye = c.bye;
    engine.byeOnResend = c.byeOnResend;
    engine.engineBaud = c.engineBaud;
    engine.progress = {"Reboot now\r\n"};
    port.failOpenAt(c.failOpenAt);
    test::holdRate(session, c.linkBaud);
    auto dialog = makeDialog();
    startAndContinue(*dialog);
    finishAndClose(*dialog, c.texts.size());
    EXPECT_EQ(dialog->doModal(), kIdOk);

    EXPECT_EQ(writtenAt(protocol::kExit0), c.exit0);
    EXPECT_EQ(writtenAt(protocol::kExit0Again), c.exit0Again);
    EXPECT_EQ(writtenAt(protocol::kAt), c.at);
    EXPECT_EQ(writtenAt(protocol::otapSet("web.example", "wu", "wp").text), c.otapSet);
    EXPECT_EQ(host.shownTexts(), c.texts);
    EXPECT_EQ(barAfterLeaving(), c.barAfterLeaving);
    expectIdleFace(*dialog);
    if (c.otapSet.empty()) {
        EXPECT_EQ(statuses().back(), "Starting Update Process...")
            << "not through Process Finished";
    }
}

INSTANTIATE_TEST_SUITE_P(Update, LeaveAndSearch,
                         ::testing::Values(LeaveCase{.name = "ByeAtOnce",
                                                     .exit0 = {2},
                                                     .at = {0, 1, 2, 3, 4},
                                                     .otapSet = {4},
                                                     .texts = {kSuccess}},
                                           LeaveCase{.name = "ByeOnTheResend",
                                                     .byeOnResend = true,
                                                     .exit0 = {2, 2},
                                                     .at = {0, 1, 2, 3, 4},
                                                     .otapSet = {4},
                                                     .texts = {kSuccess}},
                                           LeaveCase{.name = "NoByeBlindAtEveryRate",
                                                     .bye = false,
                                                     .exit0 = {2, 2},
                                                     .exit0Again = {0, 1, 2, 3, 4},
                                                     .at = {0, 1, 2, 3, 4},
                                                     .otapSet = {4},
                                                     .texts = {kSuccess}},
                                           // No rate found yet: the exit goes out at the
                                           // port's own rate (38400 on a real port, the
                                           // index as given here), then blindly at every rate.
                                           LeaveCase{.name = "NoRateFoundYet",
                                                     .linkBaud = -1,
                                                     .exit0 = {-1, -1},
                                                     .exit0Again = {0, 1, 2, 3, 4},
                                                     .at = {0, 1, 2, 3, 4},
                                                     .otapSet = {4},
                                                     .texts = {kSuccess}},
                                           LeaveCase{.name = "NoEngineAtAnyRate",
                                                     .engineBaud = -1,
                                                     .exit0 = {2},
                                                     .at = {0, 1, 2, 3, 4},
                                                     .texts = {kNotDetected}},
                                           LeaveCase{.name = "APortFailsAtOneRateOfTheSearch",
                                                     .failOpenAt = 1,
                                                     .exit0 = {2},
                                                     .at = {0, 2, 3, 4},
                                                     .otapSet = {4},
                                                     .texts = {kComPortError, kSuccess}},
                                           LeaveCase{
                                               .name = "APortFailsAtOneRateOfTheBlindExit",
                                               .bye = false,
                                               .failOpenAt = 1,
                                               .exit0 = {2, 2},
                                               .exit0Again = {0, 2, 3, 4},
                                               .at = {0, 2, 3, 4},
                                               .otapSet = {4},
                                               .texts = {kComPortError, kComPortError, kSuccess},
                                               .barAfterLeaving = "5/6"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Closing ----

TEST_F(FirmwareUpdateTest, OkBeforeStartUpdateClosesWithoutAsking) {
    auto dialog = makeDialog();
    host.ok();
    EXPECT_EQ(dialog->doModal(), kIdOk);
    EXPECT_TRUE(host.shownBoxes().empty());
    EXPECT_TRUE(port.writes().empty());
}

TEST_F(FirmwareUpdateTest, OkWhileWaitingForTheCableAsksFirst) {
    auto dialog = makeDialog();
    host.click(u::Start);
    waitForPhase(*dialog, UpdatePhase::WaitingForCable);
    host.answer(kIdNo);
    host.ok();
    host.call([&](Dialog& top) {
        EXPECT_EQ(&top, dialog.get()) << "No keeps the dialog open";
        EXPECT_EQ(dialog->phase(), UpdatePhase::WaitingForCable);
        EXPECT_TRUE(dialog->controls().visible(u::Continue));
    });
    host.answer(kIdYes);
    host.ok();
    EXPECT_EQ(dialog->doModal(), kIdOk);

    const auto boxes = host.shownBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& b : boxes) {
        EXPECT_EQ(b.request.text, "Do you want to cancel the Update process?");
        EXPECT_EQ(b.request.caption, "Attention");
        EXPECT_EQ(b.request.buttons, MessageButtons::YesNo);
    }
    EXPECT_TRUE(port.writes().empty()) << "nothing reached the modem";
}

TEST_F(FirmwareUpdateTest, NothingClosesTheDialogWhileTheUpdateRuns) {
    engine.progress = {"OTAP: context activated\r\n"}; // then silence: error 4
    engine.holdOnTrace = &holding.held;                // the download waits for the test
    auto dialog = makeDialog();
    host.cancel(); // escape at idle
    host.click(u::Start);
    waitForPhase(*dialog, UpdatePhase::WaitingForCable);
    host.cancel(); // escape while waiting for the cable
    host.click(u::Continue);
    waitForPhase(*dialog, UpdatePhase::Running);
    host.call([&](Dialog&) {
        // The engine has taken the trace command and holds the download (the port records a
        // command before the engine gets it).
        ASSERT_TRUE(until([&] { return holding.held.load(); }));
        EXPECT_EQ(port.count(protocol::kOtapTrace), 1);
        EXPECT_FALSE(dialog->controls().titleOkVisible());
        EXPECT_EQ(dialog->closeQuestion(), "An update is in progress. Quit anyway?");
        EXPECT_EQ(dialog->controls().text(u::Status), "Starting Update Process...");
    });
    host.turn(240, 320); // the status line keeps its text through the re-layout
    host.call([&](Dialog&) {
        EXPECT_EQ(dialog->controls().text(u::Status), "Starting Update Process...");
        EXPECT_EQ(dialog->controls().rect(u::Status).y, 148 * 3 / 2) << "portrait layout";
    });
    host.cancel();
    host.ok(); // the hidden OK
    host.call([&](Dialog& top) {
        EXPECT_EQ(&top, dialog.get());
        EXPECT_EQ(dialog->phase(), UpdatePhase::Running);
        holding.held = false;
    });
    finishAndClose(*dialog, 1);
    EXPECT_EQ(dialog->doModal(), kIdOk);
    EXPECT_EQ(host.shownTexts(), (std::vector<std::string>{updateError(4)}));
    EXPECT_EQ(dialog->closeQuestion(), "");
}

TEST_F(FirmwareUpdateTest, WorkersLogTheirStartAndEndOnce) {
    {
        auto dialog = makeDialog();
        host.ok();
        EXPECT_EQ(dialog->doModal(), kIdOk);
    }
    for (const char* line :
         {"Iniciem Thread Principal\r\n", "Sortim Thread Principal\r\n",
          "Iniciem Thread Animació Rover\r\n", "Sortim Thread Animació Rover\r\n"})
        EXPECT_EQ(debug.count(line), 1) << line;
}

// ---- The APN values ----

TEST_F(FirmwareUpdateTest, TypedValuesGoToTheEngineAndAreNotStored) {
    engine.progress = {"Reboot now\r\n"};
    auto dialog = makeDialog();
    host.call([&](Dialog&) {
        EXPECT_EQ(dialog->controls().text(u::Apn), "web.example");
        EXPECT_EQ(dialog->controls().text(u::User), "wu");
        EXPECT_EQ(dialog->controls().text(u::Password), "wp");
    });
    host.type(u::Apn, "update.apn");
    host.type(u::User, "");
    host.type(u::Password, "s3cr3t:x y");
    startAndContinue(*dialog);
    finishAndClose(*dialog, 1);
    EXPECT_EQ(dialog->doModal(), kIdOk);

    EXPECT_EQ(writtenAt("AT^SJOTAP=\"wqzt\",\"" + std::string(protocol::updateDescriptorUrl()) +
                        "\",\"a:\",,,\"gprs\",\"update.apn\",\"\",\"s3cr3t:x y\",,\r\n"),
              (std::vector<int>{4}));
    std::lock_guard lock(store.mutex());
    EXPECT_EQ(store.apn, "web.example");
    EXPECT_EQ(store.carrierUser, "wu");
    EXPECT_EQ(store.carrierPassword, "wp");
}

// An edit holds 48 characters, the list 49 bytes: a value left alone goes out whole, as in the
// APN dialog.
TEST_F(FirmwareUpdateTest, ALongApnLeftAloneGoesOutWhole) {
    const std::string long49(49, 'a');
    {
        std::lock_guard lock(store.mutex());
        store.apn = long49;
    }
    engine.progress = {"Reboot now\r\n"};
    auto dialog = makeDialog();
    startAndContinue(*dialog);
    finishAndClose(*dialog, 1);
    EXPECT_EQ(dialog->doModal(), kIdOk);
    EXPECT_EQ(writtenAt("AT^SJOTAP=\"wqzt\",\"" + std::string(protocol::updateDescriptorUrl()) +
                        "\",\"a:\",,,\"gprs\",\"" + long49 + "\",\"wu\",\"wp\",,\r\n"),
              (std::vector<int>{4}));
}

struct RefusedCase {
    int field;
    std::string value;
    std::string message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.field << " " << c.message;
}

class RefusedValue : public FirmwareUpdateTest,
                     public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedValue, IsNamedAndNothingStarts) {
    auto dialog = makeDialog();
    host.type(GetParam().field, GetParam().value);
    host.click(u::Start);
    host.call([&](Dialog&) {
        EXPECT_EQ(host.shownSummaries(),
                  (std::vector<std::string>{std::string(kApplicationTitle) + " | " +
                                            GetParam().message + " | OK"}));
        EXPECT_EQ(dialog->phase(), UpdatePhase::Idle);
        expectIdleFace(*dialog);
    });
    host.ok();
    EXPECT_EQ(dialog->doModal(), kIdOk);
    EXPECT_EQ(host.shownBoxes().size(), 1u) << "closing asked nothing: the update never started";
    EXPECT_TRUE(port.writes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Update, RefusedValue,
    ::testing::Values(
        // The APN dialog's rule and wording, for the same three values.
        RefusedCase{u::Apn, "web\"x", "The field \"APN\" may not contain a double quote (\")."},
        RefusedCase{u::User, "\"", "The field \"User\" may not contain a double quote (\")."},
        RefusedCase{u::Password, "pa,ss", "The field \"Password\" may not contain \",\"."},
        RefusedCase{u::Apn, "a<b", "The field \"APN\" may not contain \"<\"."},
        RefusedCase{u::Password, "pa\r\nAT",
                    "The field \"Password\" may not contain a line break (CR)."},
        RefusedCase{u::Apn, "web\rAT", "The field \"APN\" may not contain a line break (CR)."},
        RefusedCase{u::User, "web\rAT", "The field \"User\" may not contain a line break (CR)."},
        RefusedCase{u::Password, "pw\r",
                    "The field \"Password\" may not contain a line break (CR)."},
        RefusedCase{u::Apn, "web\nAT", "The field \"APN\" may not contain a line break (LF)."},
        RefusedCase{u::User, std::string("u\0x", 3),
                    "The field \"User\" may not contain a NUL character."},
        RefusedCase{u::User, "u\tx", "The field \"User\" may not contain a tab (TAB)."},
        RefusedCase{u::Apn, "a\x1b",
                    "The field \"APN\" may not contain a control character (0x1B)."},
        RefusedCase{u::Password, "p\x1a",
                    "The field \"Password\" may not contain a control character (0x1A)."}));

} // namespace
} // namespace tessadorn
