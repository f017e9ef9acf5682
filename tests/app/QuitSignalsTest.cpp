#include "app/QuitSignals.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace tessadorn {
namespace {

// The first SIGTERM, SIGINT or SIGHUP reaches the event loop, which starts the close. A second
// one while that close hangs ends the program at once by the signal's default action.
TEST(QuitSignalsDeathTest, ASecondSignalWhileTheCloseHangsEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        int first;
        int second; // 0: none comes
    };
    for (const Case& c :
         {Case{SIGTERM, 0}, Case{SIGTERM, SIGTERM}, Case{SIGINT, SIGTERM}, Case{SIGHUP, SIGINT}}) {
        SCOPED_TRACE(c.first);
        const auto run = [&c] {
            int argc = 1;
            char name[] = "quit-signals";
            char* argv[] = {name, nullptr};
            QCoreApplication app(argc, argv);
            bool closing = false;
            QuitSignals quit([&](int signal) {
                if (signal != c.first) std::_Exit(5);
                closing = true;
                // The close begins and hangs: the second signal comes meanwhile.
                if (c.second != 0) std::raise(c.second);
            });
            std::raise(c.first);
            for (int i = 0; i < 50 && !closing; ++i)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
            std::_Exit(closing ? 0 : 4);
        };
        if (c.second == 0)
            EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
        else
            EXPECT_EXIT(run(), ::testing::KilledBySignal(c.second), "");
    }
}

} // namespace
} // namespace tessadorn
