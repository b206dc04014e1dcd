// The title and pause screens: sizes from the window's pixel size, a column anchored to the bottom,
// and which button the user pressed. The caller performs the action, so this stays pure.
#pragma once
#include "ui/widgets.h"

enum class MenuScreen { None, Title, Pause };
enum class MenuAction { None, Play, Update, Quit, Resume, Leave };

// Every size of a frame's menus, from the window's pixel size.
struct MenuSizes {
    float titleSize;
    float pauseHeadingSize;
    float buttonTextSize;
    float leftMargin;
    float bottomLine;  // the column ends here: 0.91 of the height
    float buttonPitch;
};
MenuSizes menuSizes(float width, float height);

// What a frame's menus are given.
struct MenuFrame {
    MenuScreen screen;
    float width, height;  // the surface's pixel size
    UiPointer pointer;    // in the same pixels
    bool updateAvailable;
};

// Lays out and draws the screen into mesh, and returns the button that fired this frame (at most
// one: no point lies in two boxes). A fired button does not cut the screen short.
MenuAction runMenuScreen(const MenuFrame& frame, UiMesh& mesh, const FontAtlas& atlas);
