// Bot steering: a random walk between spots in the room, with crouches and jumps sprinkled in.
#include "bots/bot_walk.h"

#include <cmath>

namespace {

constexpr float Pi = 3.14159265f;
constexpr float GoalPatience = 8.0f;  // seconds before a goal blocked by the walls is given up

// xorshift32: small, fast and the same on every platform.
float nextUnit(BotMind& mind) {
    uint32_t x = mind.random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    mind.random = x;
    return float(x >> 8) / float(1u << 24);
}

void pickGoal(BotMind& mind) {
    mind.goalX = (nextUnit(mind) * 2.0f - 1.0f) * BotGoalReach;
    mind.goalZ = (nextUnit(mind) * 2.0f - 1.0f) * BotGoalReach;
    mind.goalTime = 0.0f;
    mind.running = nextUnit(mind) < 0.3f;
}

}  // namespace

void startBotMind(BotMind& mind, uint32_t seed) {
    mind = BotMind{};
    mind.random = seed ? seed : 1u;
    pickGoal(mind);
}

MovementInput botInput(BotMind& mind, const LocalPlayer& player, float dt) {
    MovementInput input = {};
    input.playing = true;

    float dx = mind.goalX - player.x;
    float dz = mind.goalZ - player.z;
    mind.goalTime += dt;
    if (dx * dx + dz * dz < BotArrivalDistance * BotArrivalDistance || mind.goalTime > GoalPatience) {
        pickGoal(mind);
        dx = mind.goalX - player.x;
        dz = mind.goalZ - player.z;
    }

    // At yaw 0 the player faces -z: the heading towards (dx, dz) is atan2(-dx, -dz).
    float turn = std::atan2(-dx, -dz) - player.yaw;
    turn = std::remainder(turn, 2.0f * Pi);
    float most = BotTurnRate * dt;
    turn = turn > most ? most : turn < -most ? -most : turn;
    input.lookDeltaX = -turn / LookSensitivity;
    // Walk only when roughly facing the goal, so paths curve instead of sliding sideways.
    input.forward = std::fabs(std::remainder(std::atan2(-dx, -dz) - player.yaw - turn, 2.0f * Pi)) < 0.8f;
    input.run = mind.running;

    if (mind.crouchTime > 0.0f) {
        mind.crouchTime -= dt;
        input.crouch = true;
    } else if (nextUnit(mind) < 0.15f * dt) {  // about once in seven seconds
        mind.crouchTime = 0.8f + nextUnit(mind) * 1.5f;
    }
    input.jump = !input.crouch && nextUnit(mind) < 0.2f * dt;  // about once in five seconds
    return input;
}
