// Font loading: read the file, bake it, upload the atlas and make the bind groups that draw with it.
#include "render/font_texture.h"

#include <SDL3/SDL.h>

#include <vector>

#include "base/log.h"
#include "files/files.h"
#include "render/gpu_context.h"
#include "ui/font_atlas.h"

namespace {
const char* const FontFile = "coolvetica.otf";
}

bool loadFontAtlas() {
    size_t fontSize = 0;
    void* fontData = loadFileBesideExecutable(FontFile, &fontSize);
    if (!fontData) {
        logFatal("%s failed to load: cannot read %s: %s", FontFile, pathBesideExecutable(FontFile).c_str(),
                 SDL_GetError());
        return false;
    }

    std::vector<unsigned char> pixels(size_t(FontAtlasSize) * FontAtlasSize);
    const char* failure = "";
    bool baked = bakeFontAtlas(static_cast<const unsigned char*>(fontData), fontSize, pixels.data(), fontAtlas, &failure);
    SDL_free(fontData);
    if (!baked) {
        logFatal("%s failed to load: %s", FontFile, failure);
        return false;
    }

    WGPUTextureDescriptor textureDescriptor = {};
    textureDescriptor.label = {nullptr, WGPU_STRLEN};
    textureDescriptor.usage = WGPUTextureUsage_CopyDst | WGPUTextureUsage_TextureBinding;
    textureDescriptor.dimension = WGPUTextureDimension_2D;
    textureDescriptor.size = {FontAtlasSize, FontAtlasSize, 1};
    textureDescriptor.format = WGPUTextureFormat_R8Unorm;
    textureDescriptor.mipLevelCount = 1;
    textureDescriptor.sampleCount = 1;
    WGPUTexture texture = wgpuDeviceCreateTexture(gpu.device, &textureDescriptor);

    WGPUTexelCopyTextureInfo destination = {};
    destination.texture = texture;
    destination.mipLevel = 0;
    destination.aspect = WGPUTextureAspect_Undefined;
    WGPUTexelCopyBufferLayout layout = {};
    layout.offset = 0;
    layout.bytesPerRow = FontAtlasSize;
    layout.rowsPerImage = FontAtlasSize;
    WGPUExtent3D extent = {FontAtlasSize, FontAtlasSize, 1};
    wgpuQueueWriteTexture(gpu.queue, &destination, pixels.data(), pixels.size(), &layout, &extent);
    WGPUTextureView view = wgpuTextureCreateView(texture, nullptr);

    WGPUSamplerDescriptor samplerDescriptor = {};
    samplerDescriptor.label = {nullptr, WGPU_STRLEN};
    samplerDescriptor.magFilter = WGPUFilterMode_Linear;
    samplerDescriptor.minFilter = WGPUFilterMode_Linear;
    samplerDescriptor.mipmapFilter = WGPUMipmapFilterMode_Undefined;
    samplerDescriptor.lodMinClamp = 0.0f;
    samplerDescriptor.lodMaxClamp = 32.0f;
    samplerDescriptor.compare = WGPUCompareFunction_Undefined;
    samplerDescriptor.maxAnisotropy = 1;
    WGPUSampler sampler = wgpuDeviceCreateSampler(gpu.device, &samplerDescriptor);

    WGPUBindGroupEntry flatEntries[1] = {bufferBinding(0, gpu.sceneUniformBuffer, SceneUniformBytes)};
    gpu.flatBindGroup = createBindGroup(gpu.flatPipeline, flatEntries, 1);

    WGPUBindGroupEntry uiEntries[3] = {bufferBinding(0, gpu.screenUniformBuffer, ScreenUniformBytes),
                                       textureBinding(1, view), samplerBinding(2, sampler)};
    gpu.uiBindGroup = createBindGroup(gpu.uiPipeline, uiEntries, 3);
    return true;
}
