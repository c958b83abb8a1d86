// The game's camera: the ground rectangle and the storey-dependent height range.
#include "game/shell/camera.h"

#include "game/shell/game.h"

namespace {

// The storey the game shows; 0 without a game.
int ShownStorey() { return g_pGame ? g_pGame->GetCurrentFloor() : 0; }

}  // namespace

int CCamera::Create(int width, int height, int withZRaster)
{
    SetMoveValidator(IsInsideBounds);
    return CVantorCamera::Create(width, height, withZRaster);
}

int CCamera::IsInsideBounds(const GxV3d* position)
{
    if (!position)
        return 0;
    return position->x >= kCameraMinX && position->x <= kCameraMaxX && position->z >= kCameraMinZ &&
                   position->z <= kCameraMaxZ
               ? 1
               : 0;
}

float CCamera::LowestHeight(int storey)
{
    return static_cast<float>(storey) * kCameraStoreyStep + kCameraFloorClearance;
}

void CCamera::ClampHeight()
{
    const GxV3d* position = GetPosition();
    if (!position || m_mode == VANTOR_CAMERA_LOCKED)
        return;
    GxV3d held = *position;
    const float lowest = LowestHeight(ShownStorey());
    if (held.y > kCameraTopHeight)
        held.y = kCameraTopHeight;
    else if (held.y < lowest)
        held.y = lowest;
    else
        return;
    SetPosition(&held);
}

void CCamera::MoveClamped(const GxV3d* delta)
{
    const GxV3d* position = GetPosition();
    if (!position || !delta)
        return;
    const float before = position->y;
    MoveOnGround(delta, nullptr);
    if (GetPosition()->y != before)
        ClampHeight();
}
