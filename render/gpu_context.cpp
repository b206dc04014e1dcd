// WebGPU start-up: instance, surface, adapter, device, surface format and depth target, plus the two
// callbacks the requests and the device use. Every call happens on the main thread; the request
// callbacks run inside wgpuInstanceProcessEvents.
#include "render/gpu_context.h"

#include <SDL3/SDL.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "base/log.h"
#include "base/startup_clock.h"
#include "render/descriptors.h"
#include "render/pipelines.h"
#include "render/window_surface.h"
#include "ui/ui_mesh.h"
#include "world/scene_mesh.h"

GpuContext gpu;
int uncapturedErrorCount = 0;

namespace {

constexpr int RequestWaitCalls = 1000;

// Where each adapter request's answer lands, one place per request, so that an answer arriving after
// its wait gave up can neither write into a stack frame that is gone nor pass for a later request's.
struct AdapterAnswers {
    WGPUAdapter plain;     // the default request: any backend, any feature level
    WGPUAdapter openGles;  // the compatibility request of the OpenGL ES backend, when the first drew nothing
    WGPUAdapter null;      // the headless start's Null backend
};
AdapterAnswers adapterAnswers;

// Headless runs render into this texture instead of a surface.
WGPUTexture offscreenTexture;
// A window larger than the device can draw is said once per run, not every frame.
bool oversizeLogged;

// The bytes of a string view: up to its NUL when its length is WGPU_STRLEN; none when it has no data.
size_t viewLength(WGPUStringView view) {
    if (!view.data) return 0;
    return view.length == WGPU_STRLEN ? std::strlen(view.data) : view.length;
}

void waitForHandle(const void* const* handle) {
    for (int call = 0; call < RequestWaitCalls && *handle == nullptr; ++call) wgpuInstanceProcessEvents(gpu.instance);
}

// Fills answer with the adapter Dawn offers, or leaves it null when none comes within the wait. The
// answer lives for the process: a request that answers after its wait gave up then writes into memory
// that still exists, never into a stack frame that is gone.
void requestAdapter(WGPUFeatureLevel featureLevel, WGPUBackendType backend, WGPUAdapter& answer) {
    WGPURequestAdapterOptions options = {};
    options.featureLevel = featureLevel;
    options.powerPreference = WGPUPowerPreference_HighPerformance;
    options.forceFallbackAdapter = false;
    options.backendType = backend;
    options.compatibleSurface = gpu.surface;

    answer = nullptr;
    WGPURequestAdapterCallbackInfo callback = {};
    callback.mode = WGPUCallbackMode_AllowProcessEvents;
    callback.callback = onRequestDone<WGPURequestAdapterStatus, WGPUAdapter>;
    callback.userdata1 = &answer;
    wgpuInstanceRequestAdapter(gpu.instance, &options, callback);
    waitForHandle(reinterpret_cast<const void* const*>(&answer));
}

const char* backendName(WGPUBackendType backend) {
    switch (backend) {
        case WGPUBackendType_Null: return "Null";
        case WGPUBackendType_WebGPU: return "WebGPU";
        case WGPUBackendType_D3D11: return "D3D11";
        case WGPUBackendType_D3D12: return "D3D12";
        case WGPUBackendType_Metal: return "Metal";
        case WGPUBackendType_Vulkan: return "Vulkan";
        case WGPUBackendType_OpenGL: return "OpenGL";
        case WGPUBackendType_OpenGLES: return "OpenGLES";
        default: return "unknown";
    }
}

const char* text(WGPUStringView view) { return view.data ? view.data : ""; }

WGPUBackendType adapterBackend(WGPUAdapter adapter) {
    WGPUAdapterInfo info = {};
    wgpuAdapterGetInfo(adapter, &info);
    WGPUBackendType backend = info.backendType;
    wgpuAdapterInfoFreeMembers(info);
    return backend;
}

// Decides the drawing path from the adapter, the one place it is decided, and says so in the adapter line.
void describeAdapter(WGPUAdapter adapter) {
    WGPUAdapterInfo info = {};
    wgpuAdapterGetInfo(adapter, &info);
    bool software = isSoftwareAdapter(info.adapterType, info.device, info.description);
    const char* kind = software ? "software rasterizer" : "hardware";
#if defined(VZ_TEST_HARDWARE_DRAWING_PATH)
    // Only the client's test build (tests/CMakeLists.txt) is compiled so: the shipped one has no switch.
    software = false;
    kind = "hardware path by a test build";
#endif
    gpu.drawingPath = drawingPathFor(software);
    const DrawingPath& path = gpu.drawingPath;
    logLine("adapter: %.*s (device \"%.*s\", %s backend, type %d; %s: floor sampled with anisotropy %u and the %s "
            "mip filter, %s shading)",
            int(viewLength(info.description)), text(info.description), int(viewLength(info.device)),
            text(info.device), backendName(info.backendType), int(info.adapterType), kind,
            unsigned(path.floorAnisotropy), path.floorMipFilter == WGPUMipmapFilterMode_Linear ? "linear" : "nearest",
            path.cpuRasterizerShading ? "the cheaper" : "exact");
    wgpuAdapterInfoFreeMembers(info);
}

// Dawn answers a plain request with its Null backend when no Vulkan driver is usable; that adapter
// draws nothing, so it counts as none and the OpenGL ES backend (which presents through EGL on
// Mesa's llvmpipe) is asked for by name at the compatibility feature level.
bool chooseAdapter() {
#if defined(VZ_TEST_NULL_ADAPTER)
    // Only the Windows frame-loop test build (tests/CMakeLists.txt) is compiled so: Wine offers no
    // adapter that draws, and Dawn's Null backend takes every frame's calls. The shipped one has no switch.
    requestAdapter(WGPUFeatureLevel_Core, WGPUBackendType_Null, adapterAnswers.null);
    gpu.adapter = adapterAnswers.null;
    if (!gpu.adapter) return false;
    describeAdapter(gpu.adapter);
    return true;
#endif
    requestAdapter(WGPUFeatureLevel(0), WGPUBackendType_Undefined, adapterAnswers.plain);
    WGPUAdapter adapter = adapterAnswers.plain;
    if (adapter && adapterBackend(adapter) == WGPUBackendType_Null) {
        wgpuAdapterRelease(adapter);
        adapter = nullptr;
    }
    if (!adapter) {
        requestAdapter(WGPUFeatureLevel_Compatibility, WGPUBackendType_OpenGLES, adapterAnswers.openGles);
        adapter = adapterAnswers.openGles;
    }
    if (adapter && adapterBackend(adapter) == WGPUBackendType_Null) {
        wgpuAdapterRelease(adapter);
        adapter = nullptr;
    }
    if (!adapter) return false;
    gpu.adapter = adapter;
    describeAdapter(adapter);
    return true;
}

// Every limit at its default except the largest texture side, which is the adapter's own: a
// compatibility device's default (4096) is smaller than a maximised window on a large display.
WGPULimits deviceLimits() {
    WGPULimits limits;
    std::memset(&limits, 0xFF, sizeof(limits));  // every field _UNDEFINED: the default
    limits.nextInChain = nullptr;
    WGPULimits supported = {};
    if (wgpuAdapterGetLimits(gpu.adapter, &supported) == WGPUStatus_Success && supported.maxTextureDimension2D > 0) {
        limits.maxTextureDimension2D = supported.maxTextureDimension2D;
    }
    return limits;
}

bool requestDevice() {
    WGPULimits limits = deviceLimits();
    WGPUDeviceDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.requiredLimits = &limits;
    descriptor.defaultQueue.label = {nullptr, WGPU_STRLEN};
    descriptor.uncapturedErrorCallbackInfo.callback = onUncapturedError;

    // Emptied first: the wait below ends when the callback fills it, and a device of an earlier
    // start would otherwise end it at once, leaving the new device to arrive mid-frame.
    gpu.device = nullptr;
    gpu.queue = nullptr;
    WGPURequestDeviceCallbackInfo callback = {};
    callback.mode = WGPUCallbackMode_AllowProcessEvents;
    callback.callback = onRequestDone<WGPURequestDeviceStatus, WGPUDevice>;
    callback.userdata1 = &gpu.device;
    wgpuAdapterRequestDevice(gpu.adapter, &descriptor, callback);
    waitForHandle(reinterpret_cast<const void* const*>(&gpu.device));
    if (!gpu.device) return false;
    gpu.queue = wgpuDeviceGetQueue(gpu.device);
    gpu.maxTextureDimension = limits.maxTextureDimension2D != WGPU_LIMIT_U32_UNDEFINED ? limits.maxTextureDimension2D
                                                                                       : 4096;
    return true;
}

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

// On a CPU rasterizer anisotropic filtering took more than half of each frame, and blending two mip
// levels per sample a seventh; the shading's per-pixel powers count there too.
DrawingPath drawingPathFor(bool softwareAdapter) {
    if (softwareAdapter) {
        return {.floorAnisotropy = 1, .floorMipFilter = WGPUMipmapFilterMode_Nearest, .cpuRasterizerShading = true};
    }
    return {.floorAnisotropy = 16, .floorMipFilter = WGPUMipmapFilterMode_Linear, .cpuRasterizerShading = false};
}

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
    logLineBytes(out, "wgpu: ", message.data, viewLength(message));
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
        logFatal("WebGPU start failed: adapter: no adapter that draws was offered (tried the default request and "
                 "OpenGL ES at the compatibility level)");
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
    requestAdapter(WGPUFeatureLevel_Core, WGPUBackendType_Null, adapterAnswers.null);
    gpu.adapter = adapterAnswers.null;
    if (!gpu.adapter) return false;
    describeAdapter(gpu.adapter);
    if (!requestDevice()) return false;
    gpu.surfaceFormat = WGPUTextureFormat_RGBA8Unorm;
    configureSurface(width, height);
    return createFrameObjects();
}

int32_t clampSurfaceSide(int32_t side, uint32_t maxSide) {
    if (side < 1) return 1;
    if (maxSide < uint32_t(INT32_MAX) && uint32_t(side) > maxSide) return int32_t(maxSide);
    return side;
}

bool isSoftwareAdapter(WGPUAdapterType type, WGPUStringView device, WGPUStringView description) {
    if (type == WGPUAdapterType_CPU) return true;
    static const char* const softwareNames[] = {"llvmpipe", "softpipe", "lavapipe", "swiftshader",
                                                "microsoft basic render driver"};
    for (WGPUStringView view : {device, description}) {
        size_t length = viewLength(view);
        for (const char* name : softwareNames) {
            size_t nameLength = std::strlen(name);
            for (size_t at = 0; at + nameLength <= length; ++at) {
                size_t matched = 0;
                while (matched < nameLength &&
                       std::tolower(static_cast<unsigned char>(view.data[at + matched])) == name[matched]) {
                    ++matched;
                }
                if (matched == nameLength) return true;
            }
        }
    }
    return false;
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

WGPUBindGroup createBindGroup(WGPURenderPipeline pipeline, const WGPUBindGroupEntry* entries, size_t count) {
    WGPUBindGroupLayout layout = wgpuRenderPipelineGetBindGroupLayout(pipeline, 0);
    WGPUBindGroupDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.layout = layout;
    descriptor.entryCount = count;
    descriptor.entries = entries;
    WGPUBindGroup group = wgpuDeviceCreateBindGroup(gpu.device, &descriptor);
    wgpuBindGroupLayoutRelease(layout);
    return group;
}

WGPUBindGroupEntry bufferBinding(uint32_t binding, WGPUBuffer buffer, uint64_t size) {
    WGPUBindGroupEntry entry = {};
    entry.binding = binding;
    entry.buffer = buffer;
    entry.offset = 0;
    entry.size = size;
    return entry;
}

WGPUBindGroupEntry textureBinding(uint32_t binding, WGPUTextureView view) {
    WGPUBindGroupEntry entry = {};
    entry.binding = binding;
    entry.size = WGPU_WHOLE_SIZE;
    entry.textureView = view;
    return entry;
}

WGPUBindGroupEntry samplerBinding(uint32_t binding, WGPUSampler sampler) {
    WGPUBindGroupEntry entry = {};
    entry.binding = binding;
    entry.size = WGPU_WHOLE_SIZE;
    entry.sampler = sampler;
    return entry;
}

WGPUTexture headlessTarget() { return offscreenTexture; }
