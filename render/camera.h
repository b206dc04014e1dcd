// The one camera: an eye point, a yaw and a pitch turned into a single column-major view-projection
// matrix (as a WGSL mat4x4f expects) with WebGPU's 0..1 clip depth.
#pragma once

constexpr float CameraFocalFactor = 1.4281478f;  // 1 / tan(35 degrees): a 70 degree vertical field of view
constexpr float CameraNear = 0.05f;
constexpr float CameraFar = 100.0f;

// The focal factor of a vertical field of view in degrees: 1 / tan(half of it). 70 degrees gives
// CameraFocalFactor exactly, so the default view is the one it has always been.
float focalFactorForFieldOfView(float degrees);

// Fills matrix (16 floats, column-major) for a surface of width x height pixels. yaw 0 looks along -z;
// positive pitch looks up. Callers keep pitch within -1.5 .. 1.5, where the right vector is defined.
void viewProjectionForSurface(const float eye[3], float yaw, float pitch, int width, int height, float matrix[16],
                              float focalFactor = CameraFocalFactor);

// The frame's camera: uses the configured surface size and records the eye for the lighting.
void computeViewProjection(const float eye[3], float yaw, float pitch, float matrix[16],
                           float focalFactor = CameraFocalFactor);

// Where the title's camera stands in a test build compiled with VZ_TEST_STILL_TITLE, so pictures of
// the title can be compared: both walls of a corner and the floor under the light.
constexpr float StillTitleOrbitAngle = 0.75f;

// The title screen's camera circles the room's centre at radius 4.5, looking slightly down at it.
struct OrbitCamera {
    float eye[3];
    float yaw;
    float pitch;
};
OrbitCamera orbitCameraAt(float angle);
