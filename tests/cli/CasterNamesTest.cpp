#include "TempDir.h"
#include "cli/Commands.h"
#include "platform/AtomicFile.h"
#include "store/CasterStore.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace tessadorn {
namespace {

// A list the window may hold: two casters named alike (the first current), and a third.
CasterDocument twoHomes() {
    CasterDocument d;
    d.entries[0] = {"Home", "first.example", "2101", "u1", "p1", "0", "1"};
    d.entries[1] = {"Home", "second.example", "2101", "u2", "p2", "0", "1"};
    d.entries[2] = {"Other", "other.example", "2101", "u3", "p3", "0", "1"};
    d.count = 3;
    d.hasCurrent = true;
    d.server = "0";
    d.user = "u1";
    d.password = "p1";
    return d;
}

struct NamesCase {
    const char* name;
    std::string words;   // the command, split at blanks
    std::string options; // name=value ..., split at blanks
    int status;
    std::string message; // on stderr
    std::string after;   // the list on disk: name@host user, ...
    std::string current; // its current caster, name@host
};
void PrintTo(const NamesCase& c, std::ostream* os) {
    *os << c.name;
}

class CasterNames : public ::testing::TestWithParam<NamesCase> {};

TEST_P(CasterNames, ANameTwoCastersShareNeedsThePlace) {
    const NamesCase& c = GetParam();
    test::TempDir dir;
    cli::Environment env;
    env.casterListPath = dir.file("ntripcfg.txt");
    env.profilePath = dir.file("tessadorn.cfg");
    env.writer = &AtomicFile::standard();
    {
        CasterStore store(env.casterListPath, AtomicFile::standard());
        store.Load();
        static_cast<CasterDocument&>(store) = twoHomes();
        ASSERT_TRUE(store.Save());
    }
    cli::Request q;
    std::istringstream words(c.words), options(c.options);
    for (std::string word; words >> word;)
        q.words.push_back(word);
    for (std::string option; options >> option;)
        q.options[option.substr(0, option.find('='))] = option.substr(option.find('=') + 1);
    const cli::Result r = cli::run(q, env);
    EXPECT_EQ(r.status, c.status);
    if (c.message.empty())
        EXPECT_TRUE(r.messages.empty());
    else
        EXPECT_EQ(r.messages, std::vector<std::string>{c.message});

    CasterStore after(env.casterListPath, AtomicFile::standard());
    ASSERT_TRUE(after.Load());
    std::string list;
    for (int i = 0; i < after.count; ++i) {
        const CasterEntry& e = after.entries[static_cast<std::size_t>(i)];
        list += (i ? ", " : "") + e.name + "@" + e.ip + " " + e.user;
    }
    EXPECT_EQ(list, c.after);
    EXPECT_EQ(after.current().name + "@" + after.current().ip, c.current);
}

const std::string kShared = "Two casters are named Home (first.example:2101, second.example:2101); "
                            "rename one in the window or with caster edit --index N";
const std::string kUnchanged =
    "Home@first.example u1, Home@second.example u2, Other@other.example u3";
const std::string kFirst = "Home@first.example";

const NamesCase kNamesCases[] = {
    {"EditOfASharedNameIsRefused", "caster edit Home third.example", "", cli::kBadInput, kShared,
     kUnchanged, kFirst},
    {"RemoveOfASharedNameIsRefused", "caster remove Home", "", cli::kBadInput, kShared, kUnchanged,
     kFirst},
    {"UseOfASharedNameIsRefused", "caster use Home", "", cli::kBadInput, kShared, kUnchanged,
     kFirst},
    {"EditWithIndexChangesThatCaster", "caster edit Home", "index=2 user=new", cli::kDone, "",
     "Home@first.example u1, Home@second.example new, Other@other.example u3", kFirst},
    {"EditWithIndexRenames", "caster edit Home2", "index=2", cli::kDone, "",
     "Home@first.example u1, Home2@second.example u2, Other@other.example u3", kFirst},
    {"RenameToANameInUseIsRefused", "caster edit Other", "index=2", cli::kBadInput,
     "A caster is already called \"Other\".", kUnchanged, kFirst},
    {"RemoveWithIndexRemovesThatCaster", "caster remove Home", "index=2", cli::kDone, "",
     "Home@first.example u1, Other@other.example u3", kFirst},
    {"IndexOfAnotherNameIsRefused", "caster remove Home", "index=3", cli::kBadInput,
     "Caster 3 is called \"Other\", not \"Home\".", kUnchanged, kFirst},
    {"UseWithIndexChoosesThatCaster", "caster use Home", "index=2", cli::kDone, "", kUnchanged,
     "Home@second.example"},
    {"IndexPastTheListIsRefused", "caster use Home", "index=4", cli::kBadInput,
     "--index takes the place of a caster in the list, 1 to 3, not 4", kUnchanged, kFirst},
    {"AUniqueNameNeedsNoIndex", "caster use Other", "", cli::kDone, "", kUnchanged,
     "Other@other.example"},
};
INSTANTIATE_TEST_SUITE_P(Lists, CasterNames, ::testing::ValuesIn(kNamesCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessadorn
