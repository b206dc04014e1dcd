// Camera matrix: projection constants, handedness, the aspect ratio and the title-screen orbit.
#include <gtest/gtest.h>

#include <cmath>

#include "render/camera.h"
#include "render/gpu_context.h"

namespace {

struct Clip {
    float x, y, z, w;
};

Clip project(const float m[16], float px, float py, float pz) {
    return {m[0] * px + m[4] * py + m[8] * pz + m[12], m[1] * px + m[5] * py + m[9] * pz + m[13],
            m[2] * px + m[6] * py + m[10] * pz + m[14], m[3] * px + m[7] * py + m[11] * pz + m[15]};
}

}  // namespace

TEST(Camera, PointStraightAheadLandsAtTheCentreWithTheExpectedDepth) {
    const float eye[3] = {0, 0, 0};
    float m[16];
    viewProjectionForSurface(eye, 0, 0, 800, 800, m);
    Clip c = project(m, 0, 0, -1);
    EXPECT_NEAR(c.x / c.w, 0.0f, 1e-7f);
    EXPECT_NEAR(c.y / c.w, 0.0f, 1e-7f);
    EXPECT_NEAR(c.z / c.w, 0.9504753f, 1e-6f);
    EXPECT_FLOAT_EQ(c.w, 1.0f);
}

TEST(Camera, FocalFactorPlacesAPointOffTheRightEdge) {
    const float eye[3] = {0, 0, 0};
    float m[16];
    viewProjectionForSurface(eye, 0, 0, 512, 512, m);
    Clip c = project(m, 1, 0, -1);
    EXPECT_NEAR(c.x, 1.4281478f, 1e-6f);
    Clip up = project(m, 0, 1, -1);
    EXPECT_GT(up.y, 0.0f) << "y grows upwards on screen";
}

// A field of view puts a point half of it off the view exactly on the right edge: 45 degrees off for
// 90, 30 for 60. 70 degrees keeps the fixed focal factor.
TEST(Camera, FieldOfViewSetsTheFocalFactor) {
    const float eye[3] = {0, 0, 0};
    const struct { float degrees, x, z; } edges[] = {{90, 1, -1}, {60, 1, -1.7320508f}};
    for (const auto& edge : edges) {
        float m[16];
        viewProjectionForSurface(eye, 0, 0, 512, 512, m, focalFactorForFieldOfView(edge.degrees));
        Clip c = project(m, edge.x, 0, edge.z);
        EXPECT_NEAR(c.x / c.w, 1.0f, 1e-6f) << edge.degrees << " degrees";
    }
    EXPECT_EQ(focalFactorForFieldOfView(70.0f), CameraFocalFactor);
}

TEST(Camera, DepthRunsFromNearToFarPlane) {
    const float eye[3] = {1, 2, 3};
    float m[16];
    viewProjectionForSurface(eye, 0, 0, 100, 100, m);
    Clip nearPoint = project(m, 1, 2, 3 - CameraNear);
    Clip farPoint = project(m, 1, 2, 3 - CameraFar);
    EXPECT_NEAR(nearPoint.z / nearPoint.w, 0.0f, 1e-5f);
    EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-5f);
    Clip behind = project(m, 1, 2, 4);
    EXPECT_LT(behind.w, 0.0f);
}

TEST(Camera, AspectFollowsTheSurfaceSize) {
    const float eye[3] = {0, 0, 0};
    float square[16], wide[16];
    viewProjectionForSurface(eye, 0, 0, 720, 720, square);
    viewProjectionForSurface(eye, 0, 0, 1280, 720, wide);
    EXPECT_NEAR(wide[0], square[0] * 720.0f / 1280.0f, 1e-6f);
    EXPECT_FLOAT_EQ(wide[5], square[5]);

    gpu.surfaceWidth = 1280;
    gpu.surfaceHeight = 720;
    float fromContext[16];
    computeViewProjection(eye, 0, 0, fromContext);
    EXPECT_FLOAT_EQ(fromContext[0], wide[0]);
    gpu.surfaceWidth = gpu.surfaceHeight = 1;
}

TEST(Camera, RecordsTheEyeForLighting) {
    const float eye[3] = {1.5f, 2.5f, -3.5f};
    float m[16];
    gpu.eyePosition[3] = 0.0f;
    computeViewProjection(eye, 0.3f, 0.1f, m);
    EXPECT_EQ(gpu.eyePosition[0], 1.5f);
    EXPECT_EQ(gpu.eyePosition[1], 2.5f);
    EXPECT_EQ(gpu.eyePosition[2], -3.5f);
    EXPECT_EQ(gpu.eyePosition[3], 0.0f);
}

TEST(Camera, YawTurnsTowardsMinusX) {
    // Positive yaw turns left: at a quarter turn the camera looks along -x.
    const float eye[3] = {0, 0, 0};
    float m[16];
    viewProjectionForSurface(eye, 1.5707964f, 0, 100, 100, m);
    Clip ahead = project(m, -5, 0, 0);
    EXPECT_NEAR(ahead.x / ahead.w, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.w, 5.0f, 1e-5f);
}

// A pose turned 60 degrees left and 30 degrees up, from an eye off every axis: points along the view
// direction land on the screen's centre, points 35 degrees off it on the screen's edges, and the near
// and far planes at depths 0 and 1.
TEST(Camera, AnyPoseMapsItsViewOntoTheScreen) {
    const float eye[3] = {1.5f, 1.2f, -2.0f};
    const float forward[3] = {-0.75f, 0.5f, -0.4330127f};
    const float right[3] = {0.5f, 0.0f, -0.8660254f};
    const float up[3] = {0.4330127f, 0.8660254f, 0.25f};
    const float tan35 = 0.7002075f, aspect = 1280.0f / 720.0f;
    struct Case {
        const char* where;
        float distance, alongRight, alongUp;  // along forward, and tangents towards right and up
        float x, y, depth;                    // expected, after the perspective division
    };
    const Case cases[] = {
        {"straight ahead", 2.0f, 0, 0, 0, 0, 0.9754877f},
        {"on the top edge", 2.0f, 0, tan35, 0, 1, 0.9754877f},
        {"on the bottom edge", 3.0f, 0, -tan35, 0, -1, 0.9838252f},
        {"on the right edge", 2.0f, tan35 * aspect, 0, 1, 0, 0.9754877f},
        {"in the top left corner", 5.0f, -tan35 * aspect, tan35, -1, 1, 0.9904954f},
        {"on the near plane", 0.05f, 0, 0, 0, 0, 0},
        {"on the far plane", 100.0f, 0, 0, 0, 0, 1},
    };
    float m[16];
    viewProjectionForSurface(eye, 1.0471976f, 0.5235988f, 1280, 720, m);
    for (const Case& c : cases) {
        float p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = eye[k] + c.distance * (forward[k] + c.alongRight * right[k] + c.alongUp * up[k]);
        Clip clip = project(m, p[0], p[1], p[2]);
        EXPECT_NEAR(clip.w, c.distance, 1e-4f) << c.where;
        EXPECT_NEAR(clip.x / clip.w, c.x, 1e-4f) << c.where;
        EXPECT_NEAR(clip.y / clip.w, c.y, 1e-4f) << c.where;
        EXPECT_NEAR(clip.z / clip.w, c.depth, 1e-4f) << c.where;
    }
}

TEST(Camera, TitleOrbitAlwaysLooksAtTheRoomsAxis) {
    for (float angle : {0.0f, 0.7f, 2.0f, 3.14159f, 4.5f, -1.0f, 100.0f}) {
        OrbitCamera orbit = orbitCameraAt(angle);
        EXPECT_NEAR(std::hypot(orbit.eye[0], orbit.eye[2]), 4.5f, 1e-4f);
        float m[16];
        viewProjectionForSurface(orbit.eye, orbit.yaw, orbit.pitch, 1280, 720, m);
        for (float height : {0.0f, 2.0f, 4.0f}) {
            Clip c = project(m, 0, height, 0);
            EXPECT_GT(c.w, 0.0f);
            EXPECT_NEAR(c.x / c.w, 0.0f, 1e-4f) << "angle " << angle << " height " << height;
        }
        Clip below = project(m, 0, 0, 0);
        Clip above = project(m, 0, 4, 0);
        EXPECT_LT(below.y / below.w, above.y / above.w);
        // The eye circles 2.2 m above the floor, and the screen's centre falls on the axis 1.66 m up.
        EXPECT_NEAR(orbit.eye[1], 2.2f, 1e-6f);
        Clip centre = project(m, 0, 1.6574f, 0);
        EXPECT_NEAR(centre.y / centre.w, 0.0f, 1e-4f) << "angle " << angle;
    }
}
