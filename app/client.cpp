// Start-up order, the frame loop and shutdown. Everything runs on the main thread; frame pacing comes
// from the surface's Fifo presentation.
#include "app/client.h"

#include <SDL3/SDL.h>

#include <chrono>
#include <cstdio>

#include "app/app_state.h"
#include "app/remote_avatars.h"
#include "net/remote_players.h"
#include "net/socket_layer.h"
#include "render/camera.h"
#include "render/floor_textures.h"
#include "render/gpu_context.h"
#include "render/renderer.h"
#include "ui/font_atlas.h"
#include "ui/ui_mesh.h"
#include "world/player.h"
#include "world/room_geometry.h"

namespace {

const char* const WindowTitle = "Vornhal: Zanthery";

// Process-lifetime state of the loop.
SDL_Window* window;
bool networkStarted;
uint64_t lastTickMs;
float orbitAngle;  // advanced only while on the title screen, so a return continues the orbit
bool relativeMouseApplied;
std::chrono::steady_clock::time_point processStart;
bool firstFrameLogged;

// Milliseconds since start at which each start-up step ended, for the first-frame log line.
enum StartupStep { WindowReady, GpuReady, FontReady, FloorReady, StartupStepCount };
long long startupMs[StartupStepCount];

long long msSinceStart() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - processStart)
        .count();
}

int failStartup(const char* message) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, WindowTitle, message, nullptr);
    return 1;
}

// Everything written to standard error from here on (chiefly WebGPU validation messages) lands in
// the log file beside the executable.
void openLogFile() {
    const char* basePath = SDL_GetBasePath();
    if (!basePath) return;
    char path[4096];
    std::snprintf(path, sizeof(path), "%svornhalzanthery.log", basePath);
    (void)std::freopen(path, "w", stderr);
}

void applyRelativeMouseMode() {
    if (appCore.relativeMouseMode == relativeMouseApplied) return;
    SDL_SetWindowRelativeMouseMode(window, appCore.relativeMouseMode);
    relativeMouseApplied = appCore.relativeMouseMode;
}

// One line in the log: how long start-up took as the user sees it, and where the time went.
void logFirstFrame() {
    long long now = msSinceStart();
    std::fprintf(stderr,
                 "first frame presented %lld ms after start (window %lld, GPU and pipelines %lld, font %lld, "
                 "floor maps %lld, first frame %lld)\n",
                 now, startupMs[WindowReady], startupMs[GpuReady] - startupMs[WindowReady],
                 startupMs[FontReady] - startupMs[GpuReady], startupMs[FloorReady] - startupMs[FontReady],
                 now - startupMs[FloorReady]);
    std::fflush(stderr);
    firstFrameLogged = true;
}

void drainEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        EventAction action = handleAppEvent(appCore, event);
        if (action.resizeSurface) configureSurface(action.width, action.height);
    }
    applyRelativeMouseMode();
}

void runFrame() {
    appCore.input.clicked = false;
    drainEvents();

    uint64_t now = SDL_GetTicks();
    float dt = frameTimeStep(now, lastTickMs);

    sceneMesh.count = 0;
    uiMesh.count = 0;
    buildRoomMesh(sceneMesh);
    smoothAndAppendAvatars(remotePlayers, dt, sceneMesh);

    float viewProjection[16];
    if (appCore.state != AppState::Menu) {
        const float eye[3] = {localPlayer.x, localPlayer.y + localPlayer.eyeHeight, localPlayer.z};
        computeViewProjection(eye, localPlayer.yaw, localPlayer.pitch, viewProjection);
    } else {
        orbitAngle += 0.08f * dt;
        OrbitCamera orbit = orbitCameraAt(orbitAngle);
        computeViewProjection(orbit.eye, orbit.yaw, orbit.pitch, viewProjection);
    }
    applyRelativeMouseMode();

    if (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED) {
        SDL_Delay(16);
    } else {
        renderFrame(viewProjection);
        if (lastFrameDraws.presented && !firstFrameLogged) logFirstFrame();
    }
    wgpuInstanceProcessEvents(gpu.instance);
}

}  // namespace

int runClient(int, char**) {
    processStart = std::chrono::steady_clock::now();
    openLogFile();
    networkStarted = startSocketLayer();

    if (!SDL_Init(SDL_INIT_VIDEO)) return failStartup(SDL_GetError());
    window = SDL_CreateWindow(WindowTitle, 1280, 720, SDL_WINDOW_RESIZABLE);
    if (!window) return failStartup(SDL_GetError());
    startupMs[WindowReady] = msSinceStart();
    if (!startGpu(window)) return failStartup("WebGPU start failed");
    startupMs[GpuReady] = msSinceStart();
    if (!loadFontAtlas()) return failStartup("coolvetica.otf failed to load");
    startupMs[FontReady] = msSinceStart();
    if (!loadFloorMaterial()) return failStartup("floor textures failed to load");
    startupMs[FloorReady] = msSinceStart();

    appCore.running = true;
    lastTickMs = SDL_GetTicks();
    while (appCore.running) runFrame();

    SDL_Quit();
    if (networkStarted) stopSocketLayer();
    return 0;
}
