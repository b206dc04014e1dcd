// The menus in the frame: the screen of the current state drawn into the frame's UI mesh, and the
// action of a pressed button performed at once.
#pragma once

// pointerScale turns the pointer's window coordinates into the layout's pixels (they differ on
// high-density displays). False only when "Quit" was pressed this frame.
bool runMenus(float pointerScaleX, float pointerScaleY);
