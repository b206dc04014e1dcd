// The client's whole run: start-up, the frame loop and shutdown. Returns the process exit code:
// 0 after a normal quit, 1 after a fatal start-up failure (reported in an error box).
#pragma once

int runClient(int argumentCount, char** arguments);

// One pass of the frame loop: events, presence, movement, the meshes, camera, menus and the draw.
// runClient calls it with its window; the allocation test and the frame benchmark call it with none,
// after starting the GPU headless on Dawn's Null backend.
void runClientFrame();
