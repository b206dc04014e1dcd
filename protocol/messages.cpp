// Presence messages written and read byte by byte, so the wire stays little-endian on any host and
// no read is ever unaligned.
#include "protocol/messages.h"

#include <cstring>

namespace {

const uint8_t HelloBytes[HelloLength] = {HelloType, '1', 'Z', 'O', 'Q'};

void writeFloat(uint8_t* out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    out[0] = uint8_t(bits);
    out[1] = uint8_t(bits >> 8);
    out[2] = uint8_t(bits >> 16);
    out[3] = uint8_t(bits >> 24);
}

float readFloat(const uint8_t* in) {
    uint32_t bits = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

// The 17 bytes of a pose, shared by State and each roster record.
void writePose(uint8_t* out, const PlayerState& state) {
    writeFloat(out, state.x);
    writeFloat(out + 4, state.y);
    writeFloat(out + 8, state.z);
    writeFloat(out + 12, state.yaw);
    out[16] = state.crouching;
}

PlayerState readPose(const uint8_t* in) {
    PlayerState state;
    state.x = readFloat(in);
    state.y = readFloat(in + 4);
    state.z = readFloat(in + 8);
    state.yaw = readFloat(in + 12);
    state.crouching = in[16];
    return state;
}

}  // namespace

void encodeHello(uint8_t (&out)[HelloLength]) { std::memcpy(out, HelloBytes, HelloLength); }

bool decodeHello(const uint8_t* data, size_t length) {
    return length == HelloLength && std::memcmp(data, HelloBytes, HelloLength) == 0;
}

void encodeWelcome(uint8_t id, uint8_t (&out)[WelcomeLength]) {
    out[0] = WelcomeType;
    out[1] = id;
}

bool decodeWelcome(const uint8_t* data, size_t length, uint8_t& id) {
    if (length != WelcomeLength || data[0] != WelcomeType || data[1] >= RemotePlayerSlots) return false;
    id = data[1];
    return true;
}

size_t encodeRoster(const RosterMessage& roster, uint8_t* out, size_t capacity) {
    if (roster.count < 0 || roster.count > RosterRecordCapacity) return 0;
    size_t length = RosterHeaderLength + RosterRecordLength * size_t(roster.count);
    if (length > capacity) return 0;
    out[0] = RosterType;
    out[1] = uint8_t(roster.count);
    for (int i = 0; i < roster.count; ++i) {
        uint8_t* record = out + RosterHeaderLength + RosterRecordLength * size_t(i);
        record[0] = roster.records[i].id;
        writePose(record + 1, roster.records[i].state);
    }
    return length;
}

bool decodeRoster(const uint8_t* data, size_t length, RosterMessage& out) {
    if (length < RosterHeaderLength || data[0] != RosterType) return false;
    int count = data[1];
    if (count > RosterRecordCapacity || length != RosterHeaderLength + RosterRecordLength * size_t(count)) return false;
    out.count = count;
    for (int i = 0; i < count; ++i) {
        const uint8_t* record = data + RosterHeaderLength + RosterRecordLength * size_t(i);
        out.records[i].id = record[0];
        out.records[i].state = readPose(record + 1);
    }
    return true;
}

void encodeState(const PlayerState& state, uint8_t (&out)[StateLength]) {
    out[0] = StateType;
    writePose(out + 1, state);
}

bool decodeState(const uint8_t* data, size_t length, PlayerState& out) {
    if (length != StateLength || data[0] != StateType) return false;
    out = readPose(data + 1);
    return true;
}

void encodeBye(uint8_t (&out)[ByeLength]) { out[0] = ByeType; }

bool decodeBye(const uint8_t* data, size_t length) { return length == ByeLength && data[0] == ByeType; }

void encodeServerBye(uint8_t (&out)[ServerByeLength]) { out[0] = ServerByeType; }

bool decodeServerBye(const uint8_t* data, size_t length) { return length >= 1 && data[0] == ServerByeType; }
