// The presence server and datagrams a network loses or delivers late: States that arrive after their
// sender's Bye bring back no ghost, while a Hello, and a State once the Bye is long past, still join;
// a client whose Welcome was lost learns its id from a later one.
#include <gtest/gtest.h>

#include <vector>

#include "server/presence_server.h"

namespace {

PeerAddress peer(int n) { return PeerAddress{0x7F000001u, uint16_t(41000 + n)}; }

std::vector<uint8_t> hello() {
    uint8_t bytes[HelloLength];
    encodeHello(bytes);
    return {bytes, bytes + HelloLength};
}

std::vector<uint8_t> state(float x) {
    uint8_t bytes[StateLength];
    encodeState(PlayerState{x, 0, 0, 0, 0}, bytes);
    return {bytes, bytes + StateLength};
}

struct LateDatagramTest : ::testing::Test {
    PresenceServer server = {};
    ServerOutput out = {};

    void receive(int from, const std::vector<uint8_t>& bytes, uint64_t nowMs) {
        serverReceive(server, peer(from), bytes.data(), bytes.size(), nowMs, out);
    }
    bool welcomed() const { return out.datagramCount == 1 && out.datagrams[0].bytes[0] == WelcomeType; }
    // Player n joined and confirmed by two States, as a real client answers its Welcome.
    void play(int n, uint64_t nowMs) {
        receive(n, hello(), nowMs);
        receive(n, state(float(n)), nowMs);
        receive(n, state(float(n)), nowMs);
    }
    // The players the next roster lists, as player 1 (who sends a State to earn it) receives it.
    int listedAfterStateFromPlayerOne(uint64_t nowMs) {
        receive(1, state(1), nowMs);
        serverTick(server, nowMs, out);
        RosterMessage roster = {};
        for (int i = 0; i < out.datagramCount; ++i)
            if (samePeer(out.datagrams[i].to, peer(1)) && decodeRoster(out.datagrams[i].bytes, out.datagrams[i].length, roster))
                return roster.count;
        return -1;
    }
};

}  // namespace

TEST_F(LateDatagramTest, StatesArrivingAfterTheirSendersByeBringNoGhost) {
    play(1, 0);
    play(2, 0);
    receive(2, {ByeType}, 1000);
    // Sent before the Bye, held up on the way: each would otherwise join a player nobody plays.
    for (uint64_t late : {uint64_t(1100), uint64_t(1130), uint64_t(1160), 1000 + ByeMemoryMs}) {
        receive(2, state(2), late);
        EXPECT_EQ(out.datagramCount, 0) << "no Welcome for a State " << late - 1000 << " ms after the Bye";
        EXPECT_EQ(out.eventCount, 0);
    }
    EXPECT_EQ(listedAfterStateFromPlayerOne(1200), 1) << "the roster lists player 1 alone";
}

TEST_F(LateDatagramTest, AHelloFromAnAddressThatSaidByeJoinsAtOnce) {
    play(2, 0);
    receive(2, {ByeType}, 1000);
    receive(2, hello(), 1010);
    EXPECT_TRUE(welcomed());
    receive(2, state(2), 1040);
    EXPECT_EQ(out.datagramCount, 0) << "joined again: its States are a player's, answered by rosters";
}

TEST_F(LateDatagramTest, AStateLongAfterTheByeJoinsLikeAnyNewAddress) {
    play(2, 0);
    receive(2, {ByeType}, 1000);
    receive(2, state(2), 1000 + ByeMemoryMs + 1);
    EXPECT_TRUE(welcomed()) << "after the memory a State joins, as after a server restart";
}

TEST_F(LateDatagramTest, EveryRecentByeIsRememberedNotOnlyTheLast) {
    for (int n = 0; n < ServerPlayerCapacity; ++n) play(n, 0);
    for (int n = 0; n < ServerPlayerCapacity; ++n) receive(n, {ByeType}, 1000 + uint64_t(n));
    for (int n = 0; n < ServerPlayerCapacity; ++n) {
        receive(n, state(float(n)), 1200);
        EXPECT_EQ(out.datagramCount, 0) << "player " << n << "'s late State";
    }
}

TEST_F(LateDatagramTest, AClientWhoseWelcomeWasLostLearnsItsIdWithinASecond) {
    // After a server restart a client, joined in its own eyes, goes on sending States; the one
    // Welcome its first State earns is lost on the way.
    receive(3, state(3), 0);
    ASSERT_TRUE(welcomed());
    const uint8_t id = out.datagrams[0].bytes[1];
    int welcomes = 0;
    uint64_t firstAgain = 0;
    for (uint64_t at = 25; at <= 3000; at += 25) {
        receive(3, state(3), at);
        if (!welcomed()) continue;
        EXPECT_EQ(out.datagrams[0].bytes[1], id);
        if (!welcomes++) firstAgain = at;
    }
    EXPECT_EQ(firstAgain, WelcomeRepeatMs) << "the first State a repeat interval after the Welcome";
    EXPECT_EQ(welcomes, 3) << "at most one Welcome a second, however many States";
}
