// Sub-cameras: widgets that show a live 3D scene inside their rectangle through a camera of their own, which
// draws into that part of the game camera's frame buffer; the spline kind flies the camera along one path
// while it looks at a point moving along another.
//
// The view owns its camera (with its frame and its two sub-rasters); the scene and the splines belong to the
// canvas that made the view. The view never takes the pointer. One thread: updated and drawn inside the game
// camera's frame.
#pragma once

#include <cstdint>

#include "ui/toolkit/widget.h"

struct GxCamera;
struct GxMatrix;
class CFerroxSpline;
class CFerroxWorld;

// One pass along a camera path takes 1 / this many seconds.
constexpr float kFerroxSubCameraPathRate = 0.02f;

class CFerroxSubCamera : public CFerroxWidget {
public:
    CFerroxSubCamera();
    CFerroxSubCamera(const CFerroxSubCamera&) = delete;
    CFerroxSubCamera& operator=(const CFerroxSubCamera&) = delete;
    ~CFerroxSubCamera() override;
    void Init() override;
    // Takes the camera out of the scene and destroys it; a second call finds nothing to do.
    void Release() override;
    // Draws the scene into the view's rectangle between two halves of the game camera's update. Without a
    // camera or a scene with a graphics world it draws nothing.
    void Render(float parentX, float parentY) override;
    int HitTest(const FerroxPoint* point) override;
    // Advances the scene by the game's frame time.
    void Update() override;
    // Makes the camera over the record's rectangle (whole pixels, scaled when the record says so) and puts it
    // into the record's scene (a CFerroxWorld).
    void Configure(const FerroxWidgetRecord* record) override;
    // Runs inside the camera's update, before the scene draws.
    virtual void PreRender();

    GxCamera* GetCamera() const { return m_pCamera; }
    CFerroxWorld* GetScene() const { return m_pScene; }

protected:
    GxCamera* m_pCamera;
    CFerroxWorld* m_pScene;
};

class CFerroxSplineSubCamera : public CFerroxSubCamera {
public:
    CFerroxSplineSubCamera();
    ~CFerroxSplineSubCamera() override;
    void Init() override;
    void Release() override;
    // Moves the path parameter on by the frame time (wrapping to 0 at the end of the path), places the camera
    // on the position path and aims it at the point of the target path.
    void Update() override;
    // The record's position and target splines (CFerroxSpline; either may be null or empty).
    void Configure(const FerroxWidgetRecord* record) override;

    float GetParameter() const { return m_parameter; }
    CFerroxSpline* GetPositionSpline() const { return m_pPositionSpline; }
    CFerroxSpline* GetTargetSpline() const { return m_pTargetSpline; }

protected:
    CFerroxSpline* m_pPositionSpline;
    CFerroxSpline* m_pTargetSpline;
    GxMatrix* m_pTargetMatrix;
    float m_parameter;
};
