// WebGPU start-up: instance, surface, adapter, device, surface format and depth target, plus the two
// callbacks the requests and the device use. Every call happens on the main thread; the request
// callbacks run inside wgpuInstanceProcessEvents.
#include <SDL3/SDL.h>

#include <cstdio>
#include <cstring>

#include "render/gpu_context.h"
#include "render/pipelines.h"
#include "render/window_surface.h"
#include "ui/ui_mesh.h"
#include "world/scene_mesh.h"

GpuContext gpu;
int uncapturedErrorCount = 0;

namespace {

constexpr int RequestWaitCalls = 1000;

// Headless runs render into this texture instead of a surface.
WGPUTexture offscreenTexture;

// The bytes of a string view: up to its NUL when its length is WGPU_STRLEN; none when it has no data.
int viewLength(WGPUStringView view) {
    if (!view.data) return 0;
    return int(view.length == WGPU_STRLEN ? std::strlen(view.data) : view.length);
}

void waitForHandle(const void* const* handle) {
    for (int call = 0; call < RequestWaitCalls && *handle == nullptr; ++call) wgpuInstanceProcessEvents(gpu.instance);
}

WGPUAdapter requestAdapter(WGPUFeatureLevel featureLevel, WGPUBackendType backend) {
    WGPURequestAdapterOptions options = {};
    options.featureLevel = featureLevel;
    options.powerPreference = WGPUPowerPreference_HighPerformance;
    options.forceFallbackAdapter = false;
    options.backendType = backend;
    options.compatibleSurface = gpu.surface;

    WGPUAdapter adapter = nullptr;
    WGPURequestAdapterCallbackInfo callback = {};
    callback.mode = WGPUCallbackMode_AllowProcessEvents;
    callback.callback = onRequestDone<WGPURequestAdapterStatus, WGPUAdapter>;
    callback.userdata1 = &adapter;
    wgpuInstanceRequestAdapter(gpu.instance, &options, callback);
    waitForHandle(reinterpret_cast<const void* const*>(&adapter));
    return adapter;
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

WGPUBackendType adapterBackend(WGPUAdapter adapter, bool logIt) {
    WGPUAdapterInfo info = {};
    wgpuAdapterGetInfo(adapter, &info);
    if (logIt) {
        std::fprintf(stderr, "adapter: %.*s (%s backend)\n", viewLength(info.description),
                     info.description.data ? info.description.data : "", backendName(info.backendType));
        std::fflush(stderr);
    }
    WGPUBackendType backend = info.backendType;
    wgpuAdapterInfoFreeMembers(info);
    return backend;
}

// Dawn answers a plain request with its Null backend when no Vulkan driver is usable; that adapter
// draws nothing, so it counts as none and the OpenGL ES backend (which presents through EGL on
// Mesa's llvmpipe) is asked for by name at the compatibility feature level.
bool chooseAdapter() {
    WGPUAdapter adapter = requestAdapter(WGPUFeatureLevel(0), WGPUBackendType_Undefined);
    if (adapter && adapterBackend(adapter, false) == WGPUBackendType_Null) {
        wgpuAdapterRelease(adapter);
        adapter = nullptr;
    }
    if (!adapter) adapter = requestAdapter(WGPUFeatureLevel_Compatibility, WGPUBackendType_OpenGLES);
    if (adapter && adapterBackend(adapter, false) == WGPUBackendType_Null) {
        wgpuAdapterRelease(adapter);
        adapter = nullptr;
    }
    if (!adapter) return false;
    gpu.adapter = adapter;
    adapterBackend(adapter, true);
    return true;
}

bool requestDevice() {
    WGPUDeviceDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.defaultQueue.label = {nullptr, WGPU_STRLEN};
    descriptor.uncapturedErrorCallbackInfo.callback = onUncapturedError;

    WGPURequestDeviceCallbackInfo callback = {};
    callback.mode = WGPUCallbackMode_AllowProcessEvents;
    callback.callback = onRequestDone<WGPURequestDeviceStatus, WGPUDevice>;
    callback.userdata1 = &gpu.device;
    wgpuAdapterRequestDevice(gpu.adapter, &descriptor, callback);
    waitForHandle(reinterpret_cast<const void* const*>(&gpu.device));
    if (!gpu.device) return false;
    gpu.queue = wgpuDeviceGetQueue(gpu.device);
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

bool createPipelinesAndBuffers() {
    gpu.flatPipeline = createScenePipeline("fs_flat");
    gpu.floorPipeline = createScenePipeline("fs_floor");
    gpu.uiPipeline = createUiPipeline();
    if (!gpu.flatPipeline || !gpu.floorPipeline || !gpu.uiPipeline) return false;

    gpu.sceneVertexBuffer = createBuffer(uint64_t(SceneVertexCapacity) * sizeof(SceneVertex), WGPUBufferUsage_Vertex);
    gpu.uiVertexBuffer = createBuffer(uint64_t(UiVertexCapacity) * sizeof(UiVertex), WGPUBufferUsage_Vertex);
    gpu.sceneUniformBuffer = createBuffer(SceneUniformBytes, WGPUBufferUsage_Uniform);
    gpu.screenUniformBuffer = createBuffer(ScreenUniformBytes, WGPUBufferUsage_Uniform);
    return true;
}

WGPUTexture createTarget(WGPUTextureFormat format, WGPUTextureUsage usage) {
    WGPUTextureDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.usage = usage;
    descriptor.dimension = WGPUTextureDimension_2D;
    descriptor.size = {uint32_t(gpu.surfaceWidth), uint32_t(gpu.surfaceHeight), 1};
    descriptor.format = format;
    descriptor.mipLevelCount = 1;
    descriptor.sampleCount = 1;
    return wgpuDeviceCreateTexture(gpu.device, &descriptor);
}

}  // namespace

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
    std::fprintf(out, "wgpu: %.*s\n", viewLength(message), message.data ? message.data : "");
    std::fflush(out);
}

void onUncapturedError(const WGPUDevice*, WGPUErrorType, WGPUStringView message, void*, void*) {
    ++uncapturedErrorCount;
    writeGpuErrorLine(stderr, message);
}

bool startGpu(SDL_Window* window) {
    gpu.instance = wgpuCreateInstance(nullptr);
    if (!gpu.instance) return false;
    gpu.surface = createWindowSurface(gpu.instance, window);
    if (!gpu.surface) return false;
    if (!chooseAdapter()) return false;
    if (!requestDevice()) return false;

    WGPUSurfaceCapabilities capabilities = {};
    wgpuSurfaceGetCapabilities(gpu.surface, gpu.adapter, &capabilities);
    gpu.surfaceFormat = chooseSurfaceFormat(capabilities.formats, capabilities.formatCount);
    wgpuSurfaceCapabilitiesFreeMembers(capabilities);

    int width = 1, height = 1;
    SDL_GetWindowSizeInPixels(window, &width, &height);
    configureSurface(width, height);
    return createPipelinesAndBuffers();
}

bool startGpuHeadless(int width, int height) {
    gpu.instance = wgpuCreateInstance(nullptr);
    if (!gpu.instance) return false;
    gpu.surface = nullptr;
    gpu.adapter = requestAdapter(WGPUFeatureLevel_Core, WGPUBackendType_Null);
    if (!gpu.adapter) return false;
    if (!requestDevice()) return false;
    gpu.surfaceFormat = WGPUTextureFormat_RGBA8Unorm;
    configureSurface(width, height);
    return createPipelinesAndBuffers();
}

void configureSurface(int32_t width, int32_t height) {
    gpu.surfaceWidth = width < 1 ? 1 : width;
    gpu.surfaceHeight = height < 1 ? 1 : height;

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
