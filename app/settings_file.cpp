// Reading "settings.txt" from disk: no more than the reader's cap plus one byte (which tells it the
// file goes on), so a huge file costs no more than a small one.
#include "app/settings_file.h"

#include <SDL3/SDL.h>

#include "base/log.h"
#include "files/files.h"

namespace {

void logSettings(const Settings& s, const char* source) {
    logLine("settings: mouse_sensitivity %g, invert_mouse %s, field_of_view %g, window %d x %d, fullscreen %s (%s)",
            double(s.mouseSensitivity), s.invertMouse ? "yes" : "no", double(s.fieldOfView), s.windowWidth,
            s.windowHeight, s.fullscreen ? "yes" : "no", source);
}

}  // namespace

SettingsReading readSettingsFile() {
    std::string path = pathBesideExecutable(SettingsFile);
    SDL_IOStream* file = SDL_IOFromFile(path.c_str(), "rb");
    if (!file) {
        logSettings(Settings{}, "no settings.txt: the defaults");
        return SettingsReading{};
    }
    std::string bytes(SettingsReadCap + 1, '\0');
    size_t size = 0;
    while (size < bytes.size()) {
        size_t read = SDL_ReadIO(file, bytes.data() + size, bytes.size() - size);
        if (read == 0) break;
        size += read;
    }
    if (SDL_GetIOStatus(file) == SDL_IO_STATUS_ERROR) logLine("settings.txt: reading stopped early: %s", SDL_GetError());
    SDL_CloseIO(file);

    SettingsReading reading = parseSettings(bytes.data(), size);
    for (const SettingsProblem& problem : reading.problems) {
        logLine("settings.txt line %d ignored: %s", problem.line, problem.reason.c_str());
    }
    if (reading.problemsNotNamed > 0) {
        logLine("settings.txt: %llu more bad lines ignored, not named here",
                (unsigned long long)reading.problemsNotNamed);
    }
    logSettings(reading.settings, "from settings.txt");
    return reading;
}
