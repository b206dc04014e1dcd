// The WebGPU surface of the SDL window, made from the native handles of whichever window system
// the window lives on. One implementation file per platform.
#pragma once
#include "render/webgpu_api.h"

struct SDL_Window;

// Null when the window exposes no handle this platform knows.
WGPUSurface createWindowSurface(WGPUInstance instance, SDL_Window* window);
