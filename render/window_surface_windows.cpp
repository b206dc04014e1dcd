// Windows surface: the window's HWND from SDL's properties and the module handle of the executable.
#include <windows.h>

#include <SDL3/SDL.h>

#include "render/window_surface.h"

WGPUSurface createWindowSurface(WGPUInstance instance, SDL_Window* window) {
    SDL_PropertiesID properties = SDL_GetWindowProperties(window);
    WGPUSurfaceSourceWindowsHWND source = {};
    source.chain.sType = WGPUSType_SurfaceSourceWindowsHWND;
    source.hinstance = GetModuleHandleW(nullptr);
    source.hwnd = SDL_GetPointerProperty(properties, SDL_PROP_WINDOW_WIN32_HWND_POINTER, nullptr);

    WGPUSurfaceDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.nextInChain = &source.chain;
    return wgpuInstanceCreateSurface(instance, &descriptor);
}
