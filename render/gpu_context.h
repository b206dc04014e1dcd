// Every WebGPU object of the client and the surface's size, in one record that lives for the whole
// process. Created once at start-up and never released, except the size-dependent targets (the
// depth texture and, headless, the offscreen colour texture), which configureSurface replaces.
#pragma once
#include <cstdint>
#include <cstdio>

#include "render/drawing_path.h"
#include "render/webgpu_api.h"

struct SDL_Window;

struct GpuContext {
    WGPUInstance instance;
    WGPUSurface surface;  // null when running headless (tests on Dawn's Null backend)
    WGPUAdapter adapter;
    WGPUDevice device;
    WGPUQueue queue;
    WGPUTextureFormat surfaceFormat;
    int32_t surfaceWidth = 1;
    int32_t surfaceHeight = 1;
    WGPUTexture depthTexture;
    WGPUTextureView depthView;
    WGPURenderPipeline flatPipeline;
    WGPURenderPipeline floorPipeline;
    WGPURenderPipeline uiPipeline;
    WGPUBuffer sceneVertexBuffer;
    WGPUBuffer uiVertexBuffer;
    WGPUBuffer sceneUniformBuffer;
    WGPUBuffer screenUniformBuffer;
    WGPUBindGroup flatBindGroup;
    WGPUBindGroup uiBindGroup;
    WGPUBindGroup floorBindGroup;
    float eyePosition[4];  // the fourth value stays 0
    uint32_t maxTextureDimension = 4096;  // the device's largest 2D texture side, as granted
    DrawingPath drawingPath;  // from the adapter, at start-up
};

extern GpuContext gpu;

constexpr uint64_t SceneUniformBytes = 80;
constexpr uint64_t ScreenUniformBytes = 16;

// Brings up WebGPU for the window: instance, surface, adapter, device, surface format, depth target,
// the three pipelines, the four buffers and the flat pipeline's bind group. False at the first failure.
bool startGpu(SDL_Window* window);

// The scene's two pipelines and the flat pipeline's bind group, built for the path; replaces (and
// releases) those made before. startGpu builds them for gpu.drawingPath. The floor's bind group
// belongs to the floor pipeline, so bindFloorMaterial must follow when the floor maps are loaded.
bool createScenePipelines(const DrawingPath& path);

// The first half of startGpu: instance, surface, adapter, device, surface format and depth target,
// with no pipelines or buffers (what the bare start-up benchmark presents a cleared frame with).
bool startGpuDevice(SDL_Window* window);

// The same without a window, on Dawn's Null backend, rendering into an offscreen target of
// width x height: for tests that validate shaders, pipelines and frames with no display.
bool startGpuHeadless(int width, int height);

// Clamps the size to at least 1 x 1 and at most the device's largest texture, reconfigures the
// surface and replaces the depth target. A window larger than the device can draw keeps its picture
// in the part that fits (logged once per run).
void configureSurface(int32_t width, int32_t height);

// A side of the surface within 1 .. maxSide.
int32_t clampSurfaceSide(int32_t side, uint32_t maxSide);

// The preferred surface format among those a surface offers: the first BGRA8Unorm or RGBA8Unorm
// listed, else the first listed, else BGRA8Unorm.
WGPUTextureFormat chooseSurfaceFormat(const WGPUTextureFormat* formats, size_t count);

// The device's uncaptured-error callback.
void onUncapturedError(const WGPUDevice* device, WGPUErrorType type, WGPUStringView message, void* userdata1,
                       void* userdata2);

// Writes "wgpu: " and the message's bytes (up to its NUL when its length is WGPU_STRLEN) as one
// line, and flushes, so that a crash right after still leaves the line in the log.
void writeGpuErrorLine(FILE* out, WGPUStringView message);

// The offscreen colour target of a headless start (null otherwise).
WGPUTexture headlessTarget();

// How many uncaptured errors the device has reported since start-up.
extern int uncapturedErrorCount;
