#include "settings/ApnDialog.h"
#include "SettingsRig.h"

#include <gtest/gtest.h>

#include <array>

namespace tessadorn {
namespace {

using test::ScriptedHost;

constexpr int kEndedIdle = ScriptedHost::kEndedIdle; // the dialog was still open

class ApnDialogTest : public ::testing::Test, protected test::SettingsRig {
  protected:
    void SetUp() override {
        std::lock_guard lock(store.mutex());
        store.hasCurrent = true;
        store.carrier = "yes";
        store.apn = "old.apn";
        store.carrierUser = "olduser";
        store.carrierPassword = "oldpw";
        device.update([](DeviceConfig::Values& d) { d.Imei = "350000111122223"; });
    }
    int run(const std::function<void()>& script) {
        ApnDialog dialog(parent, session, store);
        script();
        return dialog.doModal();
    }
    void typeAll(const std::string& apn, const std::string& user, const std::string& pw) {
        host.type(ApnDialog::kApn, apn);
        host.type(ApnDialog::kUser, user);
        host.type(ApnDialog::kPassword, pw);
    }
    std::string storedApn() {
        std::lock_guard lock(store.mutex());
        return store.apn + "|" + store.carrierUser + "|" + store.carrierPassword;
    }
};

TEST_F(ApnDialogTest, OpensWithTheListsValuesAndClosesUnchangedWithoutAsking) {
    const int result = run([&] {
        host.call([](Dialog& d) {
            EXPECT_EQ(d.controls().text(ApnDialog::kApn), "old.apn");
            EXPECT_EQ(d.controls().text(ApnDialog::kUser), "olduser");
            EXPECT_EQ(d.controls().text(ApnDialog::kPassword), "oldpw");
            EXPECT_EQ(d.controls().text(ApnDialog::kImei), "350000111122223");
            EXPECT_EQ(d.controls().title(), "APN Options");
        });
        host.ok();
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(host.shownBoxes().empty());
}

// OK after a change asks, writes the list, then sends the three values, "SAVE" and "RESET"
// (once: a modem that restarts without a word is not restarted again when it is back). A field
// the user left alone keeps its value whole, even one longer than its edit holds.
TEST_F(ApnDialogTest, AChangeIsStoredFirstThenSentSavedAndResetOnce) {
    const std::string long49(49, 'a');
    struct Case {
        const char* name;
        std::array<std::string, 3> stored;
        std::array<const char*, 3> typed; // nullptr: left alone
        bool resetAnswered;
        std::vector<std::string> sent; // "SAVE" and "RESET" follow unless empty
        std::string storedAfter;
    };
    const Case cases[] = {
        {"all three",
         {"old.apn", "olduser", "oldpw"},
         {"new.apn", "", "s3cret"},
         true,
         {"APN new.apn\r\n", "USER \r\n", "PASSWORD s3cret\r\n"},
         "new.apn||s3cret"},
        {"the password alone",
         {"old.apn", "olduser", "oldpw"},
         {nullptr, nullptr, "newpw"},
         true,
         {"APN old.apn\r\n", "USER olduser\r\n", "PASSWORD newpw\r\n"},
         "old.apn|olduser|newpw"},
        {"RESET unanswered",
         {"old.apn", "olduser", "oldpw"},
         {"n", "u", "p"},
         false,
         {"APN n\r\n", "USER u\r\n", "PASSWORD p\r\n"},
         "n|u|p"},
        {"a 49-byte APN left alone goes out whole",
         {long49, "u", "p"},
         {nullptr, nullptr, "p2"},
         true,
         {"APN " + long49 + "\r\n", "USER u\r\n", "PASSWORD p2\r\n"},
         long49 + "|u|p2"},
        {"49-byte values left alone are no change", {long49, long49, long49}, {}, true, {}, ""},
    };
    constexpr int kEdits[] = {ApnDialog::kApn, ApnDialog::kUser, ApnDialog::kPassword};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::SettingsRig rig;
        {
            std::lock_guard lock(rig.store.mutex());
            rig.store.hasCurrent = true;
            rig.store.carrier = "yes";
            rig.store.apn = c.stored[0];
            rig.store.carrierUser = c.stored[1];
            rig.store.carrierPassword = c.stored[2];
        }
        std::vector<std::string> sent = c.sent;
        for (const auto& command : c.sent)
            rig.accept(command);
        if (!sent.empty()) {
            rig.accept("SAVE\r\n");
            if (c.resetAnswered) rig.accept("RESET\r\n");
            sent.insert(sent.end(), {"SAVE\r\n", "RESET\r\n"});
        }
        rig.host.answer(kIdYes);
        ApnDialog dialog(rig.parent, rig.session, rig.store);
        for (int i = 0; i < 3; ++i)
            if (c.typed[i]) rig.host.type(kEdits[i], c.typed[i]);
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), 1);
        EXPECT_EQ(rig.sent(), sent);
        EXPECT_TRUE(rig.probe.failed().empty())
            << "sent with the monitor running or no wait cursor";
        if (sent.empty()) {
            EXPECT_TRUE(rig.host.shownBoxes().empty());
            continue;
        }
        std::lock_guard lock(rig.store.mutex());
        EXPECT_EQ(rig.store.apn + "|" + rig.store.carrierUser + "|" + rig.store.carrierPassword,
                  c.storedAfter);
        const std::string file = test::readBytes(rig.store.path());
        EXPECT_NE(file.find("<password>" + std::string(c.typed[2]) + "</password>"),
                  std::string::npos)
            << file;
        EXPECT_EQ(rig.host.shownSummaries(),
                  (std::vector<std::string>{
                      "Attention | Do you want to update the APN configuration? | Yes/No",
                      std::string(kApplicationTitle) +
                          " | APN configured. Tessadorn is rebooting... | OK"}));
        EXPECT_EQ(rig.debug.count("APN: Esperant ...\r\n"), 1);
        EXPECT_EQ(rig.debug.count("APN: Thread Pausat ...\r\n"), 1);
        EXPECT_FALSE(rig.host.waitCursorShown());
    }
}

// Each of the three values goes out even after a refusal; "SAVE" only when all three were
// accepted, "RESET" only after "SAVE". The list keeps the new values all the same.
TEST_F(ApnDialogTest, RefusedCommandShowsTheErrorAndKeepsTheDialogOpen) {
    struct Case {
        const char* name;
        std::vector<std::string> accepted;
        int userSends, saveSends;
    };
    const Case cases[] = {
        {"user refused", {"APN a\r\n", "PASSWORD c\r\n", "SAVE\r\n"}, 6, 0},
        {"save refused", {"APN a\r\n", "USER b\r\n", "PASSWORD c\r\n"}, 1, 6},
    };
    for (const auto& c : cases) {
        test::SettingsRig rig;
        for (const auto& cmd : c.accepted)
            rig.accept(cmd);
        rig.host.answer(kIdYes);
        ApnDialog dialog(rig.parent, rig.session, rig.store);
        rig.host.type(ApnDialog::kApn, "a");
        rig.host.type(ApnDialog::kUser, "b");
        rig.host.type(ApnDialog::kPassword, "c");
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), kEndedIdle) << c.name;
        EXPECT_EQ(rig.port.count("APN a\r\n"), 1) << c.name;
        EXPECT_EQ(rig.port.count("USER b\r\n"), c.userSends) << c.name;
        EXPECT_EQ(rig.port.count("PASSWORD c\r\n"), 1) << c.name;
        EXPECT_EQ(rig.port.count("SAVE\r\n"), c.saveSends) << c.name;
        EXPECT_EQ(rig.port.count("RESET\r\n"), 0) << c.name;
        ASSERT_EQ(rig.host.shownSummaries().size(), 2u) << c.name;
        EXPECT_EQ(rig.host.shownSummaries()[1],
                  std::string(kApplicationTitle) + " | APN configuration Error | OK")
            << c.name;
        std::lock_guard lock(rig.store.mutex());
        EXPECT_EQ(rig.store.apn, "a") << c.name;
        EXPECT_FALSE(rig.session.reading()) << c.name;
    }
}

TEST_F(ApnDialogTest, NoAndCancelSendAndStoreNothing) {
    host.answer(kIdNo);
    EXPECT_EQ(run([&] {
                  typeAll("x", "y", "z");
                  host.ok();
                  host.call([](Dialog& d) {
                      EXPECT_EQ(d.controls().text(ApnDialog::kApn), "x") << "typed values stay";
                  });
              }),
              kEndedIdle);
    EXPECT_EQ(run([&] {
                  typeAll("x", "y", "z");
                  host.click(ApnDialog::kCancel);
              }),
              0);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(storedApn(), "old.apn|olduser|oldpw");
    EXPECT_EQ(host.shownTexts(),
              std::vector<std::string>{"Do you want to update the APN configuration?"});
}

// A value the caster list file or the modem's replies could not give back intact is refused
// where it was typed, naming the field; nothing is asked, stored or sent.
TEST_F(ApnDialogTest, ValuesThatCannotComeBackIntactAreRefused) {
    struct Case {
        std::string apn, user, password, message;
    };
    const Case cases[] = {
        {"a<b", "u", "p", "The field \"APN\" may not contain \"<\"."},
        {"a", "u\x01", "p", "The field \"User\" may not contain a control character (0x01)."},
        {"a", "u", "p,q", "The field \"Password\" may not contain \",\"."},
        {"a", "u\"", "p", "The field \"User\" may not contain a double quote (\")."},
    };
    for (const auto& c : cases) {
        test::SettingsRig rig;
        ApnDialog dialog(rig.parent, rig.session, rig.store);
        rig.host.type(ApnDialog::kApn, c.apn);
        rig.host.type(ApnDialog::kUser, c.user);
        rig.host.type(ApnDialog::kPassword, c.password);
        rig.host.ok();
        EXPECT_EQ(dialog.doModal(), kEndedIdle) << c.message;
        EXPECT_EQ(
            rig.host.shownSummaries(),
            std::vector<std::string>{std::string(kApplicationTitle) + " | " + c.message + " | OK"});
        EXPECT_TRUE(rig.sent().empty()) << c.message;
        std::lock_guard lock(rig.store.mutex());
        EXPECT_EQ(rig.store.apn, "") << c.message;
    }
}

TEST_F(ApnDialogTest, AFailedSaveIsReportedAndTheModemStillConfigured) {
    for (const char* c : {"APN n\r\n", "USER u\r\n", "PASSWORD p\r\n", "SAVE\r\n", "RESET\r\n"})
        accept(c);
    writer.failing = true;
    host.answer(kIdYes);
    EXPECT_EQ(run([&] {
                  typeAll("n", "u", "p");
                  host.ok();
              }),
              1);
    const auto boxes = host.shownBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1].request.text.rfind("The caster list could not be saved: ", 0), 0u);
    EXPECT_EQ(boxes[1].request.caption, "ERROR");
    EXPECT_EQ(boxes[2].request.text, "APN configured. Tessadorn is rebooting...");
    EXPECT_EQ(port.count("RESET\r\n"), 1);
    EXPECT_EQ(storedApn(), "n|u|p") << "kept in memory for the next save";
}

} // namespace
} // namespace tessadorn
