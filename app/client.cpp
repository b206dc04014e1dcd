// Start-up order, the frame loop and shutdown. Everything runs on the main thread; frame pacing comes
// from the surface's Fifo presentation.
#include "app/client.h"

#include <SDL3/SDL.h>

#include "app/accessibility_shortcuts.h"
#include "app/app_state.h"
#include "app/frame_stats.h"
#include "app/menus.h"
#include "app/player_control.h"
#include "app/presence_join.h"
#include "app/presence_pump.h"
#include "app/remote_avatars.h"
#include "app/settings_file.h"
#include "base/log.h"
#include "base/startup_clock.h"
#include "files/files.h"
#include "presence/presence_client.h"
#include "protocol/release_number.h"
#include "protocol/remote_players.h"
#include "render/camera.h"
#include "render/floor_textures.h"
#include "render/font_texture.h"
#include "render/gpu_context.h"
#include "render/renderer.h"
#include "sockets/socket_layer.h"
#include "ui/ui_mesh.h"
#include "update/update_check.h"
#include "world/player.h"
#include "world/room_geometry.h"

namespace {

const char* const WindowTitle = "Vornhal: Zanthery";

// The frame loop's own state: made at start-up, lives for the process, main thread only.
struct ClientLoop {
    SDL_Window* window;
    uint64_t lastTickMs;
    float orbitAngle;  // advanced only while on the title screen, so a return continues the orbit
    float focalFactor = CameraFocalFactor;  // from the field of view in the settings
    bool relativeMouseApplied;
    // Pointer positions arrive in window coordinates and the menus lay out in pixels; on a
    // high-density display the two differ by these factors.
    float pointerScaleX = 1.0f, pointerScaleY = 1.0f;
    bool firstFrameLogged;
    uint64_t lastFrameStartNs;
    FrameStats frames;
};

ClientLoop loop;

// The cause is already in the log (and on the terminal); the box is what a user on Windows sees.
int failStartup(const char* message) {
    finishFloorMapDecoding();
    if (!SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, WindowTitle, message, nullptr)) {
        logFatal("the error box could not be shown either: %s", SDL_GetError());
    }
    return 1;
}

void applyRelativeMouseMode() {
    if (!loop.window || appCore.relativeMouseMode == loop.relativeMouseApplied) return;
    SDL_SetWindowRelativeMouseMode(loop.window, appCore.relativeMouseMode);
    loop.relativeMouseApplied = appCore.relativeMouseMode;
}

// One line in the log: how long start-up took as the user sees it, and where the time went.
void logFirstFrame() {
    markStartupStep("first frame");
    char steps[512];
    formatStartupSteps(steps, sizeof(steps));
    logLine("first frame presented %llu ms after start (%s)", (unsigned long long)msSinceLaunch(), steps);
    loop.firstFrameLogged = true;
}

void logFrameFigures() {
    FrameSummary summary = summarizeFrameTimes(loop.frames);
    if (summary.frames == 0) return;
    logLine("frames: %u, median %.2f ms (%.1f a second), 99th percentile %.2f ms, longest %.2f ms",
            summary.frames, double(summary.medianMs), summary.medianMs > 0 ? 1000.0 / double(summary.medianMs) : 0.0,
            double(summary.percentile99Ms), double(summary.longestMs));
}

void measurePointerScale() {
    if (!loop.window) return;
    int width = 0, height = 0, pixelWidth = 0, pixelHeight = 0;
    if (!SDL_GetWindowSize(loop.window, &width, &height) || !SDL_GetWindowSizeInPixels(loop.window, &pixelWidth, &pixelHeight))
        return;
    if (width > 0 && height > 0 && pixelWidth > 0 && pixelHeight > 0) {
        loop.pointerScaleX = float(pixelWidth) / float(width);
        loop.pointerScaleY = float(pixelHeight) / float(height);
    }
}

// Borderless fullscreen on the window's display and back; the surface follows through the pixel-size
// event that the change brings.
void toggleFullscreen() {
    if (!loop.window) return;
    bool fullscreen = (SDL_GetWindowFlags(loop.window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (!SDL_SetWindowFullscreen(loop.window, !fullscreen)) {
        logLine("fullscreen %s refused: %s", fullscreen ? "off" : "on", SDL_GetError());
    }
}

void drainEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        EventAction action = handleAppEvent(appCore, event);
        if (action.resizeSurface) {
            configureSurface(action.width, action.height);
            measurePointerScale();
        }
        if (action.toggleFullscreen) toggleFullscreen();
        if (action.focusGained) suspendAccessibilityShortcuts();
        if (action.focusLost) restoreAccessibilityShortcuts();
    }
    applyRelativeMouseMode();
}

// The window's start size from the settings, clamped to the primary display's usable area.
WindowSize windowSizeAtStart(const Settings& settings) {
    SDL_Rect usable = {};
    if (!SDL_GetDisplayUsableBounds(SDL_GetPrimaryDisplay(), &usable)) usable.w = usable.h = 0;
    WindowSize size = startWindowSize(settings, usable.w, usable.h);
    if (size.width != settings.windowWidth || size.height != settings.windowHeight) {
        logLine("settings: window %d x %d clamped to the display's %d x %d", settings.windowWidth,
                settings.windowHeight, size.width, size.height);
    }
    return size;
}

}  // namespace

void runClientFrame() {
    uint64_t frameStartNs = SDL_GetTicksNS();
    if (loop.lastFrameStartNs) recordFrameTime(loop.frames, float(frameStartNs - loop.lastFrameStartNs) * 1e-6f);
    // The first frame's drawing belongs to start-up, which the first-frame line reports.
    loop.lastFrameStartNs = loop.firstFrameLogged ? frameStartNs : 0;

    appCore.input.clicked = false;
    drainEvents();

    uint64_t now = SDL_GetTicks();
    float dt = frameTimeStep(now, loop.lastTickMs);
    presenceJoinPump(now);
    presencePump(now);

    if (appCore.state != AppState::Menu) updateLocalPlayer(dt);

    sceneMesh.count = 0;
    uiMesh.count = 0;
    buildRoomMesh(sceneMesh);
    smoothAndAppendAvatars(remotePlayers, dt, sceneMesh);

    float viewProjection[16];
    if (appCore.state != AppState::Menu) {
        const float eye[3] = {localPlayer.x, localPlayer.y + localPlayer.eyeHeight, localPlayer.z};
        computeViewProjection(eye, localPlayer.yaw, localPlayer.pitch, viewProjection, loop.focalFactor);
    } else {
        loop.orbitAngle += 0.08f * dt;
        OrbitCamera orbit = orbitCameraAt(loop.orbitAngle);
        computeViewProjection(orbit.eye, orbit.yaw, orbit.pitch, viewProjection, loop.focalFactor);
    }

    if (!runMenus(loop.pointerScaleX, loop.pointerScaleY)) appCore.running = false;
    applyRelativeMouseMode();

    if (loop.window && (SDL_GetWindowFlags(loop.window) & SDL_WINDOW_MINIMIZED)) {
        SDL_Delay(16);
    } else {
        FrameDraws drawn = renderFrame(viewProjection);
        if (drawn.presented && !loop.firstFrameLogged) logFirstFrame();
    }
    wgpuInstanceProcessEvents(gpu.instance);
}

int runClient(int, char**) {
    startStartupClock();
    // Without a folder from SDL the log stays on the terminal.
    if (SDL_GetBasePath()) openLogFile(pathBesideExecutable("vornhalzanthery.log").c_str());
    logLine("Vornhal: Zanthery, release %d", BuiltInReleaseNumber);
    Settings settings = readSettingsFile().settings;
    appCore.look = {settings.mouseSensitivity, settings.invertMouse};
    loop.focalFactor = focalFactorForFieldOfView(settings.fieldOfView);
    networkStarted = startSocketLayer();
    startFloorMapDecoding();

    if (!SDL_Init(SDL_INIT_VIDEO)) {
        logFatal("start-up failed: SDL_Init (video): %s", SDL_GetError());
        return failStartup(SDL_GetError());
    }
    WindowSize size = windowSizeAtStart(settings);
    loop.window = SDL_CreateWindow(WindowTitle, size.width, size.height,
                                   SDL_WINDOW_RESIZABLE | (settings.fullscreen ? SDL_WINDOW_FULLSCREEN : 0));
    if (!loop.window) {
        logFatal("start-up failed: SDL_CreateWindow: %s", SDL_GetError());
        return failStartup(SDL_GetError());
    }
    markStartupStep("window");
    measurePointerScale();
    if (!startGpu(loop.window)) return failStartup("WebGPU start failed");
    if (!loadFontAtlas()) return failStartup("coolvetica.otf failed to load");
    markStartupStep("font");
    if (!loadFloorMaterial()) return failStartup("floor textures failed to load");
    markStartupStep("floor maps");
    // Without a thread the client simply never offers an update.
    if (!startUpdateCheck(makerVersionTarget())) logLine("update check not started: no thread: %s", SDL_GetError());

    appCore.running = true;
    loop.lastTickMs = SDL_GetTicks();
    while (appCore.running) runClientFrame();

    logFrameFigures();
    restoreAccessibilityShortcuts();
    presenceLeave();
    SDL_Quit();
    if (networkStarted) stopSocketLayer();
    // A check still waiting on the network would otherwise meet the TLS library's teardown at exit.
    endProcessIfUpdateCheckRunning(0);
    return 0;
}
