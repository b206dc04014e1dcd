// Immediate-mode widgets: a heading, a button and the menus' darkened left panel, laid out from the
// top of a column that each widget moves down. Hover and firing are decided from the pointer state
// alone, so tests reach them without a window.
#pragma once
#include "ui/font_atlas.h"
#include "ui/ui_mesh.h"

constexpr UiColour TextLight = {0.949f, 0.941f, 0.918f, 1.0f};
constexpr UiColour TextDark = {0.078f, 0.078f, 0.078f, 1.0f};
constexpr UiColour ButtonHoverFill = {0.953f, 0.604f, 0.118f, 1.0f};
constexpr UiColour HeadingShadow = {0.0f, 0.0f, 0.0f, 0.6f};

// The column's spacing, in layout pixels; the screens' layout adds these up by name.
constexpr float ButtonPadding = 14.0f;   // a button's box is its text size and this much taller
constexpr float ButtonGap = 3.0f;        // left below each button
constexpr float HeadingAdvance = 0.92f;  // a heading moves the cursor down by this share of its size

// The pointer as this frame's event drain left it, in the layout's pixels.
struct UiPointer {
    float x, y;
    bool clicked;  // a left-button press happened this frame
};

// One frame's column: where widgets go and what they draw into. Set afresh every frame.
struct UiLayout {
    float leftMargin;  // left edge of every heading and button
    float cursorY;     // top of the next widget
    float windowWidth;
    UiPointer pointer;
    UiMesh* mesh;
    const FontAtlas* atlas;
};

// A button's box: left and top edges inside, right and bottom edges outside.
struct UiBox {
    float left, top, right, bottom;
};
bool boxContains(const UiBox& box, float x, float y);

// The box the next button of this text size would take.
UiBox nextButtonBox(const UiLayout& layout, float textSize);

// Draws a heading with its drop shadow and moves the cursor down by HeadingAdvance of its size.
void uiHeading(UiLayout& layout, const char* text, float size);

// Draws a button (filled when hovered) and moves the cursor down past it and ButtonGap. True when
// it is hovered and the left button was pressed this frame: buttons fire on the press.
bool uiButton(UiLayout& layout, const char* text, float textSize);

// The gradient behind both menu screens: darkest at the left edge, gone at 62 % of the width.
void drawLeftPanel(UiMesh& mesh, float width, float height);
