#include "cli/ProfileModel.h"

#include <gtest/gtest.h>

namespace tessadorn::cli {
namespace {

Value object(std::vector<std::pair<std::string, Value>> members) {
    Value v = Value::object();
    for (auto& [k, m] : members)
        v.set(k, std::move(m));
    return v;
}
Value profileWith(const std::string& key, Value value) {
    return object({{"tessadorn_profile", Value::num(1)}, {key, std::move(value)}});
}

// A profile is taken whole or refused whole, naming the key.
TEST(ProfileDocument, RefusesNamingTheKey) {
    const struct {
        const char* name;
        Value document;
        std::string refusal; // empty: taken
    } cases[] = {
        {"version", object({{"tessadorn_profile", Value::num(2)}}), "\"tessadorn_profile\""},
        {"unknown key", profileWith("colour", Value::str("red")), "\"colour\" is not a setting"},
        {"wrong type", profileWith("auto_connect", Value::str("yes")),
         "\"auto_connect\" must be true"},
        {"role", profileWith("role", Value::str("server")), "\"role\""},
        {"unknown nested key",
         profileWith("apn", object({{"name", Value::str("a")}, {"pin", Value::str("1")}})),
         "\"apn.pin\""},
        {"apn the modem splits", profileWith("apn", object({{"name", Value::str("a,b")}})),
         "\"apn.name\" is refused"},
        {"line end", profileWith("apn", object({{"name", Value::str("a\r\nRESET")}})),
         "\"apn.name\" may not hold a line end"},
        {"latitude",
         profileWith("gps", object({{"latitude", Value::num(91)}, {"longitude", Value::num(2)}})),
         "\"gps.latitude\" is refused: The latitude must be a number from -90 to 90."},
        {"rate of a fixed make",
         profileWith("gps",
                     object({{"receiver", Value::str("TRIMBLE")}, {"rate", Value::num(9600)}})),
         "\"gps.rate\""},
        {"odd rate",
         profileWith("gps",
                     object({{"receiver", Value::str("WAVECOM")}, {"rate", Value::num(12345)}})),
         "\"gps.rate\""},
        {"mountpoint with a blank",
         profileWith("caster", object({{"host", Value::str("h")},
                                       {"port", Value::str("2101")},
                                       {"mountpoint", Value::str("A B")}})),
         "\"caster.mountpoint\""},
        {"caster host with a blank",
         profileWith("caster", object({{"host", Value::str("a b")},
                                       {"port", Value::str("2101")},
                                       {"mountpoint", Value::str("M")}})),
         "\"caster.host\" is refused"},
        {"caster port with a fraction",
         profileWith("caster", object({{"host", Value::str("h")},
                                       {"port", Value::num(2101.5)},
                                       {"mountpoint", Value::str("M")}})),
         "\"caster.port\" must be a port number"},
        {"caster port past the last",
         profileWith("caster", object({{"host", Value::str("h")},
                                       {"port", Value::num(70000)},
                                       {"mountpoint", Value::str("M")}})),
         "\"caster.port\" is refused"},
        {"caster port as a number", // as export writes it
         profileWith("caster", object({{"host", Value::str("h")},
                                       {"port", Value::num(2101)},
                                       {"mountpoint", Value::str("M")}})),
         ""},
        {"a good one",
         object(
             {{"tessadorn_profile", Value::num(1)},
              {"role", Value::str("rover")},
              {"gps", object({{"receiver", Value::str("WAVECOM")}, {"rate", Value::num(115200)}})},
              {"apn", object({{"name", Value::str("web")}})}}),
         ""},
    };
    for (const auto& c : cases) {
        std::string why;
        const auto profile = readProfile(c.document, why);
        EXPECT_EQ(profile.has_value(), c.refusal.empty()) << c.name << ": " << why;
        EXPECT_NE(why.find(c.refusal), std::string::npos) << c.name << ": " << why;
    }
}

ModemState rover() {
    ModemState s;
    s.mode = kModeClient;
    s.autoConnect = 2;
    s.baudIndex = 4;
    s.device.GpsType = "UNKNOWN";
    s.device.GgaMode = "MANUAL";
    s.device.GgaLatitude = "41.500000";
    s.device.GgaLongitude = "2.250000";
    s.device.ApnName = "Web";
    s.device.ApnPassword = "pw";
    s.device.CasterHost = "caster.example.com";
    s.device.CasterPort = "2101";
    s.device.CasterMountpoint = "DEMO01";
    s.device.CasterKind = "0";
    return s;
}

// Positions to the six decimals the command carries, texts as the modem gives them, numbers as
// numbers, passwords compared but never shown.
TEST(ProfilePlan, ComparesAsTheModemCarriesTheValues) {
    const struct {
        const char* name;
        Value document;
        bool differs;
    } cases[] = {
        {"position within six decimals",
         profileWith("gps", object({{"latitude", Value::num(41.5000004)},
                                    {"longitude", Value::num(2.25)}})),
         false},
        {"position beyond",
         profileWith(
             "gps", object({{"latitude", Value::num(41.500001)}, {"longitude", Value::num(2.25)}})),
         true},
        {"text case", profileWith("apn", object({{"name", Value::str("web")}})), true},
        {"same text", profileWith("apn", object({{"name", Value::str("Web")}})), false},
        {"password",
         profileWith("apn", object({{"name", Value::str("Web")}, {"password", Value::str("x")}})),
         true},
        {"auto", profileWith("auto_connect", Value::boolean(false)), false},
        {"caster",
         profileWith("caster", object({{"host", Value::str("caster.example.com")},
                                       {"port", Value::str("2101")},
                                       {"mountpoint", Value::str("DEMO02")}})),
         true},
        {"same caster",
         profileWith("caster", object({{"host", Value::str("caster.example.com")},
                                       {"port", Value::str("2101")},
                                       {"mountpoint", Value::str("DEMO01")}})),
         false},
        {"same caster, its port a number",
         profileWith("caster", object({{"host", Value::str("caster.example.com")},
                                       {"port", Value::num(2101)},
                                       {"mountpoint", Value::str("DEMO01")}})),
         false},
    };
    const Profile current = profileOf(rover());
    for (const auto& c : cases) {
        std::string why;
        const auto wanted = readProfile(c.document, why);
        ASSERT_TRUE(wanted) << c.name << ": " << why;
        const auto steps = plan(*wanted, current);
        ASSERT_EQ(steps.size(), 1u) << c.name;
        EXPECT_EQ(steps[0].differs, c.differs) << c.name;
        EXPECT_EQ(steps[0].before.line().find("pw"), std::string::npos) << c.name;
    }
}

// What a profile asks of a modem it cannot go to is said before anything is sent.
TEST(ProfilePlan, RefusesAProfileForAnotherModem) {
    ModemState state = rover();
    state.device.SerialNumber = "TD1";
    const Profile current = profileOf(state);
    Profile other;
    other.device = ProfileDevice{"TD2", {}, {}};
    EXPECT_NE(mismatch(other, current).find("device.serial"), std::string::npos);
    Profile relay;
    relay.relay = true;
    EXPECT_NE(mismatch(relay, current).find("\"relay\" needs a base"), std::string::npos);
    relay.base = true;
    EXPECT_EQ(mismatch(relay, current), "");
    Profile kv318;
    kv318.gps = ProfileGps{};
    kv318.autoConnect = true;
    EXPECT_NE(mismatch(kv318, current).find("\"auto_connect\" needs"), std::string::npos);
    // What export writes, apply reads back as the same set-up.
    std::string why;
    const auto again = readProfile(writeProfile(current, true), why);
    ASSERT_TRUE(again) << why;
    for (const Step& step : plan(*again, current))
        EXPECT_FALSE(step.differs) << settingName(step.setting);
}

// What the window would not do for the modem as the profile leaves it is refused before
// anything is sent, naming the key; what the modem already has never is.
TEST(ProfilePlan, RefusesWhatTheWindowDoesNotOffer) {
    ModemState base = rover();
    base.mode = kModeServer;
    ModemState longApn = rover();
    longApn.device.ApnName = std::string(49, 'b');
    const auto position = [](double latitude) {
        return profileWith(
            "gps", object({{"latitude", Value::num(latitude)}, {"longitude", Value::num(2.25)}}));
    };
    const auto caster = [](const char* mountpoint) {
        return profileWith("caster", object({{"host", Value::str("caster.example.com")},
                                             {"port", Value::str("2101")},
                                             {"mountpoint", Value::str(mountpoint)}}));
    };
    const struct {
        const char* name;
        ModemState state;
        Value document;
        bool connected;
        std::string refusal; // empty: taken
    } cases[] = {
        {"a base's own manual position", base, position(41.5), false, ""},
        {"another manual position on a base", base, position(41.6), false,
         "a base takes its position from its receiver"},
        {"a 60-character APN", rover(),
         profileWith("apn", object({{"name", Value::str(std::string(60, 'a'))}})), false,
         "\"apn.name\" is refused: The field \"APN\" holds at most 48 characters."},
        {"a 49-byte APN the modem has", longApn,
         profileWith("apn", object({{"name", Value::str(std::string(49, 'b'))}})), false, ""},
        {"a 49-character user", rover(),
         profileWith("apn", object({{"name", Value::str("Web")},
                                    {"user", Value::str(std::string(49, 'u'))}})),
         false, "\"apn.user\" is refused"},
        {"another caster while connected", rover(), caster("DEMO02"), true,
         "The profile's \"caster\" is running: disconnect first."},
        {"the running caster", rover(), caster("DEMO01"), true, ""},
        {"another caster, not connected", rover(), caster("DEMO02"), false, ""},
        {"automatic connection with the profile's KV-318", rover(),
         object({{"tessadorn_profile", Value::num(1)},
                 {"gps", object({{"receiver", Value::str("KV-318")}})},
                 {"auto_connect", Value::boolean(true)}}),
         false, "\"auto_connect\" needs a TRIMBLE, UNKNOWN or TOPCON receiver"},
        {"the relay of the base the profile makes", rover(),
         object({{"tessadorn_profile", Value::num(1)},
                 {"role", Value::str("base")},
                 {"relay", Value::boolean(true)}}),
         false, ""},
        {"automatic connection on a base", base, profileWith("auto_connect", Value::boolean(true)),
         false, "The profile's \"auto_connect\" is for a rover."},
    };
    for (const auto& c : cases) {
        std::string why;
        const auto wanted = readProfile(c.document, why);
        ASSERT_TRUE(wanted) << c.name << ": " << why;
        const std::string refusal = mismatch(*wanted, profileOf(c.state), c.connected);
        if (c.refusal.empty())
            EXPECT_EQ(refusal, "") << c.name;
        else
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.name << ": " << refusal;
    }
}

} // namespace
} // namespace tessadorn::cli
