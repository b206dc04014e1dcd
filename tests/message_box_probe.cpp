// Preloaded into the client by the end-to-end test: records the title and text of every simple
// message box to the file named by VZ_MESSAGE_BOX_LOG, then shows the real box, which the test finds
// and dismisses as a user would.
#include <dlfcn.h>

#include <SDL3/SDL_messagebox.h>

#include <cstdio>
#include <cstdlib>

extern "C" bool SDL_ShowSimpleMessageBox(SDL_MessageBoxFlags flags, const char* title, const char* message,
                                         SDL_Window* window) {
    if (const char* path = std::getenv("VZ_MESSAGE_BOX_LOG")) {
        if (std::FILE* out = std::fopen(path, "a")) {
            std::fprintf(out, "%s\n%s\n", title ? title : "", message ? message : "");
            std::fclose(out);
        }
    }
    using ShowFunction = bool (*)(SDL_MessageBoxFlags, const char*, const char*, SDL_Window*);
    auto real = reinterpret_cast<ShowFunction>(dlsym(RTLD_NEXT, "SDL_ShowSimpleMessageBox"));
    return real ? real(flags, title, message, window) : false;
}
