// The local socket a watch serves its port on: who may connect, and the messages on it.
#include "platform/LocalSocket.h"
#include "TempDir.h"
#include "platform/WatchSocketPath.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessadorn {
namespace {

TEST(LocalSocket, OnlyTheOwnerRootAndTheNamedGroupMayConnect) {
    constexpr uid_t kOwner = 1000;
    constexpr gid_t kGroup = 120;
    const struct {
        const char* name;
        PeerCredentials peer;
        std::optional<gid_t> group;
        bool may;
    } cases[] = {
        {"the owner", {1, kOwner, 1000, {}}, std::nullopt, true},
        {"root", {1, 0, 0, {}}, std::nullopt, true},
        {"another user", {1, 1001, 1001, {kGroup}}, std::nullopt, false},
        {"a member by its primary group", {1, 1001, kGroup, {}}, kGroup, true},
        {"a member by another group", {1, 1001, 1001, {27, kGroup}}, kGroup, true},
        {"no member", {1, 1001, 1001, {27, 121}}, kGroup, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(peerMayConnect(c.peer, kOwner, c.group), c.may) << c.name;
}

TEST(LocalSocket, MessagesArriveWholeAndABadLengthEndsTheReading) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const struct {
        std::string sent;
        std::size_t max;
        bool read;
    } cases[] = {{"", 16, true},
                 {std::string("a\0b", 3), 16, true},
                 {std::string(100000, 'x'), 1u << 20, true},
                 {std::string(17, 'y'), 16, false}};
    for (const auto& c : cases) {
        ASSERT_TRUE(writeFrame(pair[0], c.sent));
        std::string got;
        EXPECT_EQ(readFrame(pair[1], got, 1000, c.max), c.read) << c.sent.size();
        if (c.read) {
            EXPECT_EQ(got, c.sent);
        } else {
            // What is left of the refused message is not read as the next one.
            std::string rest(c.sent.size(), '\0');
            ASSERT_EQ(::recv(pair[1], rest.data(), rest.size(), 0),
                      static_cast<ssize_t>(rest.size()));
        }
    }
    std::string got;
    EXPECT_FALSE(readFrame(pair[1], got, 50)) << "nothing more: the wait ends";
    EXPECT_FALSE(peerHungUp(pair[1]));
    ::close(pair[0]);
    EXPECT_TRUE(peerHungUp(pair[1]));
    EXPECT_FALSE(readFrame(pair[1], got, 1000));
    ::close(pair[1]);
}

TEST(LocalSocket, AServerTakesOverAStaleSocketButNotALiveOne) {
    test::TempDir dir;
    const std::string path = dir.file("watch.sock");
    std::string why;
    {
        LocalServer first;
        ASSERT_TRUE(first.listen(path, why)) << why;
        LocalServer second;
        EXPECT_FALSE(second.listen(path, why));
        EXPECT_NE(why.find("another process serves"), std::string::npos) << why;
        const int client = connectLocal(path);
        ASSERT_GE(client, 0);
        const int served = first.accept(1000);
        ASSERT_GE(served, 0);
        PeerCredentials peer;
        ASSERT_TRUE(peerCredentials(served, peer));
        EXPECT_EQ(peer.uid, ::geteuid());
        EXPECT_EQ(peer.pid, ::getpid());
        ::close(served);
        ::close(client);
    }
    EXPECT_EQ(connectLocal(path), -1) << "the socket went with its server";
    // A socket file left behind (a server that was killed) is replaced.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    LocalServer third;
    EXPECT_TRUE(third.listen(path, why)) << why;
    test::writeBytes(dir.file("plain"), "x");
    LocalServer onAFile;
    EXPECT_FALSE(onAFile.listen(dir.file("plain"), why));
}

// Where a watch serves its port and where a command looks for it: every name of one device
// leads to the same socket, in the folder the environment names.
TEST(WatchSocketPath, OneSocketPerDeviceInTheFolderTheEnvironmentNames) {
    test::TempDir dir;
    const std::string link = dir.file("modem");
    ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
    EXPECT_EQ(WatchSocketPath::name("/dev/null"), "watch-1-3.sock");
    EXPECT_EQ(WatchSocketPath::name(link), "watch-1-3.sock");
    EXPECT_EQ(WatchSocketPath::name(dir.file("none")), "");
    test::writeBytes(dir.file("plain"), "");
    EXPECT_EQ(WatchSocketPath::name(dir.file("plain")), "") << "no device";

    std::filesystem::create_directories(dir.file("service"));
    const struct {
        const char* name;
        std::string chosen, service;
        std::string serves; // where the watch listens
        std::string first;  // the first place a command looks
    } cases[] = {
        {"chosen", dir.file("run"), dir.file("service"), dir.file("run/watch-1-3.sock"),
         dir.file("run/watch-1-3.sock")},
        {"the service's", "", dir.file("service"), dir.file("service/watch-1-3.sock"),
         "/run/tessadorn/watch-1-3.sock"},
        {"root's", "", "", "/run/tessadorn/watch-1-3.sock", "/run/tessadorn/watch-1-3.sock"},
    };
    const auto set = [](const char* name, const std::string& value) {
        if (value.empty())
            ::unsetenv(name);
        else
            ::setenv(name, value.c_str(), 1);
    };
    const char* savedChosen = std::getenv("TESSADORN_RUNTIME_DIR");
    const char* savedService = std::getenv("RUNTIME_DIRECTORY");
    const std::string keepChosen = savedChosen ? savedChosen : "";
    const std::string keepService = savedService ? savedService : "";
    for (const auto& c : cases) {
        if (c.serves.rfind("/run/", 0) == 0 && ::geteuid() != 0) continue; // root's alone
        set("TESSADORN_RUNTIME_DIR", c.chosen);
        set("RUNTIME_DIRECTORY", c.service);
        std::string why;
        EXPECT_EQ(WatchSocketPath::forServing(link, why), c.serves) << c.name << ": " << why;
        const auto looked = WatchSocketPath::candidates("/dev/null");
        ASSERT_FALSE(looked.empty()) << c.name;
        EXPECT_EQ(looked.front(), c.first) << c.name;
        if (!c.chosen.empty()) {
            EXPECT_EQ(looked.size(), 1u) << "the folder chosen alone";
        }
    }
    set("TESSADORN_RUNTIME_DIR", keepChosen);
    set("RUNTIME_DIRECTORY", keepService);
}

} // namespace
} // namespace tessadorn
