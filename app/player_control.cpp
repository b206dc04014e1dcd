// Keyboard and mouse to movement input. Keys: W, S, D, A, left Shift runs, left Ctrl or C crouches,
// Space jumps.
#include "app/player_control.h"

#include <SDL3/SDL_keyboard.h>
#include <SDL3/SDL_scancode.h>

MovementInput movementInputFrom(const bool* keys, const AppCore& core) {
    MovementInput input = {};
    input.playing = core.state == AppState::Playing;
    input.lookDeltaX = core.input.lookDeltaX * core.look.sensitivity;
    input.lookDeltaY = core.input.lookDeltaY * (core.look.invertVertical ? -core.look.sensitivity : core.look.sensitivity);
    if (!input.playing || !keys) return input;
    input.forward = keys[SDL_SCANCODE_W];
    input.backward = keys[SDL_SCANCODE_S];
    input.right = keys[SDL_SCANCODE_D];
    input.left = keys[SDL_SCANCODE_A];
    input.run = keys[SDL_SCANCODE_LSHIFT];
    input.crouch = keys[SDL_SCANCODE_LCTRL] || keys[SDL_SCANCODE_C];
    input.jump = keys[SDL_SCANCODE_SPACE];
    return input;
}

void updateLocalPlayer(float dt) {
    MovementInput input = movementInputFrom(SDL_GetKeyboardState(nullptr), appCore);
    appCore.input.lookDeltaX = 0.0f;
    appCore.input.lookDeltaY = 0.0f;
    stepLocalPlayer(localPlayer, input, dt);
}
