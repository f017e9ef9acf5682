#include "cli/Commands.h"
#include "../console/TestModem.h"
#include "FakeSerialPort.h"
#include "SimModemPeer.h"
#include "TempDir.h"
#include "cli/WatchService.h"
#include "cli/WatchWire.h"
#include "modem/ModemSearch.h"
#include "modem/ModemStartup.h"
#include "modem/SourceTable.h"
#include "modem/SourceTableScanner.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "platform/LocalSocket.h"
#include "platform/WatchSocketPath.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace tessadorn {
namespace {

std::string row(const std::string& name) {
    return "STR;" + name + ";id;RTCM 3;;;;;;;;;0;;;N;;\r\n";
}

// 10 003 rows (three past the cap): about 80 s at 38400 bit/s.
std::string pastTheCap() {
    std::string rows;
    for (int i = 0; i < SourceTable::kMaxRecords + 3; ++i)
        rows += row("M" + std::to_string(i));
    return rows;
}

// The commands against the simulated modem in virtual time, with one caster in the list whose
// table holds `rows`.
struct Rig {
    explicit Rig(bool silent, const std::string& rows = pastTheCap()) {
        test::writeBytes(dir.file("table.txt"), rows + "ENDSOURCETABLE\r\n");
        sim::SimSettings s;
        s.defaultTable = dir.file("table.txt");
        s.silent = silent;
        modem = std::make_unique<sim::SimModem>(s, 0);
        peer = std::make_unique<test::SimModemPeer>(*modem);
        port = std::make_unique<test::FakeSerialPort>(clock, *peer);
        env.port = port.get();
        env.clock = &clock;
        env.portName = "COM1";
        env.casterListPath = dir.file("ntripcfg.txt");
        env.profilePath = dir.file("tessadorn.cfg");
        env.writer = &AtomicFile::standard();
        for (const auto& words :
             {std::vector<std::string>{"caster", "add", "Home", "h.example", "2101"},
              std::vector<std::string>{"caster", "use", "Home"}})
            EXPECT_EQ(run(words, 60).status, cli::kDone);
    }
    cli::Result run(std::vector<std::string> words, int timeoutSeconds) {
        cli::Request q;
        q.words = std::move(words);
        q.timeoutSeconds = timeoutSeconds;
        return cli::run(q, env);
    }

    test::TempDir dir;
    DebugCapture debug;
    VirtualClock clock;
    std::unique_ptr<sim::SimModem> modem;
    std::unique_ptr<test::SimModemPeer> peer;
    std::unique_ptr<test::FakeSerialPort> port;
    cli::Environment env;
};

// --timeout N bounds the search for the modem and, for mountpoints, the table too.
TEST(Commands, TheTimeoutBoundsTheWholeCommand) {
    struct Case {
        const char* name;
        std::vector<std::string> words;
        bool silent;
        std::string message;
    };
    const Case cases[] = {
        {"search", {"status"}, true, "No modem answered on COM1: no answer within 20 s."},
        {"table", {"mountpoints"}, false, "The source table did not come: no answer within 20 s."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.silent);
        const auto start = rig.clock.nowMs();
        const cli::Result r = rig.run(c.words, 20);
        const auto took = rig.clock.nowMs() - start;
        EXPECT_EQ(r.status, cli::kTimedOut);
        ASSERT_FALSE(r.messages.empty());
        EXPECT_EQ(r.messages.back(), c.message);
        EXPECT_GE(took, 20000);
        EXPECT_LT(took, 25000) << "one step of the search or the read past it";
    }
}

// A table left coming by a command that ran out of time is waited for by the next command, within
// its own time limit: the modem answers nothing until the table's end (80 s in).
TEST(Commands, ALaterCommandWaitsForATableStillComing) {
    const struct {
        int timeout;
        int status;
        const char* message;
    } cases[] = {
        {120, cli::kDone, nullptr},
        {10, cli::kTimedOut,
         "The modem on COM1 is still sending a source table: no end within 10 s."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timeout);
        Rig rig(false);
        ASSERT_EQ(rig.run({"mountpoints"}, 20).status, cli::kTimedOut);
        std::string said;
        rig.env.progress = [&](std::string_view line) { said += std::string(line) + "\n"; };
        const cli::Result r = rig.run({"status"}, c.timeout);
        EXPECT_EQ(r.status, c.status) << (r.messages.empty() ? "" : r.messages.back());
        EXPECT_NE(said.find("still sending a source table; waiting for its end"), std::string::npos)
            << said;
        if (c.message) {
            ASSERT_FALSE(r.messages.empty());
            EXPECT_EQ(r.messages.back().rfind(c.message, 0), 0u) << r.messages.back();
        }
    }
}

// Rows past the table's cap are said on stderr, so also with --json, where stdout is the rows.
TEST(Commands, MountpointsPastTheCapAreSaidBesideTheRows) {
    Rig rig(false);
    const cli::Result r = rig.run({"mountpoints"}, 600);
    EXPECT_EQ(r.status, cli::kDone);
    EXPECT_EQ(r.data.items.size(), static_cast<std::size_t>(SourceTable::kMaxRecords));
    EXPECT_EQ(r.messages,
              std::vector<std::string>{"The caster lists 3 more mountpoints than can be shown."});
}

// A table that goes on past the most the program reads: the rows read up to there, and the
// rows past the cap counted up to there.
TEST(Commands, MountpointsOfATablePastTheStreamCapAreTheRowsThatFit) {
    std::string rows = pastTheCap();
    const std::string filler = "STR;X;x;NMEA;;;;;;;;;0;;;N;;\r\n"; // passed over, never kept
    while (rows.size() <= SourceTableScanner::kMaxStreamBytes + 4096)
        rows += filler;
    Rig rig(false, rows);
    const cli::Result r = rig.run({"mountpoints"}, 3600);
    EXPECT_EQ(r.status, cli::kDone) << (r.messages.empty() ? "" : r.messages.back());
    EXPECT_EQ(r.data.items.size(), static_cast<std::size_t>(SourceTable::kMaxRecords));
    EXPECT_EQ(r.messages,
              std::vector<std::string>{"The caster lists 3 more mountpoints than can be shown."});
}

// Ctrl-C while the table comes: no more rows are kept, the rest is read to its end (the modem
// cannot be told to stop) and the command ends with status 1.
TEST(Commands, CtrlCStopsTheTableAndFreesTheLine) {
    Rig rig(false);
    std::atomic<bool> interrupted{false};
    rig.env.interrupted = &interrupted;
    rig.port->atTime(30000, [&] { interrupted = true; });
    std::string said;
    rig.env.progress = [&](std::string_view line) { said += std::string(line) + "\n"; };
    const cli::Result r = rig.run({"mountpoints"}, 600);
    EXPECT_NE(said.find("still sending the rest of the table (about 26 s for every 100 KB at "
                        "38400 bit/s"),
              std::string::npos)
        << said;
    EXPECT_EQ(r.status, cli::kPortOrModem);
    EXPECT_EQ(r.messages,
              std::vector<std::string>{"Stopped; the rest of the source table was discarded."});
    EXPECT_GT(rig.clock.nowMs(), 75000) << "read to its end";
    EXPECT_EQ(rig.debug.count("LIST: OK Found!!\r\n"), 1) << "and the exchange closed";
}

// A mountpoint typed in UTF-8 goes out in the bytes of the row that holds it, whether the caster
// wrote its table in UTF-8 or in the code page.
TEST(Commands, ATypedMountpointGoesOutAsTheCasterWroteIt) {
    const std::pair<const char*, const char*> cases[] = {{"Z\xc3\xbcrich-1", "Z\xc3\xbcrich-1"},
                                                         {"Z\xc3\xbcrich-2", "Z\xfcrich-2"}};
    for (const auto& [typed, sent] : cases) {
        SCOPED_TRACE(sent);
        Rig rig(false, row("Basel") + row("Z\xc3\xbcrich-1") + row("Z\xfcrich-2"));
        rig.run({"connect", typed}, 600);
        EXPECT_NE(rig.port->written().find(std::string("/") + sent + " "), std::string::npos)
            << rig.port->written();
    }
}

// A command that a watch serves runs on the watch's session: status answers from the start-up
// reads and the last poll without a word to the modem; a setting goes out once and is read back,
// so that the next status served says it.
TEST(Commands, AWatchServesOnItsOwnSession) {
    Rig rig(false);
    ModemSession session(*rig.port, rig.clock, rig.env.profilePath, *rig.env.writer);
    cli::WatchService::Options options;
    options.portName = "COM1";
    std::vector<std::string> reread;
    options.reread = [&](const std::vector<std::string>& words, int status, const ModemFacts& f) {
        reread.push_back(words[0] + " " + std::to_string(status) + " " + f.serial);
    };
    cli::WatchService service(options, session, rig.env);
    const auto serve = [&](std::vector<std::string> words, int timeoutSeconds) {
        cli::Request q;
        q.words = std::move(words);
        q.timeoutSeconds = timeoutSeconds;
        std::atomic<bool> hungUp{false};
        cli::Result r;
        int answers = 0;
        service.serve(q, {}, hungUp, [&](const cli::Result& got) {
            r = got;
            ++answers;
        });
        EXPECT_EQ(answers, 1);
        return r;
    };
    const struct {
        const char* name;
        std::vector<std::string> words;
        bool startFirst; // the watch has found the modem and polled it
        int status;
        std::string member; // "key=value" of the JSON result, or the first message
        const char* sent;   // what the modem must hear, or nullptr for nothing at all
    } cases[] = {
        {"a setting before the modem",
         {"auto", "on"},
         false,
         cli::kTimedOut,
         "No modem answered on COM1: no answer within 2 s.",
         nullptr},
        {"no modem yet",
         {"status"},
         false,
         cli::kTimedOut,
         "No modem answered on COM1: no answer within 2 s.",
         nullptr},
        {"status", {"status"}, true, cli::kDone, "signal=2", nullptr},
        {"a setting",
         {"auto", "on"},
         false,
         cli::kDone,
         "message=Autoconnection enabled",
         "#AUTO ON\r\n"},
        {"read back", {"status"}, false, cli::kDone, "auto_connect=yes", nullptr},
        {"the watch's own",
         {"watch"},
         false,
         cli::kPortOrModem,
         "The port COM1 is in use by a watch (process " + std::to_string(::getpid()) +
             "); stop it first.",
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.startFirst) {
            // What the watch's monitor does: the modem found and started.
            ASSERT_TRUE(session.serial().Open(session.baudIndex()));
            ASSERT_TRUE(ModemSearch(session, {[](std::string_view) {}, [] { return true; },
                                              [] { return true; }})
                            .find());
            CasterStore store(rig.env.casterListPath, *rig.env.writer);
            ASSERT_EQ(ModemStartup(session, store, {{}, {}, {}, [](const std::string&) {}}).run(),
                      ModemStartup::Outcome::Done);
            session.ready();
            service.polled({2, kSimReady, 1, 2});
        }
        const std::string before = rig.port->written();
        const cli::Result r = serve(c.words, 2);
        EXPECT_EQ(r.status, c.status);
        const std::string heard = rig.port->written().substr(before.size());
        if (c.sent) {
            EXPECT_EQ(heard.find(c.sent), 0u) << heard;
        } else {
            EXPECT_EQ(heard, "");
        }
        const auto eq = c.member.find('=');
        if (r.status == cli::kDone) {
            const cli::Value* v = r.data.get(c.member.substr(0, eq));
            ASSERT_NE(v, nullptr) << c.member;
            EXPECT_EQ(v->line(), c.member.substr(eq + 1));
        } else {
            EXPECT_EQ(r.messages, std::vector<std::string>{c.member});
        }
    }
    EXPECT_EQ(reread, std::vector<std::string>{"auto 0 " + rig.modem->state().serialNumber});
}

// Over the socket: one command at a time, and a command whose program has gone while it waited
// its turn (its --timeout, Ctrl-C) is not run.
TEST(Commands, AWatchRunsNoCommandOfAProgramThatHasGone) {
    Rig rig(false);
    ::setenv("TESSADORN_RUNTIME_DIR", rig.dir.file("run").c_str(), 1);
    ModemSession session(*rig.port, rig.clock, rig.env.profilePath, *rig.env.writer);
    // What the watch's monitor does first: the modem found and started (not polled yet).
    ASSERT_TRUE(session.serial().Open(session.baudIndex()));
    ASSERT_TRUE(
        ModemSearch(session, {[](std::string_view) {}, [] { return true; }, [] { return true; }})
            .find());
    CasterStore store(rig.env.casterListPath, *rig.env.writer);
    ASSERT_EQ(ModemStartup(session, store, {{}, {}, {}, [](const std::string&) {}}).run(),
              ModemStartup::Outcome::Done);
    session.ready();
    cli::WatchService::Options options;
    options.portName = "/dev/null";
    options.owner = ::geteuid();
    cli::WatchService service(options, session, rig.env);
    std::string why;
    ASSERT_TRUE(service.start(why)) << why;
    const std::string socket = rig.dir.file("run/" + WatchSocketPath::name("/dev/null"));
    const auto request = [](std::vector<std::string> words) {
        cli::Request q;
        q.words = std::move(words);
        q.timeoutSeconds = 5;
        return cli::WatchWire::encodeRequest(q, {});
    };
    // The first keeps the watch busy until the second has asked and gone.
    const int first = connectLocal(socket);
    ASSERT_GE(first, 0);
    const int gone = connectLocal(socket);
    ASSERT_GE(gone, 0);
    ASSERT_TRUE(writeFrame(gone, request({"auto", "on"})));
    ::close(gone);
    const struct {
        int fd;
        std::vector<std::string> words;
        int status;
    } steps[] = {
        {first, {"status"}, cli::kTimedOut}, // the watch has not polled: nothing to tell
        {-1, {"auto", "on"}, cli::kDone},    // a program that waits: served (after the one gone)
    };
    for (const auto& step : steps) {
        const int fd = step.fd >= 0 ? step.fd : connectLocal(socket);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(writeFrame(fd, request(step.words)));
        std::string reply;
        cli::Result r;
        ASSERT_TRUE(readFrame(fd, reply, 60000));
        ASSERT_TRUE(cli::WatchWire::decodeResult(reply, r));
        ::close(fd);
        EXPECT_EQ(r.status, step.status) << step.words[0];
    }
    // The modem heard the setting once: from the program that waited, not from the one gone.
    EXPECT_EQ(rig.port->count("#AUTO ON\r\n"), 1);
    ::unsetenv("TESSADORN_RUNTIME_DIR");
}

// profile apply reads the modem back once it sent the changes: a setting the modem took says
// "changed" and the command ends with 0; one the modem reads back otherwise (it said OK but
// kept its old value) says "failed" with what it holds, and the command ends with 3.
TEST(Commands, ProfileApplyFailsASettingTheModemReadsBackOtherwise) {
    const struct {
        const char* name;
        bool keeps; // the modem keeps automatic connection off whatever it is told
        int status;
        const char* state;
    } cases[] = {{"Taken", false, cli::kDone, "changed"},
                 {"ReadBackOff", true, cli::kRefused, "failed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        DebugCapture quiet;
        VirtualClock clock;
        test::ScriptedModem peer{1};
        test::FakeSerialPort port{clock, peer};
        test::Modem modem;
        modem.autoState = "OFF";
        modem.reply("#AUTO ON\r\n", "<OK\r\n");
        modem.answers = [&modem, &c](std::string_view command, int) {
            if (command == "#AUTO ON\r\n" && !c.keeps) modem.autoState = "ON";
            return true;
        };
        modem.attach(peer);
        cli::Environment env;
        env.port = &port;
        env.clock = &clock;
        env.portName = "COM1";
        env.casterListPath = dir.file("ntripcfg.txt");
        env.profilePath = dir.file("tessadorn.cfg");
        env.writer = &AtomicFile::standard();
        // The profile as the program's JSON reader gives it: automatic connection on.
        const cli::Value profile = cli::Value::object()
                                       .set("tessadorn_profile", cli::Value::num(1))
                                       .set("auto_connect", cli::Value::boolean(true));
        env.parseJson = [&profile](const std::string&, std::string&) {
            return std::optional<cli::Value>(profile);
        };
        test::writeBytes(dir.file("p.json"), "{}");
        cli::Request q;
        q.words = {"profile", "apply", dir.file("p.json")};
        q.timeoutSeconds = 60;
        const cli::Result r = cli::run(q, env);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(port.count("#AUTO ON\r\n"), 1);
        const cli::Value* settings = r.data.get("settings");
        ASSERT_NE(settings, nullptr);
        const cli::Value* row = nullptr;
        for (const cli::Value& item : settings->items)
            if (item.get("setting")->text == "auto_connect") row = &item;
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->get("state")->text, c.state);
    }
}

// update looks for the modem first at the rate its port last answered at (tessadorn.ports),
// else at the folder's (tessadorn.cfg).
TEST(Commands, UpdateStartsAtThePortsRate) {
    const struct {
        const char* ports; // tessadorn.ports, or nullptr for none
        int firstRate;
    } cases[] = {{"COM1 4\n", 4}, {"COM9 0\nCOM1 1\n", 1}, {nullptr, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstRate);
        Rig rig(true);
        test::writeBytes(rig.dir.file("tessadorn.cfg"), "2");
        if (c.ports) test::writeBytes(rig.dir.file("tessadorn.ports"), c.ports);
        cli::Request q;
        q.words = {"update"};
        q.options["yes"] = "";
        q.timeoutSeconds = 60;
        const std::size_t before = rig.port->writes().size();
        cli::run(q, rig.env);
        const auto writes = rig.port->writes();
        ASSERT_GT(writes.size(), before);
        EXPECT_EQ(writes[before].baudIndex, c.firstRate) << writes[before].bytes;
    }
}

} // namespace
} // namespace tessadorn
