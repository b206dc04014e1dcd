// Event handling over recorded events: state changes from Escape and focus loss, pointer and click
// bookkeeping, resizes, and the frame time step.
#include <gtest/gtest.h>

#include <SDL3/SDL_events.h>

#include <cstring>

#include "app/app_state.h"

namespace {

SDL_Event keyDown(SDL_Scancode scancode, bool repeat = false, SDL_Keymod mod = SDL_KMOD_NONE) {
    SDL_Event event = {};
    event.type = SDL_EVENT_KEY_DOWN;
    event.key.scancode = scancode;
    event.key.repeat = repeat;
    event.key.mod = mod;
    return event;
}

SDL_Event windowEvent(Uint32 type, int data1 = 0, int data2 = 0) {
    SDL_Event event = {};
    event.type = type;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}

SDL_Event motion(float x, float y, float xrel, float yrel) {
    SDL_Event event = {};
    event.type = SDL_EVENT_MOUSE_MOTION;
    event.motion.x = x;
    event.motion.y = y;
    event.motion.xrel = xrel;
    event.motion.yrel = yrel;
    return event;
}

SDL_Event buttonDown(Uint8 button, float x, float y) {
    SDL_Event event = {};
    event.type = SDL_EVENT_MOUSE_BUTTON_DOWN;
    event.button.button = button;
    event.button.x = x;
    event.button.y = y;
    return event;
}

AppCore coreIn(AppState state) {
    AppCore core;
    changeAppState(core, state);
    return core;
}

}  // namespace

TEST(Escape, TogglesBetweenPlayingAndPausedAndDoesNothingInMenu) {
    struct Case {
        AppState before, after;
        bool relativeMouse;
    };
    for (Case c : {Case{AppState::Menu, AppState::Menu, false}, Case{AppState::Playing, AppState::Paused, false},
                   Case{AppState::Paused, AppState::Playing, true}}) {
        AppCore core = coreIn(c.before);
        core.input.lookDeltaX = 3.0f;
        core.input.lookDeltaY = -2.0f;
        handleAppEvent(core, keyDown(SDL_SCANCODE_ESCAPE));
        EXPECT_EQ(core.state, c.after);
        EXPECT_EQ(core.relativeMouseMode, c.relativeMouse);
        if (c.before != c.after) {
            EXPECT_EQ(core.input.lookDeltaX, 0.0f);
            EXPECT_EQ(core.input.lookDeltaY, 0.0f);
        }
    }
}

TEST(Escape, KeyRepeatsKeepToggling) {
    AppCore core = coreIn(AppState::Playing);
    handleAppEvent(core, keyDown(SDL_SCANCODE_ESCAPE));
    handleAppEvent(core, keyDown(SDL_SCANCODE_ESCAPE, true));
    EXPECT_EQ(core.state, AppState::Playing);
    handleAppEvent(core, keyDown(SDL_SCANCODE_ESCAPE, true));
    EXPECT_EQ(core.state, AppState::Paused);
}

TEST(Escape, OtherKeysChangeNothing) {
    for (SDL_Scancode key : {SDL_SCANCODE_W, SDL_SCANCODE_SPACE, SDL_SCANCODE_RETURN}) {
        AppCore core = coreIn(AppState::Playing);
        handleAppEvent(core, keyDown(key));
        EXPECT_EQ(core.state, AppState::Playing) << SDL_GetScancodeName(key);
        EXPECT_TRUE(core.relativeMouseMode) << SDL_GetScancodeName(key);
    }
}

// F11 and Alt+Enter switch fullscreen once per press and do nothing else; Enter alone does nothing.
TEST(Fullscreen, F11AndAltEnterToggleItAndNothingElse) {
    struct Case {
        const char* what;
        SDL_Event event;
        bool toggles;
    };
    const Case cases[] = {
        {"F11", keyDown(SDL_SCANCODE_F11), true},
        {"left Alt+Enter", keyDown(SDL_SCANCODE_RETURN, false, SDL_KMOD_LALT), true},
        {"right Alt+Enter", keyDown(SDL_SCANCODE_RETURN, false, SDL_KMOD_RALT), true},
        {"F11 held", keyDown(SDL_SCANCODE_F11, true), false},
        {"Alt+Enter held", keyDown(SDL_SCANCODE_RETURN, true, SDL_KMOD_LALT), false},
        {"Enter", keyDown(SDL_SCANCODE_RETURN), false},
        {"Ctrl+Enter", keyDown(SDL_SCANCODE_RETURN, false, SDL_KMOD_LCTRL), false},
        {"F10", keyDown(SDL_SCANCODE_F10), false},
    };
    for (const Case& c : cases) {
        for (AppState state : {AppState::Menu, AppState::Playing, AppState::Paused}) {
            AppCore core = coreIn(state);
            EXPECT_EQ(handleAppEvent(core, c.event).toggleFullscreen, c.toggles) << c.what;
            EXPECT_EQ(core.state, state) << c.what;
        }
    }
}

TEST(FocusLoss, PausesOnlyWhilePlaying) {
    for (AppState state : {AppState::Menu, AppState::Playing, AppState::Paused}) {
        AppCore core = coreIn(state);
        EXPECT_TRUE(handleAppEvent(core, windowEvent(SDL_EVENT_WINDOW_FOCUS_LOST)).focusLost);
        EXPECT_EQ(core.state, state == AppState::Playing ? AppState::Paused : state);
        EXPECT_FALSE(core.relativeMouseMode);
        EventAction gained = handleAppEvent(core, windowEvent(SDL_EVENT_WINDOW_FOCUS_GAINED));
        EXPECT_TRUE(gained.focusGained && !gained.focusLost);
        EXPECT_EQ(core.state, state == AppState::Playing ? AppState::Paused : state) << "gaining the focus resumes nothing";
    }
}

TEST(Resize, ZeroSizedPixelEventsAreIgnored) {
    AppCore core;
    EventAction zeroWidth = handleAppEvent(core, windowEvent(SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED, 0, 600));
    EventAction zeroHeight = handleAppEvent(core, windowEvent(SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED, 800, 0));
    EventAction real = handleAppEvent(core, windowEvent(SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED, 800, 600));
    EventAction onePixel = handleAppEvent(core, windowEvent(SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED, 1, 1));
    EXPECT_FALSE(zeroWidth.resizeSurface);
    EXPECT_FALSE(zeroHeight.resizeSurface);
    EXPECT_TRUE(real.resizeSurface);
    EXPECT_TRUE(onePixel.resizeSurface) << "the smallest window is still drawn";
    EXPECT_EQ(real.width, 800);
    EXPECT_EQ(real.height, 600);
}

TEST(Quit, StopsTheLoopButLaterEventsAreStillHandled) {
    AppCore core = coreIn(AppState::Playing);
    handleAppEvent(core, windowEvent(SDL_EVENT_QUIT));
    handleAppEvent(core, keyDown(SDL_SCANCODE_ESCAPE));
    EXPECT_FALSE(core.running);
    EXPECT_EQ(core.state, AppState::Paused);
}

TEST(Mouse, MotionMovesThePointerButSumsLookOnlyWhilePlaying) {
    for (AppState state : {AppState::Menu, AppState::Playing, AppState::Paused}) {
        AppCore core = coreIn(state);
        handleAppEvent(core, motion(10, 20, 3, -4));
        handleAppEvent(core, motion(15, 22, 5, 2));
        EXPECT_EQ(core.input.mouseX, 15.0f);
        EXPECT_EQ(core.input.mouseY, 22.0f);
        bool playing = state == AppState::Playing;
        EXPECT_EQ(core.input.lookDeltaX, playing ? 8.0f : 0.0f);
        EXPECT_EQ(core.input.lookDeltaY, playing ? -2.0f : 0.0f);
    }
}

TEST(Mouse, OnlyTheLeftButtonClicks) {
    AppCore core;
    handleAppEvent(core, buttonDown(SDL_BUTTON_RIGHT, 5, 5));
    handleAppEvent(core, buttonDown(SDL_BUTTON_MIDDLE, 6, 6));
    EXPECT_FALSE(core.input.clicked);
    EXPECT_EQ(core.input.mouseX, 0.0f) << "other buttons do not move the pointer";
    handleAppEvent(core, buttonDown(SDL_BUTTON_LEFT, 100, 200));
    handleAppEvent(core, buttonDown(SDL_BUTTON_LEFT, 300, 400));
    EXPECT_TRUE(core.input.clicked);
    EXPECT_EQ(core.input.mouseX, 300.0f);
    EXPECT_EQ(core.input.mouseY, 400.0f);
}

TEST(TimeStep, IsClampedAfterAStall) {
    uint64_t last = 1000;
    EXPECT_FLOAT_EQ(frameTimeStep(1016, last), 0.016f);
    EXPECT_EQ(last, 1016u);
    EXPECT_FLOAT_EQ(frameTimeStep(3016, last), 0.05f);
    EXPECT_FLOAT_EQ(frameTimeStep(3016, last), 0.0f);
    EXPECT_FLOAT_EQ(frameTimeStep(3066, last), 0.05f);
    EXPECT_FLOAT_EQ(frameTimeStep(3115, last), 0.049f);
    EXPECT_FLOAT_EQ(frameTimeStep(3166, last), 0.05f) << "51 ms";
}

// SDL fills only an event's own fields; the rest of the union holds whatever was there before. Each
// event must act on its own fields alone.
TEST(Events, EachEventActsOnItsOwnFieldsAlone) {
    auto leftover = [](Uint32 type) {
        SDL_Event event;
        std::memset(&event, 0x5A, sizeof event);
        event.type = type;
        return event;
    };
    SDL_Event quit = leftover(SDL_EVENT_QUIT);
    SDL_Event resize = leftover(SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED);
    resize.window.data1 = 800;
    resize.window.data2 = 600;
    SDL_Event escape = leftover(SDL_EVENT_KEY_DOWN);
    escape.key.scancode = SDL_SCANCODE_ESCAPE;
    SDL_Event drag = leftover(SDL_EVENT_MOUSE_MOTION);
    drag.motion.state = SDL_BUTTON_LMASK;
    drag.motion.x = 100;
    drag.motion.y = 200;
    drag.motion.xrel = drag.motion.yrel = 0;
    struct Case {
        const char* what;
        const SDL_Event& event;
        AppState before, after;
        bool resize;
    };
    const Case cases[] = {
        {"quit", quit, AppState::Playing, AppState::Playing, false},
        {"resize", resize, AppState::Playing, AppState::Playing, true},
        {"Escape", escape, AppState::Paused, AppState::Playing, false},
        {"drag with the left button held", drag, AppState::Menu, AppState::Menu, false},
    };
    for (const Case& c : cases) {
        AppCore core = coreIn(c.before);
        handleAppEvent(core, motion(100, 200, 0, 0));
        EventAction action = handleAppEvent(core, c.event);
        EXPECT_EQ(action.resizeSurface, c.resize) << c.what;
        EXPECT_FALSE(action.focusGained || action.focusLost || action.toggleFullscreen) << c.what;
        EXPECT_EQ(core.state, c.after) << c.what;
        EXPECT_EQ(core.input.mouseX, 100.0f) << c.what << ": the pointer stays";
        EXPECT_EQ(core.input.mouseY, 200.0f) << c.what << ": the pointer stays";
        EXPECT_EQ(core.input.lookDeltaX, 0.0f) << c.what;
        EXPECT_FALSE(core.input.clicked) << c.what << ": no click";
    }
}
