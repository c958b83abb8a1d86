// Scalable building pieces: floors, wall runs and balconies stretched over a dragged rectangle; the model's
// geometry is scaled along x and z and the footprint follows the scale.
#pragma once

#include <vector>

#include "game/buildings/building.h"

struct GxGeometry;

class CScalableObject : public CBaseObject {
public:
    CScalableObject();
    void Init() override;
    void Release() override;
    ~CScalableObject() override;

    int32_t GetSizeX() override;
    int32_t GetSizeZ() override;
    void OccupyCells() override;

    // Scales the unscaled geometry by the vector's x and z (not by the scale already applied); y stays 1.
    void SetScale(const GxV3d& scale);
    // Brings back the unscaled geometry and a scale of 1.
    void ResetScale();
    const GxV3d& GetScale() const { return m_scale; }

private:
    // The unscaled x and z of every vertex, kept at the first scaling.
    struct KeptGeometry {
        GxGeometry* geometry;
        std::vector<float> xz;
    };
    void KeepGeometry();
    void RestoreGeometry();

    GxV3d m_scale;
    std::vector<KeptGeometry> m_kept;
};
