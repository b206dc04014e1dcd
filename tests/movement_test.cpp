// The local player's movement step, driven frame by frame as the client drives it.
#include <gtest/gtest.h>

#include <cmath>

#include "world/movement.h"

namespace {

constexpr float Frame = 1.0f / 60.0f;

MovementInput playing() {
    MovementInput input = {};
    input.playing = true;
    return input;
}

LocalPlayer standingAtCentre() {
    LocalPlayer player = {};
    player.eyeHeight = 1.65f;
    return player;
}

void run(LocalPlayer& player, const MovementInput& input, float seconds, float dt = Frame) {
    for (float t = 0; t < seconds - 1e-6f; t += dt) stepLocalPlayer(player, input, dt);
}

float horizontalSpeed(const LocalPlayer& player) { return std::hypot(player.vx, player.vz); }

// Frames until the body leaves the floor, or -1 within the limit.
int framesUntilAirborne(LocalPlayer& player, const MovementInput& input, int limit) {
    for (int frame = 1; frame <= limit; ++frame) {
        stepLocalPlayer(player, input, Frame);
        if (player.vy > 0.0f) return frame;
    }
    return -1;
}

}  // namespace

TEST(Movement, EveryKeyCombinationReachesItsSpeedInItsDirection) {
    struct Case {
        const char* keys;
        bool w, s, a, d, shift, crouch;
        float speed;
        float dirX, dirZ;  // at yaw 0: forward is -z, right is +x
    };
    const float diagonal = std::sqrt(0.5f);
    const Case cases[] = {
        {"W", true, false, false, false, false, false, 4.0f, 0, -1},
        {"S", false, true, false, false, false, false, 4.0f, 0, 1},
        {"D", false, false, false, true, false, false, 4.0f, 1, 0},
        {"A", false, false, true, false, false, false, 4.0f, -1, 0},
        {"W+D", true, false, false, true, false, false, 4.0f, diagonal, -diagonal},
        {"S+A+Shift", false, true, true, false, true, false, 6.5f, -diagonal, diagonal},
        {"W+Shift", true, false, false, false, true, false, 6.5f, 0, -1},
        {"W+Shift+crouch", true, false, false, false, true, true, 2.0f, 0, -1},
        {"W+S", true, true, false, false, false, false, 0.0f, 0, 0},
        {"A+D+Shift", false, false, true, true, true, false, 0.0f, 0, 0},
        {"all four", true, true, true, true, false, false, 0.0f, 0, 0},
    };
    for (const Case& c : cases) {
        LocalPlayer player = standingAtCentre();
        MovementInput input = playing();
        input.forward = c.w;
        input.backward = c.s;
        input.left = c.a;
        input.right = c.d;
        input.run = c.shift;
        input.crouch = c.crouch;
        run(player, input, 0.5f);
        EXPECT_NEAR(horizontalSpeed(player), c.speed, 1e-4f) << c.keys;
        EXPECT_NEAR(player.vx, c.speed * c.dirX, 1e-4f) << c.keys;
        EXPECT_NEAR(player.vz, c.speed * c.dirZ, 1e-4f) << c.keys;
    }
}

TEST(Movement, OppositeKeysLetAMovingBodySlowToAStop) {
    LocalPlayer player = standingAtCentre();
    MovementInput input = playing();
    input.forward = true;
    run(player, input, 0.5f);
    input.backward = true;
    stepLocalPlayer(player, input, Frame);
    EXPECT_NEAR(horizontalSpeed(player), 4.0f - 45.0f * Frame, 1e-4f) << "slows at the ground acceleration";
    run(player, input, 0.2f);
    EXPECT_EQ(horizontalSpeed(player), 0.0f);
}

TEST(Movement, FacingFollowsYaw) {
    struct Case {
        const char* keys;
        bool w, s, a, d;
        float vx, vz;
    };
    // A quarter turn left: forward is -x and right is -z.
    const Case cases[] = {
        {"W", true, false, false, false, -4, 0},
        {"S", false, true, false, false, 4, 0},
        {"D", false, false, false, true, 0, -4},
        {"A", false, false, true, false, 0, 4},
    };
    for (const Case& c : cases) {
        LocalPlayer player = standingAtCentre();
        player.yaw = 3.14159265f / 2;
        MovementInput input = playing();
        input.forward = c.w;
        input.backward = c.s;
        input.left = c.a;
        input.right = c.d;
        run(player, input, 0.5f);
        EXPECT_NEAR(player.vx, c.vx, 1e-4f) << c.keys;
        EXPECT_NEAR(player.vz, c.vz, 1e-4f) << c.keys;
    }
}

TEST(Movement, SpeedBuildsUpFrameByFrameFasterOnTheFloorThanInTheAir) {
    struct Case {
        float feet;
        int frames;
        float speed;
    };
    const Case cases[] = {
        {0.0f, 1, 0.75f}, {0.0f, 5, 3.75f}, {0.0f, 6, 4.0f},  // walking speed reached in the sixth frame
        {1.5f, 1, 1.0f / 6}, {1.5f, 2, 2.0f / 6},             // dropped from 1.5 m: a quarter of the grip
    };
    for (const Case& c : cases) {
        LocalPlayer player = standingAtCentre();
        player.y = c.feet;
        MovementInput input = playing();
        input.right = true;
        for (int frame = 0; frame < c.frames; ++frame) stepLocalPlayer(player, input, Frame);
        EXPECT_NEAR(player.vx, c.speed, 1e-5f) << c.frames << " frames at " << c.feet << " m";
    }
}

TEST(Movement, ADroppedBodyLandsOnItsFrame) {
    struct Case {
        float height;
        int landingFrame;
    };
    for (Case c : {Case{0.05f, 5}, Case{2.0f, 31}}) {
        LocalPlayer player = standingAtCentre();
        player.y = c.height;
        for (int frame = 1; frame < c.landingFrame; ++frame) stepLocalPlayer(player, playing(), Frame);
        EXPECT_GT(player.y, 0.0f) << "still falling the frame before, from " << c.height << " m";
        stepLocalPlayer(player, playing(), Frame);
        EXPECT_EQ(player.y, 0.0f) << "landed, from " << c.height << " m";
    }
}

TEST(Movement, StandingStillKeepsTheFeetOnTheFloorAtAnyFrameRate) {
    for (float rate : {20.0f, 60.0f, 240.0f, 1000.0f}) {
        LocalPlayer player = standingAtCentre();
        for (int frame = 0; frame < int(rate); ++frame) {
            stepLocalPlayer(player, playing(), 1.0f / rate);
            ASSERT_EQ(player.y, 0.0f) << rate << " frames a second, frame " << frame;
        }
    }
}

// Two frames within one millisecond: the second, of length zero, leaves the body exactly as it was,
// even against a wall, the ceiling or the floor.
TEST(Movement, AZeroLengthFrameChangesNothing) {
    struct Case {
        const char* where;
        float x, y, z, vx, vy, vz;
    };
    const Case cases[] = {
        {"at the +x wall, leaving it", 5.65f, 0, 0, -1, 0, 0},
        {"at the -x wall, leaving it", -5.65f, 0, 0, 1, 0, 0},
        {"at the +z wall, leaving it", 0, 0, 5.65f, 0, 0, -1},
        {"at the -z wall, leaving it", 0, 0, -5.65f, 0, 0, 1},
        {"touching the ceiling, still rising", 0, 2.2f, 0, 0, 1, 0},
        {"on the floor, just jumped", 0, 0, 0, 0, 5.5f, 0},
    };
    for (const Case& c : cases) {
        LocalPlayer player = standingAtCentre();
        player.x = c.x, player.y = c.y, player.z = c.z;
        player.vx = c.vx, player.vy = c.vy, player.vz = c.vz;
        stepLocalPlayer(player, playing(), 0.0f);
        EXPECT_EQ(player.x, c.x) << c.where;
        EXPECT_EQ(player.y, c.y) << c.where;
        EXPECT_EQ(player.z, c.z) << c.where;
        EXPECT_EQ(player.vx, c.vx) << c.where;
        EXPECT_EQ(player.vy, c.vy) << c.where;
        EXPECT_EQ(player.vz, c.vz) << c.where;
    }
}

TEST(Movement, AJumpRequestedJustBeforeLandingFiresOnTheFirstFrameOnTheFloor) {
    struct Case {
        float secondsBeforeLanding;
        bool jumps;
    };
    for (Case c : {Case{0.05f, true}, Case{0.1f, true}, Case{0.115f, true}, Case{0.14f, false}, Case{0.3f, false}}) {
        LocalPlayer player = standingAtCentre();
        player.y = 2.0f;  // dropped from 2 m
        MovementInput idle = playing();
        // Fall until the landing is c.secondsBeforeLanding away, then tap Space for one frame.
        const float fallTime = std::sqrt(2.0f * 2.0f / Gravity);
        int tapFrame = int(std::lround((fallTime - c.secondsBeforeLanding) / Frame));
        for (int frame = 0; frame < tapFrame; ++frame) stepLocalPlayer(player, idle, Frame);
        MovementInput tap = playing();
        tap.jump = true;
        stepLocalPlayer(player, tap, Frame);
        int landingFrame = -1;
        for (int frame = 0; frame < 60 && landingFrame < 0; ++frame) {
            bool airborneBefore = player.y > 0.0f;
            stepLocalPlayer(player, idle, Frame);
            if (airborneBefore && player.y == 0.0f) landingFrame = frame;
        }
        ASSERT_GE(landingFrame, 0);
        EXPECT_EQ(player.vy, 0.0f) << "the landing frame only puts the body down";
        stepLocalPlayer(player, idle, Frame);
        EXPECT_EQ(player.vy > 0.0f, c.jumps) << c.secondsBeforeLanding << " s before landing";
    }
}

TEST(Movement, AJumpRequestLastsATenthOfASecondButNotAnEighth) {
    constexpr float Step = 0.025f;  // 40 frames a second
    LocalPlayer dropped = standingAtCentre();
    dropped.y = 1.0f;
    int landingFrame = 0;  // the frame that puts a body dropped from 1 m on the floor
    while (dropped.y > 0.0f) {
        stepLocalPlayer(dropped, playing(), Step);
        ++landingFrame;
    }
    struct Case {
        int framesBefore;  // from Space to the first frame on the floor
        bool jumps;
    };
    for (Case c : {Case{4, true}, Case{5, false}}) {
        LocalPlayer player = standingAtCentre();
        player.y = 1.0f;
        MovementInput tap = playing();
        tap.jump = true;
        for (int frame = 1; frame <= landingFrame + 1; ++frame)
            stepLocalPlayer(player, frame == landingFrame + 1 - c.framesBefore ? tap : playing(), Step);
        EXPECT_EQ(player.vy > 0.0f, c.jumps) << c.framesBefore * 25 << " ms before";
    }
}

TEST(Movement, HoldingSpaceJumpsAgainAtEveryLanding) {
    LocalPlayer player = standingAtCentre();
    MovementInput input = playing();
    input.jump = true;
    int jumps = 0;
    float highest = 0.0f;
    bool wasRising = false;
    for (int frame = 0; frame < 60 * 3; ++frame) {
        stepLocalPlayer(player, input, Frame);
        bool rising = player.vy > 0.0f;
        if (rising && !wasRising) ++jumps;
        wasRising = rising;
        highest = std::fmax(highest, player.y);
    }
    EXPECT_GE(jumps, 3) << "a jump lasts about 0.75 s";
    // Stepped at 60 frames a second a jump peaks a little below v^2 / 2g (1.03 m), never above it.
    EXPECT_LE(highest, JumpSpeed * JumpSpeed / (2 * Gravity));
    EXPECT_GT(highest, JumpSpeed * JumpSpeed / (2 * Gravity) - 0.06f);
    EXPECT_LT(highest + 1.8f, 4.0f) << "a standing jump never reaches the ceiling";
}

TEST(Movement, NoJumpWhileRisingFastNorASecondJumpInTheAir) {
    {
        LocalPlayer player = standingAtCentre();
        player.coyoteTime = 0.1f;
        player.y = 0.5f;
        player.vy = 2.0f;  // rising at the guard speed, still inside the coyote window
        MovementInput input = playing();
        input.jump = true;
        stepLocalPlayer(player, input, Frame);
        EXPECT_NEAR(player.vy, 2.0f - Gravity * Frame, 1e-5f) << "no jump at vy 2";
    }
    {
        LocalPlayer player = standingAtCentre();
        MovementInput input = playing();
        input.jump = true;
        stepLocalPlayer(player, input, Frame);
        ASSERT_GT(player.vy, 5.0f);
        MovementInput release = playing();
        run(player, release, 0.2f);
        float before = player.vy;
        stepLocalPlayer(player, input, Frame);  // Space again near the top
        EXPECT_LT(player.vy, before) << "no double jump";
    }
}

TEST(Movement, JumpStillAcceptedJustAfterWalkingOffTheFloor) {
    // Coyote time: a body that stood on the floor within the last 0.1 s may still jump.
    LocalPlayer player = standingAtCentre();
    MovementInput idle = playing();
    stepLocalPlayer(player, idle, Frame);  // grounded: the window opens
    player.y = 0.01f;                      // a hair off the floor, falling
    MovementInput jump = playing();
    jump.jump = true;
    stepLocalPlayer(player, jump, Frame);
    EXPECT_NEAR(player.vy, 5.5f - Gravity * Frame, 1e-4f);

    struct Case {
        int framesOff;  // frames of 35 ms off the floor, counting the one with Space
        bool jumps;
    };
    for (Case c : {Case{2, true}, Case{3, false}}) {  // 70 ms and 105 ms after leaving the floor
        LocalPlayer lifted = standingAtCentre();
        stepLocalPlayer(lifted, idle, 0.035f);
        lifted.y = 1.0f;
        for (int frame = 1; frame < c.framesOff; ++frame) stepLocalPlayer(lifted, idle, 0.035f);
        stepLocalPlayer(lifted, jump, 0.035f);
        EXPECT_EQ(lifted.vy > 0.0f, c.jumps) << c.framesOff * 35 << " ms off the floor";
    }
}

TEST(Movement, RunningIntoAWallAtAnAngleSlidesAlongItAndStopsAtItsLimit) {
    LocalPlayer player = standingAtCentre();
    player.x = 5.0f;
    player.yaw = -0.5f;  // forward leans towards +x
    MovementInput input = playing();
    input.forward = true;
    run(player, input, 1.0f);
    EXPECT_EQ(player.x, 5.65f);
    EXPECT_EQ(player.vx, 0.0f);
    EXPECT_NEAR(player.vz, -4.0f * std::cos(0.5f), 1e-3f) << "the speed along the wall is kept";
    run(player, input, 2.0f);
    EXPECT_EQ(player.z, -5.65f) << "and the corner stops it too";
    EXPECT_EQ(player.vz, 0.0f);
    EXPECT_EQ(player.x, 5.65f);
}

TEST(Movement, NoStepLeavesTheRoomWhateverTheInput) {
    const float limits[] = {-1e6f, -3.0f, 0.0f, 7.0f, 1e6f};
    for (float vx : limits) {
        for (float vy : limits) {
            LocalPlayer player = standingAtCentre();
            player.vx = vx;
            player.vy = vy;
            player.vz = -vx;
            stepLocalPlayer(player, playing(), 0.05f);
            EXPECT_LE(std::fabs(player.x), 5.65f);
            EXPECT_LE(std::fabs(player.z), 5.65f);
            EXPECT_GE(player.y, 0.0f);
            EXPECT_LE(player.y + 1.8f, 4.0f + 1e-6f);
        }
    }
}

TEST(Movement, TheCeilingStopsTheTopOfTheBody) {
    struct Case {
        bool crouch;
        float highestFeet;
    };
    for (Case c : {Case{false, 2.2f}, Case{true, 2.9f}}) {
        LocalPlayer player = standingAtCentre();
        player.y = 3.5f;
        player.vy = 8.0f;
        MovementInput input = playing();
        input.crouch = c.crouch;
        stepLocalPlayer(player, input, Frame);
        EXPECT_FLOAT_EQ(player.y, c.highestFeet);
        EXPECT_LE(player.vy, 0.0f) << "upward speed is lost at the ceiling";
    }
}

TEST(Movement, PitchStopsAtItsLimitsAndYawHasNone) {
    LocalPlayer player = standingAtCentre();
    MovementInput input = playing();
    input.lookDeltaY = -100000.0f;  // far up
    input.lookDeltaX = -100000.0f;
    stepLocalPlayer(player, input, Frame);
    EXPECT_EQ(player.pitch, 1.5f);
    EXPECT_NEAR(player.yaw, 220.0f, 1e-3f) << "moving the mouse left turns left, unwrapped";
    input.lookDeltaY = 100000.0f;
    stepLocalPlayer(player, input, Frame);
    EXPECT_EQ(player.pitch, -1.5f);
}

TEST(Movement, TheSameMouseMotionTurnsTheSameAngleAtAnyFrameRate) {
    float yaws[3], pitches[3];
    const float rates[3] = {20.0f, 60.0f, 240.0f};
    for (int i = 0; i < 3; ++i) {
        LocalPlayer player = standingAtCentre();
        int frames = int(rates[i]);  // one second of motion, 400 units right and 100 down in all
        for (int frame = 0; frame < frames; ++frame) {
            MovementInput input = playing();
            input.lookDeltaX = 400.0f / float(frames);
            input.lookDeltaY = 100.0f / float(frames);
            stepLocalPlayer(player, input, 1.0f / rates[i]);
        }
        yaws[i] = player.yaw;
        pitches[i] = player.pitch;
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(yaws[i], -0.88f, 1e-4f) << rates[i] << " frames a second";
        EXPECT_NEAR(pitches[i], -0.22f, 1e-4f) << rates[i] << " frames a second";
    }
}

TEST(Movement, PausedBodySlowsFallsAndStandsUp) {
    LocalPlayer player = standingAtCentre();
    MovementInput input = playing();
    input.forward = true;
    input.run = true;
    input.crouch = true;
    input.jump = true;
    run(player, input, 0.3f);
    ASSERT_GT(player.y, 0.0f);
    ASSERT_TRUE(player.crouching);

    MovementInput paused = input;
    paused.playing = false;  // keys still held, look still moving: all ignored
    paused.lookDeltaX = 500.0f;
    float yaw = player.yaw;
    stepLocalPlayer(player, paused, Frame);
    EXPECT_FALSE(player.crouching) << "the body stands up";
    EXPECT_EQ(player.yaw, yaw) << "no look while paused";
    run(player, paused, 2.0f);
    EXPECT_EQ(player.y, 0.0f) << "it falls to the floor";
    EXPECT_EQ(horizontalSpeed(player), 0.0f) << "and slows to a stop";
    EXPECT_NEAR(player.eyeHeight, 1.65f, 1e-3f) << "the eye rises back";
}

TEST(Movement, APendingJumpStillFiresAfterPausingWithinItsWindow) {
    for (float pauseAfter : {0.0f, 0.05f, 0.1f}) {
        LocalPlayer player = standingAtCentre();
        player.y = 1e-3f;  // about to land
        player.vy = -1.0f;
        MovementInput tap = playing();
        tap.jump = true;
        stepLocalPlayer(player, tap, Frame);  // the request; the body lands this frame
        ASSERT_EQ(player.y, 0.0f);
        MovementInput paused = {};
        run(player, paused, pauseAfter);
        int frame = framesUntilAirborne(player, paused, 3);
        EXPECT_EQ(frame, 1) << "paused " << pauseAfter << " s after the request";
    }
    LocalPlayer late = standingAtCentre();
    late.y = 1.0f;
    MovementInput tap = playing();
    tap.jump = true;
    stepLocalPlayer(late, tap, Frame);
    MovementInput paused = {};
    EXPECT_EQ(framesUntilAirborne(late, paused, 60), -1) << "a request that ran out before the landing";
}

TEST(Movement, CrouchEyeSinksGraduallyAndBodyHeightChangesAtOnce) {
    LocalPlayer player = standingAtCentre();
    MovementInput input = playing();
    input.crouch = true;
    stepLocalPlayer(player, input, 0.05f);
    EXPECT_TRUE(player.crouching);
    EXPECT_NEAR(player.eyeHeight, 1.65f - 0.65f * 0.6f, 1e-5f) << "eased by at most 0.6 of the way";
    run(player, input, 1.0f);
    EXPECT_NEAR(player.eyeHeight, 1.0f, 1e-4f);

    // A step longer than the easing's own time constant lands the eye on its height, never past it.
    for (float dt : {0.1f, 0.5f}) {
        LocalPlayer sinking = standingAtCentre();
        stepLocalPlayer(sinking, input, dt);
        EXPECT_EQ(sinking.eyeHeight, 1.0f) << "a step of " << dt << " s";
    }
}

TEST(Movement, AFloorBodyBarelyRisingStillCountsAsStanding) {
    // The floor test allows a hundredth of a metre a second of upward speed and not a bit more.
    struct Case {
        float vy;
        bool standing;  // opens the coyote window, so Space would still jump
    };
    for (Case c : {Case{0.0f, true}, Case{0.01f, true}, Case{0.0105f, false}, Case{0.5f, false}}) {
        LocalPlayer player = standingAtCentre();
        player.vy = c.vy;
        player.coyoteTime = 0.0f;
        stepLocalPlayer(player, playing(), Frame);
        EXPECT_EQ(player.coyoteTime > 0.0f, c.standing) << "vy " << c.vy;
    }
}

TEST(Movement, SpawnPointsLieOnTheCircleFacingTheCentre) {
    struct Case {
        uint64_t tick;
        float x, z;  // sixteen points a sixteenth of a turn apart, the first half a step past +z
    };
    for (Case c : {Case{0, 0.4877f, 2.4520f}, Case{4, 2.4520f, -0.4877f}, Case{8, -0.4877f, -2.4520f},
                   Case{15, -0.4877f, 2.4520f}, Case{16, 0.4877f, 2.4520f}}) {
        LocalPlayer player = standingAtCentre();
        placeAtSpawn(player, c.tick);
        EXPECT_NEAR(player.x, c.x, 1e-4f) << "tick " << c.tick;
        EXPECT_NEAR(player.z, c.z, 1e-4f) << "tick " << c.tick;
    }
    for (uint64_t tick : {0ull, 1ull, 15ull, 16ull, 123457ull}) {
        LocalPlayer player = standingAtCentre();
        player.y = 3.0f;
        player.vx = 5.0f;
        player.pitch = 1.0f;
        player.crouching = true;
        player.eyeHeight = 1.0f;
        player.jumpBuffer = 0.05f;
        placeAtSpawn(player, tick);
        EXPECT_NEAR(std::hypot(player.x, player.z), 2.5f, 1e-5f);
        // Facing the centre: forward (-sin yaw, -cos yaw) points from the spawn point to the origin.
        EXPECT_NEAR(-std::sin(player.yaw) * 2.5f, -player.x, 1e-5f);
        EXPECT_NEAR(-std::cos(player.yaw) * 2.5f, -player.z, 1e-5f);
        EXPECT_EQ(player.y, 0.0f);
        EXPECT_EQ(player.vx, 0.0f);
        EXPECT_EQ(player.pitch, 0.0f);
        EXPECT_FALSE(player.crouching);
        EXPECT_EQ(player.eyeHeight, 1.65f);
        EXPECT_EQ(player.jumpBuffer, 0.05f) << "jump timing is left alone";
    }
    LocalPlayer a = standingAtCentre(), b = standingAtCentre();
    placeAtSpawn(a, 3);
    placeAtSpawn(b, 19);
    EXPECT_EQ(a.x, b.x) << "16 spawn points, chosen by the low bits of the tick";
}
