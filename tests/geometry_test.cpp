// Room and capsule geometry: vertex counts, order, extents and the all-or-nothing capacity rule.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "world/room_geometry.h"

namespace {

const float Grey[3] = {0.5f, 0.5f, 0.5f};

// Fills the stack below the caller with NaN bytes, so a value the next call reads before writing
// shows up instead of happening to be a leftover of an earlier call.
void dirtyTheStack() {
    volatile unsigned char junk[16384];
    for (size_t i = 0; i < sizeof junk; ++i) junk[i] = 0xFF;
}

std::unique_ptr<SceneMesh> emptyMesh() {
    auto mesh = std::make_unique<SceneMesh>();
    mesh->count = 0;
    return mesh;
}

}  // namespace

TEST(Room, HasThirtySixVerticesWithTheFloorFirst) {
    auto mesh = emptyMesh();
    buildRoomMesh(*mesh);
    ASSERT_EQ(mesh->count, 36u);
    EXPECT_EQ(RoomVertexCount, mesh->count) << "the count the frame benchmark sizes its buffers by";
    const float floorCorners[6][3] = {{-6, 0, -6}, {6, 0, -6}, {6, 0, 6}, {-6, 0, -6}, {6, 0, 6}, {-6, 0, 6}};
    for (int i = 0; i < 6; ++i) {
        const SceneVertex& v = mesh->vertices[i];
        for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(v.position[axis], floorCorners[i][axis]) << i;
        EXPECT_EQ(v.normal[1], 1.0f);
        EXPECT_FLOAT_EQ(v.colour[0], 0.36f);
        EXPECT_FLOAT_EQ(v.colour[1], 0.37f);
        EXPECT_FLOAT_EQ(v.colour[2], 0.39f);
    }
}

TEST(Room, EveryNormalPointsIntoTheRoomAndEveryFaceIsFlat) {
    auto mesh = emptyMesh();
    buildRoomMesh(*mesh);
    for (uint32_t face = 0; face < 6; ++face) {
        const SceneVertex* v = mesh->vertices + face * 6;
        // Stepping from a face along its normal moves towards the room's centre (0, 2, 0).
        float toCentre[3] = {0 - v[0].position[0], 2 - v[0].position[1], 0 - v[0].position[2]};
        float along = toCentre[0] * v[0].normal[0] + toCentre[1] * v[0].normal[1] + toCentre[2] * v[0].normal[2];
        EXPECT_GT(along, 0.0f) << "face " << face;
        for (int i = 1; i < 6; ++i) {
            float offset[3] = {v[i].position[0] - v[0].position[0], v[i].position[1] - v[0].position[1],
                               v[i].position[2] - v[0].position[2]};
            EXPECT_EQ(offset[0] * v[0].normal[0] + offset[1] * v[0].normal[1] + offset[2] * v[0].normal[2], 0.0f);
        }
    }
}

// Each side is one quad of two triangles sharing a diagonal, so it covers the whole side; cases in
// the order the mesh holds them.
TEST(Room, EachSideCoversItsWholeWallWithItsNormalAndColour) {
    struct Case {
        const char* side;
        int axis;  // the coordinate fixed on this side
        float at;
        float normal[3];
        float colour[3];
    };
    const Case cases[] = {
        {"floor", 1, 0, {0, 1, 0}, {0.36f, 0.37f, 0.39f}},     {"ceiling", 1, 4, {0, -1, 0}, {0.8f, 0.8f, 0.8f}},
        {"-z wall", 2, -6, {0, 0, 1}, {0.62f, 0.63f, 0.65f}},  {"+z wall", 2, 6, {0, 0, -1}, {0.62f, 0.63f, 0.65f}},
        {"-x wall", 0, -6, {1, 0, 0}, {0.62f, 0.63f, 0.65f}},  {"+x wall", 0, 6, {-1, 0, 0}, {0.62f, 0.63f, 0.65f}},
    };
    auto mesh = emptyMesh();
    buildRoomMesh(*mesh);
    for (int face = 0; face < 6; ++face) {
        const Case& c = cases[face];
        const SceneVertex* v = mesh->vertices + face * 6;
        int corners = 0;  // bit per corner of the side: low or high on each of its two free axes
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(v[i].position[c.axis], c.at) << c.side;
            int bit = 0, shift = 0;
            for (int axis = 0; axis < 3; ++axis) {
                if (axis == c.axis) continue;
                float high = axis == 1 ? 4.0f : 6.0f, low = axis == 1 ? 0.0f : -6.0f;
                EXPECT_TRUE(v[i].position[axis] == low || v[i].position[axis] == high) << c.side;
                bit |= (v[i].position[axis] == high) << shift++;
            }
            corners |= 1 << bit;
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(v[i].normal[k], c.normal[k]) << c.side;
                EXPECT_FLOAT_EQ(v[i].colour[k], c.colour[k]) << c.side;
            }
        }
        EXPECT_EQ(corners, 15) << c.side << ": all four corners";
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(v[3].position[k], v[0].position[k]) << c.side << ": the triangles share a diagonal";
            EXPECT_EQ(v[4].position[k], v[2].position[k]) << c.side << ": the triangles share a diagonal";
            if (k != c.axis) {
                EXPECT_NE(v[0].position[k], v[2].position[k]) << c.side << ": between opposite corners";
            }
        }
    }
}

TEST(Room, StopsAppendingOnceTheMeshIsFull) {
    auto mesh = emptyMesh();
    mesh->count = SceneVertexCapacity - 10;
    buildRoomMesh(*mesh);
    EXPECT_EQ(mesh->count, SceneVertexCapacity);
}

TEST(Capsule, StandsOnItsPointAndReachesItsHeight) {
    auto mesh = emptyMesh();
    appendAvatarCapsule(*mesh, 0, 0, 0, 1.8f, Grey);
    ASSERT_EQ(mesh->count, 1248u);
    float lowest = 1e9f, highest = -1e9f, widest = 0.0f;
    for (uint32_t i = 0; i < mesh->count; ++i) {
        const float* p = mesh->vertices[i].position;
        lowest = std::fmin(lowest, p[1]);
        highest = std::fmax(highest, p[1]);
        widest = std::fmax(widest, std::sqrt(p[0] * p[0] + p[2] * p[2]));
    }
    EXPECT_NEAR(lowest, 0.0f, 1e-6f);
    EXPECT_NEAR(highest, 1.8f, 1e-6f);
    EXPECT_NEAR(widest, 0.35f, 1e-6f);
}

TEST(Capsule, SideBandIsStraightWithHorizontalNormals) {
    auto mesh = emptyMesh();
    appendAvatarCapsule(*mesh, 1.0f, 0.5f, -2.0f, 1.8f, Grey);
    const SceneVertex* band = mesh->vertices + 6 * 16 * 6;
    float bottom = 1e9f, top = -1e9f;
    for (int i = 0; i < 16 * 6; ++i) {
        bottom = std::fmin(bottom, band[i].position[1]);
        top = std::fmax(top, band[i].position[1]);
        EXPECT_NEAR(band[i].normal[1], 0.0f, 1e-6f);
        float horizontal = std::hypot(band[i].normal[0], band[i].normal[2]);
        EXPECT_NEAR(horizontal, 1.0f, 1e-5f);
        EXPECT_NEAR(std::hypot(band[i].position[0] - 1.0f, band[i].position[2] + 2.0f), 0.35f, 1e-5f);
    }
    EXPECT_NEAR(bottom, 0.5f + 0.35f, 1e-5f);
    EXPECT_NEAR(top, 0.5f + 1.45f, 1e-5f);
}

TEST(Capsule, NormalsAreUnitLengthAndCarryTheColour) {
    auto mesh = emptyMesh();
    const float colour[3] = {0.9f, 0.3f, 0.35f};
    appendAvatarCapsule(*mesh, 0, 0, 0, 1.1f, colour);
    for (uint32_t i = 0; i < mesh->count; ++i) {
        const SceneVertex& v = mesh->vertices[i];
        EXPECT_NEAR(std::sqrt(v.normal[0] * v.normal[0] + v.normal[1] * v.normal[1] + v.normal[2] * v.normal[2]), 1.0f,
                    1e-5f);
        EXPECT_EQ(v.colour[0], colour[0]);
        EXPECT_EQ(v.colour[2], colour[2]);
    }
}

TEST(Capsule, FillsTheMeshExactlyButNeverPartly) {
    auto mesh = emptyMesh();
    mesh->count = 38752;
    appendAvatarCapsule(*mesh, 0, 0, 0, 1.8f, Grey);
    EXPECT_EQ(mesh->count, 40000u);

    mesh->count = 38753;
    appendAvatarCapsule(*mesh, 0, 0, 0, 1.8f, Grey);
    EXPECT_EQ(mesh->count, 38753u);
}

TEST(Capsule, ShortHeightIsNotClampedAndKeepsItsVertexCount) {
    auto mesh = emptyMesh();
    appendAvatarCapsule(*mesh, 0, 0, 0, 0.5f, Grey);
    EXPECT_EQ(mesh->count, 1248u);
    float highest = -1e9f;
    for (uint32_t i = 0; i < mesh->count; ++i) highest = std::fmax(highest, mesh->vertices[i].position[1]);
    EXPECT_NEAR(highest, 0.5f, 1e-6f);
}

TEST(Capsule, RoomAndSixteenAvatarsFitWithRoomToSpare) {
    auto mesh = emptyMesh();
    buildRoomMesh(*mesh);
    for (int i = 0; i < 16; ++i) appendAvatarCapsule(*mesh, float(i) * 0.5f - 4.0f, 0, 0, 1.8f, Grey);
    EXPECT_EQ(mesh->count, 36u + 16u * 1248u);
}

TEST(Capsule, EveryVertexIsItsRingPointInBandAndSegmentOrder) {
    // Each group of six is P(j, t0), P(j, t1), P(j+1, t1), P(j, t0), P(j+1, t1), P(j+1, t0), with the
    // ring and segment angles formed in single precision; checked against an independent evaluation.
    auto mesh = emptyMesh();
    const float x = 2.5f, y = 0.25f, z = -1.5f, height = 1.6f;
    dirtyTheStack();
    appendAvatarCapsule(*mesh, x, y, z, height, Grey);
    ASSERT_EQ(mesh->count, 1248u);
    auto ring = [&](int k, float& dy, float& ny, float& r) {
        int i = k % 7;
        float a = float(i) * 1.5707964f / 6.0f;
        float phi = k < 7 ? a - 1.5707964f : a;
        dy = (k < 7 ? 0.35f : height - 0.35f) + 0.35f * std::sin(phi);
        ny = std::sin(phi);
        r = std::cos(phi);
    };
    const int corners[6][2] = {{0, 0}, {0, 1}, {1, 1}, {0, 0}, {1, 1}, {1, 0}};  // (ring step, angle step)
    uint32_t index = 0;
    for (int band = 0; band < 13; ++band) {
        for (int segment = 0; segment < 16; ++segment) {
            for (const auto& corner : corners) {
                float dy, ny, r;
                ring(band + corner[0], dy, ny, r);
                float theta = float(segment + corner[1]) * 6.2831855f * 0.0625f;
                const SceneVertex& v = mesh->vertices[index++];
                EXPECT_EQ(v.position[0], x + 0.35f * (r * std::cos(theta))) << band << "/" << segment;
                EXPECT_EQ(v.position[1], y + dy) << band << "/" << segment;
                EXPECT_EQ(v.position[2], z + 0.35f * (r * std::sin(theta))) << band << "/" << segment;
                EXPECT_EQ(v.normal[0], r * std::cos(theta));
                EXPECT_EQ(v.normal[1], ny);
                EXPECT_EQ(v.normal[2], r * std::sin(theta));
            }
        }
    }
}
