#include "TempDir.h"
#include "app/SimulatorProcess.h"
#include "platform/TermiosSerialPort.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace tessadorn {
namespace {

// The commands the simulator heard, without their line ends, one per line of its log.
std::vector<std::string> heard(const std::string& log) {
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find("] <- ");
        if (at == std::string::npos) continue;
        std::string command = line.substr(at + 5);
        if (const auto end = command.find("\\r\\n"); end != std::string::npos) command.resize(end);
        lines.push_back(command);
    }
    return lines;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the modem hears first from every command that acts on a rover: the start-up's reads.
std::vector<std::string> afterRoverStart(std::vector<std::string> commands) {
    std::vector<std::string> all = {"DEVICE?", "#GETCFG?",   "#GETGGA?",
                                    "#AUTO?",  "#STCONNECT", "ADDRSERVER?"};
    all.insert(all.end(), commands.begin(), commands.end());
    return all;
}

// The same for a base.
std::vector<std::string> afterBaseStart(std::vector<std::string> commands) {
    std::vector<std::string> all = {"DEVICE?", "#GETCFG?", "#GETGGA?", "#GETBRD?", "IP?"};
    all.insert(all.end(), commands.begin(), commands.end());
    return all;
}

// The start-up of a rover whose receiver keeps no caster connection: no connection read.
const std::vector<std::string> kRoverWithoutCasterStart = {"DEVICE?", "#GETCFG?", "#GETGGA?"};

const std::string kHome = "caster add Home caster.example.com 2101 --user bob --password pw";
const std::string kUseHome = "caster use Home --auth";

struct Case {
    const char* name;
    std::vector<std::string> simulator; // settings besides --baud 2
    std::vector<std::string> before;    // commands run first (their own checks: status 0)
    std::string command;
    int status;
    std::vector<std::string> commands; // what the modem heard, in order
    std::string stdoutHas;             // text output, or with --json a key=value check
    std::string stderrHas;
    bool noRoom = false;      // files may not pass 512 bytes (ulimit -f 1), as on a full disk
    std::string secret = "";  // shows nowhere: stdout, stderr, the log
    std::string file = "";    // a file of the config folder afterwards, "{link}" for the port ...
    std::string fileHas = ""; // ... and what it holds ("" with `file`: it does not exist)
    std::string list = {};    // the caster list the command starts with, when not empty
};
// gtest prints a case by its name, not as bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const Case kCases[] = {
    {"EmptyList", {}, {}, "casters --json", 0, {}, "[]", ""},
    {"AddedCasterIsListed",
     {},
     {kHome, kUseHome},
     "casters",
     0,
     {},
     "*  Home  caster.example.com",
     ""},
    {"RefusedServerNamesTheField",
     {},
     {},
     "caster add Bad \"a b\" 2101",
     2,
     {},
     "",
     "The field \"Server\" may not contain a blank."},
    {"RefusedIbssDeviceNamesTheField",
     {},
     {},
     "caster add I org 2101 --ntrip ibss --user \"a:b\"",
     2,
     {},
     "",
     "The field \"Device\" may not contain \":\"."},
    {"UnknownCaster", {}, {}, "caster remove Nobody", 2, {}, "", "No caster is called \"Nobody\"."},
    // Refused before anything is stored or sent, the field named.
    {"PortPastTheLast", {}, {}, "caster add X h 70000", 2, {}, "", "\"Port\" takes a port from 1"},
    {"PortZero", {}, {}, "caster add X h 0", 2, {}, "", "\"Port\" takes a port from 1"},
    {"PortNegative", {}, {}, "caster add X h -1", 2, {}, "", "\"Port\" takes a port from 1"},
    {"PortNotANumber", {}, {}, "caster add X h abc", 2, {}, "", "\"Port\" takes a port from 1"},
    {"NameBeyondTheCodePage",
     {},
     {},
     "caster add Base\xF0\x9F\x98\x80 h 2101",
     2,
     {},
     "",
     "\"Name\" may not contain \"\xF0\x9F\x98\x80\""},
    {"ApnTooLong",
     {},
     {},
     "apn " + std::string(10000, 'a'),
     2,
     {},
     "",
     "\"APN\" holds at most 48 characters."},
    {"PasswordTooLong",
     {},
     {},
     "caster add X h 2101 --password " + std::string(49, 'p'),
     2,
     {},
     "",
     "\"Password\" holds at most 48"},
    {"NameAsTyped",
     {},
     {},
     "caster add Z\xC3\xBCrich h 2101",
     0,
     {},
     "Caster added: Z\xC3\xBCrich",
     ""},
    {"NegativeNumbersAreValues", {}, {}, "gps manual -33.9 -181", 2, {}, "", "longitude"},
    {"PortsAsNumbers", {}, {kHome}, "casters --json", 0, {}, "0.port=2101", ""},
    {"Status",
     {},
     {},
     "status --json",
     0,
     {"DEVICE?", "#GETCFG?", "#GETGGA?", "#AUTO?", "#STCONNECT", "ADDRSERVER?", "#APN",
      "#SIGNALONCE"},
     "role=rover rate=38400 serial=TD0412087 !address !baud !sim_state sim.code=5 sim.name=ready "
     "apn_ready~bool connection.code~number connection.name~string gps.receiver~string "
     "caster.host~null caster.port~number auto_connect=false",
     ""},
    // A profile reads in the order the manual gives, its version first; the caster's port is a
    // number as in status.
    {"ProfileExportInItsOrder",
     {"--caster", "caster.example.com:2101/MNT bob:s3cret"},
     {},
     "profile export",
     0,
     afterRoverStart({}),
     "{\n    \"tessadorn_profile\": 1,\n    \"device\": {\n        \"serial\": \"TD0412087\"",
     ""},
    {"ProfileExportPortIsANumber",
     {"--caster", "caster.example.com:2101/MNT bob:s3cret"},
     {},
     "profile export --json",
     0,
     afterRoverStart({}),
     "tessadorn_profile=1 caster.port~number caster.port=2101 caster.mountpoint=MNT",
     ""},
    {"StatusAutoConnectOn",
     {"--auto", "1"},
     {},
     "status --json",
     0,
     {"DEVICE?", "#GETCFG?", "#GETGGA?", "#AUTO?", "#STCONNECT", "ADDRSERVER?", "#APN",
      "#SIGNALONCE"},
     "auto_connect=true role=rover",
     ""},
    {"StatusOfABase",
     {"--scenario", "base"},
     {},
     "status --json",
     0,
     {"DEVICE?", "#GETCFG?", "#GETGGA?", "#GETBRD?", "IP?", "#APN", "#SIGNALONCE"},
     "role=base address=null",
     ""},
    // The modem goes away half-way: no partial result, the error object only.
    {"StatusOfAPulledModem",
     {"--drop-after-commands", "4"},
     {},
     "status --json",
     1,
     {"DEVICE?", "#GETCFG?", "#GETGGA?", "#AUTO?"},
     "status=1 !serial",
     " is gone."},
    // An option the command does not take is refused before the modem is looked for.
    {"AnOptionTheCommandDoesNotTake",
     {},
     {},
     "status --secrets",
     2,
     {},
     "",
     "status takes no option --secrets"},
    {"AnEmptyPortIsRefused", {}, {}, "--port \"\" status", 2, {}, "", "--port needs a value"},
    // Under a file size limit the save fails with its reason, not the program by a signal.
    {"SaveWithoutRoom",
     {},
     {kHome, "caster add Two two.example.com 2101"},
     "caster add Three three.example.com 2101",
     1,
     {},
     "",
     "The caster list could not be saved: File too large",
     true},
    {"Mountpoints",
     {},
     {kHome, kUseHome},
     "mountpoints --json",
     0,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,caster.example.com:2101"}),
     "0.name=DEMO01",
     ""},
    // The caster the modem has stored becomes the current one, as in the window.
    {"MountpointsOfTheStoredCaster",
     {"--caster", "beta.example.com:2101/DEMO01 bob:pw"},
     {kHome, kUseHome, "caster add Beta beta.example.com 2101 --user bob --password pw"},
     "mountpoints --json",
     0,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,beta.example.com:2101"}),
     "0.name=DEMO01",
     ""},
    // Every field as the caster wrote it and typed (tests/data/sourcetables/casters-mixed.txt).
    {"MountpointsTypedAsWritten",
     {"--default-table", TESSADORN_TEST_DATA "/casters-mixed.txt"},
     {kHome, kUseHome},
     "mountpoints --json",
     0,
     {"*"},
     "5.identifier=Tombebœuf 6.identifier=福岡市早良区 7.identifier=Besançon 6.nmea=true "
     "6.solution=1 6.fixed_place=false 5.fixed_place=true 3.carrier=3 9.carrier=null "
     "9.latitude=null 9.bitrate=null 5.bitrate=15200 5.authentication=N "
     "5.authentication_required=false 6.fee=true 10.name=SHORT 10.solution=null",
     ""},
    // Nearest first from the modem's manual position.
    {"MountpointsNearTheManualPosition",
     {"--gps", "UNKNOWN", "--gga-mode", "MANUAL", "--latitude", "41.71", "--longitude", "1.84"},
     {kHome, kUseHome},
     "mountpoints --json",
     0,
     {"*"},
     "0.name=DEMO21 0.distance_km=0",
     ""},
    {"Connect",
     {},
     {kHome, kUseHome},
     "connect DEMO01",
     0,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,caster.example.com:2101",
                      "#CONNECT 1,caster.example.com:2101/DEMO01 bob:pw"}),
     "Tessadorn configured.",
     ""},
    {"DebugHidesThePassword",
     {},
     {"caster add Sec caster.example.com 2101 --user bob --password secret1",
      "caster use Sec --auth"},
     "--debug connect DEMO01",
     0,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,caster.example.com:2101",
                      "#CONNECT 1,caster.example.com:2101/DEMO01 bob:secret1"}),
     "Tessadorn configured.",
     "OK CMD: #CONNECT 1,caster.example.com:2101/DEMO01 bob:***"},
    {"NoSuchMountpoint",
     {},
     {kHome, kUseHome},
     "connect DEMO0",
     2,
     {"*"},
     "",
     "No mountpoint DEMO0 at Home; nearest: DEMO01"},
    // Another caster than the current one: its own user decides, not the current one's flag.
    {"ConnectAnotherCasterWithoutUser",
     {},
     {kHome, kUseHome, "caster add Open open.example.com 2101"},
     "connect DEMO01 --caster Open",
     0,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,open.example.com:2101",
                      "#CONNECT 1,open.example.com:2101/DEMO01"}),
     "Tessadorn configured.",
     ""},
    // --no-auth: the connection goes out without the caster's user and password.
    {"CasterUseNoAuthSendsNoUser",
     {},
     {kHome, "caster use Home --no-auth"},
     "connect DEMO01",
     0,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,caster.example.com:2101",
                      "#CONNECT 1,caster.example.com:2101/DEMO01"}),
     "Tessadorn configured.",
     ""},
    // --caster NAME: that caster's own user and password, not the current one's.
    {"ConnectAnotherCasterSendsItsUser",
     {},
     {kHome, kUseHome, "caster add Other other.example.com 2101 --user ann --password an1"},
     "connect DEMO01 --caster Other",
     0,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,other.example.com:2101",
                      "#CONNECT 1,other.example.com:2101/DEMO01 ann:an1"}),
     "Tessadorn configured.",
     ""},
    // A near miss names the nearest mountpoints as the caster wrote them (UTF-8).
    {"NearMissNamedAsTheCasterWroteIt",
     {"--default-table", TESSADORN_TEST_DATA "/utf8-mountpoints.txt"},
     {kHome, kUseHome},
     "connect Z\xC3\xBCrich-\xCE\xA9x",
     2,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,caster.example.com:2101"}),
     "",
     "No mountpoint Z\xC3\xBCrich-\xCE\xA9x at Home; nearest: Z\xC3\xBCrich-\xCE\xA9, Bern"},
    // A network row needs the receiver's position; a receiver of unknown make sends none.
    {"ConnectWithoutAPositionAsksFirst",
     {"--gps", "UNKNOWN"},
     {kHome, kUseHome},
     "connect DEMOVRS",
     2,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,caster.example.com:2101"}),
     "",
     "--yes connects all the same"},
    {"ConnectWithoutAPositionWithYes",
     {"--gps", "UNKNOWN"},
     {kHome, kUseHome},
     "connect DEMOVRS --yes",
     0,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,caster.example.com:2101",
                      "#CONNECT 1,caster.example.com:2101/DEMOVRS bob:pw"}),
     "Tessadorn configured.",
     ""},
    {"ConnectNotAuthorized",
     {"--caster-login", "ann:secret"},
     {kHome, kUseHome},
     "connect DEMO02",
     3,
     afterRoverStart({"#SIGNAL OFF", "#LIST 1,caster.example.com:2101",
                      "#CONNECT 1,caster.example.com:2101/DEMO02 bob:pw"}),
     "",
     "Connection not authorized."},
    {"ConnectWithoutCaster",
     {},
     {},
     "connect DEMO01",
     2,
     afterRoverStart({}),
     "",
     "No current caster"},
    {"Disconnect",
     {"--scenario", "connected"},
     {},
     "disconnect",
     0,
     afterRoverStart({"#STOPCONNECTION"}),
     "Connection Finished",
     ""},
    // The window offers the stop only while a connection runs.
    {"DisconnectWhenNotConnected",
     {},
     {},
     "disconnect",
     0,
     afterRoverStart({}),
     "The modem is not connected.",
     ""},
    // While a connection runs, the window's Connect stops it: no other connection is made.
    {"ConnectWhileConnected",
     {"--scenario", "connected"},
     {kHome},
     "connect DEMO01 --caster Home",
     2,
     afterRoverStart({}),
     "",
     "A caster connection is running: disconnect first."},
    {"RoleBase", {}, {}, "role base", 0, afterRoverStart({"MODE=BASE"}), "Tessadorn SERVER", ""},
    // The window offers the other role only: the modem is not restarted for nothing.
    {"RoleBaseOnABase",
     {"--role", "base"},
     {},
     "role base",
     0,
     afterBaseStart({}),
     "The modem is already a base.",
     ""},
    {"RoleRoverOnARover", {}, {}, "role rover", 0, afterRoverStart({}), "already a rover", ""},
    {"AutoOn", {}, {}, "auto on", 0, afterRoverStart({"#AUTO ON"}), "Autoconnection enabled", ""},
    {"AutoOnWhenOn",
     {"--auto", "1"},
     {},
     "auto on",
     0,
     afterRoverStart({}),
     "Automatic connection is already on.",
     ""},
    // The box is on the ready face of a rover only, and not with a receiver that ends it.
    {"AutoOnABase",
     {"--role", "base"},
     {},
     "auto on",
     2,
     afterBaseStart({}),
     "",
     "Automatic connection is for a rover."},
    {"AutoOnAKv318Rover",
     {"--gps", "KV-318"},
     {},
     "auto on",
     2,
     kRoverWithoutCasterStart,
     "",
     "Automatic connection needs a TRIMBLE, UNKNOWN or TOPCON receiver"},
    {"AutoOffAWavecomRover",
     {"--gps", "WAVECOM"},
     {},
     "auto off",
     2,
     kRoverWithoutCasterStart,
     "",
     "Automatic connection needs a TRIMBLE"},
    {"RelayOnWhenOn",
     {"--scenario", "base"},
     {},
     "relay on",
     0,
     afterBaseStart({}),
     "The relay broadcast is already on.",
     ""},
    {"RelayOff",
     {"--scenario", "base"},
     {},
     "relay off",
     0,
     afterBaseStart({"#SETBRD,0,relay.example.com,2102,TESSADORN-QRV"}),
     "Tessadorn configured successfully!",
     ""},
    // A user and password not given keep what the modem holds.
    {"ApnKeepsTheUserAndPassword",
     {"--apn-user", "wu", "--apn-password", "wp", "--restart-ms", "0"},
     {},
     "apn other.example",
     0,
     afterRoverStart({"APN other.example", "USER wu", "PASSWORD wp", "SAVE", "RESET", "DEVICE?"}),
     "APN configured. Tessadorn is rebooting...",
     ""},
    // The receiver's port defaults to the one the modem reports; a port given goes out.
    // A password typed on the command line is hidden in the debug output and the log alike.
    {"DebugAndLogHideAPasswordOfTheCommandLine",
     {"--apn-user", "wu", "--restart-ms", "0"},
     {},
     "--debug apn other.example --password wsecret9",
     0,
     afterRoverStart(
         {"APN other.example", "USER wu", "PASSWORD wsecret9", "SAVE", "RESET", "DEVICE?"}),
     "APN configured.",
     "OK CMD: PASSWORD ***",
     false,
     "wsecret9"},
    // A folder reads as nothing: no caster with an empty password is stored.
    {"PasswordFileThatIsAFolder",
     {},
     {},
     "caster add X h 2101 --password-file /",
     2,
     {},
     "",
     "--password-file /: not a regular file",
     false,
     "",
     "ntripcfg.txt",
     ""},
    // The rate a receiver's make moved the modem to is the one its port keeps.
    {"GpsRateIsKeptForThePort",
     {"--gps", "WAVECOM"},
     {},
     "gps receiver WAVECOM --rate 115200",
     0,
     {"*"},
     "Tessadorn configured successfully!",
     "",
     false,
     "",
     "tessadorn.ports",
     "{link} 4\n"},
    {"GpsReceiverKeepsTheReportedPort",
     {"--gps", "TRIMBLE", "--gps-port", "COM2"},
     {},
     "gps receiver TRIMBLE",
     0,
     afterRoverStart({}),
     "Tessadorn configured successfully!",
     ""},
    {"GpsReceiverOnAnotherPort",
     {"--gps", "TRIMBLE", "--gps-port", "COM2"},
     {},
     "gps receiver TRIMBLE COM3",
     0,
     afterRoverStart({"#SETGGA,AUTO,TRIMBLE,COM3"}),
     "Tessadorn configured successfully!",
     ""},
    {"GpsManual",
     {},
     {},
     "gps manual 41.5 2.25",
     0,
     {"DEVICE?", "#GETCFG?", "#GETGGA?", "#AUTO?", "#STCONNECT", "ADDRSERVER?",
      "#SETGGA,MANUAL,41.500000,2.250000"},
     "Tessadorn configured successfully!",
     ""},
    {"GpsLatitudeRefused",
     {},
     {},
     "gps manual 91 2",
     2,
     {},
     "",
     "The latitude must be a number from -90 to 90."},
    {"RelayOnARover",
     {},
     {},
     "relay on",
     2,
     {"DEVICE?", "#GETCFG?", "#GETGGA?", "#AUTO?", "#STCONNECT", "ADDRSERVER?"},
     "",
     "The relay broadcast needs a base"},
    {"ApnRefused", {}, {}, "apn \"a,b\"", 2, {}, "", "The field \"APN\" may not contain \",\"."},
    // The update: the modem left in its cellular engine (at 9600) does not say "Bye"; the
    // engine is found and takes the APN values of the command line.
    {"Update",
     {"--scenario", "in-engine", "--engine-baud", "0", "--otap-step-ms", "50"},
     {},
     "update --yes --apn web.example --user u1 --password pw",
     0,
     {"#EXIT0", "AT",
      "AT^SJOTAP=\"wqzt\",\"http://update.example.com/tessadorn/update.jad\",\"a:\",,,"
      "\"gprs\",\"web.example\",\"u1\",\"pw\",,",
      "AT^SJOTAP", "at^scfg=\"Trace/Syslog/OTAP\",\"1\""},
     "Modem Updated Successfully!!",
     ""},
    // The list's own 49-byte APN goes whole, as the dialog sends what it prefilled.
    {"UpdateTakesTheListsLongApn",
     {"--scenario", "in-engine", "--engine-baud", "0", "--otap-step-ms", "50"},
     {},
     "update --yes",
     0,
     {"#EXIT0", "AT",
      "AT^SJOTAP=\"wqzt\",\"http://update.example.com/tessadorn/update.jad\",\"a:\",,,"
      "\"gprs\",\"" +
          std::string(49, 'a') + "\",\"\",\"\",,",
      "AT^SJOTAP", "at^scfg=\"Trace/Syslog/OTAP\",\"1\""},
     "Modem Updated Successfully!!",
     "",
     false,
     "",
     "",
     "",
     "<config>\r\n<current>\r\n<server>0</server>\r\n<auth value=\"no\">\r\n<user></user>\r\n"
     "<password></password>\r\n</auth>\r\n<carrier value=\"yes\">\r\n<apn>" +
         std::string(49, 'a') +
         "</apn>\r\n<user></user>\r\n<password></password>\r\n</carrier>\r\n"
         "<AutoConnection>0</AutoConnection>\r\n</current>\r\n<servers>\r\n</servers>\r\n"
         "</config>\r\n"},
    {"UpdateFailsInTheEngine",
     {"--scenario", "in-engine", "--engine-baud", "0", "--otap-step-ms", "50", "--otap", "fail"},
     {},
     "update --yes --json",
     3,
     {"*"},
     "status=3",
     "Tessadorn Update Error (6)."},
    {"UpdateEngineNotFound",
     {"--scenario", "silent"},
     {},
     "update --yes",
     1,
     {"*"},
     "",
     "Tessadorn not detected."},
    // Without a terminal to ask, the cable question needs --yes; nothing is sent.
    {"UpdateWithoutYes", {}, {}, "update", 2, {}, "", "update needs --yes"},
    {"UpdateApnRefused",
     {},
     {},
     "update --yes --apn \"a\\\"b\"",
     2,
     {},
     "",
     "The field \"APN\" may not contain a double quote (\")."},
    // How many rates the search tries within the second depends on the load: not compared.
    {"NoModem",
     {"--scenario", "silent"},
     {},
     "status --timeout 1",
     4,
     {"*"},
     "",
     "no answer within 1 s"},
    // A failed command's JSON says that nothing changed, as every answer of the program does.
    {"NoModemJson",
     {"--scenario", "silent"},
     {},
     "--json status --timeout 1",
     4,
     {"*"},
     "changed=false status=4 error~string",
     "no answer within 1 s"},
    {"RefusedValueJson",
     {},
     {},
     "--json update --yes --apn \"a\\\"b\"",
     2,
     {},
     "changed=false status=2",
     "The field \"APN\" may not contain a double quote (\")."},
};

class CtlPtyTest : public ::testing::TestWithParam<Case> {
  protected:
    void TearDown() override { simulator.stop(); }

    bool startSimulator(std::vector<std::string> args) {
        args.insert(args.end(), {"--baud", "2", "--link", link});
        if (simulator.start(TESSADORN_SIM_EXECUTABLE, args, 5000, log)) return true;
        ADD_FAILURE() << simulator.error();
        return false;
    }
    // Runs tessadornctl on the simulator's port; its exit status.
    int ctl(const std::string& arguments, bool noRoom = false) {
        const std::string command =
            std::string(noRoom ? "ulimit -f 1; " : "") + "XDG_STATE_HOME=" + dir.file("state") +
            " " + TESSADORN_CTL_EXECUTABLE + " --port " + link + " --config-dir " +
            dir.file("cfg") + " --timeout 10 " + arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    test::TempDir dir;
    std::string link = dir.file("com1");
    std::string log = dir.file("sim.log");
    std::string out = dir.file("out");
    std::string err = dir.file("err");
    SimulatorProcess simulator;
};

// "key=value ..." checked on the parsed document: a path of object keys and array indexes.
void expectJson(const std::string& text, const std::string& checks) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text;
    if (checks == "[]") {
        EXPECT_TRUE(doc.isArray() && doc.array().isEmpty()) << text;
        return;
    }
    std::istringstream in(checks);
    for (std::string check; in >> check;) {
        // "!key": the document has no such key.
        if (check[0] == '!') {
            EXPECT_FALSE(doc.object().contains(check.substr(1).c_str())) << check << " in " << text;
            continue;
        }
        // "key=value" compares the value as text, "key~type" its JSON type.
        const auto eq = check.find_first_of("=~");
        QJsonValue v = doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
        std::istringstream path(check.substr(0, eq));
        for (std::string key; std::getline(path, key, '.');)
            v = v.isArray() ? v.toArray().at(std::stoi(key)) : v.toObject().value(key.c_str());
        const std::string want = check.substr(eq + 1);
        const std::string got = check[eq] == '~' ? (v.isDouble()   ? "number"
                                                    : v.isString() ? "string"
                                                    : v.isBool()   ? "bool"
                                                    : v.isNull()   ? "null"
                                                                   : "other")
                                : v.isDouble()   ? std::to_string(v.toInt())
                                : v.isBool()     ? (v.toBool() ? "true" : "false")
                                : v.isNull()     ? "null"
                                                 : v.toString().toStdString();
        EXPECT_EQ(got, want) << check << " in " << text;
    }
}

TEST_P(CtlPtyTest, SendsTheWindowsCommandsAndEndsWithItsStatus) {
    const Case& c = GetParam();
    ASSERT_TRUE(startSimulator(c.simulator));
    if (!c.list.empty()) {
        std::filesystem::create_directories(dir.file("cfg"));
        test::writeBytes(dir.file("cfg/ntripcfg.txt"), c.list);
    }
    for (const std::string& before : c.before)
        ASSERT_EQ(ctl(before), 0) << before << ": " << readAll(err);
    const std::size_t heardBefore = heard(log).size();
    EXPECT_EQ(ctl(c.command, c.noRoom), c.status) << readAll(err);
    auto lines = heard(log);
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(heardBefore));
    if (c.commands != std::vector<std::string>{"*"}) {
        EXPECT_EQ(lines, c.commands);
    }
    const std::string text = readAll(out);
    if (c.command.find("--json") != std::string::npos)
        expectJson(text, c.stdoutHas);
    else
        EXPECT_NE(text.find(c.stdoutHas), std::string::npos) << text;
    EXPECT_NE(readAll(err).find(c.stderrHas), std::string::npos) << readAll(err);
    EXPECT_EQ(text.find("pw"), std::string::npos) << "no password is printed";
    if (!c.secret.empty()) {
        EXPECT_EQ(text.find(c.secret), std::string::npos);
        EXPECT_EQ(readAll(err).find(c.secret), std::string::npos) << readAll(err);
        int logs = 0;
        for (const auto& f : std::filesystem::recursive_directory_iterator(dir.file("state")))
            if (f.is_regular_file()) {
                ++logs;
                EXPECT_EQ(readAll(f.path().string()).find(c.secret), std::string::npos) << f.path();
            }
        EXPECT_GT(logs, 0) << "a log was written";
    }
    if (!c.file.empty()) {
        const std::string path = dir.file("cfg") + "/" + c.file;
        std::string want = c.fileHas;
        if (const auto at = want.find("{link}"); at != std::string::npos) want.replace(at, 6, link);
        if (want.empty()) {
            EXPECT_FALSE(std::filesystem::exists(path)) << readAll(path);
        } else {
            EXPECT_NE(readAll(path).find(want), std::string::npos) << readAll(path);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, CtlPtyTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A second program on a port another one holds ends at once, naming the holder.
TEST(CtlPtyLock, ASecondProgramOnAHeldPortEndsWithStatus1) {
    test::TempDir dir;
    SimulatorProcess simulator;
    const std::string link = dir.file("com1");
    ASSERT_TRUE(simulator.start(TESSADORN_SIM_EXECUTABLE, {"--link", link}, 5000, "/dev/null"));
    TermiosSerialPort holder(link);
    ASSERT_TRUE(holder.open(2));
    const auto start = std::chrono::steady_clock::now();
    const std::string err = dir.file("err");
    const std::string command = "XDG_STATE_HOME=" + dir.file("state") + " " +
                                TESSADORN_CTL_EXECUTABLE + " --port " + link + " --config-dir " +
                                dir.file("cfg") + " --timeout 30 status >/dev/null 2>" + err;
    const int status = std::system(command.c_str());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    // Not the search of 30 s for a modem that cannot answer (a sanitizer build starts slowly).
    EXPECT_LT(took, std::chrono::seconds(15));
    EXPECT_NE(readAll(err).find("(process " + std::to_string(getpid()) + ")."), std::string::npos)
        << readAll(err);
    simulator.stop();
}

// Runs at once on one folder (no modem needed): each run's change is on the list afterwards.
struct ParallelCase {
    const char* name;
    std::string before;   // one command run first, "%d" for 0..count-1, one after the other
    std::string parallel; // the command run `count` times at once, "%d" as above
    int count;
    std::string field; // the member every caster must show afterwards ("port=2102"), or empty
};
void PrintTo(const ParallelCase& c, std::ostream* os) {
    *os << c.name;
}

class CtlParallel : public ::testing::TestWithParam<ParallelCase> {};

TEST_P(CtlParallel, NoRunLosesAnother) {
    const ParallelCase& c = GetParam();
    test::TempDir dir;
    const std::string ctl = std::string(TESSADORN_CTL_EXECUTABLE) + " --config-dir " +
                            dir.file("cfg") + " --port " + dir.file("none") + " ";
    const auto numbered = [](std::string text, int i) {
        return text.replace(text.find("%d"), 2, std::to_string(i));
    };
    std::string script;
    for (int i = 0; i < c.count && !c.before.empty(); ++i)
        script += ctl + numbered(c.before, i) + " >/dev/null || exit 9\n";
    for (int i = 0; i < c.count; ++i)
        script += ctl + numbered(c.parallel, i) + " >/dev/null 2>&1 & pids=\"$pids $!\"\n";
    script += "failed=0; for p in $pids; do wait $p || failed=1; done; exit $failed\n";
    const std::string file = dir.file("runs.sh");
    std::ofstream(file) << script;
    const int status = std::system(("XDG_STATE_HOME=" + dir.file("state") + " sh " + file).c_str());
    ASSERT_EQ(WEXITSTATUS(status), 0) << "every run ends with 0";

    ASSERT_EQ(std::system((ctl + "casters --json >" + dir.file("out")).c_str()), 0);
    QJsonParseError error;
    const auto casters =
        QJsonDocument::fromJson(QByteArray::fromStdString(readAll(dir.file("out"))), &error)
            .array();
    ASSERT_EQ(casters.size(), c.count);
    for (int i = 0; i < c.count; ++i) {
        bool listed = false;
        for (const auto& v : casters)
            listed =
                listed || v.toObject().value("name").toString().toStdString() == numbered("C%d", i);
        EXPECT_TRUE(listed) << numbered("C%d", i);
    }
    if (!c.field.empty()) {
        const auto eq = c.field.find('=');
        for (const auto& v : casters)
            EXPECT_EQ(v.toObject().value(c.field.substr(0, eq).c_str()).toVariant().toString(),
                      QString::fromStdString(c.field.substr(eq + 1)));
    }
}

const ParallelCase kParallel[] = {
    {"TwentyAddsKeepTwentyCasters", "", "caster add C%d host.example 2101", 20, ""},
    {"TenEditsOfTenCastersAllTake", "caster add C%d host.example 2101",
     "caster edit C%d other.example 2102", 10, "port=2102"},
};
INSTANTIATE_TEST_SUITE_P(Runs, CtlParallel, ::testing::ValuesIn(kParallel),
                         [](const auto& info) { return std::string(info.param.name); });

// The completion script the program writes, run by bash as the shell runs it on Tab: the words
// typed (the last one being completed) and what it offers. Files and folders stand for bash's own
// offer; the commands and caster names come from the program.
TEST(CtlCompletion, OffersWhatTheTablesGive) {
    test::TempDir dir;
    const std::string ctl = std::string("XDG_STATE_HOME=") + dir.file("state") + " " +
                            TESSADORN_CTL_EXECUTABLE + " --config-dir " + dir.file("cfg");
    ASSERT_EQ(std::system((ctl + " caster add Home h.example 2101 >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((ctl + " --completion-script >" + dir.file("script")).c_str()), 0);
    const struct {
        const char* name;
        std::vector<std::string> typed;
        std::string offered; // one word a line
    } cases[] = {
        {"AnOption", {"--nt"}, "--ntrip\n"},
        {"AnOptionsWords", {"--ntrip", ""}, "1\n2\nibss\n"},
        {"RateWords", {"--rate", "1"}, "19200\n115200\n"},
        {"NothingForAFreeValue", {"--user", ""}, ""},
        {"AValueIsNoCommand", {"--password-file", "pw.txt", "sta"}, "status\n"},
        {"AfterATimeout", {"--timeout", "5", "ro"}, "role\n"},
        {"AFile", {"--prometheus", ""}, "FILES\n"},
        {"AFolder", {"--config-dir", ""}, "FOLDERS\n"},
        {"CasterNamesOfTheFolder", {"--config-dir", dir.file("cfg"), "--caster", ""}, "Home\n"},
        {"CasterNamesAsArguments",
         {"--config-dir", dir.file("cfg"), "caster", "use", ""},
         "Home\n"},
        {"SubCommands", {"caster", "u"}, "use\n"},
    };
    for (const auto& c : cases) {
        std::string words = "tessadornctl";
        for (const std::string& word : c.typed)
            words += " '" + word + "'";
        test::writeBytes(
            dir.file("tab.sh"),
            "_init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; "
            "prev=${COMP_WORDS[COMP_CWORD-1]}; words=(\"${COMP_WORDS[@]}\"); "
            "cword=$COMP_CWORD; }\n"
            "_filedir() { if [ \"$1\" = -d ]; then COMPREPLY=(FOLDERS); else COMPREPLY=(FILES); "
            "fi; }\n"
            "tessadornctl() { XDG_STATE_HOME=" +
                dir.file("state") + " " + TESSADORN_CTL_EXECUTABLE +
                " \"$@\"; }\n"
                ". " +
                dir.file("script") + "\nCOMP_WORDS=(" + words +
                ")\nCOMP_CWORD=" + std::to_string(c.typed.size()) +
                "\n_tessadornctl\n"
                "for w in \"${COMPREPLY[@]}\"; do printf '%s\\n' \"$w\"; done\n");
        ASSERT_EQ(std::system(("bash " + dir.file("tab.sh") + " >" + dir.file("offered")).c_str()),
                  0)
            << c.name;
        EXPECT_EQ(readAll(dir.file("offered")), c.offered) << c.name;
    }
}

} // namespace
} // namespace tessadorn
