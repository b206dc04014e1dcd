// The presence protocol: one UDP datagram is one message, byte 0 its type letter, its length the
// datagram's length. Encoders and decoders over plain bytes; no sockets here, so tests and fuzzers
// reach all of it directly.
#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/remote_players.h"

constexpr uint16_t DefaultPresencePort = 27420;
constexpr const char* DefaultPresencePortText = "27420";

// The longest datagram either side processes; anything longer is dropped unread.
constexpr size_t PresenceDatagramCapacity = 512;

constexpr uint8_t HelloType = 'H';
constexpr uint8_t WelcomeType = 'W';
constexpr uint8_t RosterType = 'R';
constexpr uint8_t StateType = 'S';
constexpr uint8_t ByeType = 'B';
constexpr uint8_t ServerByeType = 'F';

constexpr size_t HelloLength = 5;
constexpr size_t WelcomeLength = 2;
constexpr size_t RosterHeaderLength = 2;
constexpr size_t RosterRecordLength = 18;
constexpr size_t StateLength = 18;
constexpr size_t ByeLength = 1;
constexpr size_t ServerByeLength = 1;

// The most records a roster within PresenceDatagramCapacity can carry.
constexpr int RosterRecordCapacity = int((PresenceDatagramCapacity - RosterHeaderLength) / RosterRecordLength);

struct RosterRecord {
    uint8_t id;
    PlayerState state;
};

struct RosterMessage {
    int count;
    RosterRecord records[RosterRecordCapacity];
};

// Hello, client to server, always the five bytes "H1ZOQ":
//   offset width field
//   0      1     'H'
//   1      4     protocol magic, the ASCII bytes '1' 'Z' 'O' 'Q' in this order
void encodeHello(uint8_t (&out)[HelloLength]);
bool decodeHello(const uint8_t* data, size_t length);

// Welcome, server to client:
//   offset width field
//   0      1     'W'
//   1      1     id given to the receiving client (u8), below RemotePlayerSlots
// Decoding fails, leaving id untouched, unless the length is exactly 2 and the id is below 16.
void encodeWelcome(uint8_t id, uint8_t (&out)[WelcomeLength]);
bool decodeWelcome(const uint8_t* data, size_t length, uint8_t& id);

// Roster, server to client, every listed player's pose:
//   offset      width field
//   0           1     'R'
//   1           1     count of records (u8)
//   2 + 18 * i  18    record i, for i from 0 to count - 1:
//     +0        1       player id (u8)
//     +1        4       x (f32, little-endian)
//     +5        4       y (f32), feet height
//     +9        4       z (f32)
//     +13       4       yaw (f32)
//     +17       1       crouching (u8)
// The length must be exactly 2 + 18 * count and count at most RosterRecordCapacity, else decoding
// fails and out is untouched. Ids and coordinates are passed on as received: the merge judges them.
// Encoding returns the length written, 0 when the roster does not fit in capacity bytes.
size_t encodeRoster(const RosterMessage& roster, uint8_t* out, size_t capacity);
bool decodeRoster(const uint8_t* data, size_t length, RosterMessage& out);

// State, client to server, the sender's own pose:
//   offset width field
//   0      1     'S'
//   1      4     x (f32, little-endian)
//   5      4     y (f32), feet height
//   9      4     z (f32)
//   13     4     yaw (f32)
//   17     1     crouching (u8): 1 while crouching, else 0
// Decoding fails, leaving out untouched, unless the length is exactly 18.
void encodeState(const PlayerState& state, uint8_t (&out)[StateLength]);
bool decodeState(const uint8_t* data, size_t length, PlayerState& out);

// Bye, client to server: the single byte 'B'.
void encodeBye(uint8_t (&out)[ByeLength]);
bool decodeBye(const uint8_t* data, size_t length);

// ServerBye, server to client: byte 0 is 'F'; any further bytes are ignored.
void encodeServerBye(uint8_t (&out)[ServerByeLength]);
bool decodeServerBye(const uint8_t* data, size_t length);
