// The local player's pose and motion. The movement step that advances it each frame lives beside it.
#pragma once
#include "world/body.h"

struct LocalPlayer {
    float x, y, z;  // y: feet above the floor
    float eyeHeight = StandingEyeHeight;
    float vx, vy, vz;
    float yaw;    // 0 looks towards -z
    float pitch;  // positive looks up, within -1.5 .. 1.5
    float coyoteTime;
    float jumpBuffer;
    bool crouching;
};

extern LocalPlayer localPlayer;
