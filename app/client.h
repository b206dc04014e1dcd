// The client's whole run: start-up, the frame loop and shutdown. Returns the process exit code:
// 0 after a normal quit, 1 after a fatal start-up failure (reported in an error box).
#pragma once

int runClient(int argumentCount, char** arguments);
