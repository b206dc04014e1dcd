// The body every player has, local or remote: how tall it stands and crouches, and where its eyes
// are. The movement step, the roster merge and the avatars all measure with these.
#pragma once

constexpr float StandingBodyHeight = 1.8f;
constexpr float CrouchingBodyHeight = 1.1f;
constexpr float StandingEyeHeight = 1.65f;
constexpr float CrouchingEyeHeight = 1.0f;
