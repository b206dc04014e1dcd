// Floor texture loading: the maps decoded with their mip chains on a thread beside start-up, then
// uploaded level by level and bound with a repeating sampler of the drawing path's filtering.
#include "render/floor_textures.h"

#include <SDL3/SDL.h>

#include <utility>

#include "base/log.h"
#include "base/startup_clock.h"
#include "files/files.h"
#include "render/bind_groups.h"
#include "render/descriptors.h"
#include "render/gpu_context.h"

FloorTextures floorTextures;

namespace {

// The three maps, in the order of the bind group's bindings 1 to 3.
constexpr int FloorMapCount = 3;
struct FloorMapFile {
    const char* path;
    WGPUTextureFormat format;
};
constexpr FloorMapFile FloorMaps[FloorMapCount] = {
    {"floor/base.jpg", WGPUTextureFormat_RGBA8UnormSrgb},
    {"floor/normal.jpg", WGPUTextureFormat_RGBA8Unorm},
    {"floor/orm.jpg", WGPUTextureFormat_RGBA8Unorm},
};

// Decoding runs on a thread of its own while the window and the GPU start; the maps are handed over
// when that thread has ended. Lives for the process.
struct FloorMapDecoding {
    SDL_Thread* thread;
    bool done;  // the thread ran to its end and its maps await loadFloorMaterial
    DecodedFloorMap maps[FloorMapCount];
};
FloorMapDecoding decoding;

int decodeAllFloorMaps(void*) {
    for (int i = 0; i < FloorMapCount; ++i) decodeFloorMap(FloorMaps[i].path, decoding.maps[i]);
    return 0;
}

}  // namespace

bool decodeFloorMap(const char* relativePath, DecodedFloorMap& out) {
    out.levels.clear();
    out.failure[0] = '\0';
    uint64_t startNs = SDL_GetTicksNS();
    size_t fileSize = 0;
    void* file = loadFileBesideExecutable(relativePath, &fileSize);
    if (!file) {
        SDL_snprintf(out.failure, sizeof(out.failure), "cannot read %s: %s", pathBesideExecutable(relativePath).c_str(),
                     SDL_GetError());
        return false;
    }
    RgbaImage level;
    bool decoded = decodeJpegRgba(file, fileSize, level);
    SDL_free(file);
    if (!decoded) {
        SDL_snprintf(out.failure, sizeof(out.failure),
                     "%s is not a JPEG this client can decode (damaged, unsupported, or larger than 4096 pixels a side)",
                     relativePath);
        return false;
    }
    int levels = mipLevelCount(level.width, level.height);
    out.levels.reserve(size_t(levels));
    out.levels.push_back(std::move(level));
    while (int(out.levels.size()) < levels) out.levels.push_back(nextMipLevel(out.levels.back()));
    out.decodeMs = uint32_t((SDL_GetTicksNS() - startNs) / 1000000);
    return true;
}

WGPUTextureView uploadFloorMap(const DecodedFloorMap& map, WGPUTextureFormat format) {
    const RgbaImage& top = map.levels.front();
    WGPUTextureDescriptor descriptor = textureDescriptor({
        .usage = WGPUTextureUsage_TextureBinding | WGPUTextureUsage_CopyDst,
        .width = uint32_t(top.width),
        .height = uint32_t(top.height),
        .format = format,
        .mipLevelCount = uint32_t(map.levels.size()),
    });
    WGPUTexture texture = wgpuDeviceCreateTexture(gpu.device, &descriptor);

    for (size_t mip = 0; mip < map.levels.size(); ++mip) {
        const RgbaImage& level = map.levels[mip];
        WGPUTexelCopyTextureInfo destination = {};
        destination.texture = texture;
        destination.mipLevel = uint32_t(mip);
        WGPUTexelCopyBufferLayout layout = {};
        layout.bytesPerRow = uint32_t(level.width) * 4;
        layout.rowsPerImage = uint32_t(level.height);
        WGPUExtent3D extent = {uint32_t(level.width), uint32_t(level.height), 1};
        wgpuQueueWriteTexture(gpu.queue, &destination, level.pixels.data(), level.pixels.size(), &layout, &extent);
    }
    return wgpuTextureCreateView(texture, nullptr);
}

void startFloorMapDecoding() {
    decoding.thread = SDL_CreateThread(decodeAllFloorMaps, "floor maps", nullptr);
    // Without a thread, loadFloorMaterial decodes them itself.
}

void finishFloorMapDecoding() {
    if (!decoding.thread) return;
    SDL_WaitThread(decoding.thread, nullptr);
    decoding.thread = nullptr;
    decoding.done = true;
}

bool loadFloorMaterial() {
    finishFloorMapDecoding();
    if (!decoding.done) decodeAllFloorMaps(nullptr);
    decoding.done = false;
    WGPUTextureView* views[FloorMapCount] = {&floorTextures.baseView, &floorTextures.normalView, &floorTextures.ormView};
    bool loaded = true;
    for (int i = 0; i < FloorMapCount; ++i) {
        DecodedFloorMap& map = decoding.maps[i];
        *views[i] = map.levels.empty() ? nullptr : uploadFloorMap(map, FloorMaps[i].format);
        if (!*views[i]) {
            logFatal("floor textures failed to load: %s", map.failure);
            loaded = false;
        }
        map.levels = {};  // the device holds its copy now
    }
    if (!loaded) return false;
    logLine("floor maps decoded beside start-up: base %u ms, normal %u ms, orm %u ms", decoding.maps[0].decodeMs,
            decoding.maps[1].decodeMs, decoding.maps[2].decodeMs);
    bindFloorMaterial(gpu.drawingPath);
    return true;
}

SamplerSettings floorSamplerSettings(const DrawingPath& path) {
    return {
        .addressMode = WGPUAddressMode_Repeat,
        .filter = WGPUFilterMode_Linear,
        .mipmapFilter = path.floorMipFilter,
        .maxAnisotropy = path.floorAnisotropy,
    };
}

void bindFloorMaterial(const DrawingPath& path) {
    if (gpu.floorBindGroup) wgpuBindGroupRelease(gpu.floorBindGroup);
    if (floorTextures.floorSampler) wgpuSamplerRelease(floorTextures.floorSampler);
    WGPUSamplerDescriptor sampler = samplerDescriptor(floorSamplerSettings(path));
    floorTextures.floorSampler = wgpuDeviceCreateSampler(gpu.device, &sampler);

    WGPUBindGroupEntry entries[5] = {
        bufferBinding(0, gpu.sceneUniformBuffer, SceneUniformBytes), textureBinding(1, floorTextures.baseView),
        textureBinding(2, floorTextures.normalView), textureBinding(3, floorTextures.ormView),
        samplerBinding(4, floorTextures.floorSampler),
    };
    gpu.floorBindGroup = createBindGroup(gpu.floorPipeline, entries, 5);
}
