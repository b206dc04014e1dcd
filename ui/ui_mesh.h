// The frame's interface geometry and the two primitives that write it: a rectangle with a
// left-to-right gradient and a line of text. One texture (the font atlas) serves both, so the whole
// interface is one draw.
#pragma once
#include <cstdint>

#include "ui/font_atlas.h"

struct UiVertex {
    float position[2];  // window pixels, origin top left, y down
    float uv[2];        // font atlas coordinates
    float colour[4];    // RGBA, no gamma step; drawn alpha = colour alpha x atlas coverage
};
static_assert(sizeof(UiVertex) == 32, "the UI vertex layout is 32 bytes");

constexpr uint32_t UiVertexCapacity = 8000;

struct UiMesh {
    UiVertex vertices[UiVertexCapacity];
    uint32_t count;
};

// Emptied at the start of every frame, never freed.
extern UiMesh uiMesh;

// The centre of a fully covered atlas block: a quad using it everywhere draws in its vertex colours.
constexpr float SolidFillUv[2] = {1023.5f / 1024.0f, 254.5f / 1024.0f};

struct UiColour {
    float r, g, b, a;
};

// Appends one rectangle (six vertices), or nothing when it would not fit whole. The left edge's two
// corners take leftColour and the right edge's rightColour.
void pushUiQuad(UiMesh& mesh, float left, float top, float right, float bottom, float uMin, float vMin, float uMax,
                float vMax, const UiColour& leftColour, const UiColour& rightColour);

// A solid rectangle with a horizontal gradient.
void pushUiRect(UiMesh& mesh, float left, float top, float right, float bottom, const UiColour& leftColour,
                const UiColour& rightColour);

// Text larger than this many pixels is drawn from the 96-pixel glyphs, smaller from the 32-pixel ones.
constexpr float UiLargeTextAbove = 44.0f;

// Draws text with its line top at (x, y), left-aligned, no wrapping. Sizes above 44 pixels use the
// large glyph set. Bytes outside printable ASCII are skipped without moving the pen.
void drawUiText(UiMesh& mesh, const FontAtlas& atlas, float x, float y, const char* text, float size,
                const UiColour& colour);
