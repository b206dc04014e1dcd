// The drawing path's choice from the adapter's kind, and how a software rasterizer is recognised.
#include "render/drawing_path.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

#include "render/gpu_requests.h"

// On a CPU rasterizer anisotropic filtering took more than half of each frame, and blending two mip
// levels per sample a seventh; the shading's per-pixel powers count there too.
DrawingPath drawingPathFor(bool softwareAdapter) {
    if (softwareAdapter) {
        return {.floorAnisotropy = 1, .floorMipFilter = WGPUMipmapFilterMode_Nearest, .cpuRasterizerShading = true};
    }
    return {.floorAnisotropy = 16, .floorMipFilter = WGPUMipmapFilterMode_Linear, .cpuRasterizerShading = false};
}

bool isSoftwareAdapter(WGPUAdapterType type, WGPUStringView device, WGPUStringView description) {
    if (type == WGPUAdapterType_CPU) return true;
    static const char* const softwareNames[] = {"llvmpipe", "softpipe", "lavapipe", "swiftshader",
                                                "microsoft basic render driver"};
    for (WGPUStringView view : {device, description}) {
        size_t length = stringViewLength(view);
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
