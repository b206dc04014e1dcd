// Joining by "Play" with the name lookup on its own thread, against a socket on loopback: a dotted
// address opens at once, a name opens only when a frame takes the answer, a "Leave" before that
// leaves nothing behind, and the lookup slots come back however their lookups end. Names come from
// the hosts file ("localhost") or fail on the port text, so no name server is ever asked.
#include <gtest/gtest.h>

#include <SDL3/SDL.h>

#include <string>

#include "app/host_lookup.h"
#include "app/presence_join.h"
#include "app/presence_pump.h"
#include "presence/presence_client.h"
#include "protocol/address.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

namespace {

struct PresenceJoinTest : ::testing::Test {
    SocketHandle peer = NoSocket;
    PeerAddress peerAddress = {};

    void SetUp() override {
        networkStarted = startSocketLayer();
        ASSERT_TRUE(networkStarted);
        presenceLeave();
        presenceClient = PresenceClient{};
        peer = openUdpSocket();
        ASSERT_NE(peer, NoSocket);
        ASSERT_TRUE(bindUdpSocket(peer, PeerAddress{0x7F000001u, 0}));
        ASSERT_TRUE(udpSocketLocalAddress(peer, peerAddress));
    }
    void TearDown() override {
        presenceLeave();
        closeUdpSocket(peer);
    }

    // The types of the datagrams the peer has received since the last call.
    std::string received() {
        std::string types;
        uint8_t buffer[600];
        size_t length = 0;
        while (receiveDatagram(peer, buffer, sizeof buffer, length) == ReceiveResult::Datagram)
            types += length ? char(buffer[0]) : '-';
        return types;
    }

    // Frames of 20 ms until the socket opens, for at most two seconds; the frame it took.
    int framesUntilSocket(uint64_t startMs) {
        for (int frame = 0; frame < 100; ++frame) {
            presenceJoinPump(startMs + 20 * uint64_t(frame));
            presencePump(startMs + 20 * uint64_t(frame));
            if (presenceClient.socket != NoSocket) return frame;
            SDL_Delay(20);
        }
        return -1;
    }
};

// Waits for a lookup's end, for at most two seconds.
LookupResult waitForLookup(LookupTicket ticket, PeerAddress& out) {
    LookupResult result = LookupResult::Pending;
    for (int i = 0; i < 200 && result == LookupResult::Pending; ++i) {
        result = takeHostLookup(ticket, out);
        if (result == LookupResult::Pending) SDL_Delay(10);
    }
    return result;
}

}  // namespace

TEST_F(PresenceJoinTest, DottedAddressOpensAtOnceAndSaysHelloAtTheNextPump) {
    ASSERT_TRUE(presenceJoin(("127.0.0.1:" + std::to_string(peerAddress.port)).c_str(), 1000));
    EXPECT_NE(presenceClient.socket, NoSocket);
    presenceJoinPump(1000);
    presencePump(1000);
    SDL_Delay(20);
    EXPECT_EQ(received(), "H");
    presenceLeave();
    SDL_Delay(20);
    EXPECT_EQ(received(), "B");
    EXPECT_EQ(presenceClient.socket, NoSocket);
}

TEST_F(PresenceJoinTest, NameOpensWhenAFrameTakesTheAnswerAndHelloGoesInThatFrame) {
    ASSERT_TRUE(presenceJoin(("localhost:" + std::to_string(peerAddress.port)).c_str(), 1000));
    EXPECT_EQ(presenceClient.socket, NoSocket) << "nothing opens before a frame takes the answer";
    int frame = framesUntilSocket(1000);
    ASSERT_GE(frame, 0) << "localhost never resolved";
    EXPECT_EQ(presenceClient.lastHeardMs, 1000 + 20 * uint64_t(frame)) << "joining counts from the frame it opened";
    SDL_Delay(20);
    EXPECT_EQ(received(), "H");
    PeerAddress server = {};
    ASSERT_TRUE(udpSocketPeerAddress(presenceClient.socket, server));
    EXPECT_TRUE(samePeer(server, peerAddress));
    presenceLeave();
    SDL_Delay(20);
    EXPECT_EQ(received(), "B");
}

TEST_F(PresenceJoinTest, LeavingBeforeTheAnswerIsTakenLeavesNothingBehind) {
    const std::string address = "localhost:" + std::to_string(peerAddress.port);
    for (int round = 0; round < 3 * HostLookupCapacity; ++round) {
        ASSERT_TRUE(presenceJoin(address.c_str(), 1000)) << "round " << round << ": every slot came back";
        presenceLeave();
        SDL_Delay(30);  // long enough for the abandoned lookup to end
        presenceJoinPump(1100);
        presencePump(1100);
        EXPECT_EQ(presenceClient.socket, NoSocket);
    }
    // A second "Play" while the first one's lookup may still run: only the second one joins.
    ASSERT_TRUE(presenceJoin(address.c_str(), 2000));
    ASSERT_TRUE(presenceJoin(address.c_str(), 2000));
    ASSERT_GE(framesUntilSocket(2000), 0);
    SDL_Delay(20);
    EXPECT_EQ(received(), "H") << "one socket, one Hello, nothing from the abandoned lookup";
}

TEST_F(PresenceJoinTest, LookupsEndResolvedOrFailedAndHandTheirSlotBack) {
    struct Case {
        const char* host;
        const char* port;
        LookupResult result;
    };
    const Case cases[] = {
        {"localhost", "27420", LookupResult::Resolved},
        {"127.0.0.1", "not a port", LookupResult::Failed},
    };
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            LookupTicket ticket = startHostLookup(c.host, c.port);
            ASSERT_NE(ticket, NoLookup) << c.host << ":" << c.port;
            PeerAddress out = {};
            EXPECT_EQ(waitForLookup(ticket, out), c.result) << c.host << ":" << c.port;
            if (c.result == LookupResult::Resolved) {
                EXPECT_EQ(out.ip, 0x7F000001u);
            }
        }
    }
    // Every slot at once: the next start is refused until one is taken.
    LookupTicket tickets[HostLookupCapacity];
    for (LookupTicket& ticket : tickets) ASSERT_NE(ticket = startHostLookup("localhost", "1"), NoLookup);
    EXPECT_EQ(startHostLookup("localhost", "1"), NoLookup);
    PeerAddress out = {};
    EXPECT_EQ(waitForLookup(tickets[0], out), LookupResult::Resolved);
    EXPECT_EQ(out.port, 1);
    for (int i = 1; i < HostLookupCapacity; ++i) abandonHostLookup(tickets[i]);
    EXPECT_NE(tickets[0] = startHostLookup("localhost", "2"), NoLookup);
    EXPECT_EQ(waitForLookup(tickets[0], out), LookupResult::Resolved);
    // Abandoned lookups hand their slots back as their threads end; a lookup can take a while (Wine's
    // name lookups under load took more than 50 ms), so each slot gets up to 2 s.
    for (LookupTicket& ticket : tickets) {
        ticket = startHostLookup("localhost", "3");
        for (int waited = 0; ticket == NoLookup && waited < 2000; waited += 10) {
            SDL_Delay(10);
            ticket = startHostLookup("localhost", "3");
        }
        ASSERT_NE(ticket, NoLookup);
    }
    for (LookupTicket ticket : tickets) EXPECT_EQ(waitForLookup(ticket, out), LookupResult::Resolved);
}

TEST_F(PresenceJoinTest, NothingStartsWithoutTheSocketLayerOrASplittableAddress) {
    networkStarted = false;
    EXPECT_FALSE(presenceJoin("localhost", 0));
    EXPECT_FALSE(presenceJoin("127.0.0.1", 0));
    networkStarted = true;
    EXPECT_FALSE(presenceJoin(std::string(AddressHostCapacity, 'a').c_str(), 0));
    presenceJoinPump(100);
    presencePump(100);
    EXPECT_EQ(presenceClient.socket, NoSocket);
    EXPECT_EQ(received(), "");
}
