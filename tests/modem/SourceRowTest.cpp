// A source table as public casters send it (tests/data/sourcetables/casters-mixed.txt: a relayed
// HTTP header, CAS and NET records, UTF-8 and code-page names, 0-360 longitudes, blank and
// malformed numbers, NMEA and network rows, a short row), scanned and read by named fields.
#include "modem/SourceRow.h"
#include "TempDir.h"
#include "modem/MountpointNeeds.h"
#include "modem/MountpointOrder.h"
#include "modem/SourceTableScanner.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tessadorn {
namespace {

// A row's names and typed fields in one line: carrier, latitude, longitude, place, NMEA,
// solution, authentication required, fee, bitrate; "-" for unknown.
std::string typed(const SourceRow& r) {
    std::ostringstream s;
    s << r.mountpoint << " " << r.identifier << ":";
    const auto put = [&s](const auto& v) {
        s << ' ';
        v ? s << *v : s << '-';
    };
    put(r.carrier), put(r.latitude), put(r.longitude),
        put(r.place ? std::optional(1) : std::nullopt);
    put(r.nmea), put(r.solution), put(r.authenticationRequired), put(r.fee), put(r.bitrate);
    return s.str();
}

TEST(SourceRow, EveryFieldAsWrittenAndTyped) {
    const std::string text = test::readBytes(TESSADORN_TEST_DATA "/casters-mixed.txt");
    ASSERT_FALSE(text.empty());
    SourceTable table;
    SourceTableScanner scanner(table);
    SourceTableScanner::End end = SourceTableScanner::End::None;
    for (std::size_t i = 0; i < text.size() && end == SourceTableScanner::End::None; ++i)
        end = scanner.feed(static_cast<std::uint8_t>(text[i]));
    EXPECT_EQ(end, SourceTableScanner::End::Table);
    std::vector<std::string> rows;
    for (int i = 0; i < table.count(); ++i)
        rows.push_back(typed(SourceRow::read(table, i)));
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "BSVZ00ITA0 Basovizza, Trieste: 2 45.64 13.88 1 0 0 1 0 10600",
                        "EUREF01 BRDC_APC_ETRS89: 0 50 10 - 0 1 1 0 2800",
                        "ENAO00PRT0 SantaCruz: 2 39.09 -28.03 - 0 1 1 0 16400",
                        "56MOUS Moustoir-Ac: 3 47.837 -2.854 1 0 0 0 0 15200",
                        "AGDE Cap d'Agde purification station: 2 43.3 3.47 1 0 0 1 0 8000",
                        "TOMB Tombebœuf: 2 44.509 0.456 1 0 0 0 0 15200",
                        "FUKUOKA-SAWARA 福岡市早良区: 2 33.58 130.35 - 1 1 1 1 9600",
                        "BESA Besançon: 2 47.25 5.99 1 0 0 1 0 4800",
                        "WEST Bilbao oeste: - 43.26 -2.93 1 0 0 1 0 -",
                        "BLANK Sin posicion: - - - - - - - - -",
                        "SHORT Short row: 2 52.52 13.4 1 1 - - - -"}));
    // Rows without a place of their own come after every row with one, in the table's order.
    const auto order = MountpointOrder::byDistance(table, Position{44.0, 1.0});
    std::vector<std::string> names;
    for (int i : order)
        names.push_back(SourceRow::read(table, i).mountpoint);
    EXPECT_EQ(names, (std::vector<std::string>{"TOMB", "AGDE", "WEST", "56MOUS", "BESA",
                                               "BSVZ00ITA0", "SHORT", "EUREF01", "ENAO00PRT0",
                                               "FUKUOKA-SAWARA", "BLANK"}));
}

// The question before connecting: only for a row that needs the position, on a modem with no
// position source (nothing read, no receiver make, no usable manual position).
TEST(SourceRow, TheQuestionBeforeConnectingNeedsBothAPositionRowAndNoSource) {
    const std::pair<std::array<const char*, 3>, bool> cases[] = {{{"", "", ""}, true},
                                                                 {{"AUTO", "UNKNOWN", ""}, true},
                                                                 {{"AUTO", "KV-318", ""}, false},
                                                                 {{"AUTO", "TOPCON", ""}, false},
                                                                 {{"MANUAL", "", "41.38"}, false},
                                                                 {{"MANUAL", "", "0"}, true}};
    SourceTableEntry e;
    e.mountpoint = "VRS";
    for (const auto& [device, asks] : cases) {
        DeviceConfig::Values d;
        d.GgaMode = device[0];
        d.GpsType = device[1];
        d.GgaLatitude = device[2];
        d.GgaLongitude = d.GgaLatitude == "0" ? "0" : "2.17";
        e.nmea = "1";
        const std::string question = positionQuestion(SourceRow::read(e), d);
        EXPECT_EQ(question.find("The mountpoint VRS ") == 0, asks) << device[0] << device[1];
        e.nmea = "0";
        EXPECT_EQ(positionQuestion(SourceRow::read(e), d), "");
    }
}

} // namespace
} // namespace tessadorn
