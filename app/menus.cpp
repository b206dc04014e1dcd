// Menu actions: "Play" places the player and joins the presence server, "Leave" leaves it, "Update"
// opens the release page, "Quit" ends the loop.
#include "app/menus.h"

#include <SDL3/SDL.h>

#include <string>

#include "app/app_state.h"
#include "app/presence_join.h"
#include "app/server_address.h"
#include "presence/presence_client.h"
#include "render/gpu_context.h"
#include "ui/menu_screens.h"
#include "update/update_check.h"
#include "world/movement.h"

namespace {

MenuScreen screenFor(AppState state) {
    switch (state) {
        case AppState::Menu: return MenuScreen::Title;
        case AppState::Paused: return MenuScreen::Pause;
        default: return MenuScreen::None;
    }
}

void play() {
    placeAtSpawn(localPlayer, SDL_GetTicks());
    changeAppState(appCore, AppState::Playing);
    // Read afresh each time, so a changed file counts at the next "Play". A failed connect or lookup
    // leaves the user playing alone.
    std::string address = readServerAddress();
    presenceJoin(address.empty() ? DefaultServerAddress : address.c_str(), SDL_GetTicks());
}

}  // namespace

bool runMenus(float pointerScaleX, float pointerScaleY) {
    MenuFrame frame = {};
    frame.screen = screenFor(appCore.state);
    frame.width = float(gpu.surfaceWidth);
    frame.height = float(gpu.surfaceHeight);
    frame.pointer = {appCore.input.mouseX * pointerScaleX, appCore.input.mouseY * pointerScaleY, appCore.input.clicked};
    // Read once, so the button count and the buttons drawn always agree.
    frame.updateAvailable = updateAvailable.load();

    switch (runMenuScreen(frame, uiMesh, fontAtlas)) {
        case MenuAction::Play: play(); break;
        case MenuAction::Update: SDL_OpenURL(ReleasePageUrl); break;
        case MenuAction::Quit: return false;
        case MenuAction::Resume: changeAppState(appCore, AppState::Playing); break;
        case MenuAction::Leave:
            presenceLeave();
            changeAppState(appCore, AppState::Menu);
            break;
        case MenuAction::None: break;
    }
    return true;
}
