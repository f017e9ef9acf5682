#include "modem/SourceTableScanner.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tessadorn {
namespace {

using End = SourceTableScanner::End;

// Feeds bytes until the scan ends; returns how, and how many bytes it took.
std::pair<End, std::size_t> scanAll(SourceTableScanner& scanner, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const End end = scanner.feed(static_cast<std::uint8_t>(bytes[i]));
        if (end != End::None) return {end, i + 1};
    }
    return {End::None, bytes.size()};
}

std::vector<std::string> mountpoints(const SourceTable& t) {
    std::vector<std::string> out;
    for (int i = 0; i < t.m_SourceCount; ++i)
        out.push_back(t.m_SourceTable[static_cast<std::size_t>(i)].mountpoint);
    return out;
}

// A full STR row: mountpoint, identifier, format, solution (field 12), authentication (15).
std::string row(const std::string& mp, const std::string& id, const std::string& format,
                const std::string& solution = "0", const std::string& auth = "N") {
    return "STR;" + mp + ";" + id + ";" + format + ";1004(1);2;GPS;NET;DEU;50.0;8.0;0;" + solution +
           ";Gen;none;" + auth + ";N;9600;\r\n";
}

struct Case {
    const char* name;
    std::string input;
    End end;
    std::vector<std::string> mountpoints;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class ScanCases : public ::testing::TestWithParam<Case> {};

TEST_P(ScanCases, EndsAndKeeps) {
    const Case& c = GetParam();
    SourceTable table;
    table.m_SourceCount = 7; // a scan always starts from an empty table
    SourceTableScanner scanner(table);
    EXPECT_EQ(scanAll(scanner, c.input).first, c.end);
    EXPECT_EQ(mountpoints(table), c.mountpoints);
}

INSTANTIATE_TEST_SUITE_P(
    Scanner, ScanCases,
    ::testing::Values(
        Case{"NoStrRow", "SOURCETABLE 200 OK\r\n\r\nENDSOURCETABLE\r\n", End::Table, {}},
        Case{"CasAndNetSkipped",
             "CAS;host;2101;X;Y;0;DEU;0;0;0.0.0.0;0;http://x\r\n"
             "NET;A;B;B;N;u;v;w;none\r\n" +
                 row("MP1", "One", "RTCM 3.1") + "ENDSOURCETABLE\r\n",
             End::Table,
             {"MP1"}},
        Case{"OnlyRAndCFormatsKept",
             row("A", "a", "RTCM 3.1") + row("N", "n", "NMEA") + row("L", "l", "rtcm 3") +
                 row("E", "e", "") + row("B", "b", "CMR+") + row("X", "x", "BINEX") +
                 row("C", "c", "RAW") + "ENDSOURCETABLE\r\n",
             End::Table,
             {"A", "B", "C"}},
        Case{"EndMarkerAfterAStrayE",
             row("A", "a", "RTCM 3") + "EENDSOURCETABLE\r\n",
             End::Table,
             {"A"}},
        Case{"ServerNotRespondingMidTable",
             row("A", "a", "RTCM 3") + "ERROR 4_1\r\n" + row("B", "b", "RTCM 3"),
             End::ServerNotResponding,
             {"A"}},
        Case{"NotAuthorized", "ERROR 4_2\r\n", End::NotAuthorized, {}},
        Case{"ConnectionError", "xxERROR 5", End::ConnectionError, {}},
        Case{"ErrorTokenInsideARowEndsTheScan", "STR;A;ERROR 5;RTCM", End::ConnectionError, {}},
        // A row ends only at the ";" after its field 15: line ends are ordinary bytes.
        Case{"RowAcrossLines",
             "STR;A;a;RTCM\r\n 3;4;5;6;7;8;9;10;11;0;13;14;N;\r\nENDSOURCETABLE",
             End::Table,
             {"A"}},
        Case{"UnendedTableGoesOn", row("A", "a", "RTCM 3") + "ENDSOURCE", End::None, {"A"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SourceTableScanner, KeepsTheFiveFieldsAndReusesAnAbandonedSlot) {
    SourceTable table;
    table.m_SourceTable[1].mountpoint = "stale";
    SourceTableScanner scanner(table);
    const std::string input = row("A", "Alpha", "RTCM 3.1", "0", "N") +
                              row("Z", "Zulu", "NMEA", "1", "B") + // dropped after its format
                              row("B", "Bravo", "CMR", "", "") +   // empty solution and auth
                              "ENDSOURCETABLE";
    ASSERT_EQ(scanAll(scanner, input).first, End::Table);
    ASSERT_EQ(table.m_SourceCount, 2);
    EXPECT_EQ(table.m_SourceTable[0], (SourceTableEntry{"A", "Alpha", "RTCM 3.1", "0", "N"}));
    EXPECT_EQ(table.m_SourceTable[1], (SourceTableEntry{"B", "Bravo", "CMR", "", ""}));
    EXPECT_EQ(scanner.rejectedRows(), 1);
}

TEST(SourceTableScanner, CutsLongFieldsAndDropsRowsBeyondTheTable) {
    SourceTable table;
    SourceTableScanner scanner(table);
    const std::string longName(300, 'm');
    std::string input;
    for (int i = 0; i < SourceTable::kMaxRecords + 3; ++i)
        input += row(i == 0 ? longName : "M" + std::to_string(i), std::string(150, 'i'), "RTCM 3");
    input += row("Late", "late", "RTCM 3");
    ASSERT_EQ(scanAll(scanner, input + "ENDSOURCETABLE").first, End::Table)
        << "the scan goes on past a full table";
    EXPECT_EQ(table.m_SourceCount, SourceTable::kMaxRecords);
    EXPECT_EQ(scanner.droppedRows(), 4);
    EXPECT_EQ(table.m_SourceTable[0].mountpoint, std::string(SourceTable::kMaxField, 'm'));
    EXPECT_EQ(table.m_SourceTable[5].identifier, std::string(SourceTable::kMaxField, 'i'));
    EXPECT_EQ(table.m_SourceTable[249].mountpoint, "M249");
}

// The same table read line by line: STR lines with their fields split at ";".
std::vector<SourceTableEntry> byLines(const std::string& text) {
    std::vector<SourceTableEntry> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("STR;", 0) != 0) continue;
        std::vector<std::string> f;
        std::string field;
        for (char c : line.substr(4)) {
            if (c == ';') {
                f.push_back(field.substr(0, SourceTable::kMaxField));
                field.clear();
            } else {
                field += c;
            }
        }
        if (f.size() < 15 || f[2].empty() || (f[2][0] != 'R' && f[2][0] != 'C')) continue;
        rows.push_back({f[0], f[1], f[2], f[11], f[14]});
    }
    return rows;
}

struct RealTable {
    const char* file;
    int strRows;
    int kept;
};

void PrintTo(const RealTable& t, std::ostream* os) {
    *os << t.file;
}

class RealTables : public ::testing::TestWithParam<RealTable> {};

TEST_P(RealTables, ReadAsTheirLinesSay) {
    const auto& p = GetParam();
    const std::string text = test::readBytes(std::string(TESSADORN_TEST_DATA "/") + p.file);
    ASSERT_FALSE(text.empty());
    const auto expected = byLines(text);
    SourceTable table;
    SourceTableScanner scanner(table);
    const auto [end, used] = scanAll(scanner, text);
    EXPECT_EQ(end, End::Table);
    EXPECT_EQ(text.substr(used, 2).find_first_not_of("\r\n"), std::string::npos)
        << "the end marker is the table's last line";
    EXPECT_EQ(table.m_SourceCount, p.kept);
    EXPECT_EQ(scanner.rejectedRows() + scanner.droppedRows() + table.m_SourceCount, p.strRows);
    ASSERT_GE(static_cast<int>(expected.size()), p.kept);
    for (int i = 0; i < p.kept; ++i)
        EXPECT_EQ(table.m_SourceTable[static_cast<std::size_t>(i)],
                  expected[static_cast<std::size_t>(i)])
            << "row " << i;
}

INSTANTIATE_TEST_SUITE_P(Scanner, RealTables,
                         ::testing::Values(RealTable{"gpsd-sapos.txt", 4, 4},
                                           RealTable{"trignet.txt", 74, 74},
                                           RealTable{"igs-ip.txt", 385, SourceTable::kMaxRecords}),
                         [](const auto& info) {
                             std::string n = info.param.file;
                             return n.substr(0, n.find_first_of("-.")) + "_" +
                                    std::to_string(info.param.strRows);
                         });

TEST(SourceTableScanner, IgsTableHasTwoRowsWithoutAnRorCFormat) {
    const std::string text = test::readBytes(TESSADORN_TEST_DATA "/igs-ip.txt");
    SourceTable table;
    SourceTableScanner scanner(table);
    scanAll(scanner, text);
    EXPECT_EQ(scanner.rejectedRows(), 2);
    EXPECT_EQ(scanner.droppedRows(), 383 - SourceTable::kMaxRecords);
}

} // namespace
} // namespace tessadorn
