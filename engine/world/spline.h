// The engine's spline path: a graphics-core spline with its own copy of the control points.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/data/root.h"
#include "gfx/core/gx.h"

struct GxSpline;
struct GxMatrix;

class CFerroxSpline : public CFerroxBase {
public:
    CFerroxSpline();
    void Init() override;
    void Release() override;
    ~CFerroxSpline() override;

    // Each returns the point count it left, or 0 when there is nothing to work on.
    virtual int Translate(const GxV3d& offset);
    virtual int Rotate(const GxV3d& axis, float angle);
    // t is held inside 0..1.
    virtual void FindMatrix(float t, GxMatrix* matrix);
    virtual float GetSegmentLength(float t);
    // Index of the control point ahead (or, backwards, behind) at t, t not held: past the ends it lies beyond the
    // points.
    virtual int GetPointIndex(float t, int backwards);
    virtual int GetPointCount();
    virtual const GxV3d* GetPoints();
    virtual int AppendPoint(const GxV3d& point);
    virtual int PrependPoint(const GxV3d& point);
    virtual int AppendSpline(CFerroxSpline* other);
    virtual void SetPoint(int index, const GxV3d& point);
    // Virtual slot 17, between SetPoint and DrawDebugInfo: reserved, does nothing.
    virtual void ReservedSlot17();
    virtual void DrawDebugInfo();
    // Replaces the spline by the one read from the file; returns its point count (0 on failure).
    virtual int Read(const char* fileName);
    // Takes ownership of the graphics spline; 1 on success.
    virtual int Attach(GxSpline* spline, const char* name);
    // 1 when the graphics spline could be made (an open spline needs four points).
    virtual int Create(const GxV3d* points, int count, const char* name);
    // A copy with this one's points and name.
    virtual std::unique_ptr<CFerroxSpline> Clone();

    GxSpline* GetSpline() const { return m_pSpline; }

private:
    // Makes the graphics spline again (type open) from the new copy.
    int Rebuild(std::vector<GxV3d> points);
    void CopyFromSpline();

    GxSpline* m_pSpline;
    std::vector<GxV3d> m_points;
};
