// Reading "server.txt": a missing or unreadable file is not an error, just no address.
#include "net/server_address.h"

#include <SDL3/SDL.h>

#include "base/files.h"
#include "net/address_cleaning.h"

std::string readServerAddress() {
    size_t size = 0;
    void* bytes = loadFileBesideExecutable(ServerAddressFile, &size);
    if (!bytes) return std::string();
    std::string address = cleanServerAddress(bytes, size);
    SDL_free(bytes);
    return address;
}
