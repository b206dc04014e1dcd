// The adapter's choice. Dawn answers a plain request with its Null backend (which accepts every call
// and draws nothing) when no driver of a preferred backend is usable, so a Null answer counts as
// none. The fallback is a backend that draws at the compatibility level where the preferred ones do
// not: OpenGL ES on Linux (Mesa's llvmpipe presents through EGL), Direct3D 11 on Windows (it needs
// neither a Vulkan driver nor the DXC DLLs that Direct3D 12 needs in this Dawn build).
#include "render/adapter_choice.h"

namespace {

// Zero: Dawn's default level. Not every header names it.
constexpr WGPUFeatureLevel DefaultFeatureLevel = WGPUFeatureLevel(0);

bool draws(const AdapterAnswer& answer) { return answer.given && answer.backend != WGPUBackendType_Null; }

AdapterRequest fallbackRequest(AdapterPlatform platform) {
    WGPUBackendType backend = platform == AdapterPlatform::Windows ? WGPUBackendType_D3D11 : WGPUBackendType_OpenGLES;
    return {backend, WGPUFeatureLevel_Compatibility};
}

}  // namespace

AdapterChoice nextAdapterChoice(AdapterPlatform platform, const AdapterAnswer* answers, size_t count) {
    if (count > 0 && draws(answers[count - 1])) return {AdapterStep::Take, {}};
    if (count == 0) return {AdapterStep::Ask, {WGPUBackendType_Undefined, DefaultFeatureLevel}};
    if (count == 1) return {AdapterStep::Ask, fallbackRequest(platform)};
    return {AdapterStep::GiveUp, {}};
}
