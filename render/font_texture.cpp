// Font loading: read the file, bake it, upload the atlas and make the UI bind group that samples it.
#include "render/font_texture.h"

#include <SDL3/SDL.h>

#include <vector>

#include "base/log.h"
#include "files/files.h"
#include "render/bind_groups.h"
#include "render/descriptors.h"
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

    WGPUTextureDescriptor atlasTextureDescriptor = textureDescriptor({
        .usage = WGPUTextureUsage_CopyDst | WGPUTextureUsage_TextureBinding,
        .width = FontAtlasSize,
        .height = FontAtlasSize,
        .format = WGPUTextureFormat_R8Unorm,
    });
    WGPUTexture texture = wgpuDeviceCreateTexture(gpu.device, &atlasTextureDescriptor);

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

    WGPUSamplerDescriptor atlasSamplerDescriptor = samplerDescriptor({.filter = WGPUFilterMode_Linear});
    WGPUSampler sampler = wgpuDeviceCreateSampler(gpu.device, &atlasSamplerDescriptor);

    WGPUBindGroupEntry uiEntries[3] = {bufferBinding(0, gpu.screenUniformBuffer, ScreenUniformBytes),
                                       textureBinding(1, view), samplerBinding(2, sampler)};
    gpu.uiBindGroup = createBindGroup(gpu.uiPipeline, uiEntries, 3);
    return true;
}
