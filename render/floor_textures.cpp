// Floor texture loading: each map decoded, uploaded level by level, and bound with a repeating,
// anisotropic sampler.
#include "render/floor_textures.h"

#include <SDL3/SDL.h>

#include <string>

#include "render/gpu_context.h"

FloorTextures floorTextures;

WGPUTextureView loadFloorTexture(const char* relativePath, WGPUTextureFormat format) {
    const char* basePath = SDL_GetBasePath();
    std::string path = std::string(basePath ? basePath : "") + relativePath;
    size_t fileSize = 0;
    void* file = SDL_LoadFile(path.c_str(), &fileSize);
    if (!file) return nullptr;
    RgbaImage level;
    bool decoded = decodeJpegRgba(file, fileSize, level);
    SDL_free(file);
    if (!decoded) return nullptr;

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
    floorTextures.normalView = loadFloorTexture("floor/normal.jpg", WGPUTextureFormat_RGBA8Unorm);
    floorTextures.ormView = loadFloorTexture("floor/orm.jpg", WGPUTextureFormat_RGBA8Unorm);
    if (!floorTextures.baseView || !floorTextures.normalView || !floorTextures.ormView) return false;

    WGPUSamplerDescriptor sampler = {};
    sampler.label = {nullptr, WGPU_STRLEN};
    sampler.addressModeU = WGPUAddressMode_Repeat;
    sampler.addressModeV = WGPUAddressMode_Repeat;
    sampler.addressModeW = WGPUAddressMode_Undefined;
    sampler.magFilter = WGPUFilterMode_Linear;
    sampler.minFilter = WGPUFilterMode_Linear;
    sampler.mipmapFilter = WGPUMipmapFilterMode_Linear;
    sampler.lodMinClamp = 0.0f;
    sampler.lodMaxClamp = 32.0f;
    sampler.compare = WGPUCompareFunction_Undefined;
    sampler.maxAnisotropy = 16;
    floorTextures.floorSampler = wgpuDeviceCreateSampler(gpu.device, &sampler);

    WGPUBindGroupEntry entries[5] = {
        bufferBinding(0, gpu.sceneUniformBuffer, SceneUniformBytes), textureBinding(1, floorTextures.baseView),
        textureBinding(2, floorTextures.normalView), textureBinding(3, floorTextures.ormView),
        samplerBinding(4, floorTextures.floorSampler),
    };
    gpu.floorBindGroup = createBindGroup(gpu.floorPipeline, entries, 5);
    return true;
}
