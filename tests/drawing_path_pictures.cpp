// The title view and the play view drawn on whatever adapter the client gets (llvmpipe under Xvfb
// here), once on each drawing path, with the client's own start-up, pipelines, floor material, menus
// and frame: the hardware path drawn where no hardware is. The cameras are fixed (the title's where
// a VZ_TEST_STILL_TITLE client's stands), so the two paths' pictures differ only where the paths do.
// For each picture it prints "shoot <name>" and waits for a line on its input, so that
// tests/hardware_path_test.sh screenshots that picture alone. Also drawn: each view with the floor
// left out and no menus (the clear colour then marks the floor's pixels) and the software title a
// second time (the same pixels, or the comparison means nothing). The first line says which path
// the adapter itself chose.
#include <SDL3/SDL.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "render/camera.h"
#include "render/floor_textures.h"
#include "render/font_texture.h"
#include "render/gpu_context.h"
#include "render/renderer.h"
#include "ui/font_atlas.h"
#include "ui/menu_screens.h"
#include "ui/ui_mesh.h"
#include "world/body.h"
#include "world/room_geometry.h"

namespace {

constexpr int Width = 1280;
constexpr int Height = 720;
constexpr float PlayFacing = 2.5525440f;  // 13 pi / 16, a spawn point: the player faces the room's centre
constexpr int FramesBeforeShot = 3;

enum class View { Title, Play };
struct Options {
    bool withFloor;
    bool withMenus;
};

void buildView(View view, Options options, float viewProjection[16]) {
    sceneMesh.count = 0;
    uiMesh.count = 0;
    buildRoomMesh(sceneMesh);
    if (view == View::Title) {
        OrbitCamera orbit = orbitCameraAt(StillTitleOrbitAngle);
        computeViewProjection(orbit.eye, orbit.yaw, orbit.pitch, viewProjection);
    } else {
        // Standing on the spawn circle, three others ahead at several distances.
        const float toCentre[2] = {-std::sin(PlayFacing), -std::cos(PlayFacing)};
        const float right[2] = {std::cos(PlayFacing), -std::sin(PlayFacing)};
        const float eye[3] = {-SpawnRadius * toCentre[0], StandingEyeHeight, -SpawnRadius * toCentre[1]};
        computeViewProjection(eye, PlayFacing, 0.0f, viewProjection);
        struct Other {
            float ahead, across;
            float colour[3];
        };
        const Other others[] = {{1.8f, -0.7f, {0.95f, 0.60f, 0.12f}},
                                {3.4f, 0.9f, {0.34f, 0.73f, 0.91f}},
                                {6.0f, -0.2f, {0.90f, 0.30f, 0.35f}}};
        for (const Other& other : others) {
            appendAvatarCapsule(sceneMesh, eye[0] + toCentre[0] * other.ahead + right[0] * other.across, 0.0f,
                                eye[2] + toCentre[1] * other.ahead + right[1] * other.across, 1.8f, other.colour);
        }
    }
    if (!options.withFloor) {
        // The floor quad, vertices 0 to 5, folded into one point: it covers no pixel.
        for (uint32_t i = 1; i < 6; ++i) {
            std::memcpy(sceneMesh.vertices[i].position, sceneMesh.vertices[0].position, sizeof(float) * 3);
        }
    }
    if (options.withMenus) {
        MenuFrame frame = {};
        frame.screen = view == View::Title ? MenuScreen::Title : MenuScreen::None;
        frame.width = float(gpu.surfaceWidth);
        frame.height = float(gpu.surfaceHeight);
        frame.pointer = {-100.0f, -100.0f, false};  // hovering nothing
        runMenuScreen(frame, uiMesh, fontAtlas);
    }
}

// Presents the view a few times, then asks for its screenshot; false when the script is gone.
bool shoot(const char* name, View view, Options options) {
    float viewProjection[16];
    buildView(view, options, viewProjection);
    for (int i = 0; i < FramesBeforeShot; ++i) {
        SDL_PumpEvents();
        renderFrame(viewProjection);
        wgpuInstanceProcessEvents(gpu.instance);
    }
    std::printf("shoot %s\n", name);
    std::fflush(stdout);
    char answer[16];
    return std::fgets(answer, sizeof(answer), stdin) != nullptr;
}

bool sameDrawingPath(const DrawingPath& a, const DrawingPath& b) {
    return a.floorAnisotropy == b.floorAnisotropy && a.floorMipFilter == b.floorMipFilter &&
           a.cpuRasterizerShading == b.cpuRasterizerShading;
}

}  // namespace

int main() {
    if (!SDL_Init(SDL_INIT_VIDEO)) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("Vornhal: Zanthery drawing paths", Width, Height, 0);
    if (!window || !startGpu(window) || !loadFontAtlas() || !loadFloorMaterial()) {
        std::fprintf(stderr, "start-up failed\n");
        return 1;
    }
    bool adapterIsSoftware = sameDrawingPath(gpu.drawingPath, drawingPathFor(true));
    std::printf("adapter %s\n", adapterIsSoftware ? "software" : "hardware");

    struct Path {
        const char* name;
        DrawingPath path;
    };
    const Path paths[] = {{"software", drawingPathFor(true)}, {"hardware", drawingPathFor(false)}};
    const Options asShown = {true, true};
    char name[64];
    for (const Path& path : paths) {
        if (!createScenePipelines(path.path)) return 1;
        bindFloorMaterial(path.path);
        std::snprintf(name, sizeof(name), "title-%s", path.name);
        if (!shoot(name, View::Title, asShown)) return 1;
        std::snprintf(name, sizeof(name), "play-%s", path.name);
        if (!shoot(name, View::Play, asShown)) return 1;
    }
    if (!createScenePipelines(paths[0].path)) return 1;
    bindFloorMaterial(paths[0].path);
    if (!shoot("title-software-again", View::Title, asShown)) return 1;
    if (!shoot("title-floor-left-out", View::Title, {false, false})) return 1;
    if (!shoot("play-floor-left-out", View::Play, {false, false})) return 1;
    std::printf("uncaptured errors %d\n", uncapturedErrorCount);
    SDL_Quit();
    return uncapturedErrorCount == 0 ? 0 : 1;
}
