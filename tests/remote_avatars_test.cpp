// Remote avatars in the frame: easing towards the reported pose, crouch height, slot colours and
// inactive slots.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/remote_avatars.h"
#include "world/room_geometry.h"

namespace {

std::unique_ptr<SceneMesh> emptyMesh() {
    auto mesh = std::make_unique<SceneMesh>();
    mesh->count = 0;
    return mesh;
}

RemotePlayer activeAt(float x, float z, bool crouching) {
    RemotePlayer slot = {};
    slot.active = true;
    slot.target = {x, 0.0f, z, 0.0f, uint8_t(crouching ? 1 : 0)};
    slot.smoothHeight = StandingBodyHeight;
    return slot;
}

}  // namespace

TEST(RemoteAvatars, MoveAQuarterOfTheWayAtSixtyFramesPerSecond) {
    RemotePlayerTable table = {};
    table.slots[0] = activeAt(4.0f, -8.0f, false);
    auto mesh = emptyMesh();
    smoothAndAppendAvatars(table, 1.0f / 60.0f, *mesh);
    EXPECT_FLOAT_EQ(table.slots[0].smoothX, 1.0f);
    EXPECT_FLOAT_EQ(table.slots[0].smoothZ, -2.0f);
    EXPECT_EQ(mesh->count, CapsuleVertexCount);
}

TEST(RemoteAvatars, NeverLandOnTheTargetInOneFrame) {
    RemotePlayerTable table = {};
    table.slots[5] = activeAt(4.0f, 0.0f, false);
    auto mesh = emptyMesh();
    smoothAndAppendAvatars(table, 0.05f, *mesh);
    EXPECT_FLOAT_EQ(table.slots[5].smoothX, 3.0f) << "dt is at most 0.05, so a step covers three quarters";
}

TEST(RemoteAvatars, CrouchingShrinksTowardsTheCrouchHeight) {
    RemotePlayerTable table = {};
    table.slots[2] = activeAt(0.0f, 0.0f, true);
    auto mesh = emptyMesh();
    for (int frame = 0; frame < 120; ++frame) {
        mesh->count = 0;
        smoothAndAppendAvatars(table, 1.0f / 60.0f, *mesh);
    }
    EXPECT_NEAR(table.slots[2].smoothHeight, CrouchingBodyHeight, 1e-4f);
    float highest = 0.0f;
    for (uint32_t i = 0; i < mesh->count; ++i) highest = std::max(highest, mesh->vertices[i].position[1]);
    EXPECT_NEAR(highest, CrouchingBodyHeight, 1e-3f);
}

TEST(RemoteAvatars, InactiveSlotsAreNeitherMovedNorDrawn) {
    RemotePlayerTable table = {};
    table.slots[7] = activeAt(3.0f, 3.0f, false);
    table.slots[7].active = false;
    auto mesh = emptyMesh();
    smoothAndAppendAvatars(table, 0.02f, *mesh);
    EXPECT_EQ(mesh->count, 0u);
    EXPECT_EQ(table.slots[7].smoothX, 0.0f);
}

TEST(RemoteAvatars, SlotsThreeAndElevenShareAColourAndAreDrawnInSlotOrder) {
    RemotePlayerTable table = {};
    table.slots[11] = activeAt(1.0f, 0.0f, false);
    table.slots[3] = activeAt(-1.0f, 0.0f, false);
    table.slots[4] = activeAt(0.0f, 2.0f, false);
    auto mesh = emptyMesh();
    smoothAndAppendAvatars(table, 1.0f, *mesh);
    ASSERT_EQ(mesh->count, 3 * CapsuleVertexCount);
    const SceneVertex& first = mesh->vertices[0];
    const SceneVertex& second = mesh->vertices[CapsuleVertexCount];
    const SceneVertex& third = mesh->vertices[2 * CapsuleVertexCount];
    EXPECT_EQ(first.colour[0], AvatarColours[3][0]);
    EXPECT_EQ(second.colour[0], AvatarColours[4][0]);
    EXPECT_EQ(third.colour[0], AvatarColours[3][0]);
    EXPECT_EQ(third.colour[1], AvatarColours[3][1]);
    EXPECT_LT(first.position[0], 0.0f) << "slot 3 first";
    EXPECT_GT(third.position[0], 0.0f) << "slot 11 last";
}
