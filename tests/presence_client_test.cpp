// The presence client against a scripted server on loopback, over real UDP: the Hello cadence,
// which Welcomes and Rosters count, silence, the State timetable, ServerBye, addresses, oversized
// datagrams and the bound on receives per pump.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include "presence/presence_client.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes rosterBytes(const std::vector<RosterRecord>& records, int countByte = -1) {
    RosterMessage roster = {};
    roster.count = int(records.size());
    for (size_t i = 0; i < records.size(); ++i) roster.records[i] = records[i];
    Bytes bytes(PresenceDatagramCapacity);
    bytes.resize(encodeRoster(roster, bytes.data(), bytes.size()));
    if (countByte >= 0) bytes[1] = uint8_t(countByte);
    return bytes;
}

// A scripted server: a socket on a free loopback port that records what the client sends and sends
// what a test tells it to.
struct PresenceClientTest : ::testing::Test {
    SocketHandle peer = NoSocket;
    PeerAddress peerAddress = {};
    PlayerState ownPose = {};  // what the States carry

    void SetUp() override {
        networkStarted = startSocketLayer();
        ASSERT_TRUE(networkStarted);
        presenceDisconnect();
        presenceClient = PresenceClient{};
        ownPose = PlayerState{};
        peer = openUdpSocket();
        ASSERT_NE(peer, NoSocket);
        ASSERT_TRUE(bindUdpSocket(peer, PeerAddress{0x7F000001u, 0}));
        ASSERT_TRUE(udpSocketLocalAddress(peer, peerAddress));
    }
    void TearDown() override {
        presenceDisconnect();
        closeUdpSocket(peer);
    }

    std::string address() const { return "127.0.0.1:" + std::to_string(peerAddress.port); }

    bool connect(uint64_t nowMs) { return presenceConnect(address().c_str(), nowMs); }
    void pump(uint64_t nowMs) { pumpPresenceClient(presenceClient, remotePlayers, ownPose, nowMs); }

    // Every datagram the client has sent since the last call.
    std::vector<Bytes> sent() {
        std::vector<Bytes> all;
        uint8_t buffer[2048];
        size_t length = 0;
        while (receiveDatagram(peer, buffer, sizeof buffer, length) == ReceiveResult::Datagram)
            all.emplace_back(buffer, buffer + length);
        return all;
    }

    void send(const Bytes& bytes) {
        PeerAddress client;
        ASSERT_TRUE(udpSocketLocalAddress(presenceClient.socket, client));
        sendDatagramTo(peer, bytes.data(), bytes.size(), client);
    }

    // Connected and welcomed with ownId at time nowMs, with nothing left unread on either side.
    void join(uint8_t ownId, uint64_t nowMs) {
        ASSERT_TRUE(connect(nowMs));
        pump(nowMs);
        send({'W', ownId});
        pump(nowMs);
        ASSERT_TRUE(presenceClient.connected);
        sent();
    }
};

const float NaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST_F(PresenceClientTest, HelloGoesOutWhenMoreThan250MsHavePassed) {
    ASSERT_TRUE(connect(10000));
    struct Step {
        uint64_t nowMs;
        bool hello;
    };
    const Step steps[] = {{10000, true},  {10100, false}, {10250, false}, {10251, true},
                          {10501, false}, {10502, true},  {20000, true}};
    for (const Step& step : steps) {
        pump(step.nowMs);
        std::vector<Bytes> out = sent();
        ASSERT_EQ(out.size(), step.hello ? 1u : 0u) << "at " << step.nowMs;
        if (step.hello) {
            EXPECT_EQ(out[0], (Bytes{'H', '1', 'Z', 'O', 'Q'}));
        }
    }
    EXPECT_FALSE(presenceClient.connected);
}

TEST_F(PresenceClientTest, OnlyATwoByteWelcomeBelowSixteenJoins) {
    ASSERT_TRUE(connect(1000));
    pump(1000);
    for (const Bytes& welcome : {Bytes{'W', 1, 0}, Bytes{'W', 16}, Bytes{'W'}, Bytes{'W', 255}}) {
        send(welcome);
        pump(2000);
        EXPECT_FALSE(presenceClient.connected);
        EXPECT_EQ(presenceClient.ownId, -1);
        EXPECT_EQ(presenceClient.lastHeardMs, 1000u) << "an ignored Welcome refreshes nothing";
    }
    send({'W', 15});
    pump(3000);
    EXPECT_TRUE(presenceClient.connected);
    EXPECT_EQ(presenceClient.ownId, 15);
    EXPECT_EQ(presenceClient.lastHeardMs, 3000u);
    send({'W', 0});
    pump(3100);
    EXPECT_EQ(presenceClient.ownId, 0) << "a later Welcome replaces the id";
}

TEST_F(PresenceClientTest, RosterEdgeCases) {
    join(2, 1000);
    send(rosterBytes({
        {2, {1, 1, 1, 0, 0}},       // own id: never drawn
        {3, {NaN, 0, 0, 0, 0}},     // not finite: skipped
        {4, {100, 0, 0, 0, 0}},     // x clamped to 6
        {5, {0, -1, 0, 0, 0}},      // y clamped to 0
        {6, {0, 10, 0, 0, 1}},      // y clamped to 4
        {7, {0, 0, 0, 1000, 0}},    // yaw kept
        {8, {1, 0, 1, 0, 0}},       // the later record for 8 wins
        {8, {-2, 0, 3, 0, 0}},
        {16, {0, 0, 0, 0, 0}},      // no such slot
    }));
    pump(1100);
    const RemotePlayerTable& t = remotePlayers;
    EXPECT_FALSE(t.slots[2].active);
    EXPECT_FALSE(t.slots[3].active);
    ASSERT_TRUE(t.slots[4].active);
    EXPECT_EQ(+t.slots[4].target.x, 6.0f);
    EXPECT_EQ(+t.slots[5].target.y, 0.0f);
    EXPECT_EQ(+t.slots[6].target.y, 4.0f);
    EXPECT_EQ(t.slots[6].smoothY, 4.0f);
    EXPECT_EQ(t.slots[6].smoothHeight, 1.8f) << "drawn standing at first, even crouching";
    EXPECT_EQ(+t.slots[7].target.yaw, 1000.0f);
    EXPECT_EQ(+t.slots[8].target.x, -2.0f);
    EXPECT_EQ(+t.slots[8].target.z, 3.0f);
    EXPECT_EQ(presenceClient.lastHeardMs, 1100u);

    // A NaN for an active slot turns it off.
    send(rosterBytes({{4, {NaN, 0, 0, 0, 0}}, {5, {0, 0, 0, 0, 0}}}));
    pump(1200);
    EXPECT_FALSE(t.slots[4].active);
    EXPECT_TRUE(t.slots[5].active);

    // A count that disagrees with the length: ignored whole.
    RemotePlayerTable before = remotePlayers;
    send(rosterBytes({{9, {0, 0, 0, 0, 0}}, {10, {0, 0, 0, 0, 0}}}, 3));
    send(rosterBytes({{9, {0, 0, 0, 0, 0}}, {10, {0, 0, 0, 0, 0}}}, 1));
    pump(1300);
    EXPECT_EQ(0, std::memcmp(&before, &remotePlayers, sizeof before));
    EXPECT_EQ(presenceClient.lastHeardMs, 1200u);

    // Count 0: everyone leaves, and the server was still heard.
    send({'R', 0});
    pump(1400);
    for (int id = 0; id < RemotePlayerSlots; ++id) EXPECT_FALSE(t.slots[id].active) << id;
    EXPECT_EQ(presenceClient.lastHeardMs, 1400u);
}

TEST_F(PresenceClientTest, SilenceOfMoreThan5000MsGoesBackToJoining) {
    join(1, 1000);
    send(rosterBytes({{3, {1, 0, 1, 0, 0}}}));
    pump(2000);
    ASSERT_TRUE(remotePlayers.slots[3].active);
    pump(7000);
    EXPECT_TRUE(presenceClient.connected) << "exactly 5000 ms of silence is still joined";
    EXPECT_TRUE(remotePlayers.slots[3].active);
    sent();
    pump(7001);
    EXPECT_FALSE(presenceClient.connected);
    EXPECT_EQ(presenceClient.ownId, -1);
    EXPECT_FALSE(remotePlayers.slots[3].active);
    EXPECT_EQ(+remotePlayers.slots[3].target.x, 0.0f) << "the table is cleared";
    EXPECT_TRUE(sent().empty()) << "nothing goes out on the pump that gives up";
    EXPECT_NE(presenceClient.socket, NoSocket);
    pump(7002);
    std::vector<Bytes> out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0][0], 'H');
}

TEST_F(PresenceClientTest, StateGoesOutOnEveryThirdFrameAtSixteenMilliseconds) {
    ownPose = {1.5f, 0.25f, -3.0f, 2.0f, 1};
    join(4, 5000);  // the State of the joining pump went out with the Welcome and was read
    std::string pattern;
    for (int frame = 1; frame <= 9; ++frame) {
        pump(5000 + 16 * uint64_t(frame));
        std::vector<Bytes> out = sent();
        pattern += out.empty() ? '.' : 'S';
        for (const Bytes& state : out) {
            PlayerState pose = {};
            ASSERT_TRUE(decodeState(state.data(), state.size(), pose));
            EXPECT_EQ(+pose.x, 1.5f);
            EXPECT_EQ(+pose.y, 0.25f);
            EXPECT_EQ(+pose.z, -3.0f);
            EXPECT_EQ(+pose.yaw, 2.0f);
            EXPECT_EQ(+pose.crouching, 1);
        }
    }
    EXPECT_EQ(pattern, "..S..S..S");
}

TEST_F(PresenceClientTest, ServerByeIsAnsweredWithByeAndNothingAfter) {
    join(3, 1000);
    send(rosterBytes({{5, {1, 0, 1, 0, 0}}}));
    pump(1050);
    ASSERT_TRUE(remotePlayers.slots[5].active);
    sent();
    send({'F', 'x', 'y'});
    send({'W', 3});  // never read: the pump returns at the goodbye
    pump(1100);
    std::vector<Bytes> out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], Bytes{'B'});
    EXPECT_EQ(presenceClient.socket, NoSocket);
    EXPECT_FALSE(presenceClient.connected);
    EXPECT_FALSE(remotePlayers.slots[5].active);
    for (uint64_t now = 1200; now < 3000; now += 300) pump(now);
    EXPECT_TRUE(sent().empty()) << "no Hello after the server said goodbye";
}

TEST_F(PresenceClientTest, AddressesSplitAtTheLastColon) {
    PeerAddress server = {};
    ASSERT_TRUE(presenceConnect("127.0.0.1", 0));
    ASSERT_TRUE(udpSocketPeerAddress(presenceClient.socket, server));
    EXPECT_EQ(server.port, 27420) << "no port: the default";
    EXPECT_EQ(server.ip, 0x7F000001u);
    presenceDisconnect();

    ASSERT_TRUE(connect(0));
    ASSERT_TRUE(udpSocketPeerAddress(presenceClient.socket, server));
    EXPECT_EQ(server.port, peerAddress.port);
    presenceDisconnect();

    // A trailing ':' resolves with an empty port text (port 0 on this system): the socket opens,
    // and a Hello towards it goes nowhere.
    bool opened = presenceConnect("127.0.0.1:", 0);
    EXPECT_EQ(opened, presenceClient.socket != NoSocket);
    pump(1000);
    presenceDisconnect();

    // Several ':': everything before the last one is the host, which no IPv4 lookup accepts.
    EXPECT_FALSE(presenceConnect(("127.0.0.1:1:" + std::to_string(peerAddress.port)).c_str(), 0));
    EXPECT_EQ(presenceClient.socket, NoSocket);
}

TEST_F(PresenceClientTest, FailedResolutionLeavesEverythingAsItWas) {
    // Malformed numeric hosts: refused by the resolver itself, without asking a name server.
    for (const char* address : {"999.1.1.1", "999.1.1.1:27420", "1.2.3.4.5:80", "a:b:c"}) {
        presenceClient.lastHeardMs = 1234;
        presenceClient.lastHelloMs = 99;
        remotePlayers.slots[3].active = true;
        remotePlayers.slots[3].target.x = 2.0f;
        EXPECT_FALSE(presenceConnect(address, 5000)) << address;
        EXPECT_EQ(presenceClient.socket, NoSocket);
        EXPECT_EQ(presenceClient.lastHeardMs, 1234u);
        EXPECT_EQ(presenceClient.lastHelloMs, 99u);
        EXPECT_TRUE(remotePlayers.slots[3].active) << "no reset on a failed resolution";
    }
    std::memset(&remotePlayers, 0, sizeof remotePlayers);
}

TEST_F(PresenceClientTest, NothingOpensWithoutTheSocketLayer) {
    networkStarted = false;
    EXPECT_FALSE(connect(0));
    EXPECT_EQ(presenceClient.socket, NoSocket);
    pump(1000);
    EXPECT_TRUE(sent().empty());
    networkStarted = true;
}

TEST_F(PresenceClientTest, DatagramLongerThan512BytesIsNotProcessed) {
    join(6, 1000);
    for (size_t length : {513, 600}) send(Bytes(length, 'F'));
    Bytes welcome(513, 0);
    welcome[0] = 'W';
    welcome[1] = 9;
    send(welcome);
    pump(1100);
    EXPECT_NE(presenceClient.socket, NoSocket) << "a cut-short ServerBye must not end the session";
    EXPECT_EQ(presenceClient.ownId, 6);
    Bytes longest = rosterBytes(std::vector<RosterRecord>(28, RosterRecord{1, {1, 0, 1, 0, 0}}));
    ASSERT_EQ(longest.size(), 506u);
    send(longest);
    pump(1200);
    EXPECT_TRUE(remotePlayers.slots[1].active) << "a datagram within 512 bytes is read";
}

TEST_F(PresenceClientTest, AtMost256DatagramsAreReadPerPump) {
    join(0, 1000);
    // Room for all of them in the client's queue (the system may cap this).
    int bytes = 1 << 20;
#if defined(_WIN32)
    setsockopt(SOCKET(presenceClient.socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
#else
    setsockopt(int(presenceClient.socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
#endif
    for (int i = 0; i < 256; ++i) send({'W', 4});
    for (int i = 0; i < 10; ++i) send({'W', 9});
    pump(1100);
    EXPECT_EQ(presenceClient.ownId, 4) << "the 257th datagram waits for the next pump";
    pump(1200);
    EXPECT_EQ(presenceClient.ownId, 9);
}

// A Hello to a port where nothing listens comes back as an ICMP port unreachable, which the next
// receive reports as an error on Linux (ECONNREFUSED) and Windows (WSAECONNRESET; Wine reports
// nothing): the client counts it as nothing, keeps knocking, and joins once a server binds that port.
TEST_F(PresenceClientTest, AClosedPortIsKnockedOnUntilAServerComes) {
    PeerAddress closedPort = peerAddress;
    closeUdpSocket(peer);
    peer = NoSocket;
    ASSERT_TRUE(connect(1000));
    for (uint64_t now = 1000; now <= 2500; now += 300) {
        pump(now);
        waitForDatagram(presenceClient.socket, 50);
    }
    ASSERT_NE(presenceClient.socket, NoSocket) << "an unreachable port never ends the session";

    peer = openUdpSocket();
    ASSERT_TRUE(bindUdpSocket(peer, closedPort));
    pump(2800);
    ASSERT_EQ(sent().size(), 1u) << "the next Hello reaches the server";
    send({'W', 3});
    pump(2810);
    EXPECT_TRUE(presenceClient.connected);
    EXPECT_EQ(presenceClient.ownId, 3);
}
