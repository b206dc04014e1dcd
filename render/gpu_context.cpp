// WebGPU start-up: instance, surface, adapter and device (asked for in render/gpu_requests.cpp),
// surface format and depth target, the frame's pipelines and buffers, and the device's error
// callback. Every call happens on the main thread.
#include "render/gpu_context.h"

#include <SDL3/SDL.h>

#include <cstdio>

#include "base/log.h"
#include "base/startup_clock.h"
#include "render/bind_groups.h"
#include "render/descriptors.h"
#include "render/gpu_requests.h"
#include "render/pipelines.h"
#include "render/window_surface.h"
#include "ui/ui_mesh.h"
#include "world/scene_mesh.h"

GpuContext gpu;
int uncapturedErrorCount = 0;

namespace {

// Headless runs render into this texture instead of a surface.
WGPUTexture offscreenTexture;
// A window larger than the device can draw is said once per run, not every frame.
bool oversizeLogged;

WGPUBuffer createBuffer(uint64_t size, WGPUBufferUsage usage) {
    WGPUBufferDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.usage = usage | WGPUBufferUsage_CopyDst;
    descriptor.size = size;
    descriptor.mappedAtCreation = false;
    return wgpuDeviceCreateBuffer(gpu.device, &descriptor);
}

// What every frame draws with: the three pipelines, the four buffers and the flat bind group.
bool createFrameObjects() {
    gpu.sceneVertexBuffer = createBuffer(uint64_t(SceneVertexCapacity) * sizeof(SceneVertex), WGPUBufferUsage_Vertex);
    gpu.uiVertexBuffer = createBuffer(uint64_t(UiVertexCapacity) * sizeof(UiVertex), WGPUBufferUsage_Vertex);
    gpu.sceneUniformBuffer = createBuffer(SceneUniformBytes, WGPUBufferUsage_Uniform);
    gpu.screenUniformBuffer = createBuffer(ScreenUniformBytes, WGPUBufferUsage_Uniform);
    gpu.uiPipeline = createUiPipeline().pipeline;
    bool scene = createScenePipelines(gpu.drawingPath);
    if (!scene || !gpu.uiPipeline) {
        logFatal("WebGPU start failed: pipelines: %s%s%s not created (the wgpu: lines above say why)",
                 gpu.flatPipeline ? "" : "flat ", gpu.floorPipeline ? "" : "floor ", gpu.uiPipeline ? "" : "ui");
        return false;
    }
    return true;
}

WGPUTexture createTarget(WGPUTextureFormat format, WGPUTextureUsage usage) {
    WGPUTextureDescriptor descriptor = textureDescriptor(
        {.usage = usage, .width = uint32_t(gpu.surfaceWidth), .height = uint32_t(gpu.surfaceHeight), .format = format});
    return wgpuDeviceCreateTexture(gpu.device, &descriptor);
}

}  // namespace

bool createScenePipelines(const DrawingPath& path) {
    if (gpu.flatBindGroup) wgpuBindGroupRelease(gpu.flatBindGroup);
    if (gpu.flatPipeline) wgpuRenderPipelineRelease(gpu.flatPipeline);
    if (gpu.floorPipeline) wgpuRenderPipelineRelease(gpu.floorPipeline);
    gpu.flatBindGroup = nullptr;
    gpu.flatPipeline = createScenePipeline("fs_flat", path).pipeline;
    gpu.floorPipeline = createScenePipeline("fs_floor", path).pipeline;
    if (!gpu.flatPipeline || !gpu.floorPipeline) return false;
    // The flat pipeline's bind group needs only the scene uniforms, so it is made with them; the UI's
    // and the floor's wait for their textures.
    WGPUBindGroupEntry flatEntries[1] = {bufferBinding(0, gpu.sceneUniformBuffer, SceneUniformBytes)};
    gpu.flatBindGroup = createBindGroup(gpu.flatPipeline, flatEntries, 1);
    return true;
}

WGPUTextureFormat chooseSurfaceFormat(const WGPUTextureFormat* formats, size_t count) {
    WGPUTextureFormat chosen = count > 0 ? formats[0] : WGPUTextureFormat_BGRA8Unorm;
    for (size_t i = 0; i < count; ++i) {
        if (formats[i] == WGPUTextureFormat_BGRA8Unorm || formats[i] == WGPUTextureFormat_RGBA8Unorm) {
            chosen = formats[i];
            break;
        }
    }
    return chosen;
}

void writeGpuErrorLine(FILE* out, WGPUStringView message) {
    logLineBytes(out, "wgpu: ", message.data, stringViewLength(message));
}

void onUncapturedError(const WGPUDevice*, WGPUErrorType, WGPUStringView message, void*, void*) {
    ++uncapturedErrorCount;
    writeGpuErrorLine(stderr, message);
}

bool startGpuDevice(SDL_Window* window) {
    gpu.instance = wgpuCreateInstance(nullptr);
    if (!gpu.instance) {
        logFatal("WebGPU start failed: instance: wgpuCreateInstance gave none");
        return false;
    }
    markStartupStep("instance");
    gpu.surface = createWindowSurface(gpu.instance, window);
    if (!gpu.surface) {
        logFatal("WebGPU start failed: surface: none could be made from the window's native handles (video driver %s)",
                 SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "unknown");
        return false;
    }
    markStartupStep("surface");
    if (!chooseAdapter()) {
        logFatal("WebGPU start failed: adapter: no adapter that draws was offered (the adapter request lines above "
                 "say what each request gave)");
        return false;
    }
    markStartupStep("adapter");
    if (!requestDevice()) {
        logFatal("WebGPU start failed: device: the device request did not succeed within %d waits", RequestWaitCalls);
        return false;
    }

    WGPUSurfaceCapabilities capabilities = {};
    wgpuSurfaceGetCapabilities(gpu.surface, gpu.adapter, &capabilities);
    gpu.surfaceFormat = chooseSurfaceFormat(capabilities.formats, capabilities.formatCount);
    wgpuSurfaceCapabilitiesFreeMembers(capabilities);

    int width = 1, height = 1;
    SDL_GetWindowSizeInPixels(window, &width, &height);
    configureSurface(width, height);
    markStartupStep("device");
    return true;
}

bool startGpu(SDL_Window* window) {
    if (!startGpuDevice(window) || !createFrameObjects()) return false;
    markStartupStep("pipelines");
    return true;
}

bool startGpuHeadless(int width, int height) {
    gpu.instance = wgpuCreateInstance(nullptr);
    if (!gpu.instance) return false;
    gpu.surface = nullptr;
    if (!chooseNullAdapter() || !requestDevice()) return false;
    gpu.surfaceFormat = WGPUTextureFormat_RGBA8Unorm;
    configureSurface(width, height);
    return createFrameObjects();
}

int32_t clampSurfaceSide(int32_t side, uint32_t maxSide) {
    if (side < 1) return 1;
    if (maxSide < uint32_t(INT32_MAX) && uint32_t(side) > maxSide) return int32_t(maxSide);
    return side;
}

void configureSurface(int32_t width, int32_t height) {
    gpu.surfaceWidth = clampSurfaceSide(width, gpu.maxTextureDimension);
    gpu.surfaceHeight = clampSurfaceSide(height, gpu.maxTextureDimension);
    if ((gpu.surfaceWidth < width || gpu.surfaceHeight < height) && !oversizeLogged) {
        logLine("window of %d x %d pixels is larger than the device's largest texture (%u): drawing %d x %d of it",
                int(width), int(height), unsigned(gpu.maxTextureDimension), int(gpu.surfaceWidth),
                int(gpu.surfaceHeight));
        oversizeLogged = true;
    }

    if (gpu.surface) {
        WGPUSurfaceConfiguration configuration = {};
        configuration.device = gpu.device;
        configuration.format = gpu.surfaceFormat;
        configuration.usage = WGPUTextureUsage_RenderAttachment;
        configuration.width = uint32_t(gpu.surfaceWidth);
        configuration.height = uint32_t(gpu.surfaceHeight);
        configuration.alphaMode = WGPUCompositeAlphaMode_Auto;
        configuration.presentMode = WGPUPresentMode_Fifo;
        wgpuSurfaceConfigure(gpu.surface, &configuration);
    } else if (gpu.device) {
        if (offscreenTexture) {
            wgpuTextureDestroy(offscreenTexture);
            wgpuTextureRelease(offscreenTexture);
        }
        offscreenTexture = createTarget(gpu.surfaceFormat, WGPUTextureUsage_RenderAttachment | WGPUTextureUsage_CopySrc);
    }

    if (gpu.depthView) wgpuTextureViewRelease(gpu.depthView);
    if (gpu.depthTexture) {
        wgpuTextureDestroy(gpu.depthTexture);
        wgpuTextureRelease(gpu.depthTexture);
    }
    gpu.depthTexture = createTarget(WGPUTextureFormat_Depth32Float, WGPUTextureUsage_RenderAttachment);
    gpu.depthView = wgpuTextureCreateView(gpu.depthTexture, nullptr);
}

WGPUTexture headlessTarget() { return offscreenTexture; }
