// Process entry. On Windows the GUI entry hands over to SDL's application runner instead.
#include "app/client.h"

#if defined(_WIN32)
#define SDL_MAIN_HANDLED
#include <windows.h>
#include <SDL3/SDL_main.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return SDL_RunApp(0, nullptr, runClient, nullptr); }
#else
int main(int argumentCount, char** arguments) { return runClient(argumentCount, arguments); }
#endif
