// The local player under the user's control: the keyboard state and the summed mouse motion turned
// into the movement step's input, once per frame in Playing and Paused.
#pragma once
#include "app/app_state.h"
#include "world/movement.h"

// Held keys read from SDL's keyboard state array (indexed by scancode) and the look deltas, scaled
// and turned as the look settings say; every key counts as released unless the state is Playing.
MovementInput movementInputFrom(const bool* keyboardState, const AppCore& core);

// Steps localPlayer by dt with the keyboard as SDL last saw it, and zeroes the look deltas.
void updateLocalPlayer(float dt);
