// The GPU path on Dawn's Null backend, with no display: shaders compile, the three pipelines and
// their bind groups validate, and whole frames record the draws the renderer promises, all with no
// uncaptured error. Deliberate mistakes must be reported, which shows the check can fail. Last, the
// client's own frame run on that device, for what only a whole frame shows.
#include <gtest/gtest.h>

#include <SDL3/SDL.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/client.h"
#include "render/adapter_choice.h"
#include "render/bind_groups.h"
#include "render/camera.h"
#include "render/descriptors.h"
#include "render/floor_textures.h"
#include "render/font_texture.h"
#include "render/gpu_context.h"
#include "render/gpu_requests.h"
#include "render/pipelines.h"
#include "render/renderer.h"
#include "render/shaders.h"
#include "ui/font_atlas.h"
#include "ui/ui_mesh.h"
#include "world/room_geometry.h"

namespace {

class NullDevice : public ::testing::Environment {
public:
    void SetUp() override {
        started = startGpuHeadless(320, 240);
        if (started) {
            fontLoaded = loadFontAtlas();
            floorLoaded = loadFloorMaterial();
            wgpuInstanceProcessEvents(gpu.instance);
        }
        startupErrors = uncapturedErrorCount;
    }
    static bool started, fontLoaded, floorLoaded;
    static int startupErrors;  // counted before any test runs, whatever order they run in
};
bool NullDevice::started, NullDevice::fontLoaded, NullDevice::floorLoaded;
int NullDevice::startupErrors;
const auto* const environment = ::testing::AddGlobalTestEnvironment(new NullDevice);

struct ErrorWatch {
    int before = uncapturedErrorCount;
    int newErrors() {
        wgpuInstanceProcessEvents(gpu.instance);
        return uncapturedErrorCount - before;
    }
};

void buildFrame(int avatars, uint32_t uiQuads) {
    sceneMesh.count = 0;
    uiMesh.count = 0;
    buildRoomMesh(sceneMesh);
    const float colour[3] = {0.9f, 0.3f, 0.35f};
    for (int i = 0; i < avatars; ++i) appendAvatarCapsule(sceneMesh, float(i % 4) - 2.0f, 0, float(i / 4) - 2.0f, 1.8f, colour);
    const UiColour white = {1, 1, 1, 0.5f};
    for (uint32_t i = 0; i < uiQuads; ++i) pushUiRect(uiMesh, float(i % 300), float(i / 300), float(i % 300) + 5, 20, white, white);
}

FrameDraws renderTitleView() {
    float matrix[16];
    const float eye[3] = {0, 2.2f, 4.5f};
    computeViewProjection(eye, 0, -0.12f, matrix);
    return renderFrame(matrix);
}

}  // namespace

TEST(NullBackend, StartsWithAllPipelinesAndBindGroupsAndNoErrors) {
    ASSERT_TRUE(NullDevice::started);
    EXPECT_TRUE(NullDevice::fontLoaded);
    EXPECT_TRUE(NullDevice::floorLoaded);
    EXPECT_NE(gpu.flatPipeline, nullptr);
    EXPECT_NE(gpu.floorPipeline, nullptr);
    EXPECT_NE(gpu.uiPipeline, nullptr);
    EXPECT_NE(gpu.flatBindGroup, nullptr);
    EXPECT_NE(gpu.floorBindGroup, nullptr);
    EXPECT_NE(gpu.uiBindGroup, nullptr);
    EXPECT_EQ(NullDevice::startupErrors, 0);
}

TEST(NullBackend, DeviceGetsTheAdaptersLargestTexture) {
    ASSERT_TRUE(NullDevice::started);
    WGPULimits adapterLimits = {};
    ASSERT_EQ(wgpuAdapterGetLimits(gpu.adapter, &adapterLimits), WGPUStatus_Success);
    EXPECT_EQ(gpu.maxTextureDimension, adapterLimits.maxTextureDimension2D);
    EXPECT_GE(gpu.maxTextureDimension, 8192u);
}

TEST(NullBackend, WindowLargerThanTheDeviceDrawsThePartThatFits) {
    ASSERT_TRUE(NullDevice::started);
    const int32_t limit = int32_t(gpu.maxTextureDimension);
    ErrorWatch errors;
    struct Case {
        int32_t width, height, expectedWidth, expectedHeight;
    };
    for (Case c : {Case{limit + 1, 64, limit, 64}, Case{64, limit + 904, 64, limit}, Case{limit, 32, limit, 32},
                   Case{-5, limit * 2, 1, limit}}) {
        configureSurface(c.width, c.height);
        EXPECT_EQ(gpu.surfaceWidth, c.expectedWidth) << c.width << " x " << c.height;
        EXPECT_EQ(gpu.surfaceHeight, c.expectedHeight) << c.width << " x " << c.height;
        buildFrame(1, 10);
        renderTitleView();
    }
    EXPECT_EQ(errors.newErrors(), 0) << "no validation error from the surface, the depth target or the frame";
    configureSurface(320, 240);
}

TEST(NullBackend, NullAdapterCountsAsSoftwareSoTheFloorSkipsAnisotropy) {
    ASSERT_TRUE(NullDevice::started);
    EXPECT_EQ(gpu.drawingPath.floorAnisotropy, 1u);
    EXPECT_EQ(gpu.drawingPath.floorMipFilter, WGPUMipmapFilterMode_Nearest);
    EXPECT_TRUE(gpu.drawingPath.cpuRasterizerShading);
}

const DrawingPath HardwarePath = drawingPathFor(false);
const DrawingPath SoftwarePath = drawingPathFor(true);

TEST(DrawingPath, HardwareGetsTheExactPathAndSoftwareTheCheapOne) {
    struct Case {
        bool softwareAdapter;
        uint16_t floorAnisotropy;
        WGPUMipmapFilterMode floorMipFilter;
        bool cpuRasterizerShading;
    };
    for (Case c :
         {Case{false, 16, WGPUMipmapFilterMode_Linear, false}, Case{true, 1, WGPUMipmapFilterMode_Nearest, true}}) {
        DrawingPath path = drawingPathFor(c.softwareAdapter);
        EXPECT_EQ(path.floorAnisotropy, c.floorAnisotropy) << (c.softwareAdapter ? "software" : "hardware");
        EXPECT_EQ(path.floorMipFilter, c.floorMipFilter) << (c.softwareAdapter ? "software" : "hardware");
        EXPECT_EQ(path.cpuRasterizerShading, c.cpuRasterizerShading) << (c.softwareAdapter ? "software" : "hardware");
    }
}

// Both paths' scene pipelines must validate, though only one runs on any machine, and the constants
// each stage was handed are read back from creation: none at all on hardware (the shader's exact
// default), exactly CPU_RASTERIZER = 1 on a software rasterizer.
TEST(NullBackend, SceneShaderValidatesOnBothPathsWithTheConstantOnlyOnSoftware) {
    ASSERT_TRUE(NullDevice::started);
    struct Case {
        const char* name;
        DrawingPath path;
        size_t constantCount;
    };
    for (const Case& c : {Case{"hardware", HardwarePath, 0}, Case{"software", SoftwarePath, 1}}) {
        ErrorWatch errors;
        for (const char* entry : {"fs_flat", "fs_floor"}) {
            CreatedPipeline created = createScenePipeline(entry, c.path);
            EXPECT_NE(created.pipeline, nullptr) << entry << " (" << c.name << ")";
            if (created.pipeline) wgpuRenderPipelineRelease(created.pipeline);
            for (const PipelineConstants& stage : {created.vertexConstants, created.fragmentConstants}) {
                ASSERT_EQ(stage.count, c.constantCount) << entry << " (" << c.name << ")";
                if (stage.count == 1) {
                    EXPECT_EQ(std::string(stage.entries[0].key.data), "CPU_RASTERIZER");
                    EXPECT_EQ(stage.entries[0].value, 1.0);
                }
            }
        }
        EXPECT_EQ(errors.newErrors(), 0) << c.name;
    }
    CreatedPipeline ui = createUiPipeline();
    EXPECT_EQ(ui.vertexConstants.count + ui.fragmentConstants.count, 0u) << "the UI shader has no constant";
    if (ui.pipeline) wgpuRenderPipelineRelease(ui.pipeline);
}

// WebGPU allows anisotropy only with linear filtering throughout, so a hardware sampler with a
// nearest mip filter is a validation error the device reports.
TEST(NullBackend, FloorSamplerFollowsThePathAndValidates) {
    ASSERT_TRUE(NullDevice::started);
    struct Case {
        const char* name;
        DrawingPath path;
        uint16_t maxAnisotropy;
        WGPUMipmapFilterMode mipmapFilter;
    };
    for (const Case& c : {Case{"hardware", HardwarePath, 16, WGPUMipmapFilterMode_Linear},
                          Case{"software", SoftwarePath, 1, WGPUMipmapFilterMode_Nearest}}) {
        WGPUSamplerDescriptor sampler = samplerDescriptor(floorSamplerSettings(c.path));
        EXPECT_EQ(sampler.maxAnisotropy, c.maxAnisotropy) << c.name;
        EXPECT_EQ(sampler.mipmapFilter, c.mipmapFilter) << c.name;
        EXPECT_EQ(sampler.magFilter, WGPUFilterMode_Linear) << c.name;
        EXPECT_EQ(sampler.minFilter, WGPUFilterMode_Linear) << c.name;
        EXPECT_EQ(sampler.addressModeU, WGPUAddressMode_Repeat) << c.name;
        EXPECT_EQ(sampler.addressModeV, WGPUAddressMode_Repeat) << c.name;
        ErrorWatch errors;
        wgpuSamplerRelease(wgpuDeviceCreateSampler(gpu.device, &sampler));
        EXPECT_EQ(errors.newErrors(), 0) << c.name;
    }
}

// A zero maxAnisotropy is invalid and a zero lodMaxClamp would sample only the largest mip level, so
// the zeros a call site leaves must become the defaults, while the values it gives pass through.
TEST(NullBackend, DescriptorsLeftZeroTakeDefaultsTheDeviceAccepts) {
    ASSERT_TRUE(NullDevice::started);
    WGPUSamplerDescriptor sampler = samplerDescriptor({});
    EXPECT_EQ(sampler.maxAnisotropy, 1u);
    EXPECT_EQ(sampler.lodMaxClamp, 32.0f);
    EXPECT_EQ(samplerDescriptor({.maxAnisotropy = 16}).maxAnisotropy, 16u);
    WGPUTextureDescriptor texture = textureDescriptor(
        {.usage = WGPUTextureUsage_TextureBinding, .width = 4, .height = 2, .format = WGPUTextureFormat_RGBA8Unorm});
    EXPECT_EQ(texture.mipLevelCount, 1u);
    EXPECT_EQ(textureDescriptor({.mipLevelCount = 3}).mipLevelCount, 3u);

    ErrorWatch errors;
    wgpuSamplerRelease(wgpuDeviceCreateSampler(gpu.device, &sampler));
    WGPUTexture made = wgpuDeviceCreateTexture(gpu.device, &texture);
    wgpuTextureDestroy(made);
    wgpuTextureRelease(made);
    EXPECT_EQ(errors.newErrors(), 0);
}

TEST(AdapterKind, SoftwareRasterizersAreRecognisedByTypeOrName) {
    struct Case {
        WGPUAdapterType type;
        const char* device;
        const char* description;
        bool software;
    };
    const Case cases[] = {
        {WGPUAdapterType_Unknown, "llvmpipe (LLVM 15.0.6, 256 bits)", "OpenGL ES 3.2 Mesa 22.3.6", true},
        {WGPUAdapterType_CPU, "", "", true},
        {WGPUAdapterType_Unknown, "", "Mesa softpipe", true},
        {WGPUAdapterType_IntegratedGPU, "lavapipe", "", true},
        {WGPUAdapterType_Unknown, "SwiftShader Device (Subzero)", "", true},
        {WGPUAdapterType_Unknown, "Microsoft Basic Render Driver", "", true},
        {WGPUAdapterType_DiscreteGPU, "NVIDIA GeForce RTX 3060", "", false},
        {WGPUAdapterType_IntegratedGPU, "AMD Radeon Graphics (RADV RENOIR)", "Mesa 22.3.6", false},
        {WGPUAdapterType_Unknown, "llvm", "pipe", false},
        {WGPUAdapterType_Unknown, "", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isSoftwareAdapter(c.type, {c.device, WGPU_STRLEN}, {c.description, WGPU_STRLEN}), c.software)
            << c.device << " / " << c.description;
    }
    // Only the view's own bytes count: a name cut off by its length is not matched.
    EXPECT_FALSE(isSoftwareAdapter(WGPUAdapterType_Unknown, {"llvmpipe", 4}, {nullptr, 0}));
}

// The request after each run of answers, on both platforms: an adapter that draws is taken, software
// ones too (their drawing path makes them quick enough); Dawn's Null adapter, though of type CPU like
// them, counts as none; and each platform falls back once to the backend that draws at the
// compatibility level there.
TEST(AdapterChoice, NullOrNoAnswerFallsBackOnceToThePlatformsCompatibilityBackend) {
    const AdapterAnswer none = {false, WGPUBackendType_Undefined, WGPUAdapterType_Unknown};
    const AdapterAnswer null = {true, WGPUBackendType_Null, WGPUAdapterType_CPU};
    const AdapterAnswer vulkanGpu = {true, WGPUBackendType_Vulkan, WGPUAdapterType_DiscreteGPU};
    const AdapterAnswer lavapipe = {true, WGPUBackendType_Vulkan, WGPUAdapterType_CPU};
    const AdapterAnswer llvmpipe = {true, WGPUBackendType_OpenGLES, WGPUAdapterType_Unknown};
    const AdapterAnswer d3d12Gpu = {true, WGPUBackendType_D3D12, WGPUAdapterType_IntegratedGPU};
    const AdapterAnswer d3d11Gpu = {true, WGPUBackendType_D3D11, WGPUAdapterType_DiscreteGPU};
    const AdapterAnswer warp = {true, WGPUBackendType_D3D11, WGPUAdapterType_CPU};
    constexpr AdapterPlatform Linux = AdapterPlatform::Linux, Windows = AdapterPlatform::Windows;
    constexpr WGPUFeatureLevel Compatibility = WGPUFeatureLevel_Compatibility;
    const AdapterChoice take = {AdapterStep::Take, {}}, giveUp = {AdapterStep::GiveUp, {}};
    const AdapterChoice askAny = {AdapterStep::Ask, {WGPUBackendType_Undefined, WGPUFeatureLevel(0)}};
    const AdapterChoice askOpenGles = {AdapterStep::Ask, {WGPUBackendType_OpenGLES, Compatibility}};
    const AdapterChoice askD3d11 = {AdapterStep::Ask, {WGPUBackendType_D3D11, Compatibility}};
    struct Case {
        AdapterPlatform platform;
        size_t count;
        AdapterAnswer answers[MaxAdapterRequests];
        AdapterChoice choice;
    };
    const Case cases[] = {
        {Linux, 0, {}, askAny},
        {Linux, 1, {vulkanGpu}, take},
        {Linux, 1, {none}, askOpenGles},
        {Linux, 1, {null}, askOpenGles},
        {Linux, 1, {lavapipe}, take},
        {Linux, 2, {null, llvmpipe}, take},
        {Linux, 2, {null, none}, giveUp},
        {Linux, 2, {none, null}, giveUp},
        {Windows, 0, {}, askAny},
        {Windows, 1, {d3d12Gpu}, take},
        {Windows, 1, {none}, askD3d11},
        {Windows, 1, {null}, askD3d11},
        {Windows, 1, {warp}, take},
        {Windows, 2, {null, d3d11Gpu}, take},
        {Windows, 2, {none, warp}, take},
        {Windows, 2, {null, none}, giveUp},
        {Windows, 2, {none, null}, giveUp},
    };
    for (const Case& c : cases) {
        std::string row = std::string(c.platform == Windows ? "Windows" : "Linux") + ", after";
        for (size_t i = 0; i < c.count; ++i) {
            const AdapterAnswer& a = c.answers[i];
            row += a.given ? " backend " + std::to_string(int(a.backend)) + " type " + std::to_string(int(a.type)) : " none";
        }
        // Before the first request there is no answer to read, not even one past the start.
        AdapterChoice choice = nextAdapterChoice(c.platform, c.count > 0 ? c.answers : nullptr, c.count);
        EXPECT_EQ(int(choice.step), int(c.choice.step)) << row;
        if (c.choice.step != AdapterStep::Ask) continue;
        EXPECT_EQ(choice.request.backend, c.choice.request.backend) << row;
        EXPECT_EQ(choice.request.featureLevel, c.choice.request.featureLevel) << row;
    }
}

// The hardware path put in place as start-up would on a hardware adapter (its scene pipelines, the
// flat and floor bind groups and its floor sampler) draws whole frames with no error; then the
// adapter's own path is put back for the other tests.
TEST(NullBackend, HardwarePathDrawsWholeFrames) {
    ASSERT_TRUE(NullDevice::started);
    ErrorWatch errors;
    ASSERT_TRUE(createScenePipelines(HardwarePath));
    bindFloorMaterial(HardwarePath);
    buildFrame(16, 200);
    FrameDraws drawn = renderTitleView();
    EXPECT_EQ(drawn.drawCount, 3);
    buildFrame(0, 0);
    drawn = renderTitleView();
    EXPECT_EQ(drawn.drawCount, 2);
    EXPECT_EQ(errors.newErrors(), 0);

    ASSERT_TRUE(createScenePipelines(gpu.drawingPath));
    bindFloorMaterial(gpu.drawingPath);
    buildFrame(1, 10);
    renderTitleView();
    EXPECT_EQ(errors.newErrors(), 0) << "the adapter's own path again";
}

TEST(NullBackend, RoomOnlyFrameDrawsFloorThenTheRest) {
    ASSERT_TRUE(NullDevice::started);
    ErrorWatch errors;
    buildFrame(0, 0);
    FrameDraws drawn = renderTitleView();
    ASSERT_EQ(drawn.drawCount, 2);
    EXPECT_EQ(drawn.draws[0].pipeline, FrameDraws::Floor);
    EXPECT_EQ(drawn.draws[0].firstVertex, 0u);
    EXPECT_EQ(drawn.draws[0].vertexCount, 6u);
    EXPECT_EQ(drawn.draws[1].pipeline, FrameDraws::Flat);
    EXPECT_EQ(drawn.draws[1].firstVertex, 6u);
    EXPECT_EQ(drawn.draws[1].vertexCount, 30u);
    EXPECT_EQ(errors.newErrors(), 0);
}

TEST(NullBackend, SixteenAvatarsAndAFullInterfaceDrawThreeTimes) {
    ASSERT_TRUE(NullDevice::started);
    ErrorWatch errors;
    buildFrame(16, 2000);
    ASSERT_EQ(uiMesh.count, 7998u);
    FrameDraws drawn = renderTitleView();
    ASSERT_EQ(drawn.drawCount, 3);
    EXPECT_EQ(drawn.draws[1].vertexCount, 30u + 16u * 1248u);
    EXPECT_EQ(drawn.draws[2].pipeline, FrameDraws::Ui);
    EXPECT_EQ(drawn.draws[2].vertexCount, 7998u);
    EXPECT_EQ(errors.newErrors(), 0);
}

TEST(NullBackend, ResizedTargetStillRendersCleanly) {
    ASSERT_TRUE(NullDevice::started);
    ErrorWatch errors;
    configureSurface(0, 0);
    EXPECT_EQ(gpu.surfaceWidth, 1);
    EXPECT_EQ(gpu.surfaceHeight, 1);
    buildFrame(1, 10);
    renderTitleView();
    configureSurface(641, 479);
    EXPECT_EQ(gpu.surfaceWidth, 641);
    buildFrame(2, 10);
    renderTitleView();
    configureSurface(320, 240);
    EXPECT_EQ(errors.newErrors(), 0);
}

TEST(NullBackend, BrokenShadersAndBindingsAreReported) {
    ASSERT_TRUE(NullDevice::started);
    {
        ErrorWatch errors;
        createScenePipeline("fs_missing", gpu.drawingPath);
        EXPECT_GT(errors.newErrors(), 0) << "a wrong fragment entry point";
    }
    {
        ErrorWatch errors;
        std::string source = SceneShaderSource;
        source.replace(source.find("@binding(4)"), 11, "@binding(5)");
        WGPUVertexAttribute attributes[3] = {};
        for (uint32_t i = 0; i < 3; ++i) {
            attributes[i].format = WGPUVertexFormat_Float32x3;
            attributes[i].offset = 12 * i;
            attributes[i].shaderLocation = i;
        }
        WGPURenderPipeline moved =
            createRenderPipeline(source.c_str(), attributes, 3, 36, true, "fs_floor", {}).pipeline;
        EXPECT_EQ(errors.newErrors(), 0) << "the pipeline itself is valid";
        WGPUBindGroupEntry entries[5] = {
            bufferBinding(0, gpu.sceneUniformBuffer, SceneUniformBytes), textureBinding(1, floorTextures.baseView),
            textureBinding(2, floorTextures.normalView), textureBinding(3, floorTextures.ormView),
            samplerBinding(4, floorTextures.floorSampler)};
        createBindGroup(moved, entries, 5);
        EXPECT_GT(errors.newErrors(), 0) << "a sampler at a binding the shader does not declare";
    }
    {
        ErrorWatch errors;
        WGPUVertexAttribute attributes[3] = {};
        for (uint32_t i = 0; i < 3; ++i) {
            attributes[i].format = WGPUVertexFormat_Float32x3;
            attributes[i].offset = 14 * i;
            attributes[i].shaderLocation = i;
        }
        createRenderPipeline(SceneShaderSource, attributes, 3, 36, true, "fs_flat", {});
        EXPECT_GT(errors.newErrors(), 0) << "an attribute running past the vertex stride";
    }
    {
        ErrorWatch errors;
        createRenderPipeline("fn broken(", nullptr, 0, 32, false, "fs", {});
        EXPECT_GT(errors.newErrors(), 0) << "WGSL that does not parse";
    }
}

TEST(SurfaceFormat, PrefersTheFirstEightBitUnormFormat) {
    const WGPUTextureFormat neither[] = {WGPUTextureFormat_RGBA8UnormSrgb, WGPUTextureFormat_BGRA8UnormSrgb};
    EXPECT_EQ(chooseSurfaceFormat(neither, 2), WGPUTextureFormat_RGBA8UnormSrgb);
    EXPECT_EQ(chooseSurfaceFormat(nullptr, 0), WGPUTextureFormat_BGRA8Unorm);
    const WGPUTextureFormat rgbaFirst[] = {WGPUTextureFormat_RGBA8UnormSrgb, WGPUTextureFormat_RGBA8Unorm,
                                           WGPUTextureFormat_BGRA8Unorm};
    EXPECT_EQ(chooseSurfaceFormat(rgbaFirst, 3), WGPUTextureFormat_RGBA8Unorm);
    const WGPUTextureFormat bgraFirst[] = {WGPUTextureFormat_BGRA8Unorm, WGPUTextureFormat_RGBA8Unorm};
    EXPECT_EQ(chooseSurfaceFormat(bgraFirst, 2), WGPUTextureFormat_BGRA8Unorm);
}

TEST(ErrorLog, WritesExactlyTheMessagesBytes) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const char text[] = "first part|and more after";
    writeGpuErrorLine(out, {text, 10});
    writeGpuErrorLine(out, {"whole message", WGPU_STRLEN});
    writeGpuErrorLine(out, {nullptr, 0});
    std::rewind(out);
    char buffer[256] = {};
    size_t length = std::fread(buffer, 1, sizeof(buffer) - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, length), "wgpu: first part\nwgpu: whole message\nwgpu: \n");
}

TEST(RequestCallback, StoresTheHandleOnlyOnSuccess) {
    // Stand-in handles: the callback only copies the pointer, it never calls through it.
    auto* someAdapter = reinterpret_cast<WGPUAdapter>(uintptr_t(0x1000));
    WGPUAdapter adapter = nullptr;
    onRequestDone(WGPURequestAdapterStatus(WGPURequestAdapterStatus_Success + 1), someAdapter, {nullptr, 0}, &adapter,
                  nullptr);
    EXPECT_EQ(adapter, nullptr) << "a failed request leaves the handle null";
    onRequestDone(WGPURequestAdapterStatus_Success, someAdapter, {"ignored", WGPU_STRLEN}, &adapter, nullptr);
    EXPECT_EQ(adapter, someAdapter);

    auto* someDevice = reinterpret_cast<WGPUDevice>(uintptr_t(0x2000));
    WGPUDevice device = nullptr;
    onRequestDone(WGPURequestDeviceStatus_Success, someDevice, {nullptr, 0}, &device, nullptr);
    EXPECT_EQ(device, someDevice);
}

// The client's own frame, headless: the title's orbit turns only while the title screen shows, so a
// return from play picks it up where it stopped, not where it would be had it kept turning.
TEST(ClientFrame, TitleOrbitStandsStillThroughPlayAndContinuesWhereItStopped) {
    ASSERT_TRUE(NullDevice::started);
    ASSERT_TRUE(SDL_Init(SDL_INIT_EVENTS)) << SDL_GetError();
    auto orbitAngle = [] { return std::atan2(gpu.eyePosition[0], gpu.eyePosition[2]); };
    auto turnedBy = [](float from, float to) {
        float d = std::fabs(to - from);
        return std::fmin(d, 6.2831853f - d);
    };
    auto runFrames = [](int count) {  // about 20 ms apart; a slow machine's steps are clamped to 0.05 s
        for (int i = 0; i < count; ++i) {
            SDL_Delay(20);
            runClientFrame();
        }
    };
    changeAppState(appCore, AppState::Menu);
    runFrames(2);
    float start = orbitAngle();
    runFrames(10);
    float stopped = orbitAngle();
    // At 0.08 rad a second: 0.016 after 0.2 s, at most 0.04 after ten clamped steps.
    EXPECT_GT(turnedBy(start, stopped), 0.01f) << "the orbit turns on the title screen";
    EXPECT_LT(turnedBy(start, stopped), 0.045f);

    changeAppState(appCore, AppState::Playing);
    runFrames(25);  // half a second of play: an orbit that kept turning would move 0.04 rad or more
    changeAppState(appCore, AppState::Paused);
    runFrames(5);
    changeAppState(appCore, AppState::Menu);
    runFrames(1);
    EXPECT_LT(turnedBy(stopped, orbitAngle()), 0.0045f) << "one step of the title at most beyond where it stopped";
    EXPECT_NEAR(std::hypot(gpu.eyePosition[0], gpu.eyePosition[2]), 4.5f, 1e-3f) << "the eye is the orbit's again";
}
