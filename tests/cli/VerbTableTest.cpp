#include "TempDir.h"
#include "cli/Commands.h"
#include "platform/AtomicFile.h"
#include "store/CasterStore.h"

#include <gtest/gtest.h>

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

// Every verb is run, listed by --help and by the manual page.
TEST(VerbTable, HelpAndManualListEveryVerb) {
    const std::string help = commandSummary(), manual = commandManual();
    for (const Verb& verb : verbs()) {
        EXPECT_NE(help.find("  " + std::string(verb.name)), std::string::npos) << verb.name;
        std::string roffName;
        for (char c : verb.name)
            roffName += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(manual.find(".B \"" + roffName), std::string::npos) << verb.name;
    }
    Environment env;
    const Result r = run({{"caster"}, {}, 1}, env);
    EXPECT_EQ(r.status, kBadInput);
    EXPECT_EQ(r.messages, Words{"caster needs add, edit, remove, use"});
}

} // namespace
} // namespace tessadorn::cli
