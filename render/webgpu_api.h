// The one header client code includes for the WebGPU C API.
// Default: our own declarations matching the pinned Dawn build (it ships without a header).
// VZ_EXTERNAL_WEBGPU: an implementation that brings its own <webgpu/webgpu.h> (wgpu-native on Windows).
#ifndef VZ_RENDER_WEBGPU_API_H
#define VZ_RENDER_WEBGPU_API_H

#if defined(VZ_EXTERNAL_WEBGPU)
#include <webgpu/webgpu.h>
#define VZ_WEBGPU_DAWN_DECLS 0
#else
#include "render/webgpu_dawn.h"
#define VZ_WEBGPU_DAWN_DECLS 1
#endif

// Portability notes for client code (the two headers differ here):
// - Enum numbers differ (e.g. texture formats): only ever use the named constants.
// - wgpuSurfacePresent returns void in the Dawn build and WGPUStatus in the public header:
//   ignore its result.
// - WGPUInstanceDescriptor members differ between generations: pass NULL to wgpuCreateInstance.

#endif  // VZ_RENDER_WEBGPU_API_H
