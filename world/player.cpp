// The one local player.
#include "world/player.h"

LocalPlayer localPlayer;
