// Files beside the executable: the assets it reads, its log, its settings. Every path the client
// builds from the executable's folder comes from here.
#pragma once
#include <cstddef>
#include <string>

// The executable's folder (as SDL reports it, ending in a separator) followed by relativePath; the
// bare relative path when SDL cannot tell the folder.
std::string pathBesideExecutable(const char* relativePath);

// The whole file beside the executable, NUL-terminated, or null when it cannot be read (SDL_GetError
// then says why). Free it with SDL_free.
void* loadFileBesideExecutable(const char* relativePath, size_t* size);
