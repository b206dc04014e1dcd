// The movement step, in a fixed order: look, grounded test, jump request, crouch, wanted velocity,
// acceleration, jump, gravity, move, then the room's limits and the eye height.
#include "world/movement.h"

#include <cmath>

#include "base/clamp.h"
#include "world/room_geometry.h"

void stepLocalPlayer(LocalPlayer& p, const MovementInput& input, float dt) {
    const bool playing = input.playing;
    const float startY = p.y;

    if (playing) {
        p.yaw -= input.lookDeltaX * LookSensitivity;
        p.pitch = clampTo(p.pitch - input.lookDeltaY * LookSensitivity, -PitchLimit, PitchLimit);
    }

    const bool grounded = startY <= 0.0f && p.vy <= GroundedTolerance;
    p.coyoteTime = grounded ? CoyoteWindow : std::fmax(p.coyoteTime - dt, 0.0f);
    p.jumpBuffer = playing && input.jump ? JumpRequestWindow : std::fmax(p.jumpBuffer - dt, 0.0f);
    p.crouching = playing && input.crouch;

    float wantX = 0.0f, wantZ = 0.0f;
    if (playing) {
        float speed = p.crouching ? CrouchingSpeed : input.run ? RunningSpeed : WalkingSpeed;
        float forwardX = -std::sin(p.yaw), forwardZ = -std::cos(p.yaw);
        float rightX = std::cos(p.yaw), rightZ = -std::sin(p.yaw);
        float along = float(input.forward) - float(input.backward);
        float across = float(input.right) - float(input.left);
        wantX = forwardX * along + rightX * across;
        wantZ = forwardZ * along + rightZ * across;
        float length = std::sqrt(wantX * wantX + wantZ * wantZ);
        if (length > 0.0f) {
            wantX *= speed / length;
            wantZ *= speed / length;
        }
    }

    // The horizontal velocity moves straight towards the wanted one, by at most limit this frame.
    float limit = (grounded ? GroundAcceleration : AirAcceleration) * dt;
    float dx = wantX - p.vx, dz = wantZ - p.vz;
    float change = std::sqrt(dx * dx + dz * dz);
    if (change > limit) {
        dx *= limit / change;
        dz *= limit / change;
    }
    p.vx += dx;
    p.vz += dz;

    if (grounded) p.vy = 0.0f;
    if (p.coyoteTime > 0.0f && p.jumpBuffer > 0.0f && p.vy < JumpSpeedGuard) {
        p.vy = JumpSpeed;
        p.coyoteTime = 0.0f;
        p.jumpBuffer = 0.0f;
    }
    if (startY > 0.0f || p.vy > 0.0f) p.vy -= Gravity * dt;

    p.x += p.vx * dt;
    p.z += p.vz * dt;
    p.y += p.vy * dt;

    // Only the velocity into a wall is lost, so the body slides along it.
    if (p.x < -PlayerWallLimit || p.x > PlayerWallLimit) {
        p.vx = 0.0f;
        p.x = clampTo(p.x, -PlayerWallLimit, PlayerWallLimit);
    }
    if (p.z < -PlayerWallLimit || p.z > PlayerWallLimit) {
        p.vz = 0.0f;
        p.z = clampTo(p.z, -PlayerWallLimit, PlayerWallLimit);
    }
    if (p.y < 0.0f) {
        p.y = 0.0f;
        p.vy = 0.0f;
    }
    float bodyHeight = p.crouching ? CrouchingBodyHeight : StandingBodyHeight;
    if (p.y + bodyHeight > RoomHeight) {
        p.y = RoomHeight - bodyHeight;
        p.vy = std::fmin(p.vy, 0.0f);
    }

    float eyeGoal = p.crouching ? CrouchingEyeHeight : StandingEyeHeight;
    p.eyeHeight += (eyeGoal - p.eyeHeight) * std::fmin(EyeEasingRate * dt, 1.0f);
}

void placeAtSpawn(LocalPlayer& p, uint64_t tickMs) {
    // Sixteen points pi/8 apart, the first at pi/16.
    float a = float(tickMs & 15) * 3.1415927f * 0.125f + 0.19634955f;
    p.x = SpawnRadius * std::sin(a);
    p.z = SpawnRadius * std::cos(a);
    p.yaw = a;
    p.y = p.vx = p.vy = p.vz = p.pitch = 0.0f;
    p.crouching = false;
    p.eyeHeight = StandingEyeHeight;
}
