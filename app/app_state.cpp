// State transitions and event handling of the frame loop.
#include "app/app_state.h"

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_mouse.h>

AppCore appCore;

void changeAppState(AppCore& core, AppState next) {
    core.state = next;
    core.relativeMouseMode = next == AppState::Playing;
    core.input.lookDeltaX = 0.0f;
    core.input.lookDeltaY = 0.0f;
}

EventAction handleAppEvent(AppCore& core, const SDL_Event& event) {
    EventAction action = {};
    switch (event.type) {
        case SDL_EVENT_QUIT:
            core.running = false;
            break;
        case SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED:
            if (event.window.data1 > 0 && event.window.data2 > 0) {
                action.resizeSurface = true;
                action.width = event.window.data1;
                action.height = event.window.data2;
            }
            break;
        case SDL_EVENT_WINDOW_FOCUS_GAINED:
            action.focusGained = true;
            break;
        case SDL_EVENT_WINDOW_FOCUS_LOST:
            action.focusLost = true;
            if (core.state == AppState::Playing) changeAppState(core, AppState::Paused);
            break;
        case SDL_EVENT_KEY_DOWN:
            // Held, the fullscreen keys switch once; Enter without Alt does nothing.
            if (event.key.scancode == SDL_SCANCODE_F11 ||
                (event.key.scancode == SDL_SCANCODE_RETURN && (event.key.mod & SDL_KMOD_ALT))) {
                action.toggleFullscreen = !event.key.repeat;
                break;
            }
            // Key repeats arrive as further key-downs, so holding Escape keeps toggling.
            if (event.key.scancode != SDL_SCANCODE_ESCAPE) break;
            if (core.state == AppState::Playing) {
                changeAppState(core, AppState::Paused);
            } else if (core.state == AppState::Paused) {
                changeAppState(core, AppState::Playing);
            }
            break;
        case SDL_EVENT_MOUSE_MOTION:
            core.input.mouseX = event.motion.x;
            core.input.mouseY = event.motion.y;
            if (core.state == AppState::Playing) {
                core.input.lookDeltaX += event.motion.xrel;
                core.input.lookDeltaY += event.motion.yrel;
            }
            break;
        case SDL_EVENT_MOUSE_BUTTON_DOWN:
            if (event.button.button != SDL_BUTTON_LEFT) break;
            core.input.mouseX = event.button.x;
            core.input.mouseY = event.button.y;
            core.input.clicked = true;
            break;
        default:
            break;
    }
    return action;
}

float frameTimeStep(uint64_t nowMs, uint64_t& lastTickMs) {
    float dt = float(nowMs - lastTickMs) / 1000.0f;
    lastTickMs = nowMs;
    return dt < 0.05f ? dt : 0.05f;
}
