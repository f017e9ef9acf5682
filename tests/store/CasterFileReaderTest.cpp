#include "store/CasterFileReader.h"

#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <string>

namespace tessadorn {
namespace {

// A document with one current section and one caster, in the form the program writes.
const std::string kCurrent = "<current>\r\n<server>0</server>\r\n<auth value=\"yes\">\r\n"
                             "<user>u1</user>\r\n<password>p1</password>\r\n</auth>\r\n"
                             "<carrier value=\"yes\">\r\n<apn>apn1</apn>\r\n<user>cu</user>\r\n"
                             "<password>cp</password>\r\n</carrier>\r\n"
                             "<AutoConnection>1</AutoConnection>\r\n</current>\r\n";

std::string sv(const std::string& num, const std::string& name,
               const std::string& extra = "<vntrip>2</vntrip>") {
    return "<sv num=" + num + ">\r\n<name>" + name +
           "</name>\r\n<ip>h</ip>\r\n<port>2101</port>\r\n<user>u</user>\r\n"
           "<Password>p</Password>\r\n<Tessadorn>0</Tessadorn>\r\n" +
           extra + "\r\n</sv>\r\n";
}

std::string config(const std::string& body) {
    return "<config>\r\n" + body + "</config>\r\n";
}
std::string servers(const std::string& body) {
    return "<servers>\r\n" + body + "</servers>\r\n";
}

struct GrammarCase {
    const char* label;
    std::string input;
    bool complete;
    int count;
    std::function<void(const CasterDocument&)> check;
};

void noCheck(const CasterDocument&) {}

void PrintTo(const GrammarCase& c, std::ostream* os) {
    *os << c.label;
}

class GrammarTest : public ::testing::TestWithParam<GrammarCase> {};

TEST_P(GrammarTest, ReadsOrStopsAsTheGrammarSays) {
    const GrammarCase& c = GetParam();
    CasterDocument doc;
    doc.reset();
    EXPECT_EQ(CasterFileReader(c.input).read(doc), c.complete);
    EXPECT_EQ(doc.count, c.count);
    c.check(doc);
}

const GrammarCase kGrammarCases[] = {
    {"OnlyConfig", "<config></config>", true, 0,
     [](const CasterDocument& d) { EXPECT_FALSE(d.hasCurrent); }},
    {"LeadingLineEndsAndBlanks", "\r\n  \n <config>\r\n</config>", true, 0, noCheck},
    {"FullDocument", config(kCurrent + servers(sv("0", "A") + sv("1", "B"))), true, 2,
     [](const CasterDocument& d) {
         EXPECT_TRUE(d.hasCurrent);
         EXPECT_EQ(d.server, "0");
         EXPECT_EQ(d.auth, "yes");
         EXPECT_EQ(d.user, "u1");
         EXPECT_EQ(d.password, "p1");
         EXPECT_EQ(d.carrier, "yes");
         EXPECT_EQ(d.apn, "apn1");
         EXPECT_EQ(d.carrierUser, "cu");
         EXPECT_EQ(d.carrierPassword, "cp");
         EXPECT_EQ(d.AutoConnection, "1");
         EXPECT_EQ(d.entries[1].name, "B");
         EXPECT_EQ(d.entries[1].vntrip, "2");
     }},
    {"ByteOrderMark", "\xEF\xBB\xBF" + config(""), false, 0, noCheck},
    {"TabBetweenElements", "<config>\t</config>", false, 0, noCheck},
    {"BlankInsideTag", "<config >\r\n</config>", false, 0, noCheck},
    {"BlankAfterLessThan", "<config>\r\n< current></current></config>", false, 0, noCheck},
    {"UpperCasePasswordInAuth",
     config("<current>\r\n<auth value=\"yes\">\r\n<Password>x</Password>\r\n</auth>\r\n"
            "</current>\r\n"),
     false, 0, noCheck},
    {"LowerCasePasswordInSv", config(servers(sv("0", "A", "<password>x</password>"))), false, 0,
     noCheck},
    {"ThreeDigitNumber", config(servers(sv("100", "A"))), false, 0, noCheck},
    {"NegativeNumber", config(servers(sv("-1", "A"))), false, 0, noCheck},
    {"TwoDigitNumber", config(servers(sv("12", "A"))), true, 1, noCheck},
    {"NumberWithoutDigits", config(servers(sv("x", "A"))), true, 1, noCheck},
    {"ValueWithLessThan", config(servers(sv("0", "a<b"))), false, 0,
     [](const CasterDocument& d) { EXPECT_EQ(d.entries[0].name, "a"); }},
    {"SingleQuotedAttribute",
     config("<current>\r\n<auth value='yes'>\r\n</auth>\r\n</current>\r\n"), false, 0, noCheck},
    {"UnknownAttributeValue",
     config("<current>\r\n<carrier value=\"maybe\"></carrier>\r\n</current>\r\n"), false, 0,
     noCheck},
    {"TwoBlanksBeforeValue",
     config("<current>\r\n<auth  value=\"no\">\r\n</auth>\r\n</current>\r\n"), false, 0, noCheck},
    {"AuthNo", config("<current>\r\n<auth value=\"no\">\r\n</auth>\r\n</current>\r\n"), true, 0,
     [](const CasterDocument& d) { EXPECT_EQ(d.auth, "no"); }},
    {"OneLetterUnknownElementIsPassedOver", config("<x\r\n" + servers(sv("0", "A"))), true, 1,
     noCheck},
    {"LongerUnknownElementFails", config("<xyz>\r\n" + servers(sv("0", "A"))), false, 0, noCheck},
    {"EndOfFileBeforeConfigEnds", "<config>\r\n" + servers(sv("0", "A")), false, 1, noCheck},
    {"BytesAfterConfigAreNotRead", config(servers(sv("0", "A"))) + "\t garbage <<<", true, 1,
     noCheck},
    {"EmptyFile", "", false, 0, noCheck},
    {"CurrentWithoutServerKeepsValuesButNoCurrent",
     config("<current>\r\n<auth value=\"no\">\r\n<user>bob</user>\r\n</auth>\r\n</current>\r\n"),
     true, 0,
     [](const CasterDocument& d) {
         EXPECT_FALSE(d.hasCurrent);
         EXPECT_EQ(d.user, "bob");
         EXPECT_EQ(d.auth, "no");
     }},
    {"SecondCurrentWithoutServerClearsCurrent", config(kCurrent + "<current></current>\r\n"), true,
     0,
     [](const CasterDocument& d) {
         EXPECT_FALSE(d.hasCurrent);
         EXPECT_EQ(d.server, "0");
     }},
    {"TessadornInCurrentIsAcceptedAndDropped",
     config("<current>\r\n<server>3</server>\r\n<Tessadorn>1</Tessadorn>\r\n</current>\r\n"), true,
     0,
     [](const CasterDocument& d) {
         EXPECT_TRUE(d.hasCurrent);
         EXPECT_EQ(d.server, "3");
     }},
    {"ClosingTagOfAnotherElement", config(servers(sv("0", "A")).substr(0, 11) + "</config>"), false,
     0, noCheck},
    {"SvWithoutVersionGetsVersionOne", config(servers(sv("0", "A", ""))), true, 1,
     [](const CasterDocument& d) { EXPECT_EQ(d.entries[0].vntrip, "1"); }},
    {"SvWithEmptyVersionKeepsItEmpty", config(servers(sv("0", "A", "<vntrip></vntrip>"))), true, 1,
     [](const CasterDocument& d) { EXPECT_EQ(d.entries[0].vntrip, ""); }},
    {"UnusualVersionTextStays", config(servers(sv("0", "A", "<vntrip>7x</vntrip>"))), true, 1,
     [](const CasterDocument& d) { EXPECT_EQ(d.entries[0].vntrip, "7x"); }},
    {"ValueKeepsBlanksAndLineEnds", config(servers(sv("0", " a b\r\n"))), true, 1,
     [](const CasterDocument& d) { EXPECT_EQ(d.entries[0].name, " a b\r\n"); }},
};

INSTANTIATE_TEST_SUITE_P(CasterFileReader, GrammarTest, ::testing::ValuesIn(kGrammarCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CasterFileReaderBounds, LongValuesAreCut) {
    const std::string longName(60, 'n');
    const std::string doc = config(
        "<current>\r\n<server>12345678901234</server>\r\n<AutoConnection>" + std::string(80, 'a') +
        "</AutoConnection>\r\n</current>\r\n" + servers(sv("0", longName)));
    CasterDocument d;
    ASSERT_TRUE(CasterFileReader(doc).read(d));
    EXPECT_EQ(d.entries[0].name, std::string(49, 'n'));
    EXPECT_EQ(d.server, "123456789");
    EXPECT_EQ(d.AutoConnection, std::string(49, 'a'));
}

TEST(CasterFileReaderBounds, ElementsTakeSlotsInOrderWhateverTheirNumber) {
    const std::string doc =
        config(servers(sv("5", "first") + sv("5", "second") + sv("0", "third")));
    CasterDocument d;
    ASSERT_TRUE(CasterFileReader(doc).read(d));
    ASSERT_EQ(d.count, 3);
    EXPECT_EQ(d.entries[0].name, "first");
    EXPECT_EQ(d.entries[1].name, "second");
    EXPECT_EQ(d.entries[2].name, "third");
    EXPECT_EQ(d.entries[5].name, "");
}

TEST(CasterFileReaderBounds, ElementsPastTheTwentyFifthAreDropped) {
    std::string list;
    for (int i = 0; i < 30; ++i)
        list += sv(std::to_string(i), "c" + std::to_string(i));
    CasterDocument d;
    ASSERT_TRUE(CasterFileReader(config(servers(list))).read(d));
    ASSERT_EQ(d.count, 25);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(d.entries[static_cast<std::size_t>(i)].name, "c" + std::to_string(i));
}

TEST(CasterFileReaderBounds, MissingFieldsAreEmptyNotLeftOver) {
    CasterDocument d;
    d.entries[0] = CasterEntry{"old", "old-host", "1", "old-user", "old-pw", "1", "3"};
    ASSERT_TRUE(
        CasterFileReader(config(servers("<sv num=0>\r\n<name>new</name>\r\n</sv>\r\n"))).read(d));
    EXPECT_EQ(d.entries[0], (CasterEntry{"new", "", "", "", "", "", "1"}));
}

TEST(CasterFileReaderPartial, EveryCutOffDocumentFailsAndKeepsWhatWasComplete) {
    const std::string full = config(kCurrent + servers(sv("0", "A") + sv("1", "B") + sv("2", "C")));
    // Every prefix that stops before the end of "</config>".
    for (std::size_t length = 0; length < full.size() - 2; ++length) {
        const std::string part = full.substr(0, length);
        CasterDocument d;
        d.reset();
        ASSERT_FALSE(CasterFileReader(part).read(d)) << "length " << length;
        int closed = 0;
        for (std::size_t at = part.find("</sv>"); at != std::string::npos;
             at = part.find("</sv>", at + 1))
            ++closed;
        EXPECT_EQ(d.count, closed) << "length " << length;
        const bool currentClosed = part.find("</current>") != std::string::npos;
        EXPECT_EQ(d.hasCurrent, currentClosed) << "length " << length;
    }
}

TEST(CasterFileReaderPartial, CutOffElementIsStoredButNotCounted) {
    const std::string doc = "<config>\r\n" + kCurrent + "<servers>\r\n" + sv("0", "A") +
                            "<sv num=1>\r\n<name>half</name>\r\n<ip>h";
    CasterDocument d;
    d.reset();
    EXPECT_FALSE(CasterFileReader(doc).read(d));
    EXPECT_EQ(d.count, 1);
    EXPECT_EQ(d.entries[1].name, "half");
    EXPECT_EQ(d.entries[1].ip, "h");
    EXPECT_TRUE(d.hasCurrent);
    EXPECT_EQ(d.apn, "apn1");
}

TEST(CasterFileReaderPartial, FailureInsideCurrentKeepsValuesReadSoFar) {
    const std::string doc = "<config>\r\n<current>\r\n<server>4</server>\r\n<auth value=\"no\">\r\n"
                            "<user>kept</user>\r\n<Password>x</Password>";
    CasterDocument d;
    d.reset();
    EXPECT_FALSE(CasterFileReader(doc).read(d));
    EXPECT_EQ(d.server, "4");
    EXPECT_EQ(d.auth, "no");
    EXPECT_EQ(d.user, "kept");
    EXPECT_FALSE(d.hasCurrent);
}

} // namespace
} // namespace tessadorn
