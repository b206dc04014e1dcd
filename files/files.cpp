// Paths from SDL's base path, which ends with the platform's separator.
#include "files/files.h"

#include <SDL3/SDL.h>

std::string pathBesideExecutable(const char* relativePath) {
    const char* basePath = SDL_GetBasePath();
    return std::string(basePath ? basePath : "") + relativePath;
}

void* loadFileBesideExecutable(const char* relativePath, size_t* size) {
    *size = 0;
    return SDL_LoadFile(pathBesideExecutable(relativePath).c_str(), size);
}
