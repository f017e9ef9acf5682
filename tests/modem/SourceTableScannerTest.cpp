#include "modem/SourceTableScanner.h"
#include "FakeSerialPort.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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
    for (int i = 0; i < t.count(); ++i)
        out.emplace_back(t.mountpoint(i));
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
    SourceTableEntry old;
    old.mountpoint = "old";
    table.add(old); // a scan starts from an empty table
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
        // A line end ends a short row with the fields it has; it never takes the next row in.
        Case{"ShortRowsKeptNextRowIntact",
             "STR;A;a;RTCM\r\n 3;4;5;6;7;8;9;10;11;0;13;14;N;\r\nSTR;B;b;RTCM 3;4;5;6\r\n" +
                 row("C", "c", "RTCM 3") + "STR;D;d\nSTR;E;e;NMEA;4\nSTR;F;f;CMR\n" +
                 "ENDSOURCETABLE",
             End::Table,
             {"A", "B", "C", "F"}},
        Case{"UnendedTableGoesOn", row("A", "a", "RTCM 3") + "ENDSOURCE", End::None, {"A"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SourceTableScanner, KeepsEveryFieldAndReusesAnAbandonedSlot) {
    SourceTable table;
    SourceTableScanner scanner(table);
    const std::string input = row("A", "Alpha", "RTCM 3.1", "0", "N") +
                              row("Z", "Zulu", "NMEA", "1", "B") + // dropped after its format
                              row("B", "Bravo", "CMR", "", "") +   // empty solution and auth
                              "ENDSOURCETABLE";
    ASSERT_EQ(scanAll(scanner, input).first, End::Table);
    ASSERT_EQ(table.count(), 2);
    const auto entry = [](std::string mp, std::string id, std::string format, std::string solution,
                          std::string auth) {
        return SourceTableEntry{.mountpoint = mp,
                                .identifier = id,
                                .format = format,
                                .formatDetails = "1004(1)",
                                .carrier = "2",
                                .navSystem = "GPS",
                                .network = "NET",
                                .country = "DEU",
                                .latitude = "50.0",
                                .longitude = "8.0",
                                .nmea = "0",
                                .solution = solution,
                                .generator = "Gen",
                                .compression = "none",
                                .authentication = auth,
                                .fee = "N",
                                .bitrate = "9600"};
    };
    EXPECT_EQ(table.entry(0), entry("A", "Alpha", "RTCM 3.1", "0", "N"));
    EXPECT_EQ(table.entry(1), entry("B", "Bravo", "CMR", "", ""));
    EXPECT_EQ(scanner.rejectedRows(), 1);
}

// Fields 16 and 17 come after the ";" that ends a row: they are read while the scan looks for
// the next row, which they never hide.
TEST(SourceTableScanner, FeeAndBitrateFollowTheRow) {
    const std::string head = "STR;A;a;RTCM 3;4;5;6;7;8;9;10;11;12;13;14;15;";
    struct Tail {
        std::string after;
        std::string fee;
        std::string bitrate;
        std::vector<std::string> mountpoints;
    };
    const Tail cases[] = {
        {"Y;2400\r\n", "Y", "2400", {"A"}},
        {"Y;2400;misc;more\r\n", "Y", "2400", {"A"}},
        {"Y\r\n", "Y", "", {"A"}},
        {"\r\n;2400;\r\n", "", "", {"A"}},
        {"Y;2400STR;B;b;CMR;4;5;6;7;8;9;10;11;12;13;14;15;\r\n", "Y", "2400", {"A", "B"}},
        {"YSTR;B;b;CMR;4;5;6;7;8;9;10;11;12;13;14;15;", "Y", "", {"A", "B"}},
        {std::string(150, 'f') + ";" + std::string(150, 'b'),
         std::string(99, 'f'),
         std::string(99, 'b'),
         {"A"}},
        {"Y;2400;\r\nSTR;Z;z;NMEA;4;5;6;7;8;9;10;11;12;13;14;15;N;1\r\n", "Y", "2400", {"A"}},
    };
    for (const auto& c : cases) {
        SourceTable table;
        SourceTableScanner scanner(table);
        scanAll(scanner, head + c.after + "\r\nENDSOURCETABLE");
        SCOPED_TRACE(c.after);
        EXPECT_EQ(mountpoints(table), c.mountpoints);
        EXPECT_EQ(table.field(0, 16), c.fee);
        EXPECT_EQ(table.field(0, 17), c.bitrate);
        EXPECT_EQ(table.field(0, 15), "15");
    }
}

std::string numbered(int i, int fieldLength) {
    const std::string f(static_cast<std::size_t>(fieldLength), 'x');
    std::string r = "STR;M" + std::to_string(i) + ";" + f + ";RTCM 3";
    for (int n = 4; n <= 15; ++n)
        r += ";" + f;
    return r + ";" + f + ";" + f + "\r\n";
}

// Past either bound the rest of the table is read and left out, and counted.
TEST(SourceTableScanner, KeepsRowsUpToTheRowAndByteBounds) {
    struct Bound {
        const char* name;
        int rows;
        int fieldLength;
    };
    // Rows of 15 fields of 150 bytes (cut to 99) and two more after them: about 1500 bytes each.
    const Bound bounds[] = {{"rows", SourceTable::kMaxRecords + 7, 2},
                            {"bytes", static_cast<int>(SourceTable::kMaxBytes / 1400), 150}};
    for (const auto& b : bounds) {
        SCOPED_TRACE(b.name);
        std::string input;
        for (int i = 0; i < b.rows; ++i)
            input += numbered(i, b.fieldLength);
        input += "STR;Small;s;RTCM 3;4;5;6;7;8;9;10;11;12;13;14;15;\r\n"; // small, but too late
        SourceTable table;
        SourceTableScanner scanner(table);
        ASSERT_EQ(scanAll(scanner, input + "ENDSOURCETABLE").first, End::Table)
            << "the scan goes on past a full table";
        const int kept = table.count();
        ASSERT_GT(kept, 0);
        ASSERT_LT(kept, b.rows);
        EXPECT_EQ(table.leftOut(), b.rows + 1 - kept);
        EXPECT_EQ(table.mountpoint(kept - 1), "M" + std::to_string(kept - 1));
        EXPECT_EQ(table.field(kept - 1, 17).size(), std::min<std::size_t>(b.fieldLength, 99));
        for (int n = 1; n <= SourceTableEntry::kFields; ++n)
            EXPECT_LE(table.field(kept - 1, n).size(), SourceTable::kMaxField);
        if (b.fieldLength == 2) {
            EXPECT_EQ(kept, SourceTable::kMaxRecords);
        } else {
            EXPECT_LE(table.bytes(), SourceTable::kMaxBytes);
            EXPECT_GT(table.bytes() + 17 * SourceTable::kMaxField, SourceTable::kMaxBytes)
                << "full: no room for one more row";
        }
    }
}

// The rows read so far are told a few times a second of the channel's clock, and once at the end.
TEST(SourceTableScanner, ReportsProgressByTheClock) {
    VirtualClock clock;
    test::ScriptedModem modem(1); // a byte every millisecond
    test::FakeSerialPort port{clock, modem};
    SerialChannel channel{port, clock};
    channel.Open(2);
    std::string input;
    for (int i = 0; i < 300; ++i)
        input += numbered(i, 2);
    modem.push(input + "ENDSOURCETABLE\r\n", 0); // about 80 ms a row
    std::vector<std::pair<std::int64_t, int>> heard;
    SourceTable table;
    const auto end = SourceTableScanner::read(
        channel, table, [&](int rows, bool) { heard.emplace_back(clock.nowMs(), rows); });
    ASSERT_EQ(end, End::Table);
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard.back().second, 300);
    for (std::size_t i = 1; i + 1 < heard.size(); ++i) {
        EXPECT_GE(heard[i].first - heard[i - 1].first, SourceTableScanner::kProgressIntervalMs);
        EXPECT_GT(heard[i].second, heard[i - 1].second);
    }
    EXPECT_LE(static_cast<std::int64_t>(heard.size()),
              clock.nowMs() / SourceTableScanner::kProgressIntervalMs + 1);
}

// A name typed in UTF-8 finds the row the caster wrote, in UTF-8 or in the code page.
TEST(SourceTable, FindsATypedNameAsTheCasterWroteIt) {
    SourceTable table;
    for (const char* name : {"Basel", "Z\xc3\xbcrich-1", "Z\xfcrich-2", "\xc3\xbc"}) {
        SourceTableEntry e;
        e.mountpoint = name;
        table.add(e);
    }
    const std::pair<const char*, int> typed[] = {
        {"Basel", 0},     {"Z\xc3\xbcrich-1", 1}, {"Z\xc3\xbcrich-2", 2}, {"\xc3\xbc", 3},
        {"Zurich-1", -1}, {"Z\xfcrich-2", -1},    {"basel", -1}};
    for (const auto& [name, row] : typed)
        EXPECT_EQ(table.findTyped(name), row) << name;
}

// A modem that relays rows for ever and never the end marker.
class EndlessRows final : public test::SerialPeer {
  public:
    void received(std::string_view, int, std::int64_t) override {}
    std::int64_t readyAt(int) override { return 0; }
    std::uint8_t take() override {
        if (m_At == m_Row.size()) m_Row = numbered(++m_Number, 2), m_At = 0;
        ++m_Taken;
        return static_cast<std::uint8_t>(m_Row[m_At++]);
    }
    void purged(int, std::int64_t) override {}
    std::size_t taken() const { return m_Taken; }

  private:
    int m_Number = 0;
    std::string m_Row = numbered(0, 2);
    std::size_t m_At = 0;
    std::size_t m_Taken = 0;
};

// The scan stops keeping rows when the table is full or when it is told to stop, says so at
// once, and reads on. A stopped table is read to its end; a stream that never ends is given up
// after kMaxStreamBytes, the rows that fit kept.
TEST(SourceTableScanner, StopsKeepingRowsAndBoundsAStreamWithoutEnd) {
    struct Case {
        const char* name;
        bool endless;
        std::int64_t stopAtMs; // -1: never asked to stop
        End end;
    };
    for (const Case& c :
         {Case{"endless", true, -1, End::TooLong}, Case{"stopped", false, 2000, End::Stopped}}) {
        SCOPED_TRACE(c.name);
        VirtualClock clock;
        EndlessRows endless;
        test::ScriptedModem modem(1);
        test::FakeSerialPort port{clock, c.endless ? static_cast<test::SerialPeer&>(endless)
                                                   : static_cast<test::SerialPeer&>(modem)};
        SerialChannel channel{port, clock};
        channel.Open(2);
        std::string input;
        for (int i = 0; i < 300; ++i)
            input += numbered(i, 2);
        modem.push(input + "ENDSOURCETABLE\r\n", 0);
        std::atomic<bool> stop{false};
        if (c.stopAtMs >= 0) port.atTime(c.stopAtMs, [&] { stop = true; });
        std::vector<std::pair<int, bool>> heard;
        SourceTable table;
        const auto end = SourceTableScanner::read(
            channel, table,
            [&](int rows, bool discarding) { heard.emplace_back(rows, discarding); }, &stop);
        EXPECT_EQ(end, c.end);
        ASSERT_FALSE(heard.empty());
        const auto discarding =
            std::find_if(heard.begin(), heard.end(), [](const auto& h) { return h.second; });
        ASSERT_NE(discarding, heard.end()) << "the rest is said to be discarded";
        if (c.endless) {
            EXPECT_EQ(discarding->first, SourceTable::kMaxRecords);
            // Read up to the bound, and no further than the channel's buffer reads ahead.
            EXPECT_GE(endless.taken(), SourceTableScanner::kMaxStreamBytes + 1);
            EXPECT_LE(endless.taken(),
                      SourceTableScanner::kMaxStreamBytes + 1 + SerialChannel::kBufferSize);
            // The rows that fit stay, and those past the cap up to the bound are counted.
            EXPECT_EQ(table.count(), SourceTable::kMaxRecords);
            EXPECT_GT(table.leftOut(), SourceTable::kMaxRecords);
            EXPECT_EQ(table.mountpoint(0), "M0");
        } else {
            EXPECT_EQ(table.count(), discarding->first) << "no row kept after the stop";
            EXPECT_GT(discarding->first, 0);
            EXPECT_LT(discarding->first, 300);
            EXPECT_EQ(modem.pending(), 2u) << "read to its end (but its last CR LF)";
        }
    }
}

// The same table read line by line: STR lines with their fields split at ";".
std::vector<SourceTableEntry> byLines(const std::string& text) {
    std::vector<SourceTableEntry> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("STR;", 0) != 0) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f;
        std::istringstream fields(line.substr(4));
        for (std::string field; std::getline(fields, field, ';');)
            f.push_back(field.substr(0, SourceTable::kMaxField));
        if (f.size() < 3 || f[2].empty() || (f[2][0] != 'R' && f[2][0] != 'C')) continue;
        SourceTableEntry e;
        for (int n = 1; n <= SourceTableEntry::kFields && n <= static_cast<int>(f.size()); ++n)
            *e.field(n) = f[static_cast<std::size_t>(n - 1)];
        rows.push_back(e);
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
    EXPECT_EQ(table.count(), p.kept);
    EXPECT_EQ(scanner.rejectedRows() + scanner.droppedRows() + table.count(), p.strRows);
    ASSERT_GE(static_cast<int>(expected.size()), p.kept);
    for (int i = 0; i < p.kept; ++i)
        EXPECT_EQ(table.entry(i), expected[static_cast<std::size_t>(i)]) << "row " << i;
}

INSTANTIATE_TEST_SUITE_P(Scanner, RealTables,
                         ::testing::Values(RealTable{"gpsd-sapos.txt", 4, 4},
                                           RealTable{"trignet.txt", 74, 74},
                                           RealTable{"igs-ip.txt", 385, 383}),
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
    EXPECT_EQ(scanner.droppedRows(), 0) << "every row the caster lists is kept";
}

} // namespace
} // namespace tessadorn
