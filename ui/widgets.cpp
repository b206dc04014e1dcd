// Widget drawing and hit testing over the UI primitives.
#include "ui/widgets.h"

#include <algorithm>

namespace {

constexpr float ButtonTextInset = 12.0f;
constexpr float ButtonTextDrop = 7.0f;
constexpr float ButtonMaxWidth = 380.0f;
constexpr float ButtonWidthShare = 0.84f;
constexpr float HeadingShadowDrop = 3.0f;

}  // namespace

bool boxContains(const UiBox& box, float x, float y) {
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

UiBox nextButtonBox(const UiLayout& layout, float textSize) {
    float width = std::min(ButtonWidthShare * layout.windowWidth, ButtonMaxWidth);
    return {layout.leftMargin, layout.cursorY, layout.leftMargin + width, layout.cursorY + textSize + ButtonPadding};
}

void uiHeading(UiLayout& layout, const char* text, float size) {
    drawUiText(*layout.mesh, *layout.atlas, layout.leftMargin, layout.cursorY + HeadingShadowDrop, text, size,
               HeadingShadow);
    drawUiText(*layout.mesh, *layout.atlas, layout.leftMargin, layout.cursorY, text, size, TextLight);
    layout.cursorY += HeadingAdvance * size;
}

bool uiButton(UiLayout& layout, const char* text, float textSize) {
    UiBox box = nextButtonBox(layout, textSize);
    bool hovered = boxContains(box, layout.pointer.x, layout.pointer.y);
    if (hovered) pushUiRect(*layout.mesh, box.left, box.top, box.right, box.bottom, ButtonHoverFill, ButtonHoverFill);
    drawUiText(*layout.mesh, *layout.atlas, box.left + ButtonTextInset, box.top + ButtonTextDrop, text, textSize,
               hovered ? TextDark : TextLight);
    layout.cursorY = box.bottom + ButtonGap;
    return hovered && layout.pointer.clicked;
}

void drawLeftPanel(UiMesh& mesh, float width, float height) {
    constexpr UiColour edge = {0, 0, 0, 0.87f}, middle = {0, 0, 0, 0.67f}, clear = {0, 0, 0, 0};
    pushUiRect(mesh, 0.0f, 0.0f, 0.28f * width, height, edge, middle);
    pushUiRect(mesh, 0.28f * width, 0.0f, 0.62f * width, height, middle, clear);
}
