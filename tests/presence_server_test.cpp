// The presence server's logic driven with datagrams and times: ids given and reused, repeated Hello,
// ids on trial until a client answers, a full server and the lines its refusals earn, Bye, timeouts,
// rosters only in answer to States, forged Hellos and States, datagrams a network loses or delivers
// late, malformed input ignored, ServerBye; the lines it prints and the addresses it prints to join.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "protocol/presence_session.h"
#include "server/join_addresses.h"
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
    // Two States, as a real client answers its Welcome: the player is confirmed and listed.
    void confirm(int from, uint64_t nowMs, float x = 0) {
        receive(from, state(x, 0, 0), nowMs);
        receive(from, state(x, 0, 0), nowMs);
    }
    // Player n joined and confirmed by two States, as a real client answers its Welcome.
    void play(int n, uint64_t nowMs) {
        join(n, nowMs);
        confirm(n, nowMs, float(n));
    }
    // How many players the next roster lists, as player 1 (who sends a State to earn it) receives it.
    int listedAfterStateFromPlayerOne(uint64_t nowMs) {
        receive(1, state(1, 0, 0), nowMs);
        serverTick(server, nowMs, out);
        RosterMessage roster = {};
        for (int i = 0; i < out.datagramCount; ++i)
            if (samePeer(out.datagrams[i].to, peer(1)) && decodeRoster(out.datagrams[i].bytes, out.datagrams[i].length, roster))
                return roster.count;
        return -1;
    }
    int datagramsTo(int n) const {
        int count = 0;
        for (int i = 0; i < out.datagramCount; ++i) count += samePeer(out.datagrams[i].to, peer(n));
        return count;
    }
};

}  // namespace

TEST_F(ServerTest, LowestFreeIdsAreGivenAndReused) {
    EXPECT_EQ(join(1, 10), 0);
    EXPECT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::Joined);
    EXPECT_EQ(out.events[0].players, 1);
    EXPECT_EQ(join(2, 10), 1);
    EXPECT_EQ(join(3, 10), 2);
    EXPECT_EQ(out.events[0].players, 3);
    receive(2, bye(), 20);
    ASSERT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::Left);
    EXPECT_EQ(out.events[0].id, 1);
    EXPECT_EQ(out.events[0].players, 2) << "counted once the player has left";
    EXPECT_EQ(out.datagramCount, 0) << "Bye is not answered";
    EXPECT_EQ(join(4, 30), 1) << "the freed id is the lowest free one";
    EXPECT_EQ(join(2, 30), 3) << "a player who left joins as new";
    const PeerAddress otherMachine = {0x0A000001u, peer(1).port};
    serverReceive(server, otherMachine, hello().data(), HelloLength, 40, out);
    EXPECT_EQ(welcomedId(), 4) << "the same port on another machine is another player";
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

    confirm(1, 9999);
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

    // A State that joins counts as a Welcome sent: Hellos just after it are not answered either.
    receive(2, state(0, 0, 0), 20000);
    EXPECT_EQ(welcomedId(), 0);
    EXPECT_EQ(join(2, 20199), -1);
    EXPECT_EQ(join(2, 20200), 0);
}

TEST_F(ServerTest, FullServerOfConfirmedPlayersAnswersNothing) {
    for (int i = 0; i < ServerPlayerCapacity; ++i) {
        ASSERT_EQ(join(i, 0), i);
        confirm(i, 0);
    }
    for (const std::vector<uint8_t>& bytes : {hello(), state(1, 0, 1)}) {
        receive(99, bytes, 1);
        EXPECT_EQ(out.datagramCount, 0);
        ASSERT_EQ(out.eventCount, bytes.size() == HelloLength ? 1 : 0) << "one refusal line a minute per address";
    }
    receive(7, bye(), 1);
    EXPECT_EQ(join(99, 2), 7);
    // Full of confirmed players again, with player 7's Bye remembered: still nothing to take back.
    confirm(99, 2);
    receive(100, hello(), 3);
    EXPECT_EQ(out.datagramCount, 0);
    ASSERT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::TurnedAway);
    EXPECT_TRUE(samePeer(out.events[0].address, peer(100)));
    EXPECT_EQ(out.events[0].players, ServerPlayerCapacity);
}

// Refusals from one address earn a line once a minute; from many, no more than sixteen lines a
// minute in all, however many addresses a flood forges.
TEST(RefusalLines, OncePerAddressAMinuteAndSixteenAMinuteInAll) {
    struct Case {
        const char* name;
        int firstAddress, addresses;  // addresses firstAddress, firstAddress + 1, ... refused in turn
        uint64_t atMs;
        int lines;
    };
    const Case cases[] = {
        {"a first refusal", 0, 1, 1000, 1},
        {"the same address again at once", 0, 1, 1001, 0},
        {"a minute less a millisecond after its line", 0, 1, 60999, 0},
        {"ten more addresses", 1, 10, 2000, 10},
        {"ten others, past the sixteen of a minute", 11, 10, 3000, 5},
        {"a thousand forged ones", 1000, 1000, 4000, 0},
        {"address 0 a minute after its line", 0, 1, 61000, 1},
        {"address 0 once more", 0, 1, 61500, 0},
        {"the ten a minute after their lines", 1, 10, 62000, 10},
        {"the five that had lines", 11, 5, 63000, 5},
        {"the five that had none", 16, 5, 63000, 0},
        {"the thousand, a minute after the last line", 1000, 1000, 123000, 16},
    };
    RefusalLines memory = {};
    for (const Case& c : cases) {
        int lines = 0;
        for (int n = c.firstAddress; n < c.firstAddress + c.addresses; ++n)
            lines += refusalEarnsLine(memory, peer(n), c.atMs);
        EXPECT_EQ(lines, c.lines) << c.name;
    }
}

// Addresses that only say Hello hold ids on trial: a join to a full server takes one back, from the
// player with the fewest States, the longest joined among those.
TEST_F(ServerTest, JoinToFullServerTakesBackAnIdOnTrial) {
    struct Case {
        const char* name;
        int states[ServerPlayerCapacity];  // States sent by each player after joining in id order
        int takenBack;
    };
    const Case cases[] = {
        {"all silent: the first joined", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"fewest States first", {1, 2, 1, 2, 2, 0, 2, 2, 2, 2, 2, 0, 2, 2, 2, 2}, 5},
        {"one State only", {2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1}, 3},
        {"the last one on trial", {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1}, 15},
    };
    for (const Case& c : cases) {
        server = {};
        for (int id = 0; id < ServerPlayerCapacity; ++id) {
            ASSERT_EQ(join(id, uint64_t(id)), id);
            for (int i = 0; i < c.states[id]; ++i) receive(id, state(0, 0, 0), 20);
        }
        EXPECT_EQ(join(99, 30), c.takenBack) << c.name;
        ASSERT_EQ(out.eventCount, 2) << c.name;
        EXPECT_EQ(out.events[0].kind, ServerEventKind::SentNoState) << c.name;
        EXPECT_TRUE(samePeer(out.events[0].address, peer(c.takenBack))) << c.name;
        EXPECT_EQ(out.events[0].players, ServerPlayerCapacity - 1) << c.name;
        EXPECT_EQ(out.events[1].kind, ServerEventKind::Joined) << c.name;
        EXPECT_EQ(out.events[1].players, ServerPlayerCapacity) << c.name;
    }
    // Fewer States count before an earlier join: id 0 is joined again last, silent, beside players
    // of one State each.
    server = {};
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        join(id, uint64_t(id));
        receive(id, state(0, 0, 0), 20);
    }
    receive(0, bye(), 25);
    ASSERT_EQ(join(50, 26), 0);
    EXPECT_EQ(join(99, 30), 0) << "the fewest States, though joined last";
}

TEST_F(ServerTest, IdsOnTrialAreFreedOneSecondAfterTheirJoin) {
    join(1, 1000);  // never answers
    join(2, 1000);
    receive(2, state(0, 0, 0), 1040);  // one State: still on trial
    join(3, 1000);
    confirm(3, 1040);
    serverTick(server, 2000, out);
    EXPECT_EQ(out.eventCount, 0) << "exactly a second is still on trial";
    serverTick(server, 2001, out);
    ASSERT_EQ(out.eventCount, 2);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::SentNoState);
    EXPECT_EQ(out.events[0].id, 0);
    EXPECT_EQ(out.events[1].id, 1);
    EXPECT_EQ(join(4, 2100), 0) << "the freed ids are free";
}

// A client whose id was taken back before its State arrived, or whose server restarted, is still
// sending States: the State itself joins it, and the Welcome tells it its new id.
TEST_F(ServerTest, StateFromAnAddressWithoutAnIdJoinsIt) {
    join(1, 0);
    receive(5, state(3, 0, -2), 10);
    EXPECT_EQ(welcomedId(), 1);
    ASSERT_EQ(out.eventCount, 1);
    EXPECT_EQ(out.events[0].kind, ServerEventKind::Joined);
    serverTick(server, 40, out);
    EXPECT_EQ(out.datagramCount, 0) << "the Welcome was that State's one answer: no roster besides";
    receive(5, state(3, 0, -2), 45);
    EXPECT_EQ(out.datagramCount, 0) << "welcomed once";
    serverTick(server, 80, out);
    RosterMessage roster = {};
    ASSERT_EQ(out.datagramCount, 1);
    ASSERT_TRUE(decodeRoster(out.datagrams[0].bytes, out.datagrams[0].length, roster));
    ASSERT_EQ(roster.count, 1);
    EXPECT_EQ(roster.records[0].id, 1);
    EXPECT_EQ(+roster.records[0].state.z, -2.0f);
}

TEST_F(ServerTest, SilentPlayersAreDroppedAfterFiveSeconds) {
    join(1, 1000);
    confirm(1, 1000);
    join(2, 1000);
    confirm(2, 1000);
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
    confirm(1, 90);
    confirm(2, 90);
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
    serverTick(server, 139, out);
    EXPECT_EQ(out.datagramCount, 0) << "not due yet";
    receive(1, state(1, 0, 2), 139);
    serverTick(server, 140, out);
    EXPECT_EQ(out.datagramCount, 1) << "due to the millisecond: 25 rosters a second";

    // Player 2 keeps sending; player 1 falls quiet for more than a second.
    receive(2, state(0, 0, 0), 1050);
    serverTick(server, 1101, out);
    ASSERT_EQ(out.datagramCount, 1);
    EXPECT_TRUE(samePeer(out.datagrams[0].to, peer(2)));
}

// A real client sends a State about every 33 ms, faster than rosters fall due, so one roster per
// State still gives it every roster.
TEST_F(ServerTest, RostersComeTwentyToThirtyTimesASecond) {
    for (uint64_t stateEveryMs : {5, 16, 33}) {
        server = {};
        join(1, 0);
        int rosters = 0;
        for (uint64_t now = 0; now < 1000; now += 1) {
            if (now % stateEveryMs == 0) receive(1, state(0, 0, 0), now);
            serverTick(server, now, out);
            rosters += out.datagramCount;
        }
        EXPECT_GE(rosters, 24) << "a State every " << stateEveryMs << " ms";
        EXPECT_LE(rosters, 26) << "a State every " << stateEveryMs << " ms";
    }
}

// A Hello and then a State every 1010 ms forged in a victim's name: the victim gets no more than one
// datagram back for each it was made to send, whatever the room holds. Its id runs out of trial
// before each next State, so each State joins it afresh and its Welcome must be that State's one
// answer.
TEST_F(ServerTest, ForgedStatesReflectAtMostOneDatagramEach) {
    for (int others : {0, 1, ServerPlayerCapacity - 1}) {
        server = {};
        for (int i = 0; i < others; ++i) {
            join(i, 0);
            confirm(i, 0);
        }
        int in = 0, back = 0;
        for (uint64_t now = 0; now < 6000; now += 5) {
            for (int i = 0; i < others; ++i) receive(i, state(1, 0, 1), now);
            if (now % 1010 == 0) {
                receive(77, now == 0 ? hello() : state(0, 0, 0), now);
                ++in;
                back += datagramsTo(77);
            }
            serverTick(server, now, out);
            back += datagramsTo(77);
        }
        EXPECT_LE(back, in) << back << " datagrams reflected for " << in << " with " << others << " others";
        EXPECT_GE(back, in - 1) << "the victim's own answers still come, one per State, with " << others;
    }
}

// Forged Hellos from ten thousand addresses a second fill the room with ids on trial; a real client
// still joins, is listed and gets its rosters.
TEST_F(ServerTest, RealClientJoinsDuringAFloodOfForgedHellos) {
    const int client = 5000000;
    int forged = 0;
    int ownId = -1;
    uint64_t listedAtMs = 0, lastHelloMs = 0;
    int rostersAfterListed = 0;
    for (uint64_t now = 1; now <= 3000; ++now) {
        for (int i = 0; i < 10; ++i) receive(forged++ % 60000, hello(), now);
        if (ownId < 0 && (lastHelloMs == 0 || now - lastHelloMs > HelloIntervalMs) && now >= 500) {
            lastHelloMs = now;
            if (join(client, now) >= 0) ownId = welcomedId();
        } else if (ownId >= 0 && now % 33 == 0) {
            receive(client, state(2, 0, 2), now);
            if (datagramsTo(client) && out.datagrams[0].bytes[0] == 'W') ownId = out.datagrams[0].bytes[1];
        }
        serverTick(server, now, out);
        for (int i = 0; i < out.datagramCount; ++i) {
            if (!samePeer(out.datagrams[i].to, peer(client))) continue;
            RosterMessage roster = {};
            ASSERT_TRUE(decodeRoster(out.datagrams[i].bytes, out.datagrams[i].length, roster));
            bool listed = roster.count == 1 && roster.records[0].id == ownId;
            if (listed && !listedAtMs) listedAtMs = now;
            rostersAfterListed += listedAtMs != 0;
        }
    }
    ASSERT_GE(ownId, 0) << "never welcomed";
    ASSERT_NE(listedAtMs, 0u) << "never listed";
    EXPECT_LE(listedAtMs, 500u + 250u) << "listed within a Hello interval of starting";
    EXPECT_GE(rostersAfterListed, int((3000 - listedAtMs) / RosterIntervalMs) - 2) << "every roster";
}

TEST_F(ServerTest, MalformedAndForeignDatagramsChangeNothing) {
    join(1, 0);
    receive(1, state(1, 1, 1), 10);
    receive(1, state(1, 1, 1), 10);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<uint8_t> longState = state(2, 2, 2);
    longState.push_back(0);
    std::vector<uint8_t> shortState = state(2, 2, 2);
    shortState.pop_back();
    const std::vector<uint8_t> junk[] = {
        {},           {'H'},     {'H', '1', 'Z', 'O', 'X'}, {'H', '1', 'Z', 'O', 'Q', 0}, longState,
        shortState,   state(nan, 0, 0), state(0, 0, std::numeric_limits<float>::infinity()),
        state(6.01f, 0, 0), state(0, 0, -6.01f), state(0, -0.01f, 0), state(0, 4.01f, 0), state(3.0e38f, 0, 0),
        {'B', 'B'},   {'W', 0},  {'R', 0},                  {'F'},                        std::vector<uint8_t>(512, 'S'),
    };
    for (const std::vector<uint8_t>& bytes : junk) {
        receive(1, bytes, 20);
        EXPECT_EQ(out.datagramCount, 0);
        EXPECT_EQ(out.eventCount, 0);
    }
    // A stranger's Bye, or its State from outside the room, does nothing either.
    receive(5, bye(), 20);
    EXPECT_EQ(out.eventCount, 0);
    receive(5, state(-7, 0, 0), 20);
    EXPECT_EQ(out.eventCount, 0);
    EXPECT_EQ(out.datagramCount, 0);

    serverTick(server, 100, out);
    ASSERT_EQ(out.datagramCount, 1);
    RosterMessage roster = {};
    ASSERT_TRUE(decodeRoster(out.datagrams[0].bytes, out.datagrams[0].length, roster));
    ASSERT_EQ(roster.count, 1);
    EXPECT_EQ(+roster.records[0].state.x, 1.0f) << "only the valid State counted";

    receive(1, state(-6, 4, 6), 200);  // the room's very edge and ceiling are still inside it
    serverTick(server, 200, out);
    ASSERT_TRUE(decodeRoster(out.datagrams[0].bytes, out.datagrams[0].length, roster));
    EXPECT_EQ(+roster.records[0].state.x, -6.0f);
    EXPECT_EQ(+roster.records[0].state.y, 4.0f);
}

TEST_F(ServerTest, ShutdownSaysServerByeToEveryJoinedPlayer) {
    join(1, 0);
    join(2, 0);
    join(3, 0);
    receive(2, bye(), 1);
    serverShutdown(server, out);
    ASSERT_EQ(out.datagramCount, 2);
    EXPECT_EQ(out.eventCount, 0) << "the Bye's leave line is not repeated";
    EXPECT_TRUE(samePeer(out.datagrams[0].to, peer(1)));
    EXPECT_TRUE(samePeer(out.datagrams[1].to, peer(3)));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(out.datagrams[i].length, 1u);
        EXPECT_EQ(out.datagrams[i].bytes[0], 'F');
    }
}

TEST_F(ServerTest, EachEventHasTheLineTheServerPrints) {
    struct Case {
        ServerEvent event;
        const char* name;
        const char* line;
    };
    const PeerAddress from = {0xC0A80107u, 50123};
    const Case cases[] = {
        {{ServerEventKind::Joined, 2, from, 3}, "joined", "player 2 joined (192.168.1.7:50123), 3 of 16 in the room"},
        {{ServerEventKind::Left, 15, from, 0}, "left", "player 15 left (192.168.1.7:50123), 0 of 16 in the room"},
        {{ServerEventKind::TimedOut, 0, from, 16}, "timed out",
         "player 0 timed out (192.168.1.7:50123), 16 of 16 in the room"},
        {{ServerEventKind::SentNoState, 4, from, 1}, "sent no State after its Welcome",
         "player 4 sent no State after its Welcome (192.168.1.7:50123), 1 of 16 in the room"},
        {{ServerEventKind::TurnedAway, -1, from, 16}, "turned away: the room is full",
         "192.168.1.7:50123 turned away: the room is full, 16 of 16 in the room"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(serverEventName(c.event.kind), c.name);
        char line[ServerEventLineCapacity];
        formatServerEvent(c.event, line, sizeof line);
        EXPECT_STREQ(line, c.line);
    }
}

// What the server prints for friends to type into "server.txt": every address of the machine with
// the port, each once, loopback last; the one address it listens on when it was given one.
TEST(JoinAddresses, TheMachinesAddressesWithThePortLoopbackLast) {
    struct Case {
        std::vector<uint32_t> machine;
        uint32_t listening;
        uint16_t port;
        int capacity;
        std::string printed;
    };
    const uint32_t lan = 0xC0A80114u, other = 0x0A000005u, loopback = 0x7F000001u, loopbackToo = 0x7F000102u;
    const Case cases[] = {
        {{loopback, lan, other}, 0, 27420, 16, "192.168.1.20:27420 10.0.0.5:27420 127.0.0.1:27420"},
        {{lan, loopbackToo, lan, loopback, 0, other, loopback}, 0, 27500, 16,
         "192.168.1.20:27500 10.0.0.5:27500 127.0.1.2:27500 127.0.0.1:27500"},
        {{loopback}, 0, 1, 16, "127.0.0.1:1"},
        {{}, 0, 27420, 16, ""},
        {{loopback, lan, other}, 0, 27420, 2, "192.168.1.20:27420 10.0.0.5:27420"},
        {{loopback, lan, other}, loopback, 27421, 16, "127.0.0.1:27421"},
        {{loopback, lan}, other, 27421, 16, "10.0.0.5:27421"},
        {{lan}, lan, 27421, 1, "192.168.1.20:27421"},
        {{lan}, lan, 27421, 0, ""},
    };
    for (const Case& c : cases) {
        PeerAddress addresses[JoinAddressCapacity];
        int count = addressesToJoin(c.machine.data(), int(c.machine.size()), c.listening, c.port, addresses, c.capacity);
        std::string printed;
        for (int i = 0; i < count; ++i) {
            char text[32];
            formatPeerAddress(addresses[i], text, sizeof text);
            if (i) printed += ' ';
            printed += text;
        }
        EXPECT_EQ(printed, c.printed) << c.printed;
    }
}

// Among ids on trial with as few States, the one joined longest ago goes first, whatever its id.
TEST_F(ServerTest, AmongEquallyTriedIdsTheLongestJoinedIsTakenBack) {
    struct Case {
        const char* name;
        uint64_t firstJoinMs, stepMs;  // id n joins at firstJoinMs + n * stepMs
        int rejoinLast;                // this id leaves and joins again after the others; -1 none
        int takenBack;
    };
    const Case cases[] = {
        {"all in the same millisecond: the lowest id", 5, 0, -1, 0},
        {"id 0 joined again last", 0, 1, 0, 1},
        {"id 3 joined again last", 0, 1, 3, 0},
    };
    for (const Case& c : cases) {
        server = {};
        for (int id = 0; id < ServerPlayerCapacity; ++id) ASSERT_EQ(join(id, c.firstJoinMs + uint64_t(id) * c.stepMs), id);
        if (c.rejoinLast >= 0) {
            receive(c.rejoinLast, bye(), 50);
            ASSERT_EQ(join(100, 60), c.rejoinLast);
        }
        EXPECT_EQ(join(99, 70), c.takenBack) << c.name;
    }
}

// Datagrams a network loses or delivers late: States that arrive after their sender's Bye bring back
// no ghost, while a Hello, and a State once the Bye is long past, still join; a client whose Welcome
// was lost learns its id from a later one.
TEST_F(ServerTest, StatesArrivingAfterTheirSendersByeBringNoGhost) {
    play(1, 0);
    play(2, 0);
    receive(2, bye(), 1000);
    // Sent before the Bye, held up on the way: each would otherwise join a player nobody plays.
    for (uint64_t late : {uint64_t(1100), uint64_t(1130), uint64_t(1160), uint64_t(3000)}) {
        receive(2, state(2, 0, 0), late);
        EXPECT_EQ(out.datagramCount, 0) << "no Welcome for a State " << late - 1000 << " ms after the Bye";
        EXPECT_EQ(out.eventCount, 0);
    }
    EXPECT_EQ(listedAfterStateFromPlayerOne(1200), 1) << "the roster lists player 1 alone";
}

TEST_F(ServerTest, AHelloFromAnAddressThatSaidByeJoinsAtOnce) {
    play(2, 0);
    receive(2, bye(), 1000);
    receive(2, hello(), 1010);
    EXPECT_GE(welcomedId(), 0);
    receive(2, state(2, 0, 0), 1040);
    EXPECT_EQ(out.datagramCount, 0) << "joined again: its States are a player's, answered by rosters";
}

TEST_F(ServerTest, AStateLongAfterTheByeJoinsLikeAnyNewAddress) {
    play(2, 0);
    receive(2, bye(), 1000);
    receive(2, state(2, 0, 0), 3001);
    EXPECT_GE(welcomedId(), 0) << "two seconds after the Bye a State joins, as after a server restart";
}

// Sixteen Byes are remembered; a seventeenth takes the place of the oldest, the first of equals.
TEST_F(ServerTest, MoreByesThanTheServerRemembersForgetTheOldestFirst) {
    struct Case {
        const char* name;
        uint64_t msBetweenByes;  // between the first sixteen Byes, which fill the memory
        int extraByes;           // then players 16, 17, ... join and say Bye, in turn
        std::vector<int> forgotten, remembered;
    };
    const Case cases[] = {
        {"sixteen Byes in one millisecond", 0, 1, {0}, {1, 15, 16}},
        {"Byes a millisecond apart", 1, 2, {0, 1}, {2, 15, 16, 17}},
    };
    for (const Case& c : cases) {
        server = {};
        for (int n = 0; n < ServerPlayerCapacity; ++n) play(n, 0);
        for (int n = 0; n < ServerPlayerCapacity; ++n) receive(n, bye(), 1000 + uint64_t(n) * c.msBetweenByes);
        for (int n = 0; n < c.extraByes; ++n) {
            play(ServerPlayerCapacity + n, 1100 + 2 * uint64_t(n));
            receive(ServerPlayerCapacity + n, bye(), 1101 + 2 * uint64_t(n));
        }
        for (int n : c.remembered) {
            receive(n, state(0, 0, 0), 1200);
            EXPECT_EQ(out.datagramCount, 0) << c.name << ": player " << n << "'s Bye is remembered";
        }
        for (int n : c.forgotten) {
            receive(n, state(0, 0, 0), 1200);
            EXPECT_GE(welcomedId(), 0) << c.name << ": player " << n << "'s Bye is forgotten";
        }
    }
}

// A server that has run for 58 days: Byes remembered at times past 32 bits of milliseconds are never
// taken for players, neither timed out, nor listed, nor sent rosters.
TEST_F(ServerTest, RememberedByesAreNeverTakenForPlayers) {
    const uint64_t start = 5000000000ull;
    for (int n = 1; n <= 3; ++n) play(n, start);
    receive(2, bye(), start + 10);
    receive(3, bye(), start + 20);
    receive(1, state(1, 0, 0), start + 100);
    serverTick(server, start + 100, out);
    EXPECT_EQ(out.eventCount, 0);
    ASSERT_EQ(out.datagramCount, 1) << "a roster to player 1 alone";
    EXPECT_TRUE(samePeer(out.datagrams[0].to, peer(1)));
    RosterMessage roster = {};
    ASSERT_TRUE(decodeRoster(out.datagrams[0].bytes, out.datagrams[0].length, roster));
    EXPECT_EQ(roster.count, 1);
}

TEST_F(ServerTest, EveryRecentByeIsRememberedNotOnlyTheLast) {
    for (int n = 0; n < ServerPlayerCapacity; ++n) play(n, 0);
    for (int n = 0; n < ServerPlayerCapacity; ++n) receive(n, bye(), 1000 + uint64_t(n));
    for (int n = 0; n < ServerPlayerCapacity; ++n) {
        receive(n, state(float(n), 0, 0), 1200);
        EXPECT_EQ(out.datagramCount, 0) << "player " << n << "'s late State";
    }
}

TEST_F(ServerTest, AClientWhoseWelcomeWasLostLearnsItsIdWithinASecond) {
    // After a server restart a client, joined in its own eyes, goes on sending States; the one
    // Welcome its first State earns is lost on the way.
    receive(3, state(3, 0, 0), 0);
    ASSERT_GE(welcomedId(), 0);
    const uint8_t id = out.datagrams[0].bytes[1];
    int welcomes = 0;
    uint64_t firstAgain = 0;
    for (uint64_t at = 50; at <= 3000; at += 50) {  // every tick has a roster due
        receive(3, state(3, 0, 0), at);
        bool welcomed = welcomedId() >= 0;
        if (welcomed) {
            EXPECT_EQ(out.datagrams[0].bytes[1], id);
            if (!welcomes++) firstAgain = at;
        }
        serverTick(server, at, out);
        EXPECT_EQ(welcomed + out.datagramCount, 1) << "one datagram back for the State at " << at;
    }
    EXPECT_EQ(firstAgain, WelcomeRepeatMs) << "the first State a repeat interval after the Welcome";
    EXPECT_EQ(welcomes, 3) << "at most one Welcome a second, however many States";
}
