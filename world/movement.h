// The local player's movement: one pure step over the player, the held keys and the mouse motion,
// so tests and the bots drive the very physics the client runs. Keyboard and mouse reach it as plain
// values; the client reads them from SDL.
#pragma once
#include <cstdint>

#include "world/body.h"
#include "world/player.h"

constexpr float LookSensitivity = 0.0022f;  // radians per unit of relative mouse motion
constexpr float PitchLimit = 1.5f;
constexpr float WalkingSpeed = 4.0f;
constexpr float RunningSpeed = 6.5f;
constexpr float CrouchingSpeed = 2.0f;
constexpr float GroundAcceleration = 45.0f;
constexpr float AirAcceleration = 10.0f;
constexpr float Gravity = 14.715f;
constexpr float JumpSpeed = 5.5f;
constexpr float JumpSpeedGuard = 2.0f;  // no jump while rising this fast or faster
constexpr float CoyoteWindow = 0.1f;
constexpr float JumpRequestWindow = 0.12f;
constexpr float GroundedTolerance = 0.01f;
constexpr float EyeEasingRate = 12.0f;

// The keys held this frame and the mouse motion summed since the last step. playing is false while
// paused: the input is then ignored but the body still obeys its physics.
struct MovementInput {
    bool playing;
    bool forward, backward, left, right;
    bool run, crouch, jump;
    float lookDeltaX, lookDeltaY;
};

// Advances the player by dt seconds (at most 0.05): look, jump timing, crouch, acceleration towards
// the wanted velocity, gravity, and the room's walls, floor and ceiling.
void stepLocalPlayer(LocalPlayer& player, const MovementInput& input, float dt);

// Places the player on the spawn circle (radius 2.5, facing the room's centre) at one of 16 points
// chosen by the tick count. Jump timing is left as it was.
void placeAtSpawn(LocalPlayer& player, uint64_t tickMs);
