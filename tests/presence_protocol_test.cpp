// The presence protocol without sockets: exact bytes on the wire, decoders refusing every wrong
// length without touching their output, the roster merge's edge cases and the address splitting.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "protocol/address.h"
#include "protocol/messages.h"
#include "protocol/presence_session.h"
#include "protocol/roster_merge.h"

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();
const float Infinity = std::numeric_limits<float>::infinity();

std::vector<uint8_t> rosterBytes(const std::vector<RosterRecord>& records) {
    RosterMessage roster = {};
    roster.count = int(records.size());
    for (size_t i = 0; i < records.size(); ++i) roster.records[i] = records[i];
    std::vector<uint8_t> bytes(PresenceDatagramCapacity);
    bytes.resize(encodeRoster(roster, bytes.data(), bytes.size()));
    return bytes;
}

RosterMessage rosterOf(const std::vector<RosterRecord>& records) {
    RosterMessage roster = {};
    roster.count = int(records.size());
    for (size_t i = 0; i < records.size(); ++i) roster.records[i] = records[i];
    return roster;
}

}  // namespace

TEST(PresenceProtocol, StateIsLittleEndianWhateverTheHost) {
    uint8_t bytes[StateLength];
    encodeState(PlayerState{1.0f, -2.0f, 0.5f, 3.14159274f, 1}, bytes);
    const uint8_t expected[StateLength] = {'S',  0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0xC0,
                                           0x00, 0x00, 0x00, 0x3F, 0xDB, 0x0F, 0x49, 0x40, 0x01};
    EXPECT_EQ(0, std::memcmp(bytes, expected, StateLength));

    PlayerState decoded = {};
    ASSERT_TRUE(decodeState(expected, StateLength, decoded));
    EXPECT_EQ(+decoded.x, 1.0f);
    EXPECT_EQ(+decoded.y, -2.0f);
    EXPECT_EQ(+decoded.z, 0.5f);
    EXPECT_EQ(+decoded.yaw, 3.14159274f);
    EXPECT_EQ(+decoded.crouching, 1);
}

TEST(PresenceProtocol, FixedMessagesHaveTheirExactBytes) {
    uint8_t hello[HelloLength];
    encodeHello(hello);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(hello), HelloLength), "H1ZOQ");
    uint8_t bye[ByeLength];
    encodeBye(bye);
    EXPECT_EQ(bye[0], 'B');
    uint8_t welcome[WelcomeLength];
    encodeWelcome(7, welcome);
    EXPECT_EQ(welcome[0], 'W');
    EXPECT_EQ(welcome[1], 7);
    uint8_t serverBye[ServerByeLength];
    encodeServerBye(serverBye);
    EXPECT_EQ(serverBye[0], 'F');
}

TEST(PresenceProtocol, RosterRecordsSitAtTwoPlusEighteenTimesTheirIndex) {
    std::vector<uint8_t> bytes = rosterBytes({{3, {1, 2, 3, 4, 0}}, {9, {-1.0f, 0, 0, 0, 1}}});
    ASSERT_EQ(bytes.size(), 2u + 2 * 18);
    EXPECT_EQ(bytes[0], 'R');
    EXPECT_EQ(bytes[1], 2);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(bytes[20], 9);
    EXPECT_EQ(bytes[24], 0xBF) << "the top byte of -1.0f, last of the second record's x";
    EXPECT_EQ(bytes[37], 1) << "the second record's crouching byte";

    RosterMessage decoded = {};
    ASSERT_TRUE(decodeRoster(bytes.data(), bytes.size(), decoded));
    ASSERT_EQ(decoded.count, 2);
    EXPECT_EQ(decoded.records[1].id, 9);
    EXPECT_EQ(+decoded.records[1].state.x, -1.0f);
    EXPECT_EQ(+decoded.records[0].state.z, 3.0f);
}

TEST(PresenceProtocol, DecodersRefuseWrongLengthsAndTypesAndTouchNothing) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> twoRecords = rosterBytes({{1, {}}, {2, {}}});
    std::vector<uint8_t> roster = twoRecords;
    roster.push_back(0);
    std::vector<uint8_t> shortRoster(twoRecords.begin(), twoRecords.end() - 1);
    std::vector<uint8_t> countSaysThree = twoRecords;
    countSaysThree[1] = 3;
    std::vector<uint8_t> countSaysOne = twoRecords;
    countSaysOne[1] = 1;
    // 29 records would fit a count byte but not the 512-byte datagram limit.
    std::vector<uint8_t> tooMany(2 + 18 * 29, 0);
    tooMany[0] = 'R';
    tooMany[1] = 29;
    const Case cases[] = {
        {"empty", {}},
        {"roster of one byte", {'R'}},
        {"roster one byte long", roster},
        {"roster one byte short", shortRoster},
        {"roster count says three, two records", countSaysThree},
        {"roster count says one, two records", countSaysOne},
        {"roster of 29 records", tooMany},
        {"welcome of three bytes", {'W', 1, 0}},
        {"welcome of one byte", {'W'}},
        {"welcome with id 16", {'W', 16}},
        {"welcome with id 255", {'W', 255}},
        {"state of 17 bytes", std::vector<uint8_t>(17, 'S')},
        {"state of 19 bytes", std::vector<uint8_t>(19, 'S')},
        {"a Welcome's length and an empty roster's, typed S", {'S', 0}},
        {"a State's length, typed W", std::vector<uint8_t>(18, 'W')},
    };
    for (const Case& c : cases) {
        RosterMessage rosterOut = {};
        rosterOut.count = 77;
        uint8_t id = 99;
        PlayerState state = {5, 5, 5, 5, 5};
        const uint8_t* data = c.bytes.data();
        EXPECT_FALSE(decodeRoster(data, c.bytes.size(), rosterOut)) << c.what;
        EXPECT_FALSE(decodeWelcome(data, c.bytes.size(), id)) << c.what;
        EXPECT_FALSE(decodeState(data, c.bytes.size(), state)) << c.what;
        EXPECT_EQ(rosterOut.count, 77) << c.what;
        EXPECT_EQ(id, 99) << c.what;
        EXPECT_EQ(state.x, 5.0f) << c.what;
        EXPECT_EQ(state.crouching, 5) << c.what;
    }
}

TEST(PresenceProtocol, HelloByeAndServerByeAreRecognisedExactly) {
    struct Case {
        std::string bytes;
        bool hello, bye, serverBye;
    };
    const Case cases[] = {
        {"H1ZOQ", true, false, false},  {"H1ZOQ!", false, false, false}, {"H1ZO", false, false, false},
        {"H1ZOX", false, false, false}, {"h1ZOQ", false, false, false},  {"B", false, true, false},
        {"BB", false, false, false},    {"F", false, false, true},       {"Fwhatever", false, false, true},
        {"", false, false, false},
    };
    for (const Case& c : cases) {
        const uint8_t* data = reinterpret_cast<const uint8_t*>(c.bytes.data());
        EXPECT_EQ(decodeHello(data, c.bytes.size()), c.hello) << c.bytes;
        EXPECT_EQ(decodeBye(data, c.bytes.size()), c.bye) << c.bytes;
        EXPECT_EQ(decodeServerBye(data, c.bytes.size()), c.serverBye) << c.bytes;
    }
    // No bytes are no ServerBye, whatever lies beyond them.
    EXPECT_FALSE(decodeServerBye(reinterpret_cast<const uint8_t*>("F"), 0));
}

TEST(PresenceProtocol, RosterThatDoesNotFitIsNotEncoded) {
    struct Case {
        int count;
        size_t capacity, length;
    };
    const Case cases[] = {
        {3, 38, 0}, {2, 38, 38},           // a buffer with room for two records
        {28, 512, 506}, {29, 1024, 0},     // the most one datagram carries, whatever the buffer
        {-1, 512, 0},
    };
    for (const Case& c : cases) {
        RosterMessage roster = {};
        roster.count = c.count;
        std::vector<uint8_t> bytes(c.capacity);
        EXPECT_EQ(encodeRoster(roster, bytes.data(), c.capacity), c.length) << c.count << " records in " << c.capacity;
    }
}

TEST(PresenceSession, EachServerDatagramSaysWhatItDid) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        ServerDatagramEffect effect;
    };
    const Case cases[] = {
        {"Welcome", {'W', 3}, ServerDatagramEffect::Welcomed},
        {"Roster", rosterBytes({{1, {}}}), ServerDatagramEffect::RosterMerged},
        {"ServerBye", {'F'}, ServerDatagramEffect::ServerBye},
        {"short Welcome", {'W'}, ServerDatagramEffect::Ignored},
        {"short Roster", {'R'}, ServerDatagramEffect::Ignored},
        {"Hello", {'H', '1', 'Z', 'O', 'Q'}, ServerDatagramEffect::Ignored},
    };
    for (const Case& c : cases) {
        PresenceClient client;
        RemotePlayerTable table = {};
        EXPECT_EQ(applyServerDatagram(client, table, c.bytes.data(), c.bytes.size(), 100), c.effect) << c.what;
    }
    const uint8_t goodbye[] = {'F'};
    PresenceClient client;
    RemotePlayerTable table = {};
    EXPECT_EQ(applyServerDatagram(client, table, goodbye, 0, 100), ServerDatagramEffect::Ignored)
        << "an empty datagram, whatever the buffer held before";
}

// The timetable of a fresh client, to the millisecond: Hellos while joining, States once welcomed,
// and back to joining when the server falls silent.
TEST(PresenceSession, TheTimetableToTheMillisecond) {
    struct Step {
        uint64_t nowMs;
        bool welcome;  // a Welcome arrives just before the client asks what is due
        DueMessage due;
        bool connected;
    };
    const Step steps[] = {
        {250, false, DueMessage::Nothing, false}, {251, false, DueMessage::Hello, false},
        {501, false, DueMessage::Nothing, false}, {502, false, DueMessage::Hello, false},
        {1000, true, DueMessage::State, true},    {1032, false, DueMessage::Nothing, true},
        {1033, false, DueMessage::State, true},   {1065, false, DueMessage::Nothing, true},
        {1066, false, DueMessage::State, true},   {5990, false, DueMessage::State, true},
        {6000, false, DueMessage::Nothing, true},  // 5000 ms unheard: still joined
        {6030, false, DueMessage::Nothing, false}, // 5030 ms: gives up, though a State was due
        {6031, false, DueMessage::Hello, false},
    };
    PresenceClient client;
    RemotePlayerTable table = {};
    const uint8_t welcome[] = {'W', 3};
    for (const Step& step : steps) {
        if (step.welcome) applyServerDatagram(client, table, welcome, sizeof welcome, step.nowMs);
        EXPECT_EQ(takeDueMessage(client, table, step.nowMs), step.due) << "at " << step.nowMs;
        EXPECT_EQ(client.connected, step.connected) << "at " << step.nowMs;
    }
    EXPECT_EQ(client.ownId, -1) << "no id after giving up";
}

TEST(PresenceSession, ANewlyWelcomedClientSendsItsFirstStateAfter33Ms) {
    for (uint64_t nowMs : {32, 33}) {
        PresenceClient client;
        RemotePlayerTable table = {};
        const uint8_t welcome[] = {'W', 3};
        applyServerDatagram(client, table, welcome, sizeof welcome, 0);
        EXPECT_EQ(takeDueMessage(client, table, nowMs), nowMs == 33 ? DueMessage::State : DueMessage::Nothing);
    }
}

TEST(PresenceSession, LeavingDropsTheIdTheTableAndTheSocketButKeepsTheTimes) {
    PresenceClient client;
    client.socket = 7;
    client.lastHelloMs = 11, client.lastSendMs = 12, client.lastHeardMs = 13;
    RemotePlayerTable table = {};
    const uint8_t welcome[] = {'W', 3};
    applyServerDatagram(client, table, welcome, sizeof welcome, 13);
    mergeRoster(table, rosterOf({{5, {1, 0, 1, 0, 0}}}), 3);
    resetPresenceClient(client, table);
    EXPECT_EQ(client.socket, NoSocket);
    EXPECT_FALSE(client.connected);
    EXPECT_EQ(client.ownId, -1);
    EXPECT_FALSE(table.slots[5].active);
    EXPECT_EQ(+table.slots[5].target.x, 0.0f);
    EXPECT_EQ(client.lastHelloMs, 11u);
    EXPECT_EQ(client.lastSendMs, 12u);
    EXPECT_EQ(client.lastHeardMs, 13u);
}

TEST(RosterMerge, ClampsPosesIntoTheRoomAndKeepsYaw) {
    struct Case {
        PlayerState received;
        PlayerState stored;
    };
    const Case cases[] = {
        {{100, 1, 0, 0, 0}, {6, 1, 0, 0, 0}},         {{-100, 1, -7, 0, 0}, {-6, 1, -6, 0, 0}},
        {{0, -1, 0, 0, 0}, {0, 0, 0, 0, 0}},          {{0, 10, 0, 0, 0}, {0, 4, 0, 0, 0}},
        {{1, 2, 3, 1000, 1}, {1, 2, 3, 1000, 1}},     {{0, 0, 0, Infinity, 7}, {0, 0, 0, Infinity, 7}},
        {{5.5f, 3.9f, -5.5f, 0, 0}, {5.5f, 3.9f, -5.5f, 0, 0}},
    };
    for (const Case& c : cases) {
        RemotePlayerTable table = {};
        mergeRoster(table, rosterOf({{4, c.received}}), -1);
        const RemotePlayer& slot = table.slots[4];
        ASSERT_TRUE(slot.active);
        EXPECT_EQ(+slot.target.x, +c.stored.x);
        EXPECT_EQ(+slot.target.y, +c.stored.y);
        EXPECT_EQ(+slot.target.z, +c.stored.z);
        EXPECT_EQ(+slot.target.yaw, +c.stored.yaw);
        EXPECT_EQ(+slot.target.crouching, +c.stored.crouching);
        EXPECT_EQ(slot.smoothX, +c.stored.x) << "a new slot is drawn at its target at once";
        EXPECT_EQ(slot.smoothY, +c.stored.y);
        EXPECT_EQ(slot.smoothZ, +c.stored.z);
        EXPECT_EQ(slot.smoothHeight, 1.8f);
    }
}

TEST(RosterMerge, SkippedRecordsLeaveTheirSlotInactive) {
    struct Case {
        const char* what;
        RosterRecord record;
        int ownId;
    };
    const Case cases[] = {
        {"own id", {5, {1, 0, 1, 0, 0}}, 5},     {"x NaN", {5, {NaN, 0, 1, 0, 0}}, -1},
        {"y NaN", {5, {1, NaN, 1, 0, 0}}, -1},   {"z infinite", {5, {1, 0, -Infinity, 0, 0}}, -1},
        {"id 16", {16, {1, 0, 1, 0, 0}}, -1},    {"id 255", {255, {1, 0, 1, 0, 0}}, -1},
    };
    for (const Case& c : cases) {
        RemotePlayerTable table = {};
        mergeRoster(table, rosterOf({{5, {2, 0, 2, 0, 0}}}), -1);
        ASSERT_TRUE(table.slots[5].active);
        mergeRoster(table, rosterOf({c.record}), c.ownId);
        for (int id = 0; id < RemotePlayerSlots; ++id) EXPECT_FALSE(table.slots[id].active) << c.what << " slot " << id;
    }
}

TEST(RosterMerge, ActiveSlotKeepsItsSmoothingAndTheLastRecordWins) {
    RemotePlayerTable table = {};
    mergeRoster(table, rosterOf({{2, {1, 0, 1, 0, 0}}}), 0);
    table.slots[2].smoothX = 1.5f;
    table.slots[2].smoothHeight = 1.2f;
    mergeRoster(table, rosterOf({{2, {3, 0, 3, 0, 0}}, {2, {4, 1, -4, 2, 1}}, {7, {-1, 0, 0, 0, 0}}}), 0);
    EXPECT_EQ(+table.slots[2].target.x, 4.0f);
    EXPECT_EQ(+table.slots[2].target.z, -4.0f);
    EXPECT_EQ(+table.slots[2].target.crouching, 1);
    EXPECT_EQ(table.slots[2].smoothX, 1.5f) << "an active avatar glides, it does not jump";
    EXPECT_EQ(table.slots[2].smoothHeight, 1.2f);
    EXPECT_TRUE(table.slots[7].active);

    RemotePlayerTable twice = {};
    mergeRoster(twice, rosterOf({{6, {1, 0, 1, 0, 0}}, {6, {2, 0, 2, 0, 0}}}), -1);
    EXPECT_EQ(+twice.slots[6].target.x, 2.0f);
    EXPECT_EQ(twice.slots[6].smoothX, 1.0f) << "seeded by the first record only";

    mergeRoster(table, rosterOf({{0, {1, 0, 1, 0, 0}}}), 2);
    EXPECT_TRUE(table.slots[0].active);
    EXPECT_FALSE(table.slots[7].active) << "not listed again";
    mergeRoster(table, rosterOf({}), 0);
    for (int id = 0; id < RemotePlayerSlots; ++id) EXPECT_FALSE(table.slots[id].active) << id;
    EXPECT_EQ(+table.slots[2].target.x, 4.0f) << "an inactive slot keeps its last values";
}

TEST(PresenceAddress, SplitsAtTheLastColon) {
    struct Case {
        const char* address;
        const char* host;
        const char* port;
    };
    const Case cases[] = {
        {"192.168.1.20:27500", "192.168.1.20", "27500"},
        {"example.invalid", "example.invalid", "27420"},
        {"127.0.0.1:", "127.0.0.1", ""},
        {"a:b:c:99", "a:b:c", "99"},
        {":5", "", "5"},
        {"", "", "27420"},
        {"host name:port text", "host name", "port text"},
    };
    for (const Case& c : cases) {
        SplitAddress split = {};
        ASSERT_TRUE(splitPresenceAddress(c.address, split)) << c.address;
        EXPECT_STREQ(split.host, c.host) << c.address;
        EXPECT_STREQ(split.port, c.port) << c.address;
    }
}

TEST(PresenceAddress, WithoutAPortTheClientAsksWhereTheServerListens) {
    EXPECT_EQ(std::to_string(DefaultPresencePort), DefaultPresencePortText);
}

TEST(PresenceAddress, TooLongPartsAreRefusedUntouched) {
    std::string longHost(256, 'a');
    std::string longPort = "h:" + std::string(32, '1');
    std::string longestHost(255, 'b');
    for (const std::string& address : {longHost, longHost + ":1", longPort}) {
        SplitAddress split;
        std::strcpy(split.host, "kept");
        EXPECT_FALSE(splitPresenceAddress(address.c_str(), split)) << address.size();
        EXPECT_STREQ(split.host, "kept");
    }
    SplitAddress split;
    EXPECT_TRUE(splitPresenceAddress((longestHost + ":1").c_str(), split));
    EXPECT_EQ(std::strlen(split.host), 255u);
    EXPECT_TRUE(splitPresenceAddress(("h:" + std::string(31, '2')).c_str(), split));
    EXPECT_EQ(std::strlen(split.port), 31u);
}

TEST(PresenceAddress, OnlyPlainDottedQuadsSkipTheNameLookup) {
    struct Case {
        const char* host;
        bool numeric;
    };
    const Case cases[] = {
        {"127.0.0.1", true},       {"192.0.2.10", true},     {"255.255.255.255", true}, {"0.0.0.0", true},
        {"256.0.0.1", false},      {"999.1.1.1", false},     {"1.2.3", false},          {"1.2.3.4.5", false},
        {"1..2.3", false},         {"1.2.3.", false},        {".1.2.3", false},         {"", false},
        {"localhost", false},      {"play.example.org", false}, {"010.0.0.1", false},   {"08.0.0.1", false},
        {"1.2.3.0004", false},     {"1.2.3.4 ", false},      {"1.2.3.4x", false},       {"-1.2.3.4", false},
        {"1a2.3.4", false},        {"1.2:3.4", false},       {"12345678901234567890.1.1.1", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isNumericIpv4Host(c.host), c.numeric) << '"' << c.host << '"';
}
