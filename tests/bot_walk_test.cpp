// Bots driven through the real movement step for a simulated minute: they stay in the room, cover
// it, move no faster than a running player, turn smoothly, and crouch and jump now and then.
#include <gtest/gtest.h>

#include <cmath>

#include "bots/bot_walk.h"
#include "world/room_geometry.h"

TEST(BotWalk, AMinuteOfWalkingLooksLikeAPlayer) {
    for (uint32_t seed : {1u, 42u, 0xDEADBEEFu, 7777u}) {
        LocalPlayer player = {};
        placeAtSpawn(player, seed);
        BotMind mind;
        startBotMind(mind, seed);
        const float dt = 1.0f / 60.0f;
        float travelled = 0.0f, highest = 0.0f, fastest = 0.0f, sharpestTurn = 0.0f;
        int crouchedSteps = 0;
        bool quarters[4] = {};
        for (int step = 0; step < 60 * 60; ++step) {
            float x = player.x, z = player.z, yaw = player.yaw;
            stepLocalPlayer(player, botInput(mind, player, dt), dt);
            float moved = std::hypot(player.x - x, player.z - z);
            travelled += moved;
            fastest = std::fmax(fastest, moved / dt);
            sharpestTurn = std::fmax(sharpestTurn, std::fabs(player.yaw - yaw) / dt);
            highest = std::fmax(highest, player.y);
            crouchedSteps += player.crouching ? 1 : 0;
            ASSERT_LE(std::fabs(player.x), RoomHalfWidth) << seed;
            ASSERT_LE(std::fabs(player.z), RoomHalfWidth) << seed;
            quarters[(player.x > 0 ? 1 : 0) + (player.z > 0 ? 2 : 0)] = true;
        }
        EXPECT_GT(travelled, 60.0f) << "seed " << seed << ": a bot keeps walking";
        EXPECT_LE(fastest, RunningSpeed * 1.01f) << seed;
        EXPECT_LE(sharpestTurn, BotTurnRate * 1.01f) << seed;
        EXPECT_GT(highest, 0.5f) << "seed " << seed << ": jumped at least once";
        EXPECT_GT(crouchedSteps, 0) << "seed " << seed << ": crouched at least once";
        EXPECT_LT(crouchedSteps, 60 * 60 / 2) << "seed " << seed << ": but not most of the time";
        for (bool visited : quarters) EXPECT_TRUE(visited) << "seed " << seed << ": every quarter of the room";
    }
}
