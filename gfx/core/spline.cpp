// Spline plugin: shared basis and interpolation tables, stored-point computation, evaluation and stream reading.
#include "gfx/core/spline.h"

#include <cmath>
#include <cstring>

#include "gfx/core/bytes.h"
#include "gfx/core/filesys.h"
#include "gfx/core/memory.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxInt32 kTableSamples = 257;  // u = i / 256, i = 0..256
constexpr GxInt32 kBasisTables = 12;    // A0..A3, B0..B3, C0..C3
constexpr GxInt32 kMinWindow = 4;
constexpr GxInt32 kMaxWindow = 10;
constexpr GxInt32 kWindowTables = kMaxWindow - kMinWindow + 1;
constexpr GxUInt32 kHintSpline = 0x3000C;
constexpr GxUInt32 kHintBasis = 0x40102;
constexpr GxUInt32 kHintWindow = 0x30102;
constexpr GxUInt32 kBodyHeaderSize = 40;  // name, count, type
constexpr GxReal kTinyLength = 1e-5f;

// Shared by every engine instance; built at the first open and freed at the last close.
GxInt32 splineOpenCount = 0;
GxReal* basisTables = nullptr;             // kBasisTables x kTableSamples
GxReal* windowTables[kWindowTables] = {};  // Wk: k x k, row-major

enum BasisIndex {
    kA0 = 0,
    kB0 = 4,
    kC0 = 8
};

const GxReal* Basis(GxInt32 which) { return basisTables + which * kTableSamples; }

void FillBasisTables()
{
    for (GxInt32 i = 0; i < kTableSamples; i++) {
        const double u = i / 256.0;
        const double u2 = u * u;
        const double u3 = u2 * u;
        const double v = 1.0 - u;
        const GxReal values[kBasisTables] = {
            static_cast<GxReal>(u3 / 6.0),
            static_cast<GxReal>((-3 * u3 + 3 * u2 + 3 * u + 1) / 6.0),
            static_cast<GxReal>((3 * u3 - 6 * u2 + 4) / 6.0),
            static_cast<GxReal>(v * v * v / 6.0),
            static_cast<GxReal>(u2 / 2.0),
            static_cast<GxReal>((-3 * u2 + 2 * u + 1) / 2.0),
            static_cast<GxReal>((3 * u2 - 4 * u) / 2.0),
            static_cast<GxReal>(-(v * v) / 2.0),
            static_cast<GxReal>(u),
            static_cast<GxReal>(1 - 3 * u),
            static_cast<GxReal>(3 * u - 2),
            static_cast<GxReal>(v),
        };
        for (GxInt32 t = 0; t < kBasisTables; t++) {
            basisTables[t * kTableSamples + i] = values[t];
        }
    }
}

// Wk is the inverse of the (1 4 1) / 6 system of an open spline of k points.
void FillWindowTable(GxReal* w, GxInt32 k)
{
    GxInt32 a[kMaxWindow + 1] = {1, 4};
    GxInt32 b[kMaxWindow + 1] = {1, 2};
    for (GxInt32 j = 2; j <= k - 2; j++) {
        a[j] = 4 * a[j - 1] - a[j - 2];
    }
    for (GxInt32 j = 2; j <= k - 1; j++) {
        b[j] = 4 * b[j - 1] - b[j - 2];
    }
    for (GxInt32 j = k - 2; j >= 0; j -= 2) {
        b[j] = -b[j];
    }
    const GxReal d = static_cast<GxReal>(a[k - 2]);
    const GxInt32 s = (k % 2) ? 2 : -2;
    std::memset(w, 0, sizeof(GxReal) * k * k);
    for (GxInt32 r = 0; r < k; r++) {
        w[r * k] = b[k - 1 - r] / d;
        for (GxInt32 j = 1; j <= r; j++) {
            w[r * k + j] = static_cast<GxReal>(b[j] * b[k - 1 - r] * s) / d;
        }
    }
    w[(k - 1) * k + (k - 1)] = w[0];
    for (GxInt32 r = 0; r < k; r++) {
        for (GxInt32 j = r + 1; j < k; j++) {
            w[r * k + j] = w[(k - 1 - r) * k + (k - 1 - j)];
        }
    }
}

void FreeWindowTables()
{
    for (GxInt32 i = kWindowTables - 1; i >= 0; i--) {
        if (windowTables[i] != nullptr) {
            GxFree(windowTables[i]);
            windowTables[i] = nullptr;
        }
    }
}

void FreeTables()
{
    FreeWindowTables();
    if (basisTables != nullptr) {
        GxFree(basisTables);
        basisTables = nullptr;
    }
}

// A failed window table frees the window tables made; the basis block stays, and the next open takes it
// again rather than leaking it.
bool BuildTables()
{
    if (basisTables == nullptr) {
        basisTables = static_cast<GxReal*>(GxMalloc(sizeof(GxReal) * kBasisTables * kTableSamples, kHintBasis));
    }
    if (basisTables == nullptr) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRNOMEMORY);
        return false;
    }
    FillBasisTables();
    for (GxInt32 k = kMinWindow; k <= kMaxWindow; k++) {
        GxReal* table = static_cast<GxReal*>(GxMalloc(sizeof(GxReal) * k * k, kHintWindow));
        if (table == nullptr) {
            FreeWindowTables();
            GxErrorRaise(gxPLUGINSPLINE, gxERRSPLINETABLES);
            return false;
        }
        FillWindowTable(table, k);
        windowTables[k - kMinWindow] = table;
    }
    return true;
}

void* SplineOpen(void* instance, GxInt32, GxInt32)
{
    if (splineOpenCount == 0 && !BuildTables()) {
        return nullptr;
    }
    splineOpenCount++;
    return instance;
}

void* SplineClose(void* instance, GxInt32, GxInt32)
{
    if (splineOpenCount > 0 && --splineOpenCount == 0) {
        FreeTables();
    }
    return instance;
}

GxInt32 ExtraPoints(GxInt32 type) { return type == gxSPLINEOPEN ? 2 : 3; }

void Accumulate(GxV3d& sum, const GxV3d& p, GxReal w)
{
    sum.x += w * p.x;
    sum.y += w * p.y;
    sum.z += w * p.z;
}

bool ComputeOpen(GxSpline* spline, const GxV3d* p, GxInt32 n)
{
    if (n < kMinWindow) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRNULLARG);
        return false;
    }
    const GxInt32 m = n < kMaxWindow ? n : kMaxWindow;
    const GxInt32 h = m / 2;
    const GxReal* w = windowTables[m - kMinWindow];
    GxV3d* s = spline->storedPoints;
    for (GxInt32 i = 0; i < n; i++) {
        GxInt32 row = m - (n - i);
        GxInt32 first = n - m;
        if (i < h) {
            row = i;
            first = 0;
        } else if (i < n - h) {
            row = h;
            first = i - h;
        }
        GxV3d sum = {0, 0, 0};
        for (GxInt32 j = 0; j < m; j++) {
            Accumulate(sum, p[first + j], w[row * m + j]);
        }
        s[i + 1] = sum;
    }
    s[0] = s[2];
    s[n + 1] = s[n - 1];
    return true;
}

// The recurrence x(j+2) = 4 x(j+1) - x(j) from (x0, x1) up to index last.
void Recurrence(double* x, double x0, double x1, GxInt32 last)
{
    x[0] = x0;
    x[1] = x1;
    for (GxInt32 j = 2; j <= last; j++) {
        x[j] = 4 * x[j - 1] - x[j - 2];
    }
}

bool ComputeClosed(GxSpline* spline, const GxV3d* p, GxInt32 n)
{
    const GxInt32 m = n < kMaxWindow ? n : kMaxWindow;
    const GxInt32 h = m / 2;
    double a[kMaxWindow + 2];
    double b[kMaxWindow + 2];
    double scale;
    if (m % 2 == 0) {
        Recurrence(a, 1, 4, h - 1);
        scale = 1.0 / a[h - 1];
        Recurrence(b, 1, 2, h);
    } else {
        Recurrence(a, 1, 3, h);
        scale = 1.0 / a[h];
        Recurrence(b, 1, 5, h);
    }
    for (GxInt32 j = h - 1; j >= 0; j -= 2) {
        b[j] = -b[j];
    }
    GxV3d* s = spline->storedPoints;
    for (GxInt32 i = 0; i < n; i++) {
        GxV3d sum = {0, 0, 0};
        Accumulate(sum, p[i], static_cast<GxReal>(b[h]));
        for (GxInt32 j = 1; j <= h; j++) {
            Accumulate(sum, p[(i + j) % n], static_cast<GxReal>(b[h - j]));
        }
        for (GxInt32 j = 1; j <= (m + 1) / 2 - 1; j++) {
            Accumulate(sum, p[((i - j) % n + n) % n], static_cast<GxReal>(b[h - j]));
        }
        s[i + 1] = {static_cast<GxReal>(sum.x * scale), static_cast<GxReal>(sum.y * scale),
                    static_cast<GxReal>(sum.z * scale)};
    }
    s[0] = s[n];
    s[n + 1] = s[1];
    s[n + 2] = s[2];
    return true;
}

bool ComputeStoredPoints(GxSpline* spline, const GxV3d* points)
{
    if (splineOpenCount == 0) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRENGINESTATE);
        return false;
    }
    const GxInt32 n = spline->nStoredPoints - ExtraPoints(spline->splineType);
    if (spline->splineType == gxSPLINEOPEN) {
        return ComputeOpen(spline, points, n);
    }
    return ComputeClosed(spline, points, n);
}

GxReal Weight(const GxReal* table, GxInt32 index, GxReal fraction)
{
    return table[index] + fraction * (table[index + 1] - table[index]);
}

GxV3d Blend(const GxV3d* q, GxReal w0, GxReal w1, GxReal w2, GxReal w3)
{
    GxV3d r = {0, 0, 0};
    Accumulate(r, q[0], w0);
    Accumulate(r, q[1], w1);
    Accumulate(r, q[2], w2);
    Accumulate(r, q[3], w3);
    return r;
}

// Normalises in place. Rounding leaves vectors of a still or straight path a little off zero;
// below kTinyLength they count as zero (the vector becomes zero, 0 is returned).
GxReal Normalise(GxV3d& v)
{
    const GxReal length = std::sqrt(GxV3dDotProduct(&v, &v));
    if (length <= kTinyLength) {
        v = {0, 0, 0};
        return 0;
    }
    v.x /= length;
    v.y /= length;
    v.z /= length;
    return length;
}

// The parameter as the evaluation uses it; open splines (and NaN) are held inside 0..1,
// since a larger t would address stored points past the end.
GxReal PathParameter(const GxSpline* spline, GxReal t)
{
    if (std::isnan(t)) {
        return 0;
    }
    t = std::fabs(t);
    if (t > 1) {
        t = spline->splineType == gxSPLINECLOSED ? t - std::floor(t) : 1;
    }
    return t;
}

// Segment, table index and fraction for t; both stay inside the stored points and tables.
void Locate(const GxSpline* spline, GxReal t, GxInt32* segment, GxInt32* index, GxReal* fraction)
{
    const GxInt32 last = spline->nStoredPoints - 4;
    if (t < 1) {
        const GxReal x = (spline->nStoredPoints - 3) * t;
        *segment = static_cast<GxInt32>(x);
        const GxReal y = (x - *segment) * 256;
        *index = static_cast<GxInt32>(y);
        *fraction = y - *index;
        if (*segment <= last && *index <= 255) {
            return;
        }
    }
    *segment = last;
    *index = 255;
    *fraction = 1;
}

// Reads a body of at most `limit` bytes; the counts are checked before anything is allocated.
GxSpline* ReadBody(GxStream* stream, GxUInt32 limit)
{
    GxUInt8 header[kBodyHeaderSize];
    if (limit < kBodyHeaderSize || GxStreamRead(stream, header, kBodyHeaderSize) != kBodyHeaderSize) {
        return nullptr;
    }
    GxInt32 count;
    GxInt32 type;
    count = GxBytesGetI32(header + 32);
    type = GxBytesGetI32(header + 36);
    const GxUInt32 left = limit - kBodyHeaderSize;
    if (count < 0 || count > gxSPLINEMAXPOINTS || static_cast<uint64_t>(count) * 12 > left) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRREAD);
        return nullptr;
    }
    // Read as a block that grows with the bytes that come, for streams that cannot tell their length.
    const GxUInt32 bytes = static_cast<GxUInt32>(count) * 12;
    GxUInt8* block = GxStreamReadBlock(stream, bytes);
    if (block == nullptr) {
        return nullptr;
    }
    GxV3d* points = static_cast<GxV3d*>(static_cast<void*>(block));
    GxSpline* spline = GxSplineCreate(count, type, points);
    if (spline != nullptr) {
        std::strncpy(spline->name, reinterpret_cast<const char*>(header), gxSPLINENAMELENGTH);
    }
    GxFree(points);
    return spline;
}

}  // namespace

GxBool GxSplinePluginAttach(void) { return GxEngineRegisterPlugin(0, gxPLUGINSPLINE, SplineOpen, SplineClose) >= 0; }

GxSpline* GxSplineCreate(GxInt32 numCtrlPoints, GxInt32 type, const GxV3d* points)
{
    if (type != gxSPLINEOPEN && type != gxSPLINECLOSED) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRSPLINETYPE);
        return nullptr;
    }
    // No point at all leaves a closed spline no window; past the cap the sizes overflow.
    if (numCtrlPoints < 1 || numCtrlPoints > gxSPLINEMAXPOINTS) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRNULLARG);
        return nullptr;
    }
    const GxInt32 stored = numCtrlPoints + ExtraPoints(type);
    const size_t size = offsetof(GxSpline, storedPoints) + sizeof(GxV3d) * stored;
    GxSpline* spline = static_cast<GxSpline*>(GxMalloc(size, kHintSpline));
    GxV3d* ctrl = static_cast<GxV3d*>(GxMalloc(sizeof(GxV3d) * numCtrlPoints, kHintSpline));
    if (spline == nullptr || ctrl == nullptr) {
        if (spline != nullptr)
            GxFree(spline);
        if (ctrl != nullptr)
            GxFree(ctrl);
        GxErrorRaise(gxPLUGINSPLINE, gxERRNOMEMORY);
        return nullptr;
    }
    std::memset(spline, 0, size);
    spline->object.type = gxSPLINEOBJECT;
    spline->nStoredPoints = stored;
    spline->splineType = type;
    spline->ctrlPoints = ctrl;
    if (!ComputeStoredPoints(spline, points)) {
        GxFree(ctrl);
        GxFree(spline);
        return nullptr;
    }
    std::memcpy(ctrl, points, sizeof(GxV3d) * numCtrlPoints);
    return spline;
}

GxBool GxSplineDestroy(GxSpline* spline)
{
    GxFree(spline->ctrlPoints);
    if (spline->extra != nullptr) {
        GxFree(spline->extra);
    }
    GxFree(spline);
    return 1;
}

GxInt32 GxSplineGetNumControlPoints(const GxSpline* spline)
{
    if (spline->splineType != gxSPLINEOPEN && spline->splineType != gxSPLINECLOSED) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRSPLINETYPE);
        return 0;
    }
    return spline->nStoredPoints - ExtraPoints(spline->splineType);
}

GxV3d* GxSplineGetControlPoint(const GxSpline* spline, GxInt32 index, GxV3d* point)
{
    if (index < 0 || index >= GxSplineGetNumControlPoints(spline)) {
        GxErrorRaise(gxPLUGINSPLINE, GxErrorMakeCode(gxERRINVALIDENUM, "control point out of range"));
        return nullptr;
    }
    *point = spline->ctrlPoints[index];
    return point;
}

GxSpline* GxSplineSetControlPoint(GxSpline* spline, GxInt32 index, const GxV3d* point)
{
    if (index < 0 || index >= GxSplineGetNumControlPoints(spline)) {
        GxErrorRaise(gxPLUGINSPLINE, GxErrorMakeCode(gxERRINVALIDENUM, "control point out of range"));
        return nullptr;
    }
    spline->ctrlPoints[index] = *point;
    return ComputeStoredPoints(spline, spline->ctrlPoints) ? spline : nullptr;
}

GxReal GxSplineFindMatrix(const GxSpline* spline, GxInt32 pathType, GxReal t, const GxV3d* up, GxMatrix* matrix)
{
    if (pathType != gxSPLINEPATHSMOOTH && pathType != gxSPLINEPATHEASED) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRSPLINETYPE);
        return -1.0f;
    }
    if (splineOpenCount == 0) {
        GxErrorRaise(gxPLUGINSPLINE, gxERRENGINESTATE);
        return -1.0f;
    }
    t = PathParameter(spline, t);
    if (pathType == gxSPLINEPATHEASED) {
        t = t <= 0.5f ? 2 * t * t : 4 * t - 2 * t * t - 1;
    }
    GxInt32 segment, index;
    GxReal fraction;
    Locate(spline, t, &segment, &index, &fraction);
    const GxV3d* q = spline->storedPoints + segment;
    auto w = [&](GxInt32 table) { return Weight(Basis(table), index, fraction); };
    const GxV3d position = Blend(q, w(kA0 + 3), w(kA0 + 2), w(kA0 + 1), w(kA0));
    GxV3d at = Blend(q, w(kB0 + 3), w(kB0 + 2), w(kB0 + 1), w(kB0));
    const GxV3d second = Blend(q, w(kC0 + 3), w(kC0 + 2), w(kC0 + 1), w(kC0));
    if (Normalise(at) == 0) {
        at = {0, 0, 1};
    }
    GxV3d normal;
    GxV3dCrossProduct(&normal, &second, &at);
    const GxReal bend = Normalise(normal);
    GxV3d upVector = normal;
    if (up == nullptr) {
        if (bend == 0)
            upVector.y = 1;
    } else {
        upVector = *up;
        if (Normalise(upVector) == 0)
            upVector.y = 1;
    }
    GxV3d right;
    GxV3dCrossProduct(&right, &upVector, &at);
    if (Normalise(right) == 0)
        right.x = 1;
    if (up != nullptr) {
        GxV3dCrossProduct(&upVector, &at, &right);
        if (Normalise(upVector) == 0)
            upVector.y = 1;
    }
    matrix->right = right;
    matrix->up = upVector;
    matrix->at = at;
    matrix->pos = position;
    // Flags must describe the rows just written, not the matrix's former contents.
    GxMatrixOptimize(matrix, nullptr);
    return bend;
}

GxSpline* GxSplineStreamRead(GxStream* stream) { return ReadBody(stream, GxStreamBytesLeft(stream)); }

GxSpline* GxSplineRead(const char* fileName)
{
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, fileName != nullptr ? fileName : "");
    if (stream == nullptr) {
        return nullptr;
    }
    GxSpline* spline = nullptr;
    GxUInt32 length = 0;
    if (GxStreamFindChunk(stream, gxID_SPLINE, &length, nullptr)) {
        const GxUInt32 left = GxStreamBytesLeft(stream);
        spline = ReadBody(stream, length < left ? length : left);
    }
    GxStreamClose(stream, nullptr);
    return spline;
}
