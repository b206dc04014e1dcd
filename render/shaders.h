// The two built-in WGSL programs, compiled into the executable as NUL-terminated texts.
#pragma once

// Lights the room and the avatars with one point light: vs, fs_flat (vertex colours), fs_floor
// (the floor's base colour, normal and occlusion-roughness-metalness maps).
extern const char SceneShaderSource[];

// Screen-space panels and text: vs, fs. Alpha is the vertex alpha times the atlas's red channel.
extern const char UiShaderSource[];
