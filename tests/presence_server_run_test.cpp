// The presence server program run for real on a loopback port: two presence clients see each
// other's poses through it, and SIGTERM sends ServerBye before it exits.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "base/clock.h"
#include "presence/presence_client.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

namespace {

// A free loopback port: bound once by us, then released for the server.
uint16_t freePort() {
    SocketHandle probe = openUdpSocket();
    PeerAddress local = {};
    bindUdpSocket(probe, PeerAddress{0x7F000001u, 0});
    udpSocketLocalAddress(probe, local);
    closeUdpSocket(probe);
    return local.port;
}

// Starts a program with its standard output and error in a file (or /dev/null). It is killed when
// this test process dies, so a test that fails hard never leaves a server running or holds the test
// runner's output open.
pid_t spawnProgram(const char* const* arguments, const char* outputPath) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int output = open(outputPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(output, 1);
    dup2(output, 2);
    execv(arguments[0], const_cast<char* const*>(arguments));
    _exit(127);
}

struct ServerProcess {
    pid_t pid = -1;
    std::string outputPath;
};

ServerProcess startServer(uint16_t port) {
    ServerProcess server;
    server.outputPath = ::testing::TempDir() + "presence_server_" + std::to_string(port) + ".txt";
    std::string portText = std::to_string(port);
    const char* arguments[] = {VZ_SERVER_PATH, "--bind", "127.0.0.1", "--port", portText.c_str(), nullptr};
    server.pid = spawnProgram(arguments, server.outputPath.c_str());
    return server;
}

std::string readAll(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

// Exit status once the process ends within the time, else -1 (and it is killed).
int waitForExit(pid_t pid, int tenths) {
    for (int i = 0; i < tenths; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

struct Player {
    PresenceClient client;
    RemotePlayerTable table = {};
    PlayerState pose;
};

}  // namespace

TEST(PresenceServerProgram, TwoClientsSeeEachOtherAndServerByeOnSigterm) {
    networkStarted = startSocketLayer();
    uint16_t port = freePort();
    ServerProcess server = startServer(port);
    ASSERT_GT(server.pid, 0);
    std::string address = "127.0.0.1:" + std::to_string(port);

    Player a, b;
    a.pose = {1.0f, 0.0f, 2.0f, 0.5f, 0};
    b.pose = {-3.0f, 0.4f, -1.0f, 1.5f, 1};
    ASSERT_TRUE(connectPresenceClient(a.client, a.table, address.c_str(), monotonicMs()));
    ASSERT_TRUE(connectPresenceClient(b.client, b.table, address.c_str(), monotonicMs()));

    // Frames of 10 ms for at most 5 s, until each sees the other.
    bool seen = false;
    for (int frame = 0; frame < 500 && !seen; ++frame) {
        pumpPresenceClient(a.client, a.table, a.pose, monotonicMs());
        pumpPresenceClient(b.client, b.table, b.pose, monotonicMs());
        seen = a.client.connected && b.client.connected && a.table.slots[b.client.ownId].active &&
               b.table.slots[a.client.ownId].active;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(seen) << readAll(server.outputPath);
    EXPECT_NE(a.client.ownId, b.client.ownId);
    const PlayerState& bSeenByA = a.table.slots[b.client.ownId].target;
    EXPECT_EQ(+bSeenByA.x, -3.0f);
    EXPECT_EQ(+bSeenByA.y, 0.4f);
    EXPECT_EQ(+bSeenByA.crouching, 1);
    EXPECT_EQ(+b.table.slots[a.client.ownId].target.z, 2.0f);
    EXPECT_FALSE(a.table.slots[a.client.ownId].active) << "a client never sees itself";

    // b leaves: a stops seeing it once the next rosters arrive.
    int bId = b.client.ownId;
    disconnectPresenceClient(b.client, b.table);
    for (int frame = 0; frame < 100 && a.table.slots[bId].active; ++frame) {
        pumpPresenceClient(a.client, a.table, a.pose, monotonicMs());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(a.table.slots[bId].active);

    ASSERT_EQ(kill(server.pid, SIGTERM), 0);
    EXPECT_EQ(waitForExit(server.pid, 50), 0);
    // The ServerBye is waiting in a's socket: the next pump answers it and closes.
    pumpPresenceClient(a.client, a.table, a.pose, monotonicMs());
    EXPECT_EQ(a.client.socket, NoSocket);
    EXPECT_FALSE(a.client.connected);

    std::string log = readAll(server.outputPath);
    EXPECT_NE(log.find("player 0 joined"), std::string::npos) << log;
    EXPECT_NE(log.find("player 1 joined"), std::string::npos) << log;
    EXPECT_NE(log.find("player " + std::to_string(bId) + " left"), std::string::npos) << log;
    EXPECT_NE(log.find("ServerBye sent to 1 player"), std::string::npos) << log;
}

TEST(PresenceServerProgram, RefusesAPortInUseAndBadOptions) {
    SocketHandle holder = openUdpSocket();
    ASSERT_TRUE(bindUdpSocket(holder, PeerAddress{0x7F000001u, 0}));
    PeerAddress taken = {};
    udpSocketLocalAddress(holder, taken);
    ServerProcess server = startServer(taken.port);
    EXPECT_EQ(waitForExit(server.pid, 50), 1);
    closeUdpSocket(holder);

    pid_t pid;
    const char* arguments[] = {VZ_SERVER_PATH, "--port", "70000", nullptr};
    pid = spawnProgram(arguments, "/dev/null");
    EXPECT_EQ(waitForExit(pid, 50), 2);
}
#endif

#if defined(__linux__)
TEST(PresenceServerProgram, BotsJoinAndWalkWhereAClientSeesThem) {
    networkStarted = startSocketLayer();
    uint16_t port = freePort();
    ServerProcess server = startServer(port);
    ASSERT_GT(server.pid, 0);
    std::string address = "127.0.0.1:" + std::to_string(port);
    pid_t bots;
    const char* arguments[] = {VZ_BOTS_PATH, "--server", address.c_str(), "--count", "3", "--seconds", "3", nullptr};
    bots = spawnProgram(arguments, "/dev/null");
    ASSERT_GT(bots, 0);

    Player watcher;
    watcher.pose = {0, 0, 0, 0, 0};
    ASSERT_TRUE(connectPresenceClient(watcher.client, watcher.table, address.c_str(), monotonicMs()));
    float firstX[RemotePlayerSlots] = {};
    bool moved[RemotePlayerSlots] = {};
    int most = 0;
    for (int frame = 0; frame < 250; ++frame) {  // 2.5 s at 10 ms
        pumpPresenceClient(watcher.client, watcher.table, watcher.pose, monotonicMs());
        int active = 0;
        for (int id = 0; id < RemotePlayerSlots; ++id) {
            const RemotePlayer& slot = watcher.table.slots[id];
            if (!slot.active) continue;
            ++active;
            if (firstX[id] == 0.0f) firstX[id] = slot.target.x;
            if (std::fabs(slot.target.x - firstX[id]) > 0.2f) moved[id] = true;
        }
        most = active > most ? active : most;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(most, 3);
    int movers = 0;
    for (bool m : moved) movers += m ? 1 : 0;
    EXPECT_GE(movers, 1) << "bots walk";
    EXPECT_EQ(waitForExit(bots, 50), 0);
    disconnectPresenceClient(watcher.client, watcher.table);
    kill(server.pid, SIGTERM);
    EXPECT_EQ(waitForExit(server.pid, 50), 0);
    std::string log = readAll(server.outputPath);
    int leaves = 0;
    for (size_t at = log.find(" left ("); at != std::string::npos; at = log.find(" left (", at + 1)) ++leaves;
    EXPECT_GE(leaves, 3) << "every bot says Bye when it stops\n" << log;
}
#endif
