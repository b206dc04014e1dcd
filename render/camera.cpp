// View-projection maths. View and projection are combined at once; nothing is cached between frames.
#include "render/camera.h"

#include <cmath>

#include "render/gpu_context.h"

float focalFactorForFieldOfView(float degrees) {
    if (degrees == 70.0f) return CameraFocalFactor;
    return 1.0f / std::tan(degrees * (3.14159265f / 360.0f));
}

void viewProjectionForSurface(const float eye[3], float yaw, float pitch, int width, int height, float matrix[16],
                              float focalFactor) {
    float fx = -std::sin(yaw) * std::cos(pitch);
    float fy = std::sin(pitch);
    float fz = -std::cos(yaw) * std::cos(pitch);

    // Right is forward crossed with world up, so it lies in the floor plane.
    float horizontal = std::sqrt(fx * fx + fz * fz);
    float rx = -fz / horizontal;
    float rz = fx / horizontal;

    float ux = -rz * fy;
    float uy = rz * fx - rx * fz;
    float uz = rx * fy;

    float aspect = float(width) / float(height);
    float sx = focalFactor / aspect;
    float sy = focalFactor;
    float depthScale = CameraFar / (CameraFar - CameraNear);
    float depthOffset = -(CameraFar * CameraNear) / (CameraFar - CameraNear);

    float forwardDotEye = fx * eye[0] + fy * eye[1] + fz * eye[2];
    float rightDotEye = rx * eye[0] + rz * eye[2];
    float upDotEye = ux * eye[0] + uy * eye[1] + uz * eye[2];

    const float columns[16] = {
        rx * sx, ux * sy, fx * depthScale, fx,
        0.0f, uy * sy, fy * depthScale, fy,
        rz * sx, uz * sy, fz * depthScale, fz,
        -rightDotEye * sx, -upDotEye * sy, depthOffset - depthScale * forwardDotEye, -forwardDotEye,
    };
    for (int i = 0; i < 16; ++i) matrix[i] = columns[i];
}

void computeViewProjection(const float eye[3], float yaw, float pitch, float matrix[16], float focalFactor) {
    gpu.eyePosition[0] = eye[0];
    gpu.eyePosition[1] = eye[1];
    gpu.eyePosition[2] = eye[2];
    viewProjectionForSurface(eye, yaw, pitch, gpu.surfaceWidth, gpu.surfaceHeight, matrix, focalFactor);
}

OrbitCamera orbitCameraAt(float angle) {
#if defined(VZ_TEST_STILL_TITLE)
    angle = StillTitleOrbitAngle;  // only the client's test build (tests/CMakeLists.txt) is compiled so
#endif
    return {{4.5f * std::sin(angle), 2.2f, 4.5f * std::cos(angle)}, angle, -0.12f};
}
