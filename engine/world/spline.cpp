// CFerroxSpline: editing, measuring and evaluating a spline path and keeping its point copy in step.
#include "engine/world/spline.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/data/debugdraw.h"
#include "gfx/core/matrix.h"
#include "gfx/core/spline.h"

namespace {

constexpr float kDebugLift = 0.1f;
constexpr float kMaxIndex = 1.0e9f;

float Clamp01(float t)
{
    if (std::isnan(t) || t < 0) {
        return 0;
    }
    return t > 1 ? 1 : t;
}

}  // namespace

CFerroxSpline::CFerroxSpline()
{
    m_pSpline = nullptr;
    Init();
}

void CFerroxSpline::Init()
{
    m_pSpline = nullptr;
    m_points.clear();
}

void CFerroxSpline::Release()
{
    if (m_pSpline != nullptr) {
        GxSplineDestroy(m_pSpline);
    }
    Init();
}

CFerroxSpline::~CFerroxSpline() { Release(); }

void CFerroxSpline::CopyFromSpline()
{
    m_points.clear();
    const int count = m_pSpline != nullptr ? GxSplineGetNumControlPoints(m_pSpline) : 0;
    if (count <= 0) {
        return;
    }
    m_points.assign(m_pSpline->ctrlPoints, m_pSpline->ctrlPoints + count);
}

int CFerroxSpline::Rebuild(std::vector<GxV3d> points)
{
    m_points = std::move(points);
    if (m_pSpline != nullptr) {
        GxSplineDestroy(m_pSpline);
    }
    m_pSpline = GxSplineCreate(static_cast<GxInt32>(m_points.size()), gxSPLINEOPEN, m_points.data());
    return m_pSpline != nullptr ? 1 : 0;
}

int CFerroxSpline::Translate(const GxV3d& offset)
{
    const int count = GetPointCount();
    if (count < 1) {
        return count;
    }
    for (int i = 0; i < count; i++) {
        GxV3d p;
        GxSplineGetControlPoint(m_pSpline, i, &p);
        p.x += offset.x;
        p.y += offset.y;
        p.z += offset.z;
        m_points[i] = p;
        GxSplineSetControlPoint(m_pSpline, i, &p);
    }
    return count;
}

int CFerroxSpline::Rotate(const GxV3d& axis, float angle)
{
    const int count = GetPointCount();
    if (count < 1) {
        return count;
    }
    GxMatrix* matrix = GxMatrixCreate();
    if (matrix == nullptr) {
        return 0;
    }
    GxMatrixRotate(matrix, &axis, angle, gxCOMBINEPOSTCONCAT);
    for (int i = 0; i < count; i++) {
        GxV3d p;
        GxSplineGetControlPoint(m_pSpline, i, &p);
        GxV3dTransformPoints(&m_points[i], &p, 1, matrix);
        GxSplineSetControlPoint(m_pSpline, i, &m_points[i]);
    }
    GxMatrixDestroy(matrix);
    return count;
}

void CFerroxSpline::FindMatrix(float t, GxMatrix* matrix)
{
    if (m_pSpline == nullptr || matrix == nullptr) {
        return;
    }
    const GxV3d up = {0, 1, 0};
    GxSplineFindMatrix(m_pSpline, gxSPLINEPATHSMOOTH, Clamp01(t), &up, matrix);
}

float CFerroxSpline::GetSegmentLength(float t)
{
    const int n = GetPointCount();
    if (n < 2) {
        return 0;
    }
    t = Clamp01(t);
    int i = 0;
    if (t >= 1) {
        i = n - 2;
    } else if (t > 0) {
        i = std::min(static_cast<int>(t / (1.0f / (n - 1))), n - 2);
    }
    GxV3d a, b;
    GxSplineGetControlPoint(m_pSpline, i, &a);
    GxSplineGetControlPoint(m_pSpline, i + 1, &b);
    GxV3d d = {b.x - a.x, b.y - a.y, b.z - a.z};
    return GxV3dLength(&d);
}

int CFerroxSpline::GetPointIndex(float t, int backwards)
{
    const int n = GetPointCount();
    const float segments = t / (1.0f / static_cast<float>(n - 1));
    // A parameter read from a file may be anything: the index stays one an int can hold.
    const int i = std::isnan(segments) ? 0 : static_cast<int>(std::clamp(segments, -kMaxIndex, kMaxIndex));
    return backwards ? i : i + 1;
}

int CFerroxSpline::GetPointCount() { return m_pSpline != nullptr ? GxSplineGetNumControlPoints(m_pSpline) : 0; }

// Null without a copy, as callers test for one.
const GxV3d* CFerroxSpline::GetPoints() { return m_points.empty() ? nullptr : m_points.data(); }

int CFerroxSpline::AppendPoint(const GxV3d& point)
{
    std::vector<GxV3d> points = m_points;
    points.push_back(point);
    return Rebuild(std::move(points));
}

int CFerroxSpline::PrependPoint(const GxV3d& point)
{
    std::vector<GxV3d> points;
    points.reserve(m_points.size() + 1);
    points.push_back(point);
    points.insert(points.end(), m_points.begin(), m_points.end());
    return Rebuild(std::move(points));
}

int CFerroxSpline::AppendSpline(CFerroxSpline* other)
{
    if (other == nullptr || other->GetPoints() == nullptr) {
        return 0;
    }
    const int otherCount = other->GetPointCount();
    std::vector<GxV3d> points = m_points;
    points.insert(points.end(), other->GetPoints(), other->GetPoints() + otherCount);
    return Rebuild(std::move(points));
}

void CFerroxSpline::SetPoint(int index, const GxV3d& point)
{
    if (index < 0 || index >= GetPointCount()) {
        return;
    }
    GxSplineSetControlPoint(m_pSpline, index, &point);
    m_points[index] = point;
}

void CFerroxSpline::ReservedSlot17() {}

void CFerroxSpline::DrawDebugInfo()
{
    if (m_pSpline == nullptr) {
        return;
    }
    const int count = GetPointCount();
    if (!m_points.empty()) {
        DrawDebugLines(m_points.data(), count, kDebugLift);
        return;
    }
    std::vector<GxV3d> points(static_cast<size_t>(count));
    for (int i = 0; i < count; i++) {
        GxSplineGetControlPoint(m_pSpline, i, &points[i]);
    }
    DrawDebugLines(points.data(), count, kDebugLift);
}

int CFerroxSpline::Read(const char* fileName)
{
    GxSpline* spline = GxSplineRead(fileName != nullptr ? fileName : "");
    if (m_pSpline != nullptr) {
        GxSplineDestroy(m_pSpline);
    }
    m_pSpline = spline;
    CopyFromSpline();
    return GetPointCount();
}

int CFerroxSpline::Attach(GxSpline* spline, const char* name)
{
    if (spline == nullptr) {
        return 0;
    }
    if (m_pSpline != nullptr && m_pSpline != spline) {
        GxSplineDestroy(m_pSpline);
    }
    m_pSpline = spline;
    CopyFromSpline();
    if (name != nullptr) {
        SetName(name);
    }
    return 1;
}

int CFerroxSpline::Create(const GxV3d* points, int count, const char* name)
{
    if (points == nullptr || count < 1) {
        return 0;
    }
    const int made = Rebuild(std::vector<GxV3d>(points, points + count));
    if (name != nullptr) {
        SetName(name);
    }
    return made;
}

std::unique_ptr<CFerroxSpline> CFerroxSpline::Clone()
{
    auto clone = std::make_unique<CFerroxSpline>();
    clone->Create(GetPoints(), static_cast<int>(m_points.size()), GetName());
    return clone;
}
