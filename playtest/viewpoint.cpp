// Where the scripted runs see a world point; see playtest/viewpoint.h.
#include "playtest/viewpoint.h"

#include "engine/world/camera.h"
#include "game/shell/game.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/raster.h"

namespace {

// The middle of the view, as fractions of the screen: off it are the main bar and the edges that scroll.
constexpr float kViewLeft = 0.05f, kViewRight = 0.95f, kViewTop = 0.1f, kViewBottom = 0.8f;
// The screen the scripted runs' points are given on.
constexpr float kBaseWidth = 800.0f;
constexpr float kBaseHeight = 600.0f;
constexpr GxUInt32 kColourBits = 0xFFFFFFu;

}  // namespace

bool ViewFraction(const GxV3d& point, bool mirror, float* u, float* v)
{
    CGame* game = g_pGame;
    CFerroxCamera* camera = game ? game->GetCamera() : nullptr;
    GxCamera* graphics = camera ? camera->GetGraphicsCamera() : nullptr;
    GxFrame* frame = graphics ? GxCameraGetFrame(graphics) : nullptr;
    if (!frame)
        return false;
    const GxMatrix* m = GxFrameGetWorldMatrix(frame);
    const GxV3d d = {point.x - m->pos.x, point.y - m->pos.y, point.z - m->pos.z};
    const float depth = d.x * m->at.x + d.y * m->at.y + d.z * m->at.z;
    if (depth <= 0.0f)
        return false;
    const float side = (d.x * m->right.x + d.y * m->right.y + d.z * m->right.z) / depth;
    const float up = (d.x * m->up.x + d.y * m->up.y + d.z * m->up.z) / depth;
    *u = 0.5f + 0.5f * side / graphics->viewWindow.x * (mirror ? -1.0f : 1.0f);
    *v = 0.5f - 0.5f * up / graphics->viewWindow.y;
    return true;
}

bool ViewPoint(const GxV3d& point, bool mirror, float* x, float* y)
{
    float u = 0.0f, v = 0.0f;
    if (!ViewFraction(point, mirror, &u, &v))
        return false;
    *x = u * static_cast<float>(g_pGame->GetScreenWidth());
    *y = v * static_cast<float>(g_pGame->GetScreenHeight());
    return u > kViewLeft && u < kViewRight && v > kViewTop && v < kViewBottom;
}

float ScreenX(float x) { return x * static_cast<float>(g_pGame->GetScreenWidth()) / kBaseWidth; }
float ScreenY(float y) { return y * static_cast<float>(g_pGame->GetScreenHeight()) / kBaseHeight; }

long FramePixel(int x, int y)
{
    CFerroxCamera* camera = g_pGame ? g_pGame->GetCamera() : nullptr;
    GxCamera* graphics = camera ? camera->GetGraphicsCamera() : nullptr;
    GxRaster* raster = graphics ? graphics->frameBuffer : nullptr;
    if (!raster || x < 0 || y < 0 || x >= raster->width || y >= raster->height)
        return -1;
    GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
    if (!bits)
        return -1;
    const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
    const long pixel = static_cast<long>(row[x] & kColourBits);
    GxRasterUnlock(raster);
    return pixel;
}
