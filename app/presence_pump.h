// The game's presence pump: the presence client pumped once a frame with the local player's pose.
#pragma once
#include <cstdint>

// Receives and applies what is waiting (at most PresenceReceivesPerPump datagrams), then sends what
// is due, the State taken from the local player. Returns at once with no socket open.
void presencePump(uint64_t nowMs);
