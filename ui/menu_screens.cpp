// Screen layouts. Each block is placed so that it ends exactly on the bottom line, whatever the
// number of buttons.
#include "ui/menu_screens.h"

#include <algorithm>

#include "base/clamp.h"

namespace {

constexpr float GapAfterHeadings = 22.0f;

void keepFired(MenuAction& action, bool fired, MenuAction which) {
    if (fired) action = which;
}

}  // namespace

MenuSizes menuSizes(float width, float height) {
    float u = height / 100.0f;
    MenuSizes sizes;
    sizes.titleSize = clampTo(9.0f * u, 44.0f, 84.0f);
    sizes.pauseHeadingSize = clampTo(7.0f * u, 36.0f, 60.0f);
    sizes.buttonTextSize = clampTo(3.6f * u, 21.0f, 28.0f);
    sizes.leftMargin = std::max(22.0f, 0.05f * width);
    sizes.bottomLine = height - 9.0f * u;
    sizes.buttonPitch = sizes.buttonTextSize + ButtonPadding + ButtonGap;
    return sizes;
}

MenuAction runMenuScreen(const MenuFrame& frame, UiMesh& mesh, const FontAtlas& atlas) {
    if (frame.screen == MenuScreen::None) return MenuAction::None;
    MenuSizes sizes = menuSizes(frame.width, frame.height);
    UiLayout layout = {sizes.leftMargin, 0.0f, frame.width, frame.pointer, &mesh, &atlas};
    const float bs = sizes.buttonTextSize;
    MenuAction action = MenuAction::None;
    drawLeftPanel(mesh, frame.width, frame.height);

    if (frame.screen == MenuScreen::Title) {
        int buttons = frame.updateAvailable ? 3 : 2;
        layout.cursorY = sizes.bottomLine -
                         (float(buttons) * sizes.buttonPitch + 2.0f * HeadingAdvance * sizes.titleSize + GapAfterHeadings);
        uiHeading(layout, "Vornhal:", sizes.titleSize);
        uiHeading(layout, "Zanthery", sizes.titleSize);
        layout.cursorY += GapAfterHeadings;
        keepFired(action, uiButton(layout, "Play", bs), MenuAction::Play);
        if (frame.updateAvailable) keepFired(action, uiButton(layout, "Update", bs), MenuAction::Update);
        keepFired(action, uiButton(layout, "Quit", bs), MenuAction::Quit);
        return action;
    }

    layout.cursorY = sizes.bottomLine - (2.0f * sizes.buttonPitch + HeadingAdvance * sizes.pauseHeadingSize + GapAfterHeadings);
    uiHeading(layout, "Paused", sizes.pauseHeadingSize);
    layout.cursorY += GapAfterHeadings;
    keepFired(action, uiButton(layout, "Resume", bs), MenuAction::Resume);
    keepFired(action, uiButton(layout, "Leave", bs), MenuAction::Leave);
    return action;
}
