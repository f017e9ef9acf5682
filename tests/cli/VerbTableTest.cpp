#include "TempDir.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "platform/AtomicFile.h"
#include "store/CasterStore.h"

#include <gtest/gtest.h>

#include <map>

namespace tessadorn::cli {
namespace {

using Words = std::vector<std::string>;

// What the shell offers after the words typed so far, from the table of verbs and the list.
TEST(VerbTable, CompletionOffersTheNextWordOfEveryVerbAndTheListsCasters) {
    test::TempDir dir;
    const std::string path = dir.file("ntripcfg.txt");
    {
        CasterStore list(path, AtomicFile::standard());
        list.Load();
        list.count = 2;
        list.entries[0].name = "Home";
        list.entries[1].name = "Z\xfcrich"; // the list's code page
        ASSERT_TRUE(list.Save());
    }
    const struct {
        Words typed;
        Words offered;
    } cases[] = {
        {{},
         {"status", "casters", "caster", "mountpoints", "connect", "disconnect", "role", "auto",
          "apn", "gps", "relay", "update", "watch", "udev-rule", "profile"}},
        {{"caster"}, {"add", "edit", "remove", "use"}},
        {{"profile"}, {"export", "apply"}},
        {{"caster", "use"}, {"Home", "Zürich"}},
        {{"gps"}, {"receiver", "manual"}},
        {{"role"}, {"rover", "base"}},
        {{"status"}, {}},
        {{"nothing"}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(completions(c.typed, path), c.offered) << ::testing::PrintToString(c.typed);
}

// Every verb is listed by --help and by the manual page.
TEST(VerbTable, HelpAndManualListEveryVerb) {
    const std::string help = commandSummary(), manual = commandManual();
    for (const Verb& verb : verbs()) {
        EXPECT_NE(help.find("  " + std::string(verb.name)), std::string::npos) << verb.name;
        std::string roffName;
        for (char c : verb.name)
            roffName += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(manual.find(".B \"" + roffName), std::string::npos) << verb.name;
    }
}

// Every option a verb names is one the parser knows, --help and the manual page list, with the
// commands that take it; the program's own options are taken by no command.
TEST(VerbTable, EveryOptionOfAVerbIsParsedAndListed) {
    const std::string manual = optionManual();
    for (const Verb& verb : verbs())
        for (std::string_view name : verb.options) {
            const OptionRow* option = optionNamed(name);
            ASSERT_NE(option, nullptr) << verb.name << " --" << name;
            EXPECT_FALSE(option->hidden) << name;
            EXPECT_NE(optionHelp(*option).find(std::string(verb.name)), std::string::npos) << name;
        }
    const struct {
        std::string_view option;
        std::string help;
        std::string manual;
    } cases[] = {
        {"rate", "The modem's serial rate for the receiver (gps receiver).",
         ".BI \\-\\-rate \" BAUD\"\n"},
        {"password-file",
         "The password: the first line of FILE (kept out of the process list) (caster add, caster "
         "edit, apn, update).",
         "For \\fBcaster add\\fP, \\fBcaster edit\\fP, \\fBapn\\fP and \\fBupdate\\fP."},
        {"json", "Write the result as one JSON document.", ".B \\-\\-json\n"},
        {"help", "Show this help and exit.", ".BR \\-h \", \" \\-\\-help\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(optionHelp(*optionNamed(c.option)), c.help);
        EXPECT_NE(manual.find(c.manual), std::string::npos) << c.option;
    }
    for (std::string_view own : {"port", "config-dir", "json", "debug", "timeout"})
        EXPECT_TRUE(verbsTaking(own).empty()) << own;
    EXPECT_EQ(manual.find("complete"), std::string::npos) << "hidden options stay out";
}

// run() holds every command to the arguments and options its row of the table gives, before
// anything is read or sent; what fits reaches the command.
TEST(VerbTable, RunRefusesWhatTheVerbDoesNotTake) {
    test::TempDir dir;
    Environment env;
    env.casterListPath = dir.file("ntripcfg.txt");
    env.profilePath = dir.file("tessadorn.cfg");
    env.writer = &AtomicFile::standard();
    using Options = std::map<std::string, std::string>;
    const struct {
        Words words;
        Options options;
        int status;
        std::string message;
    } cases[] = {
        {{"status"}, {{"secrets", ""}}, kBadInput, "status takes no option --secrets"},
        {{"casters"}, {{"user", "bob"}}, kBadInput, "casters takes no option --user"},
        {{"status", "now"}, {}, kBadInput, "status takes no arguments"},
        {{"caster", "add", "X"}, {}, kBadInput, "caster add takes NAME HOST PORT"},
        {{"caster", "add", "X", "h", "1", "2"}, {}, kBadInput, "caster add takes NAME HOST PORT"},
        {{"gps", "manual", "1"}, {}, kBadInput, "gps manual takes LAT LON"},
        {{"connect", "A", "B"}, {}, kBadInput, "connect takes [MOUNTPOINT]"},
        {{"profile", "apply"}, {}, kBadInput, "profile apply takes FILE"},
        {{"caster"}, {}, kBadInput, "caster needs add, edit, remove, use"},
        {{"z\xC3\xBCrich"}, {}, kBadInput, "unknown command z\xC3\xBCrich"},
        // Taken: the command itself answers.
        {{"caster", "use", "Nobody"}, {{"auth", ""}}, kBadInput, "No caster is called \"Nobody\"."},
        {{"casters"}, {}, kDone, ""},
    };
    for (const auto& c : cases) {
        const Result r = run({c.words, c.options, 1}, env);
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.words);
        EXPECT_EQ(r.messages, c.message.empty() ? Words{} : Words{c.message})
            << ::testing::PrintToString(c.words);
    }
}

} // namespace
} // namespace tessadorn::cli
