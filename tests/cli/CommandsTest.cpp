#include "cli/Commands.h"
#include "FakeSerialPort.h"
#include "TempDir.h"
#include "modem/SourceTable.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

// The command line's time limit in virtual time: --timeout N bounds the search for the modem
// and, for mountpoints, the table too.
TEST(Commands, TheTimeoutBoundsTheWholeCommand) {
    struct Case {
        const char* name;
        std::vector<std::string> words;
        bool answers; // the modem answers, and streams a table that takes 200 s
        int timeout;
        std::string message;
    };
    const Case cases[] = {
        {"search", {"status"}, false, 20, "No modem answered on COM1 within 20 seconds."},
        {"table", {"mountpoints"}, true, 20, "The source table did not come within 20 seconds."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        DebugCapture debug;
        VirtualClock clock;
        test::ScriptedModem modem;
        test::FakeSerialPort port{clock, modem};
        cli::Environment env;
        env.port = &port;
        env.clock = &clock;
        env.portName = "COM1";
        env.casterListPath = dir.file("ntripcfg.txt");
        env.profilePath = dir.file("tessadorn.cfg");
        env.writer = &AtomicFile::standard();
        for (const auto& words :
             {std::vector<std::string>{"caster", "add", "Home", "h.example", "2101"},
              std::vector<std::string>{"caster", "use", "Home"}}) {
            cli::Request setup;
            setup.words = words;
            ASSERT_EQ(cli::run(setup, env).status, cli::kDone);
        }
        if (c.answers) {
            modem.on("\r\nDEVICE?\r\n", "\r\nTESSADORN NTRIP MODEM\r\n");
            modem.on("#SIGNAL OFF\r\n", "SIGNAL OFF\r\n");
            std::string rows;
            for (int i = 0; i < 2800; ++i)
                rows += "STR;M" + std::to_string(i) + ";id;RTCM 3;;;;;;;;;0;;;N;;\r\n";
            modem.setPace(2); // about 200 s of table, and never its end
            modem.on("#LIST 1,h.example:2101\r\n", "CMD_OK\r\n" + rows);
        }
        cli::Request q;
        q.words = c.words;
        q.timeoutSeconds = c.timeout;
        const auto start = clock.nowMs();
        const cli::Result r = cli::run(q, env);
        const auto took = clock.nowMs() - start;
        EXPECT_EQ(r.status, cli::kPortOrModem);
        ASSERT_FALSE(r.messages.empty());
        EXPECT_EQ(r.messages.back(), c.message);
        EXPECT_GE(took, c.timeout * 1000LL);
        EXPECT_LT(took, c.timeout * 1000LL + 5000) << "one step of the search or the read past it";
    }
}

// Rows past the table's cap are said on stderr, so also with --json, where stdout is the rows.
TEST(Commands, MountpointsPastTheCapAreSaidBesideTheRows) {
    test::TempDir dir;
    DebugCapture debug;
    VirtualClock clock;
    test::ScriptedModem modem;
    test::FakeSerialPort port{clock, modem};
    cli::Environment env;
    env.port = &port;
    env.clock = &clock;
    env.portName = "COM1";
    env.casterListPath = dir.file("ntripcfg.txt");
    env.profilePath = dir.file("tessadorn.cfg");
    env.writer = &AtomicFile::standard();
    for (const auto& words :
         {std::vector<std::string>{"caster", "add", "Home", "h.example", "2101"},
          std::vector<std::string>{"caster", "use", "Home"}}) {
        cli::Request setup;
        setup.words = words;
        ASSERT_EQ(cli::run(setup, env).status, cli::kDone);
    }
    modem.on("\r\nDEVICE?\r\n", "\r\nTESSADORN NTRIP MODEM\r\n");
    modem.on("#SIGNAL OFF\r\n", "SIGNAL OFF\r\n");
    std::string rows;
    for (int i = 0; i < SourceTable::kMaxRecords + 3; ++i)
        rows += "STR;M" + std::to_string(i) + ";id;RTCM 3;;;;;;;;;0;;;N;;\r\n";
    modem.on("#LIST 1,h.example:2101\r\n", "CMD_OK\r\n" + rows + "ENDSOURCETABLE\r\n");
    cli::Request q;
    q.words = {"mountpoints"};
    const cli::Result r = cli::run(q, env);
    EXPECT_EQ(r.status, cli::kDone);
    EXPECT_EQ(r.data.items.size(), static_cast<std::size_t>(SourceTable::kMaxRecords));
    EXPECT_EQ(r.messages,
              std::vector<std::string>{"The caster lists 3 more mountpoints than can be shown."});
}

} // namespace
} // namespace tessadorn
