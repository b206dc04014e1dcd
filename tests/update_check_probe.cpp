// Runs the update check against a test server and ends as the client does.
// Usage: update_check_probe <host> <port> <certificate authorities file> wait|quit-after-ms <ms>
// "wait" waits for the check (10 s at most) and prints "update: yes" or "update: no"; "quit-after-ms"
// ends the process after that long whether or not the check finished, through the client's own exit
// path, and prints "quit" first.
#include <SDL3/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "update/update_check.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: update_check_probe host port ca-file wait|quit-after-ms ms\n");
        return 2;
    }
    static char path[] = "/games/vornhalzanthery/version.txt";
    HttpsTarget target = {argv[1], static_cast<unsigned short>(std::atoi(argv[2])), path, argv[3]};
    if (!startUpdateCheck(target)) return 3;
    int ms = std::atoi(argv[5]);
    if (std::strcmp(argv[4], "wait") == 0) {
        for (int waited = 0; waited < 10000 && updateCheckRunning(); waited += 10) SDL_Delay(10);
        std::printf("update: %s\n", updateAvailable.load() ? "yes" : "no");
        return updateCheckRunning() ? 4 : 0;
    }
    SDL_Delay(Uint32(ms));
    std::printf("quit\n");
    SDL_Quit();
    endProcessIfUpdateCheckRunning(0);
    return 0;
}
