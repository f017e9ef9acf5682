#include "modem/MountpointOrder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessadorn {
namespace {

TEST(MountpointOrder, GreatCircleDistances) {
    struct Case {
        Position from, to;
        double km;
    };
    const Case cases[] = {
        {{48.8566, 2.3522}, {51.5074, -0.1278}, 343.6},   // Paris - London
        {{0, 0.5}, {0, 1.5}, 111.2},                      // a degree of the equator
        {{-33.9249, 18.4241}, {-26.2041, 28.0473}, 1263}, // Cape Town - Johannesburg
        {{10, 20}, {-10, -160}, 20015.1},                 // antipodes
        {{52, 13}, {52, 13}, 0},
        {{0, 179.5}, {0, -179.5}, 111.2}, // across the date line
    };
    for (const auto& c : cases)
        EXPECT_NEAR(MountpointOrder::distanceKm(c.from, c.to), c.km, c.km * 0.002 + 0.1)
            << c.from.latitude << "," << c.from.longitude;
}

TEST(MountpointOrder, ReadsOnlyUsablePositions) {
    struct Case {
        const char* lat;
        const char* lon;
        bool usable;
        Position at;
    };
    const Case cases[] = {
        {"52.52", "13.40", true, {52.52, 13.40}},
        {" -33.9 ", "+18.4", true, {-33.9, 18.4}},
        {"40", "356.5", true, {40, -3.5}}, // east counted up to 360
        {"90", "-180", true, {90, -180}},
        {"0", "10", true, {0, 10}},
        {"0.00", "0.00", false, {}},
        {"0", "0", false, {}},
        {"", "13.4", false, {}},
        {"52.5", "", false, {}},
        {"N52", "13", false, {}},
        {"52,5", "13", false, {}},
        {"52.5x", "13", false, {}},
        {"nan", "13", false, {}},
        {"52", "inf", false, {}},
        {"90.01", "13", false, {}},
        {"-91", "13", false, {}},
        {"52", "360.5", false, {}},
        {"52", "-180.5", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.lat) + " " + c.lon);
        const auto p = MountpointOrder::parse(c.lat, c.lon);
        ASSERT_EQ(p.has_value(), c.usable);
        if (p) {
            EXPECT_DOUBLE_EQ(p->latitude, c.at.latitude);
            EXPECT_DOUBLE_EQ(p->longitude, c.at.longitude);
        }
    }
}

TEST(MountpointOrder, ManualPositionOnlyWhenTheModemReportsOne) {
    DeviceConfig::Values d;
    d.GgaMode = "MANUAL";
    d.GgaLatitude = "41.385064";
    d.GgaLongitude = "2.173403";
    EXPECT_EQ(MountpointOrder::manualPosition(d), (Position{41.385064, 2.173403}));
    d.GgaMode = "AUTO";
    EXPECT_FALSE(MountpointOrder::manualPosition(d));
    d.GgaMode = "MANUAL";
    d.GgaLatitude = "0.000000";
    d.GgaLongitude = "0.000000";
    EXPECT_FALSE(MountpointOrder::manualPosition(d));
}

SourceTable tableOf(const std::vector<std::array<const char*, 3>>& rows) {
    SourceTable t;
    for (const auto& [name, lat, lon] : rows) {
        SourceTableEntry e;
        e.mountpoint = name;
        e.format = "RTCM 3";
        e.latitude = lat;
        e.longitude = lon;
        t.add(e);
    }
    return t;
}

std::vector<std::string> names(const SourceTable& t, const std::vector<int>& order) {
    std::vector<std::string> out;
    for (int i : order)
        out.emplace_back(t.mountpoint(i));
    return out;
}

TEST(MountpointOrder, NearestFirstTiesInTableOrderUnusableLast) {
    const SourceTable t = tableOf({{"NoPos", "", ""},
                                   {"Far", "-33.9", "18.4"},
                                   {"Near", "50.2", "8.7"},
                                   {"Zero", "0", "0"},
                                   {"TieA", "51", "8"},
                                   {"Bad", "x", "8"},
                                   {"Here", "50.1", "8.6"},
                                   {"TieB", "51", "8"},
                                   {"Mid", "40.4", "-3.7"}});
    EXPECT_EQ(names(t, MountpointOrder::byDistance(t, Position{50.1, 8.6})),
              (std::vector<std::string>{"Here", "Near", "TieA", "TieB", "Mid", "Far", "NoPos",
                                        "Zero", "Bad"}));
    EXPECT_EQ(names(t, MountpointOrder::byDistance(t, std::nullopt)),
              (std::vector<std::string>{"NoPos", "Far", "Near", "Zero", "TieA", "Bad", "Here",
                                        "TieB", "Mid"}))
        << "without a position the table's order";
    EXPECT_FALSE(MountpointOrder::distanceKm(t, 0, Position{50.1, 8.6}));
    EXPECT_NEAR(*MountpointOrder::distanceKm(t, 2, Position{50.1, 8.6}), 13.2, 0.3);
}

} // namespace
} // namespace tessadorn
