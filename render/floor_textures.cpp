// Floor texture loading: each map decoded, uploaded level by level, and bound with a repeating
// sampler, anisotropic on hardware.
#include "render/floor_textures.h"

#include <SDL3/SDL.h>

#include "base/files.h"
#include "base/log.h"
#include "base/startup_clock.h"
#include "render/gpu_context.h"

FloorTextures floorTextures;

namespace {

// A software rasterizer filters every anisotropic sample on the CPU, which costs it more than half
// of each frame; a hardware adapter gets the full 16.
constexpr uint16_t HardwareFloorAnisotropy = 16;
constexpr uint16_t SoftwareFloorAnisotropy = 1;

}  // namespace

WGPUTextureView loadFloorTexture(const char* relativePath, WGPUTextureFormat format) {
    size_t fileSize = 0;
    void* file = loadFileBesideExecutable(relativePath, &fileSize);
    if (!file) {
        logFatal("floor textures failed to load: cannot read %s: %s", pathBesideExecutable(relativePath).c_str(),
                 SDL_GetError());
        return nullptr;
    }
    RgbaImage level;
    bool decoded = decodeJpegRgba(file, fileSize, level);
    SDL_free(file);
    if (!decoded) {
        logFatal("floor textures failed to load: %s is not a JPEG this client can decode (damaged, unsupported, or "
                 "larger than 4096 pixels a side)",
                 relativePath);
        return nullptr;
    }

    int levels = mipLevelCount(level.width, level.height);
    WGPUTextureDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.usage = WGPUTextureUsage_TextureBinding | WGPUTextureUsage_CopyDst;
    descriptor.dimension = WGPUTextureDimension_2D;
    descriptor.size = {uint32_t(level.width), uint32_t(level.height), 1};
    descriptor.format = format;
    descriptor.mipLevelCount = uint32_t(levels);
    descriptor.sampleCount = 1;
    WGPUTexture texture = wgpuDeviceCreateTexture(gpu.device, &descriptor);

    for (int mip = 0; mip < levels; ++mip) {
        WGPUTexelCopyTextureInfo destination = {};
        destination.texture = texture;
        destination.mipLevel = uint32_t(mip);
        WGPUTexelCopyBufferLayout layout = {};
        layout.bytesPerRow = uint32_t(level.width) * 4;
        layout.rowsPerImage = uint32_t(level.height);
        WGPUExtent3D extent = {uint32_t(level.width), uint32_t(level.height), 1};
        wgpuQueueWriteTexture(gpu.queue, &destination, level.pixels.data(), level.pixels.size(), &layout, &extent);
        if (mip + 1 < levels) level = nextMipLevel(level);
    }
    return wgpuTextureCreateView(texture, nullptr);
}

bool loadFloorMaterial() {
    floorTextures.baseView = loadFloorTexture("floor/base.jpg", WGPUTextureFormat_RGBA8UnormSrgb);
    markStartupStep("floor base");
    floorTextures.normalView = loadFloorTexture("floor/normal.jpg", WGPUTextureFormat_RGBA8Unorm);
    markStartupStep("floor normal");
    floorTextures.ormView = loadFloorTexture("floor/orm.jpg", WGPUTextureFormat_RGBA8Unorm);
    markStartupStep("floor orm");
    if (!floorTextures.baseView || !floorTextures.normalView || !floorTextures.ormView) return false;

    WGPUSamplerDescriptor sampler = {};
    sampler.label = {nullptr, WGPU_STRLEN};
    sampler.addressModeU = WGPUAddressMode_Repeat;
    sampler.addressModeV = WGPUAddressMode_Repeat;
    sampler.addressModeW = WGPUAddressMode_Undefined;
    sampler.magFilter = WGPUFilterMode_Linear;
    sampler.minFilter = WGPUFilterMode_Linear;
    // A CPU rasterizer reads one mip level per sample instead of blending two: a seventh of its frame.
    sampler.mipmapFilter = gpu.softwareRasterizer ? WGPUMipmapFilterMode_Nearest : WGPUMipmapFilterMode_Linear;
    sampler.lodMinClamp = 0.0f;
    sampler.lodMaxClamp = 32.0f;
    sampler.compare = WGPUCompareFunction_Undefined;
    sampler.maxAnisotropy = gpu.softwareRasterizer ? SoftwareFloorAnisotropy : HardwareFloorAnisotropy;
    floorTextures.floorSampler = wgpuDeviceCreateSampler(gpu.device, &sampler);

    WGPUBindGroupEntry entries[5] = {
        bufferBinding(0, gpu.sceneUniformBuffer, SceneUniformBytes), textureBinding(1, floorTextures.baseView),
        textureBinding(2, floorTextures.normalView), textureBinding(3, floorTextures.ormView),
        samplerBinding(4, floorTextures.floorSampler),
    };
    gpu.floorBindGroup = createBindGroup(gpu.floorPipeline, entries, 5);
    return true;
}
