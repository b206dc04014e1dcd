// Keyboard state to movement input: which scancode does what, and nothing while not playing.
#include <gtest/gtest.h>

#include <SDL3/SDL_keyboard.h>
#include <SDL3/SDL_scancode.h>

#include "app/player_control.h"

namespace {

struct Keyboard {
    bool keys[SDL_SCANCODE_COUNT] = {};
};

}  // namespace

TEST(PlayerControl, EachControlKeyMapsToItsAction) {
    struct Case {
        SDL_Scancode key;
        bool MovementInput::*action;
    };
    const Case cases[] = {
        {SDL_SCANCODE_W, &MovementInput::forward}, {SDL_SCANCODE_S, &MovementInput::backward},
        {SDL_SCANCODE_A, &MovementInput::left},    {SDL_SCANCODE_D, &MovementInput::right},
        {SDL_SCANCODE_LSHIFT, &MovementInput::run}, {SDL_SCANCODE_LCTRL, &MovementInput::crouch},
        {SDL_SCANCODE_C, &MovementInput::crouch},   {SDL_SCANCODE_SPACE, &MovementInput::jump},
    };
    AppCore core;
    core.state = AppState::Playing;
    for (const Case& c : cases) {
        Keyboard keyboard;
        keyboard.keys[c.key] = true;
        MovementInput input = movementInputFrom(keyboard.keys, core);
        EXPECT_TRUE(input.playing);
        EXPECT_TRUE(input.*c.action) << SDL_GetScancodeName(c.key);
        int held = input.forward + input.backward + input.left + input.right + input.run + input.crouch + input.jump;
        EXPECT_EQ(held, 1) << SDL_GetScancodeName(c.key) << " sets only its own action";
    }
    Keyboard others;
    for (SDL_Scancode key : {SDL_SCANCODE_RSHIFT, SDL_SCANCODE_RCTRL, SDL_SCANCODE_UP, SDL_SCANCODE_ESCAPE}) {
        others.keys[key] = true;
    }
    MovementInput input = movementInputFrom(others.keys, core);
    EXPECT_FALSE(input.forward || input.run || input.crouch || input.jump) << "right-hand modifiers and arrows do nothing";
}

TEST(PlayerControl, KeysAreIgnoredOutsidePlayButLookMotionIsPassedOn) {
    Keyboard keyboard;
    for (bool& key : keyboard.keys) key = true;
    for (AppState state : {AppState::Paused, AppState::Menu}) {
        AppCore core;
        core.state = state;
        core.input.lookDeltaX = 3.0f;
        MovementInput input = movementInputFrom(keyboard.keys, core);
        EXPECT_FALSE(input.playing);
        EXPECT_FALSE(input.forward || input.backward || input.left || input.right || input.run || input.crouch ||
                     input.jump);
    }
    AppCore core;
    core.state = AppState::Playing;
    core.input.lookDeltaX = 3.0f;
    core.input.lookDeltaY = -2.0f;
    MovementInput input = movementInputFrom(nullptr, core);
    EXPECT_EQ(input.lookDeltaX, 3.0f);
    EXPECT_EQ(input.lookDeltaY, -2.0f);
    EXPECT_FALSE(input.forward) << "no keyboard state yet: nothing held";
}

// The settings' factor scales both look deltas; inversion turns the vertical one only.
TEST(PlayerControl, LookSettingsScaleAndInvertTheLookMotion) {
    struct Case {
        float sensitivity;
        bool invert;
        float lookX, lookY;
    };
    const Case cases[] = {
        {1.0f, false, 40.0f, -20.0f}, {0.25f, false, 10.0f, -5.0f}, {4.0f, false, 160.0f, -80.0f},
        {1.0f, true, 40.0f, 20.0f},   {0.5f, true, 20.0f, 10.0f},
    };
    for (const Case& c : cases) {
        AppCore core;
        core.state = AppState::Playing;
        core.look = {c.sensitivity, c.invert};
        core.input.lookDeltaX = 40.0f;
        core.input.lookDeltaY = -20.0f;
        MovementInput input = movementInputFrom(nullptr, core);
        EXPECT_EQ(input.lookDeltaX, c.lookX) << c.sensitivity << (c.invert ? " inverted" : "");
        EXPECT_EQ(input.lookDeltaY, c.lookY) << c.sensitivity << (c.invert ? " inverted" : "");
    }
}

// The frame's step: the look motion summed since the last frame turns the player once and is gone.
TEST(PlayerControl, EachFramesLookMotionTurnsThePlayerOnce) {
    AppCore savedCore = appCore;
    LocalPlayer savedPlayer = localPlayer;
    appCore.state = AppState::Playing;
    localPlayer = LocalPlayer{};
    appCore.input.lookDeltaX = -100.0f;
    appCore.input.lookDeltaY = -50.0f;
    updateLocalPlayer(1.0f / 60);
    EXPECT_NEAR(localPlayer.yaw, 0.22f, 1e-6f);
    EXPECT_NEAR(localPlayer.pitch, 0.11f, 1e-6f);
    EXPECT_EQ(appCore.input.lookDeltaX, 0.0f);
    EXPECT_EQ(appCore.input.lookDeltaY, 0.0f);
    updateLocalPlayer(1.0f / 60);
    EXPECT_NEAR(localPlayer.yaw, 0.22f, 1e-6f) << "no motion since: no turn";
    EXPECT_NEAR(localPlayer.pitch, 0.11f, 1e-6f);
    appCore = savedCore;
    localPlayer = savedPlayer;
}
