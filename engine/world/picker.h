// The ray picker: which object lies first under the mouse, and where the ray meets one chosen model.
#pragma once

#include "gfx/core/gx.h"

struct GxClump;
class CFerroxCamera;
class CFerroxComposite;
class CFerroxObject;
class CFerroxWorld;

class CFerroxPicker {
public:
    CFerroxPicker();

    // Every field zero.
    void Clear();
    // The world whose collision-tested models are picked (through its graphics world) and the camera whose
    // view makes the ray.
    void SetScene(CFerroxWorld* world, CFerroxCamera* camera);
    // Casts the ray through the pixel of the camera's frame buffer from its near to its far clip plane. Returns the
    // owner of the nearest model hit (null when none is hit or the model has no owner). When the ray meets the chosen
    // model, its nearest point goes to outPoint; otherwise outPoint keeps its value.
    CFerroxObject* Pick(const GxV2d& pixel, CFerroxComposite* chosen, GxV3d* outPoint);

    // The clump of the nearest hit of the latest pick; null when nothing was hit.
    GxClump* GetPickedClump() const { return m_pPickedClump; }

protected:
    // Pick along a line given in world space.
    CFerroxObject* PickLine(const GxLine& line, CFerroxComposite* chosen, GxV3d* outPoint);

private:
    GxV3d m_rayStart;
    GxV3d m_rayEnd;
    CFerroxWorld* m_pWorld;
    CFerroxCamera* m_pCamera;
    GxClump* m_pPickedClump;
};
