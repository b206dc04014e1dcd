// Reading "server.txt": a missing or unreadable file is not an error, just no address.
#include "app/server_address.h"

#include <SDL3/SDL.h>

#include "files/files.h"
#include "protocol/address.h"

std::string readServerAddress() {
    size_t size = 0;
    void* bytes = loadFileBesideExecutable(ServerAddressFile, &size);
    if (!bytes) return std::string();
    std::string address = cleanServerAddress(bytes, size);
    SDL_free(bytes);
    return address;
}
