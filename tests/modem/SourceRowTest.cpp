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
#include <string>

namespace tessadorn {
namespace {

struct Expected {
    const char* mountpoint;
    const char* identifier;
    std::optional<int> carrier;
    std::optional<double> latitude, longitude;
    bool place;
    std::optional<bool> nmea;
    std::optional<int> solution;
    const char* compression;
    std::optional<bool> authRequired;
    std::optional<bool> fee;
    std::optional<int> bitrate;
};

const Expected kRows[] = {
    {"BSVZ00ITA0", "Basovizza, Trieste", 2, 45.64, 13.88, true, false, 0, "none", true, false,
     10600},
    {"EUREF01", "BRDC_APC_ETRS89", 0, 50.0, 10.0, false, false, 1, "none", true, false, 2800},
    {"ENAO00PRT0", "SantaCruz", 2, 39.09, -28.03, false, false, 1, "", true, false, 16400},
    {"56MOUS", "Moustoir-Ac", 3, 47.837, -2.854, true, false, 0, "none", false, false, 15200},
    {"AGDE", "Cap d'Agde purification station", 2, 43.30, 3.47, true, false, 0, "none", true, false,
     8000},
    {"TOMB", "Tombebœuf", 2, 44.509, 0.456, true, false, 0, "none", false, false, 15200},
    {"FUKUOKA-SAWARA", "福岡市早良区", 2, 33.58, 130.35, false, true, 1, "none", true, true, 9600},
    {"BESA", "Besançon", 2, 47.25, 5.99, true, false, 0, "none", true, false, 4800},
    {"WEST", "Bilbao oeste", std::nullopt, 43.26, -2.93, true, false, 0, "none", true, false,
     std::nullopt},
    {"BLANK", "Sin posicion", std::nullopt, std::nullopt, std::nullopt, false, std::nullopt,
     std::nullopt, "none", std::nullopt, std::nullopt, std::nullopt},
    {"SHORT", "Short row", 2, 52.52, 13.40, true, true, std::nullopt, "", std::nullopt,
     std::nullopt, std::nullopt},
};

void expectNear(std::optional<double> got, std::optional<double> want) {
    EXPECT_NEAR(got.value_or(-999), want.value_or(-999), 1e-9);
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
    ASSERT_EQ(table.count(), static_cast<int>(std::size(kRows)));
    for (int i = 0; i < table.count(); ++i) {
        const Expected& e = kRows[i];
        SCOPED_TRACE(e.mountpoint);
        const SourceRow r = SourceRow::read(table, i);
        EXPECT_EQ(r.mountpoint, e.mountpoint);
        EXPECT_EQ(r.identifier, e.identifier);
        EXPECT_EQ(r.carrier, e.carrier);
        expectNear(r.latitude, e.latitude);
        expectNear(r.longitude, e.longitude);
        EXPECT_EQ(r.place.has_value(), e.place);
        EXPECT_EQ(r.nmea, e.nmea);
        EXPECT_EQ(r.solution, e.solution);
        EXPECT_EQ(r.compression, e.compression);
        EXPECT_EQ(r.authenticationRequired, e.authRequired);
        EXPECT_EQ(r.fee, e.fee);
        EXPECT_EQ(r.bitrate, e.bitrate);
    }
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
