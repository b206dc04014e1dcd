// The player's settings from "settings.txt": plain "key = value" lines read once at start. Reading is
// text in, values and a list of the lines it ignored out, so tests reach it without a file; the
// client logs what it ignored and never writes the file.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

constexpr const char* SettingsFile = "settings.txt";
// A settings file is a few lines; past this many bytes the rest is not read.
constexpr size_t SettingsReadCap = 64 * 1024;
// Lines named in the log at most; any further bad lines are only counted.
constexpr size_t SettingsProblemCapacity = 100;

constexpr float MouseSensitivityLowest = 0.1f, MouseSensitivityHighest = 10.0f;
constexpr float FieldOfViewLowest = 50.0f, FieldOfViewHighest = 110.0f;
constexpr int WindowWidthLowest = 320, WindowHeightLowest = 240, WindowSideHighest = 16384;

// Without a file, or with a key left out, each value is the game's own default.
struct Settings {
    float mouseSensitivity = 1.0f;  // a factor on the look's radians per unit of mouse motion
    bool invertMouse = false;       // moving the mouse down looks up
    float fieldOfView = 70.0f;      // vertical, in degrees
    int windowWidth = 1280, windowHeight = 720;  // pixels, at start
    bool fullscreen = false;                     // at start
};

// One line the reader ignored: its number (from 1) and why.
struct SettingsProblem {
    int line;
    std::string reason;
};

struct SettingsReading {
    Settings settings;
    std::vector<SettingsProblem> problems;  // at most SettingsProblemCapacity, in line order
    size_t problemsNotNamed = 0;            // bad lines beyond those
};

// Reads the file's bytes: UTF-8 or ASCII with or without a byte order mark, or UTF-16 with one; LF,
// CR LF or CR line ends; "#" starts a comment. Only the first SettingsReadCap bytes count; a longer
// file gets a problem on the line where reading stopped. A bad line changes nothing; the rest count.
SettingsReading parseSettings(const char* bytes, size_t size);

// The window's size at start: the size asked for, clamped to the display's usable area (when SDL
// could tell it, that is both sides above 0).
struct WindowSize {
    int width, height;
};
WindowSize startWindowSize(const Settings& settings, int displayWidth, int displayHeight);
