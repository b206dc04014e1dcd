// Remote players as the presence server reports them: one pose per server-assigned id, 16 slots.
// The frame loop smooths each active slot towards its target and draws it as a capsule.
#pragma once
#include <cstdint>

constexpr int RemotePlayerSlots = 16;

// One player's pose, packed exactly as it travels on the wire (17 bytes, little-endian). Its fields may
// sit at any address, so code copies them (unary + in tests) rather than binding references to them.
#pragma pack(push, 1)
struct PlayerState {
    float x, y, z;      // feet position, metres
    float yaw;          // heading, radians
    uint8_t crouching;  // nonzero while crouching
};
#pragma pack(pop)
static_assert(sizeof(PlayerState) == 17, "a pose is 17 packed bytes");

struct RemotePlayer {
    bool active;
    PlayerState target;  // last pose received, clamped to the room
    float smoothX, smoothY, smoothZ;
    float smoothHeight;
};

struct RemotePlayerTable {
    RemotePlayer slots[RemotePlayerSlots];
};
