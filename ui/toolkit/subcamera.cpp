// Sub-cameras: a camera of the view's own over part of the game camera's frame, and its flight along splines.
#include "ui/toolkit/subcamera.h"

#include <cmath>

#include "engine/world/camera.h"
#include "engine/world/spline.h"
#include "engine/world/world.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/raster.h"
#include "gfx/core/renderstate.h"
#include "gfx/world/world.h"

namespace {

// The pose Configure gives the camera: turned half round the vertical, a little above and behind the origin.
constexpr GxReal kStartTurn = 180.0f;
constexpr GxV3d kVertical = {0.0f, 1.0f, 0.0f};
constexpr GxV3d kStartPosition = {0.0f, 10.0f, 0.1f};
// Below this a direction has no usable length (the camera sits on its target or looks straight up or down).
constexpr GxReal kShortest = 1e-6f;

CFerroxCamera* GameCamera() { return g_pFerroxGame ? g_pFerroxGame->GetCamera() : nullptr; }

float FrameTime() { return g_pFerroxGame ? g_pFerroxGame->GetFrameTime() : 0.0f; }

GxFrame* CameraFrame(GxCamera* camera) { return camera ? GxCameraGetFrame(camera) : nullptr; }

// A spline a camera can follow: loaded, with points.
bool Usable(CFerroxSpline* spline) { return spline && spline->GetSpline() && spline->GetPointCount() > 0; }

void CommitMatrix(GxFrame* frame)
{
    GxMatrixUpdate(GxFrameGetMatrix(frame));
    GxMatrixOptimize(GxFrameGetMatrix(frame), nullptr);
    GxFrameSetDirty(frame);
}

}  // namespace

// ---- Sub-camera ----

CFerroxSubCamera::CFerroxSubCamera() { CFerroxSubCamera::Init(); }

CFerroxSubCamera::~CFerroxSubCamera() { CFerroxSubCamera::Release(); }

void CFerroxSubCamera::Init()
{
    m_pCamera = nullptr;
    m_pScene = nullptr;
}

void CFerroxSubCamera::Release()
{
    if (m_pCamera) {
        // Out of whatever world holds it: the scene may have been made again since.
        if (GxWorld* world = GxCameraGetWorld(m_pCamera))
            GxWorldRemoveCamera(world, m_pCamera);
        GxFrame* frame = CameraFrame(m_pCamera);
        GxObjectSetFrame(&m_pCamera->object, nullptr);
        if (frame)
            GxFrameDestroy(frame);
        GxRaster* colour = m_pCamera->frameBuffer;
        GxRaster* depth = m_pCamera->zBuffer;
        GxCameraDestroy(m_pCamera);
        if (colour)
            GxRasterDestroy(colour);
        if (depth)
            GxRasterDestroy(depth);
        m_pCamera = nullptr;
    }
    m_pScene = nullptr;
}

int CFerroxSubCamera::HitTest(const FerroxPoint*) { return 0; }

void CFerroxSubCamera::Update()
{
    CFerroxWidget::Update();
    if (m_pScene)
        m_pScene->Update(FrameTime());
}

void CFerroxSubCamera::Configure(const FerroxWidgetRecord* record)
{
    if (!record)
        return;
    CFerroxWidget::Configure(record);
    GxRect rect = {static_cast<GxInt32>(record->x), static_cast<GxInt32>(record->y),
                   static_cast<GxInt32>(record->width), static_cast<GxInt32>(record->height)};
    if (record->scaled) {
        rect.x = static_cast<GxInt32>(static_cast<float>(rect.x) * FerroxGetInterfaceScaleX());
        rect.w = static_cast<GxInt32>(static_cast<float>(rect.w) * FerroxGetInterfaceScaleX());
        rect.y = static_cast<GxInt32>(static_cast<float>(rect.y) * FerroxGetInterfaceScaleY());
        rect.h = static_cast<GxInt32>(static_cast<float>(rect.h) * FerroxGetInterfaceScaleY());
    }
    CFerroxCamera* game = GameCamera();
    m_pCamera = game ? game->CreateSubCamera(&rect) : nullptr;
    m_pScene = static_cast<CFerroxWorld*>(record->scene);
    GxFrame* frame = CameraFrame(m_pCamera);
    if (!frame)
        return;
    GxMatrix* matrix = GxFrameGetMatrix(frame);
    GxMatrixRotate(matrix, &kVertical, kStartTurn, gxCOMBINEREPLACE);
    matrix->pos = kStartPosition;
    CommitMatrix(frame);
    if (m_pScene && m_pScene->GetGraphicsWorld())
        GxWorldAddCamera(m_pScene->GetGraphicsWorld(), m_pCamera);
}

void CFerroxSubCamera::PreRender() {}

void CFerroxSubCamera::Render(float, float)
{
    CFerroxCamera* game = GameCamera();
    if (!m_pCamera || !game || !m_pScene || !m_pScene->GetGraphicsWorld())
        return;
    // The world may have been made again without this camera.
    if (GxCameraGetWorld(m_pCamera) != m_pScene->GetGraphicsWorld())
        return;
    game->EndUpdate();
    GxRGBA clear = {0, 0, 0, 0};
    GxCameraClear(m_pCamera, &clear, gxCAMERACLEARZ);
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(1));
    GxRenderStateSet(gxRENDERSTATEZTESTENABLE, GxRenderStateValue(1));
    if (GxCameraBeginUpdate(m_pCamera)) {
        PreRender();
        m_pScene->Render(m_pCamera);
        m_pScene->RenderSecondPass();
        GxCameraEndUpdate(m_pCamera);
    }
    game->BeginUpdate();
}

// ---- Spline sub-camera ----

CFerroxSplineSubCamera::CFerroxSplineSubCamera() : m_pTargetMatrix(nullptr) { CFerroxSplineSubCamera::Init(); }

CFerroxSplineSubCamera::~CFerroxSplineSubCamera() { CFerroxSplineSubCamera::Release(); }

void CFerroxSplineSubCamera::Init()
{
    CFerroxSubCamera::Init();
    m_pPositionSpline = nullptr;
    m_pTargetSpline = nullptr;
    m_pTargetMatrix = nullptr;
    m_parameter = 0.0f;
}

void CFerroxSplineSubCamera::Release()
{
    if (m_pTargetMatrix) {
        GxMatrixDestroy(m_pTargetMatrix);
        m_pTargetMatrix = nullptr;
    }
    CFerroxSubCamera::Release();
}

void CFerroxSplineSubCamera::Configure(const FerroxWidgetRecord* record)
{
    if (!record)
        return;
    CFerroxSubCamera::Configure(record);
    m_pPositionSpline = static_cast<CFerroxSpline*>(record->positionSpline);
    m_pTargetSpline = static_cast<CFerroxSpline*>(record->targetSpline);
    GxFrame* frame = CameraFrame(m_pCamera);
    if (frame && Usable(m_pPositionSpline)) {
        m_pPositionSpline->FindMatrix(m_parameter, GxFrameGetMatrix(frame));
        CommitMatrix(frame);
    }
    m_pTargetMatrix = GxMatrixCreate();
}

void CFerroxSplineSubCamera::Update()
{
    CFerroxSubCamera::Update();
    if (!m_pPositionSpline && !m_pTargetSpline)
        return;
    m_parameter += FrameTime() * kFerroxSubCameraPathRate;
    if (m_parameter >= 1.0f || !(m_parameter >= 0.0f))
        m_parameter = 0.0f;
    GxFrame* frame = CameraFrame(m_pCamera);
    if (!frame)
        return;
    if (Usable(m_pPositionSpline)) {
        m_pPositionSpline->FindMatrix(m_parameter, GxFrameGetMatrix(frame));
        GxMatrixUpdate(GxFrameGetMatrix(frame));
        GxFrameSetDirty(frame);
    }
    if (!Usable(m_pTargetSpline) || !m_pTargetMatrix)
        return;
    m_pTargetSpline->FindMatrix(m_parameter, m_pTargetMatrix);
    const GxV3d eye = GxFrameGetWorldMatrix(frame)->pos;
    const GxV3d toTarget = {m_pTargetMatrix->pos.x - eye.x, m_pTargetMatrix->pos.y - eye.y,
                            m_pTargetMatrix->pos.z - eye.z};
    GxV3d at, right, up, side;
    // A zero length raises an error in the normaliser: such a pose is kept instead.
    if (GxV3dLength(&toTarget) < kShortest)
        return;
    GxV3dNormalize(&at, &toTarget);
    GxV3dCrossProduct(&side, &kVertical, &at);
    if (GxV3dLength(&side) < kShortest)
        return;
    GxV3dNormalize(&right, &side);
    GxV3dCrossProduct(&side, &at, &right);
    GxV3dNormalize(&up, &side);
    GxMatrix* matrix = GxFrameGetMatrix(frame);
    matrix->right = right;
    matrix->up = up;
    matrix->at = at;
    GxMatrixUpdate(matrix);
    GxFrameSetDirty(frame);
}
