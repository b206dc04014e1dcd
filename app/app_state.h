// The application state, the pointer state the event handling keeps, and the handling of one window
// event, all as plain values so that tests can drive them with recorded events and no window.
#pragma once
#include <cstdint>

union SDL_Event;

enum class AppState { Menu = 0, Playing = 1, Paused = 2 };

struct InputState {
    float mouseX, mouseY;          // last pointer position, window pixels
    float lookDeltaX, lookDeltaY;  // relative motion summed while Playing, consumed by the movement step
    bool clicked;                  // a left-button press was seen in this frame's event drain
};

// How pointer motion turns the view, from the settings: a factor on the movement step's radians per
// unit, and whether moving the mouse down looks up.
struct LookSettings {
    float sensitivity = 1.0f;
    bool invertVertical = false;
};

// Lives for the process; main thread only.
struct AppCore {
    AppState state = AppState::Menu;
    InputState input = {};
    LookSettings look = {};
    bool running = true;
    bool relativeMouseMode = false;  // wanted mode; the frame loop applies it to the window
};

extern AppCore appCore;

// Every state change turns relative mouse mode on exactly when entering Playing and drops any
// look motion not yet consumed.
void changeAppState(AppCore& core, AppState next);

// What the caller must do with the window after an event.
struct EventAction {
    bool resizeSurface;
    int width, height;
    bool toggleFullscreen;  // F11 or Alt+Enter: between the window and borderless fullscreen
    bool focusGained, focusLost;  // the window gained or lost the keyboard focus
};

EventAction handleAppEvent(AppCore& core, const SDL_Event& event);

// The frame's time step in seconds, from the millisecond tick counter, never above 0.05 however
// long the frame took. Updates lastTickMs.
float frameTimeStep(uint64_t nowMs, uint64_t& lastTickMs);
