// Linux surface: X11 (display pointer and window number) or Wayland (display and wl_surface),
// whichever SDL's window properties hold.
#include <SDL3/SDL.h>

#include "render/window_surface.h"

WGPUSurface createWindowSurface(WGPUInstance instance, SDL_Window* window) {
    SDL_PropertiesID properties = SDL_GetWindowProperties(window);
    WGPUSurfaceDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};

    void* x11Display = SDL_GetPointerProperty(properties, SDL_PROP_WINDOW_X11_DISPLAY_POINTER, nullptr);
    Sint64 x11Window = SDL_GetNumberProperty(properties, SDL_PROP_WINDOW_X11_WINDOW_NUMBER, 0);
    if (x11Display && x11Window) {
        WGPUSurfaceSourceXlibWindow source = {};
        source.chain.sType = WGPUSType_SurfaceSourceXlibWindow;
        source.display = x11Display;
        source.window = uint64_t(x11Window);
        descriptor.nextInChain = &source.chain;
        return wgpuInstanceCreateSurface(instance, &descriptor);
    }

    void* waylandDisplay = SDL_GetPointerProperty(properties, SDL_PROP_WINDOW_WAYLAND_DISPLAY_POINTER, nullptr);
    void* waylandSurface = SDL_GetPointerProperty(properties, SDL_PROP_WINDOW_WAYLAND_SURFACE_POINTER, nullptr);
    if (waylandDisplay && waylandSurface) {
        WGPUSurfaceSourceWaylandSurface source = {};
        source.chain.sType = WGPUSType_SurfaceSourceWaylandSurface;
        source.display = waylandDisplay;
        source.surface = waylandSurface;
        descriptor.nextInChain = &source.chain;
        return wgpuInstanceCreateSurface(instance, &descriptor);
    }
    return nullptr;
}
