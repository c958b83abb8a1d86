// Particle-tank instancing: the quad axes and the instancers that expand a tank's particles (positions, sizes,
// rotations, matrices, colours, texture coordinates, normals, per particle or constant) into four corners each.
//
// Sections: vector helpers - positions - texture coordinates - colours - normals - selection.
#include <cmath>
#include <cstring>

#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/d3d9/ptank.h"

namespace {

constexpr GxInt32 kCorners = 4;
constexpr GxReal kHalf = 0.5f;
// Per-particle kinds in the tank's array order (see GxParticleTankFormat).
enum Kind : GxInt32 {
    kPosition,
    kMatrix,
    kNormal,
    kSize,
    kColour,
    kCornerColours,
    kRotation,
    kTexCoords,
    kCornerTexCoords,
};

// ---------------------------------------------------------------------------------------------- vector helpers

GxV3d Add(const GxV3d& a, const GxV3d& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
GxV3d Sub(const GxV3d& a, const GxV3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
GxV3d Scale(const GxV3d& a, GxReal s) { return {a.x * s, a.y * s, a.z * s}; }

// Element `i` of a kind's array.
const GxUInt8* Entry(const GxParticleTank* tank, GxInt32 kind, GxInt32 i)
{
    const GxParticleTankLockStruct& k = tank->format.kinds[kind];
    return k.data + static_cast<size_t>(i) * static_cast<size_t>(k.stride);
}

template <typename T>
T Read(const GxParticleTank* tank, GxInt32 kind, GxInt32 i)
{
    T value;
    memcpy(&value, Entry(tank, kind, i), sizeof(T));
    return value;
}

template <typename T>
void Write(GxUInt8* dst, const T& value)
{
    memcpy(dst, &value, sizeof(T));
}

// ---------------------------------------------------------------------------------------------- positions

// Writes the four corners center -r -u, +r -u, +r +u, -r +u; r and u already carry half the quad's size.
GxUInt8* PutQuad(GxUInt8* dst, GxInt32 stride, const GxV3d& center, const GxV3d& r, const GxV3d& u)
{
    const GxV3d corners[kCorners] = {Sub(Sub(center, r), u), Sub(Add(center, r), u), Add(Add(center, r), u),
                                     Add(Sub(center, r), u)};
    for (const GxV3d& corner : corners) {
        Write(dst, corner);
        dst += stride;
    }
    return dst;
}

// One template covers the camera-facing forms: per-particle or constant size and rotation, with or without the
// constant center offset.
template <bool kSizeEach, bool kRotateEach, bool kOffset>
GxUInt8* Positions(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                   const GxPTankInstanceWork* work)
{
    for (GxInt32 i = 0; i < count; i++) {
        GxV3d r = work->right;
        GxV3d u = work->up;
        if (kRotateEach) {
            const GxReal a = Read<GxReal>(tank, kRotation, i);
            const GxReal c = std::cos(a);
            const GxReal s = std::sin(a);
            const GxV3d right = r;
            r = Sub(Scale(right, c), Scale(u, s));
            u = Add(Scale(right, s), Scale(u, c));
        }
        GxReal size[2] = {tank->cSize[0], tank->cSize[1]};
        if (kSizeEach) {
            memcpy(size, Entry(tank, kSize, i), sizeof(size));
        }
        r = Scale(r, size[0] * kHalf);
        u = Scale(u, size[1] * kHalf);
        GxV3d center = Read<GxV3d>(tank, kPosition, i);
        if (kOffset) {
            center = Add(center, Add(Scale(r, tank->cPivot[0]), Scale(u, tank->cPivot[1])));
        }
        dst = PutQuad(dst, stride, center, r, u);
    }
    return dst;
}

// A matrix per particle carries orientation and size: its right and up rows span the whole quad.
template <bool kOffset>
GxUInt8* MatrixPositions(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                         const GxPTankInstanceWork*)
{
    for (GxInt32 i = 0; i < count; i++) {
        const GxMatrix m = Read<GxMatrix>(tank, kMatrix, i);
        const GxV3d r = Scale(m.right, kHalf);
        const GxV3d u = Scale(m.up, kHalf);
        GxV3d p = m.pos;
        if (kOffset) {
            p = Add(p, Add(Scale(r, tank->cPivot[0]), Scale(u, tank->cPivot[1])));
        }
        const GxV3d corners[kCorners] = {Sub(Add(p, r), u), Sub(Sub(p, r), u), Add(Sub(p, r), u), Add(Add(p, r), u)};
        for (const GxV3d& corner : corners) {
            Write(dst, corner);
            dst += stride;
        }
    }
    return dst;
}

// ---------------------------------------------------------------------------------------------- texture coordinates

// (uLeft, vTop, uRight, vBottom) to corners bottom-left, bottom-right, top-right, top-left.
GxUInt8* PutTwoPairs(GxUInt8* dst, GxInt32 stride, const GxReal* uv)
{
    const GxReal corners[kCorners][2] = {{uv[0], uv[3]}, {uv[2], uv[3]}, {uv[2], uv[1]}, {uv[0], uv[1]}};
    for (const auto& corner : corners) {
        memcpy(dst, corner, sizeof(corner));
        dst += stride;
    }
    return dst;
}

GxUInt8* PutFourPairs(GxUInt8* dst, GxInt32 stride, const GxReal* uv)
{
    for (GxInt32 c = 0; c < kCorners; c++) {
        memcpy(dst, uv + 2 * c, 2 * sizeof(GxReal));
        dst += stride;
    }
    return dst;
}

GxUInt8* TexCoordsEach(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                       const GxPTankInstanceWork*)
{
    for (GxInt32 i = 0; i < count; i++) {
        GxReal uv[4];
        memcpy(uv, Entry(tank, kTexCoords, i), sizeof(uv));
        dst = PutTwoPairs(dst, stride, uv);
    }
    return dst;
}

GxUInt8* CornerTexCoordsEach(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                             const GxPTankInstanceWork*)
{
    for (GxInt32 i = 0; i < count; i++) {
        GxReal uv[8];
        memcpy(uv, Entry(tank, kCornerTexCoords, i), sizeof(uv));
        dst = PutFourPairs(dst, stride, uv);
    }
    return dst;
}

GxUInt8* TexCoordsConstant(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                           const GxPTankInstanceWork*)
{
    for (GxInt32 i = 0; i < count; i++) {
        dst = PutTwoPairs(dst, stride, tank->cUV);
    }
    return dst;
}

GxUInt8* CornerTexCoordsConstant(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                                 const GxPTankInstanceWork*)
{
    for (GxInt32 i = 0; i < count; i++) {
        dst = PutFourPairs(dst, stride, tank->cUV);
    }
    return dst;
}

// ---------------------------------------------------------------------------------------------- colours

GxUInt8* PutColours(GxUInt8* dst, GxInt32 stride, const GxRGBA* colours, GxInt32 step, const GxPTankInstanceWork* work)
{
    for (GxInt32 c = 0; c < kCorners; c++) {
        if (work->colorsAsRGBA) {
            Write(dst, colours[c * step]);
        } else {
            Write(dst, GxPTankColorARGB(colours[c * step]));
        }
        dst += stride;
    }
    return dst;
}

GxUInt8* ColoursEach(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                     const GxPTankInstanceWork* work)
{
    for (GxInt32 i = 0; i < count; i++) {
        const GxRGBA colour = Read<GxRGBA>(tank, kColour, i);
        dst = PutColours(dst, stride, &colour, 0, work);
    }
    return dst;
}

GxUInt8* CornerColoursEach(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                           const GxPTankInstanceWork* work)
{
    for (GxInt32 i = 0; i < count; i++) {
        GxRGBA colours[kCorners];
        memcpy(colours, Entry(tank, kCornerColours, i), sizeof(colours));
        dst = PutColours(dst, stride, colours, 1, work);
    }
    return dst;
}

GxUInt8* CornerColoursConstant(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                               const GxPTankInstanceWork* work)
{
    for (GxInt32 i = 0; i < count; i++) {
        dst = PutColours(dst, stride, tank->cVtxColor, 1, work);
    }
    return dst;
}

GxUInt8* ColourConstant(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                        const GxPTankInstanceWork* work)
{
    for (GxInt32 i = 0; i < count; i++) {
        dst = PutColours(dst, stride, &tank->cColor, 0, work);
    }
    return dst;
}

// ---------------------------------------------------------------------------------------------- normals

GxUInt8* NormalsEach(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                     const GxPTankInstanceWork*)
{
    for (GxInt32 i = 0; i < count; i++) {
        const GxV3d normal = Read<GxV3d>(tank, kNormal, i);
        for (GxInt32 c = 0; c < kCorners; c++) {
            Write(dst, normal);
            dst += stride;
        }
    }
    return dst;
}

// ---------------------------------------------------------------------------------------------- selection

template <bool kOffset>
GxPTankInstancer PickPositions(GxUInt32 flags)
{
    if (flags & gxPTANKDFLAGMATRIX) {
        return MatrixPositions<kOffset>;
    }
    // A tank of constant orientation takes the default quad on the constant matrix's axes.
    if (flags & gxPTANKDFLAGCNSMATRIX) {
        return Positions<false, false, kOffset>;
    }
    const bool size = (flags & gxPTANKDFLAGSIZE) != 0;
    const bool rotate = (flags & gxPTANKDFLAG2DROTATE) != 0;
    if (size && rotate) {
        return Positions<true, true, kOffset>;
    }
    if (rotate) {
        return Positions<false, true, kOffset>;
    }
    if (size) {
        return Positions<true, false, kOffset>;
    }
    return Positions<false, false, kOffset>;
}

}  // namespace

GxUInt32 GxPTankColorARGB(const GxRGBA& colour)
{
    return static_cast<GxUInt32>(colour.alpha) << 24 | static_cast<GxUInt32>(colour.red) << 16 |
           static_cast<GxUInt32>(colour.green) << 8 | colour.blue;
}

void GxPTankQuadAxes(const GxParticleTank* tank, GxV3d* right, GxV3d* up)
{
    const GxUInt32 flags = tank->format.dataFlags;
    if (flags & gxPTANKDFLAGCNSMATRIX) {
        *right = tank->cMatrix.right;
        *up = tank->cMatrix.up;
        return;
    }
    *right = {-1.0f, 0.0f, 0.0f};
    *up = {0.0f, 1.0f, 0.0f};
    GxCamera* camera = GxEngineInstance ? GxEngineInstance->curCamera : nullptr;
    GxFrame* frame = camera ? GxCameraGetFrame(camera) : nullptr;
    if (frame) {
        const GxMatrix* m = GxFrameGetWorldMatrix(frame);
        *right = Scale(m->right, -1.0f);
        *up = m->up;
    }
    if (flags & gxPTANKDFLAGCNS2DROTATE) {
        const GxReal c = std::cos(tank->cRotate);
        const GxReal s = std::sin(tank->cRotate);
        const GxV3d r = *right;
        *right = Sub(Scale(r, c), Scale(*up, s));
        *up = Add(Scale(r, s), Scale(*up, c));
    }
}

void GxPTankSelectInstancers(GxAtomic* atomic)
{
    GxParticleTank* tank = GxParticleTankGet(atomic);
    GxPTankInstancers* table = &tank->instancers;
    const GxUInt32 flags = tank->format.dataFlags | tank->cFlags;
    table->setup = GxPTankInstanceSetup;
    table->finish = GxPTankInstanceFinish;
    table->positions = (flags & gxPTANKDFLAGUSECENTER) ? PickPositions<true>(flags) : PickPositions<false>(flags);
    if (flags & gxPTANKDFLAGVTX2TEXCOORDS) {
        table->texCoords = TexCoordsEach;
    } else if (flags & gxPTANKDFLAGVTX4TEXCOORDS) {
        table->texCoords = CornerTexCoordsEach;
    } else if (flags & gxPTANKDFLAGCNSVTX2TEXCOORDS) {
        table->texCoords = TexCoordsConstant;
    } else if (flags & gxPTANKDFLAGCNSVTX4TEXCOORDS) {
        table->texCoords = CornerTexCoordsConstant;
    } else {
        table->texCoords = nullptr;
    }
    if (flags & gxPTANKDFLAGCOLOR) {
        table->colors = ColoursEach;
    } else if (flags & gxPTANKDFLAGVTXCOLOR) {
        table->colors = CornerColoursEach;
    } else if (flags & gxPTANKDFLAGCNSVTXCOLOR) {
        table->colors = CornerColoursConstant;
    } else {
        table->colors = ColourConstant;
    }
    table->normals = (flags & gxPTANKDFLAGNORMAL) ? NormalsEach : nullptr;
}
