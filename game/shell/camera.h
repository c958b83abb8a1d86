// The game's camera: the engine's game camera held over the mall's ground rectangle and between a height
// above the storey shown and the top of the view.
//
// The game object owns one, made in Create; the floor changes move it one storey with the view. One thread.
#pragma once

#include "engine/world/camera.h"

// The ground rectangle the view may glide over.
constexpr float kCameraMinX = -40.0f;
constexpr float kCameraMaxX = 240.0f;
constexpr float kCameraMinZ = -240.0f;
constexpr float kCameraMaxZ = 40.0f;
// Height range: the lowest height above storey n is n x kCameraStoreyStep + kCameraFloorClearance.
constexpr float kCameraStoreyStep = 4.0f;
constexpr float kCameraFloorClearance = 5.0f;
constexpr float kCameraTopHeight = 60.0f;

class CCamera : public CVantorCamera {
public:
    // Installs the ground rectangle as the glide's validator, then makes the camera.
    int Create(int width, int height, int withZRaster) override;
    // Moves level with the ground and straight up or down; a height change is held to the storey's range.
    void MoveClamped(const GxV3d* delta) override;

    // 1 when the ground position lies in the rectangle.
    static int IsInsideBounds(const GxV3d* position);
    // The lowest height above the storey.
    static float LowestHeight(int storey);

private:
    void ClampHeight();
};
