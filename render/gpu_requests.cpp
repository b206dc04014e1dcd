// The adapter and device requests and their log lines. Which adapter to ask for is the adapter
// choice's (render/adapter_choice.h); this file makes the calls it asks for and hands it the answers.
#include "render/gpu_requests.h"

#include <cstring>

#include "base/log.h"
#include "render/adapter_choice.h"
#include "render/drawing_path.h"
#include "render/gpu_context.h"

namespace {

#if defined(_WIN32)
constexpr AdapterPlatform ThisPlatform = AdapterPlatform::Windows;
#else
constexpr AdapterPlatform ThisPlatform = AdapterPlatform::Linux;
#endif

// Where each adapter request's answer lands, one place per request for the process's life, so that an
// answer arriving after its wait gave up can neither write into a stack frame that is gone nor pass
// for a later request's.
WGPUAdapter adapterAnswers[MaxAdapterRequests];
WGPUAdapter nullAdapterAnswer;

void waitForHandle(const void* const* handle) {
    for (int call = 0; call < RequestWaitCalls && *handle == nullptr; ++call) wgpuInstanceProcessEvents(gpu.instance);
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

const char* adapterTypeName(WGPUAdapterType type) {
    switch (type) {
        case WGPUAdapterType_DiscreteGPU: return "discrete GPU";
        case WGPUAdapterType_IntegratedGPU: return "integrated GPU";
        case WGPUAdapterType_CPU: return "CPU";
        default: return "unknown type";
    }
}

const char* featureLevelName(WGPUFeatureLevel level) {
    if (level == WGPUFeatureLevel_Compatibility) return "compatibility";
    if (level == WGPUFeatureLevel_Core) return "core";
    return "default";
}

const char* text(WGPUStringView view) { return view.data ? view.data : ""; }

// Asks for one adapter and logs the request with its answer: the backend, type and name given, or
// none when no answer came within the wait.
AdapterAnswer requestAdapter(const AdapterRequest& request, WGPUAdapter& answer) {
    WGPURequestAdapterOptions options = {};
    options.featureLevel = request.featureLevel;
    options.powerPreference = WGPUPowerPreference_HighPerformance;
    options.forceFallbackAdapter = false;
    options.backendType = request.backend;
    options.compatibleSurface = gpu.surface;

    answer = nullptr;
    WGPURequestAdapterCallbackInfo callback = {};
    callback.mode = WGPUCallbackMode_AllowProcessEvents;
    callback.callback = onRequestDone<WGPURequestAdapterStatus, WGPUAdapter>;
    callback.userdata1 = &answer;
    wgpuInstanceRequestAdapter(gpu.instance, &options, callback);
    waitForHandle(reinterpret_cast<const void* const*>(&answer));

    const char* asked = request.backend == WGPUBackendType_Undefined ? "any" : backendName(request.backend);
    const char* level = featureLevelName(request.featureLevel);
    if (!answer) {
        logLine("adapter request: %s backend at the %s feature level: none", asked, level);
        return {.given = false, .backend = WGPUBackendType_Undefined, .type = WGPUAdapterType_Unknown};
    }
    WGPUAdapterInfo info = {};
    wgpuAdapterGetInfo(answer, &info);
    // The device names the adapter where the backend says it; the description otherwise.
    WGPUStringView name = stringViewLength(info.device) > 0 ? info.device : info.description;
    logLine("adapter request: %s backend at the %s feature level: %s backend, %s, \"%.*s\"", asked, level,
            backendName(info.backendType), adapterTypeName(info.adapterType), int(stringViewLength(name)), text(name));
    AdapterAnswer given = {.given = true, .backend = info.backendType, .type = info.adapterType};
    wgpuAdapterInfoFreeMembers(info);
    return given;
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
            int(stringViewLength(info.description)), text(info.description), int(stringViewLength(info.device)),
            text(info.device), backendName(info.backendType), int(info.adapterType), kind,
            unsigned(path.floorAnisotropy), path.floorMipFilter == WGPUMipmapFilterMode_Linear ? "linear" : "nearest",
            path.cpuRasterizerShading ? "the cheaper" : "exact");
    wgpuAdapterInfoFreeMembers(info);
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

}  // namespace

size_t stringViewLength(WGPUStringView view) {
    if (!view.data) return 0;
    return view.length == WGPU_STRLEN ? std::strlen(view.data) : view.length;
}

bool chooseNullAdapter() {
    requestAdapter({WGPUBackendType_Null, WGPUFeatureLevel_Core}, nullAdapterAnswer);
    gpu.adapter = nullAdapterAnswer;
    if (!gpu.adapter) return false;
    describeAdapter(gpu.adapter);
    return true;
}

bool chooseAdapter() {
#if defined(VZ_TEST_NULL_ADAPTER)
    // Only the Windows frame-loop test build (tests/CMakeLists.txt) is compiled so: Wine offers no
    // adapter that draws, and Dawn's Null backend takes every frame's calls. The shipped one has no switch.
    return chooseNullAdapter();
#endif
    AdapterAnswer answers[MaxAdapterRequests] = {};
    size_t count = 0;
    for (;;) {
        AdapterChoice choice = nextAdapterChoice(ThisPlatform, answers, count);
        if (choice.step == AdapterStep::Take) {
            gpu.adapter = adapterAnswers[count - 1];
            describeAdapter(gpu.adapter);
            return true;
        }
        // An adapter passed over (Dawn's Null one) is let go before the next request.
        if (count > 0 && adapterAnswers[count - 1]) {
            wgpuAdapterRelease(adapterAnswers[count - 1]);
            adapterAnswers[count - 1] = nullptr;
        }
        if (choice.step == AdapterStep::GiveUp || count == MaxAdapterRequests) return false;
        answers[count] = requestAdapter(choice.request, adapterAnswers[count]);
        ++count;
    }
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
