// A bot's wish for the next movement step: walk towards a spot in the room, choose a new one on
// arrival, run, crouch and jump now and then. It only makes the input; the real movement step moves
// the bot, so bots walk, collide and jump exactly as players do.
#pragma once
#include <cstdint>

#include "world/movement.h"

constexpr float BotTurnRate = 3.0f;        // radians a second at most, so turns look like a player's
constexpr float BotArrivalDistance = 0.6f;  // metres from its goal at which a bot picks the next one
constexpr float BotGoalReach = 5.0f;        // goals lie within this of the room's centre on x and z

// One bot's intentions; the bots program keeps one per bot for its whole run.
struct BotMind {
    uint32_t random;  // the bot's own random sequence; any seed but 0
    float goalX, goalZ;
    float goalTime;    // seconds spent on this goal; a new one after a while even if not reached
    float crouchTime;  // seconds of crouching left
    bool running;
};

void startBotMind(BotMind& mind, uint32_t seed);

// The input for one step of dt seconds for a bot at player's pose.
MovementInput botInput(BotMind& mind, const LocalPlayer& player, float dt);
