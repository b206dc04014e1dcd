// The presence server's logic driven with datagrams and times: ids given and reused, repeated Hello,
// a full server, Bye, timeouts, rosters only to live senders, malformed input ignored, ServerBye.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "protocol/presence_session.h"
#include "server/presence_server.h"

namespace {

PeerAddress peer(int n) { return PeerAddress{0x7F000001u, uint16_t(40000 + n)}; }

std::vector<uint8_t> hello() {
    uint8_t bytes[HelloLength];
    encodeHello(bytes);
    return {bytes, bytes + HelloLength};
}

std::vector<uint8_t> state(float x, float y, float z, uint8_t crouching = 0) {
    uint8_t bytes[StateLength];
    encodeState(PlayerState{x, y, z, 0.25f, crouching}, bytes);
    return {bytes, bytes + StateLength};
}

std::vector<uint8_t> bye() { return {'B'}; }

// A fresh server per test: the record is plain data, all zero at start.
struct ServerTest : ::testing::Test {
    PresenceServer server = {};
    ServerOutput out = {};

    void receive(int from, const std::vector<uint8_t>& bytes, uint64_t nowMs) {
        serverReceive(server, peer(from), bytes.data(), bytes.size(), nowMs, out);
    }
    // The id in the single Welcome just produced, or -1 when there was none.
    int welcomedId() {
        if (out.datagramCount != 1 || out.datagrams[0].length != 2 || out.datagrams[0].bytes[0] != 'W') return -1;
        return out.datagrams[0].bytes[1];
    }
    int join(int from, uint64_t nowMs) {
        receive(from, hello(), nowMs);
        return welcomedId();
    }
};

}  // namespace

TEST_F(ServerTest, LowestFreeIdsAreGivenAndReused) {
    EXPECT_EQ(join(1, 10), 0);
    EXPECT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::Joined);
    EXPECT_EQ(join(2, 10), 1);
    EXPECT_EQ(join(3, 10), 2);
    receive(2, bye(), 20);
    ASSERT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::Left);
    EXPECT_EQ(out.events[0].id, 1);
    EXPECT_EQ(out.datagramCount, 0) << "Bye is not answered";
    EXPECT_EQ(join(4, 30), 1) << "the freed id is the lowest free one";
    EXPECT_EQ(join(2, 30), 3) << "a player who left joins as new";
}

TEST_F(ServerTest, RepeatedHelloGetsTheSameId) {
    join(1, 0);
    EXPECT_EQ(join(2, 0), 1);
    EXPECT_EQ(join(2, HelloIntervalMs), 1) << "a client's retry after a lost Welcome";
    EXPECT_EQ(out.eventCount, 0) << "no second join line";
    EXPECT_TRUE(samePeer(out.datagrams[0].to, peer(2)));
}

// Hellos forged in a joined player's name must not turn the server into a stream of Welcomes towards
// that address: repeats within RepeatedWelcomeIntervalMs of the last Welcome go unanswered.
TEST_F(ServerTest, RepeatedHellosAreAnsweredAtMostFiveTimesASecond) {
    struct Case {
        uint64_t nowMs;
        bool answered;
    };
    const Case cases[] = {
        {1000, true},  {1001, false}, {1199, false}, {1200, true},  {1250, false},
        {1399, false}, {1400, true},  {1650, true},  {1650, false}, {5000, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(join(1, c.nowMs), c.answered ? 0 : -1) << "Hello at " << c.nowMs;
        if (!c.answered) {
            EXPECT_EQ(out.datagramCount, 0);
        }
        EXPECT_EQ(out.eventCount, c.nowMs == 1000 ? 1 : 0) << "one join line only";
    }

    int welcomes = 0;
    for (uint64_t now = 10000; now < 11000; ++now) {
        receive(1, hello(), now);
        welcomes += out.datagramCount;
    }
    EXPECT_EQ(welcomes, 5) << "a thousand Hellos in a second";

    // An unanswered Hello still keeps the player from timing out.
    serverTick(server, 10999 + ClientSilenceLimitMs, out);
    EXPECT_EQ(out.eventCount, 0);
    serverTick(server, 11000 + ClientSilenceLimitMs, out);
    ASSERT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::TimedOut);
}

TEST_F(ServerTest, FullServerAnswersNothing) {
    for (int i = 0; i < ServerPlayerCapacity; ++i) ASSERT_EQ(join(i, 0), i);
    receive(99, hello(), 0);
    EXPECT_EQ(out.datagramCount, 0);
    EXPECT_EQ(out.eventCount, 0);
    receive(7, bye(), 1);
    EXPECT_EQ(join(99, 2), 7);
}

TEST_F(ServerTest, SilentPlayersAreDroppedAfterFiveSeconds) {
    join(1, 1000);
    join(2, 1000);
    receive(2, state(0, 0, 0), 3000);
    serverTick(server, 6000, out);
    EXPECT_EQ(out.eventCount, 0) << "exactly 5000 ms of silence is still joined";
    serverTick(server, 6001, out);
    ASSERT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::TimedOut);
    EXPECT_EQ(out.events[0].id, 0);
    serverTick(server, 8000, out);
    EXPECT_EQ(out.eventCount, 0);
    serverTick(server, 8001, out);
    ASSERT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].id, 1);
    EXPECT_EQ(join(3, 8003), 0);
}

TEST_F(ServerTest, RostersListPosesAndGoOnlyToRecentSenders) {
    join(1, 0);
    join(2, 0);
    join(3, 0);  // joined, never sends its State: neither listed nor sent rosters
    receive(1, state(1, 0, 2), 100);
    receive(2, state(-3, 0.5f, 4, 1), 100);
    serverTick(server, 100, out);
    ASSERT_EQ(out.datagramCount, 2);
    for (int i = 0; i < 2; ++i) {
        const OutgoingDatagram& d = out.datagrams[i];
        RosterMessage roster = {};
        ASSERT_TRUE(decodeRoster(d.bytes, d.length, roster));
        ASSERT_EQ(roster.count, 2);
        EXPECT_EQ(roster.records[0].id, 0);
        EXPECT_EQ(+roster.records[0].state.z, 2.0f);
        EXPECT_EQ(roster.records[1].id, 1);
        EXPECT_EQ(+roster.records[1].state.x, -3.0f);
        EXPECT_EQ(+roster.records[1].state.crouching, 1);
        EXPECT_FALSE(samePeer(d.to, peer(3)));
    }
    serverTick(server, 100 + RosterIntervalMs - 1, out);
    EXPECT_EQ(out.datagramCount, 0) << "not due yet";

    // Player 2 keeps sending; player 1 falls quiet for more than a second.
    receive(2, state(0, 0, 0), 1050);
    serverTick(server, 1101, out);
    ASSERT_EQ(out.datagramCount, 1);
    EXPECT_TRUE(samePeer(out.datagrams[0].to, peer(2)));
}

TEST_F(ServerTest, RostersComeTwentyToThirtyTimesASecond) {
    join(1, 0);
    int rosters = 0;
    for (uint64_t now = 0; now < 1000; now += 5) {
        receive(1, state(0, 0, 0), now);
        serverTick(server, now, out);
        rosters += out.datagramCount;
    }
    EXPECT_GE(rosters, 20);
    EXPECT_LE(rosters, 30);
}

TEST_F(ServerTest, MalformedAndForeignDatagramsChangeNothing) {
    join(1, 0);
    receive(1, state(1, 1, 1), 10);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<uint8_t> longState = state(2, 2, 2);
    longState.push_back(0);
    std::vector<uint8_t> shortState = state(2, 2, 2);
    shortState.pop_back();
    const std::vector<uint8_t> junk[] = {
        {},           {'H'},     {'H', '1', 'Z', 'O', 'X'}, {'H', '1', 'Z', 'O', 'Q', 0}, longState,
        shortState,   state(nan, 0, 0), state(0, 0, std::numeric_limits<float>::infinity()),
        {'B', 'B'},   {'W', 0},  {'R', 0},                  {'F'},                        std::vector<uint8_t>(512, 'S'),
    };
    for (const std::vector<uint8_t>& bytes : junk) {
        receive(1, bytes, 20);
        EXPECT_EQ(out.datagramCount, 0);
        EXPECT_EQ(out.eventCount, 0);
    }
    // A stranger's State or Bye does nothing either.
    receive(5, state(3, 3, 3), 20);
    receive(5, bye(), 20);
    EXPECT_EQ(out.eventCount, 0);

    serverTick(server, 100, out);
    ASSERT_EQ(out.datagramCount, 1);
    RosterMessage roster = {};
    ASSERT_TRUE(decodeRoster(out.datagrams[0].bytes, out.datagrams[0].length, roster));
    ASSERT_EQ(roster.count, 1);
    EXPECT_EQ(+roster.records[0].state.x, 1.0f) << "only the valid State counted";
}

TEST_F(ServerTest, ShutdownSaysServerByeToEveryJoinedPlayer) {
    join(1, 0);
    join(2, 0);
    join(3, 0);
    receive(2, bye(), 1);
    serverShutdown(server, out);
    ASSERT_EQ(out.datagramCount, 2);
    EXPECT_TRUE(samePeer(out.datagrams[0].to, peer(1)));
    EXPECT_TRUE(samePeer(out.datagrams[1].to, peer(3)));
    EXPECT_TRUE(decodeServerBye(out.datagrams[1].bytes, out.datagrams[1].length));
}
