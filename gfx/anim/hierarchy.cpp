// Hierarchical animation: the frame extension, hierarchies, their update into node matrices and frames, the
// standard rotation-and-translation keyframe scheme, and the extension's stream.
//
// Sections: standard scheme - hierarchy records - attach and update - frame extension and stream - attach.
#include <cmath>
#include <cstring>

#include "gfx/anim/anim_local.h"
#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"

GxInt32 gxAnimHierarchyFrameOffset = -1;

namespace {

constexpr GxUInt32 kRecordHint = 0x4011E;
constexpr GxUInt32 kArrayHint = 0x3011E;
constexpr GxUInt32 kExtensionVersion = 0x100;
constexpr GxInt32 kNoNodeID = -1;
constexpr GxInt32 kMatrixAlign = 16;
// Node id, node index, node flags.
constexpr GxInt32 kNodeStreamSize = 12;
// Version and node id; then count, and with nodes the flags and the key size.
constexpr GxInt32 kExtensionShortSize = 12;
constexpr GxInt32 kExtensionLongSize = 20;
constexpr GxInt32 kMaxStreamKeyFrameSize = 4096;
constexpr GxInt32 kMinStreamKeyFrameSize = 8;
constexpr GxReal kSlerpThreshold = 0.999f;
constexpr GxUInt32 kStdFloats = 8;  // time, quaternion, translation

using FrameExtension = GxAnimFrameExtension;

FrameExtension* ExtensionOf(GxFrame* frame)
{
    return reinterpret_cast<FrameExtension*>(reinterpret_cast<GxUInt8*>(frame) + gxAnimHierarchyFrameOffset);
}

const FrameExtension* ExtensionOf(const GxFrame* frame)
{
    return reinterpret_cast<const FrameExtension*>(reinterpret_cast<const GxUInt8*>(frame) +
                                                   gxAnimHierarchyFrameOffset);
}

// ---------------------------------------------------------------------------------------------- standard scheme

// out = wa a + wb b along the shorter arc; b's quaternion is flipped in place when the arc is long.
void Slerp(GxReal out[4], const GxReal a[4], GxReal b[4], GxReal f)
{
    GxReal d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (d < 0.0f) {
        d = -d;
        for (GxInt32 i = 0; i < 4; i++) {
            b[i] = -b[i];
        }
    }
    GxReal wa = 1.0f - f;
    GxReal wb = f;
    if (d < kSlerpThreshold) {
        const GxReal theta = std::acos(d);
        const GxReal s = std::sin(theta);
        wa = std::sin((1.0f - f) * theta) / s;
        wb = std::sin(f * theta) / s;
    }
    for (GxInt32 i = 0; i < 4; i++) {
        out[i] = wb * b[i] + wa * a[i];
    }
}

void QuatMultiply(GxReal out[4], const GxReal a[4], const GxReal b[4])
{
    const GxReal r[4] = {
        a[1] * b[2] - a[2] * b[1] + a[3] * b[0] + b[3] * a[0],
        a[2] * b[0] - a[0] * b[2] + a[3] * b[1] + b[3] * a[1],
        a[0] * b[1] - a[1] * b[0] + a[3] * b[2] + b[3] * a[2],
        a[3] * b[3] - (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]),
    };
    memcpy(out, r, sizeof(r));
}

inline void StdToMatrix(GxMatrix* m, const GxAnimStdInterpFrame* f)
{
    const GxReal x = f->q[0], y = f->q[1], z = f->q[2], w = f->q[3];
    m->right = {1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + w * z), 2.0f * (x * z - w * y)};
    m->up = {2.0f * (x * y - w * z), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + w * x)};
    m->at = {2.0f * (x * z + w * y), 2.0f * (y * z - w * x), 1.0f - 2.0f * (x * x + y * y)};
    m->pos = f->t;
    m->flags = gxMATRIXTYPEORTHONORMAL;
    m->pad1 = m->pad2 = m->pad3 = 0;
}

GxAnimInterpolatorInfo StdScheme()
{
    GxAnimInterpolatorInfo info = {};
    info.typeID = gxHANIMSTDKEYFRAMETYPEID;
    info.interpKeyFrameSize = sizeof(GxAnimStdInterpFrame);
    info.animKeyFrameSize = sizeof(GxAnimStdKeyFrame);
    info.keyFrameToMatrixCB = GxAnimStdKeyFrameToMatrix;
    info.keyFrameBlendCB = GxAnimStdKeyFrameBlend;
    info.keyFrameInterpolateCB = GxAnimStdKeyFrameInterpolate;
    info.keyFrameAddCB = GxAnimStdKeyFrameAdd;
    info.keyFrameMulRecipCB = GxAnimStdKeyFrameMulRecip;
    info.keyFrameStreamReadCB = GxAnimStdKeyFrameStreamRead;
    info.keyFrameStreamWriteCB = GxAnimStdKeyFrameStreamWrite;
    info.keyFrameStreamGetSizeCB = GxAnimStdKeyFrameStreamGetSize;
    return info;
}

// Frees the arrays a hierarchy owns, its interpolator and the record.
void DestroyHierarchy(GxAnimHierarchy* h)
{
    if (!(h->flags & gxHANIMHIERARCHYSUBHIERARCHY)) {
        if (h->pMatrixArrayUnaligned) {
            GxFree(h->pMatrixArrayUnaligned);
        }
        if (h->pNodeInfo) {
            GxFree(h->pNodeInfo);
        }
    }
    if (h->currentAnim) {
        GxAnimInterpolatorDestroy(h->currentAnim);
    }
    GxFree(h);
}

}  // namespace

void GxAnimStdKeyFrameToMatrix(GxMatrix* matrix, void* voidIFrame)
{
    StdToMatrix(matrix, static_cast<const GxAnimStdInterpFrame*>(voidIFrame));
}

void GxAnimStdKeyFrameInterpolate(void* out, void* in1, void* in2, GxReal time, void*)
{
    auto* o = static_cast<GxAnimStdInterpFrame*>(out);
    auto* a = static_cast<GxAnimStdKeyFrame*>(in1);
    auto* b = static_cast<GxAnimStdKeyFrame*>(in2);
    const GxReal span = b->time - a->time;
    // Two keys at one time would divide by zero: hold the earlier until the time reaches them, then the later.
    const GxReal f = span != 0.0f ? (time - a->time) / span : (time < b->time ? 0.0f : 1.0f);
    o->t = {a->t.x + (b->t.x - a->t.x) * f, a->t.y + (b->t.y - a->t.y) * f, a->t.z + (b->t.z - a->t.z) * f};
    Slerp(o->q, a->q, b->q, f);
}

void GxAnimStdKeyFrameBlend(void* out, void* in1, void* in2, GxReal alpha)
{
    auto* o = static_cast<GxAnimStdInterpFrame*>(out);
    auto* a = static_cast<GxAnimStdInterpFrame*>(in1);
    auto* b = static_cast<GxAnimStdInterpFrame*>(in2);
    o->t = {a->t.x + (b->t.x - a->t.x) * alpha, a->t.y + (b->t.y - a->t.y) * alpha, a->t.z + (b->t.z - a->t.z) * alpha};
    Slerp(o->q, a->q, b->q, alpha);
}

void GxAnimStdKeyFrameAdd(void* out, void* in1, void* in2)
{
    auto* o = static_cast<GxAnimStdInterpFrame*>(out);
    const auto* a = static_cast<const GxAnimStdInterpFrame*>(in1);
    const auto* b = static_cast<const GxAnimStdInterpFrame*>(in2);
    QuatMultiply(o->q, a->q, b->q);
    o->t = {a->t.x + b->t.x, a->t.y + b->t.y, a->t.z + b->t.z};
}

void GxAnimStdKeyFrameMulRecip(void* frame, void* start)
{
    auto* k = static_cast<GxAnimStdKeyFrame*>(frame);
    const auto* s = static_cast<const GxAnimStdKeyFrame*>(start);
    const GxReal norm = s->q[0] * s->q[0] + s->q[1] * s->q[1] + s->q[2] * s->q[2] + s->q[3] * s->q[3];
    GxReal r[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (norm > 0.0f) {
        r[0] = -s->q[0] / norm;
        r[1] = -s->q[1] / norm;
        r[2] = -s->q[2] / norm;
        r[3] = s->q[3] / norm;
    }
    QuatMultiply(k->q, r, k->q);
    k->t = {k->t.x - s->t.x, k->t.y - s->t.y, k->t.z - s->t.z};
}

GxAnimation* GxAnimStdKeyFrameStreamRead(GxStream* stream, GxAnimation* animation)
{
    if (!GxStreamCanSupply(stream, static_cast<uint64_t>(animation->numFrames) * gxHANIMSTDKEYFRAMESTREAMSIZE)) {
        return nullptr;
    }
    auto* frames = static_cast<GxAnimStdKeyFrame*>(animation->pFrames);
    for (GxInt32 k = 0; k < animation->numFrames; k++) {
        GxReal values[kStdFloats];
        GxUInt32 offset = 0;
        if (!GxStreamReadInt32(stream, values, sizeof(values)) || !GxAnimReadUInt32(stream, &offset)) {
            return nullptr;
        }
        GxAnimStdKeyFrame* f = &frames[k];
        f->time = values[0];
        memcpy(f->q, &values[1], sizeof(f->q));
        f->t = {values[5], values[6], values[7]};
        // The offset names a keyframe by rounding down; first keyframes keep whatever they name (keyframe 0 for
        // offset 0). Links to earlier keyframes are checked when the animation is bound.
        const GxUInt32 index = offset / gxHANIMSTDKEYFRAMESTREAMSIZE;
        if (index >= static_cast<GxUInt32>(animation->numFrames)) {
            return nullptr;
        }
        f->prevFrame = &frames[index];
    }
    return animation;
}

GxBool GxAnimStdKeyFrameStreamWrite(const GxAnimation* animation, GxStream* stream)
{
    const auto* frames = static_cast<const GxAnimStdKeyFrame*>(animation->pFrames);
    for (GxInt32 k = 0; k < animation->numFrames; k++) {
        const GxAnimStdKeyFrame* f = &frames[k];
        const GxReal values[kStdFloats] = {f->time, f->q[0], f->q[1], f->q[2], f->q[3], f->t.x, f->t.y, f->t.z};
        const GxUInt32 offset =
            static_cast<GxUInt32>(GxAnimationLinkIndex(animation, k)) * gxHANIMSTDKEYFRAMESTREAMSIZE;
        if (!GxStreamWriteReal(stream, values, sizeof(values)) || !GxAnimWriteUInt32(stream, offset)) {
            return 0;
        }
    }
    return 1;
}

GxInt32 GxAnimStdKeyFrameStreamGetSize(const GxAnimation* animation)
{
    return animation->numFrames * gxHANIMSTDKEYFRAMESTREAMSIZE;
}

// ---------------------------------------------------------------------------------------------- hierarchy records

GxAnimHierarchy* GxAnimHierarchyCreate(GxInt32 numNodes, const GxInt32* nodeFlags, const GxInt32* nodeIDs,
                                       GxInt32 flags, GxInt32 maxInterpKeyFrameSize)
{
    if (numNodes < 0) {
        return nullptr;
    }
    // Hierarchies come from the heap, not a module free list: the frames that hold them may be destroyed after
    // the module closes.
    auto* h = static_cast<GxAnimHierarchy*>(GxMalloc(sizeof(GxAnimHierarchy), kRecordHint));
    if (!h) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(h, 0, sizeof(*h));
    h->flags = flags;
    h->numNodes = numNodes;
    h->parentHierarchy = h;
    h->streamKeyFrameSize = maxInterpKeyFrameSize;
    const GxInt32 size = maxInterpKeyFrameSize > static_cast<GxInt32>(sizeof(GxAnimStdInterpFrame))
                             ? maxInterpKeyFrameSize
                             : static_cast<GxInt32>(sizeof(GxAnimStdInterpFrame));
    h->currentAnim = GxAnimInterpolatorCreate(numNodes, size);
    const size_t count = static_cast<size_t>(numNodes);
    if (!(flags & gxHANIMHIERARCHYNOMATRICES)) {
        h->pMatrixArrayUnaligned =
            GxMalloc(static_cast<GxUInt32>(count * sizeof(GxMatrix) + kMatrixAlign - 1), kArrayHint);
        if (h->pMatrixArrayUnaligned) {
            const auto address = reinterpret_cast<uintptr_t>(h->pMatrixArrayUnaligned);
            h->pMatrixArray = reinterpret_cast<GxMatrix*>((address + kMatrixAlign - 1) & ~uintptr_t(kMatrixAlign - 1));
        }
    }
    h->pNodeInfo =
        static_cast<GxAnimNodeInfo*>(GxMalloc(static_cast<GxUInt32>(count * sizeof(GxAnimNodeInfo) + 1), kArrayHint));
    if (!h->currentAnim || !h->pNodeInfo || (!(flags & gxHANIMHIERARCHYNOMATRICES) && !h->pMatrixArrayUnaligned)) {
        DestroyHierarchy(h);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    for (GxInt32 i = 0; i < numNodes; i++) {
        GxAnimNodeInfo* node = &h->pNodeInfo[i];
        node->nodeID = nodeIDs ? nodeIDs[i] : kNoNodeID;
        node->nodeIndex = i;
        node->flags = nodeFlags ? nodeFlags[i] : 0;
        node->pFrame = nullptr;
        if (h->pMatrixArray) {
            GxMatrixSetIdentity(&h->pMatrixArray[i]);
        }
    }
    return h;
}

// ---------------------------------------------------------------------------------------------- attach and update

namespace {

void AttachFrame(GxAnimHierarchy* h, GxFrame* frame)
{
    const GxInt32 id = ExtensionOf(frame)->nodeID;
    for (GxInt32 i = 0; i < h->numNodes; i++) {
        if (h->pNodeInfo[i].nodeID == id) {
            h->pNodeInfo[i].pFrame = frame;
        }
    }
    GxFrameSetDirty(frame);
    for (GxFrame* child = frame->child; child; child = child->next) {
        AttachFrame(h, child);
    }
}

// World matrix of `frame`: its own when the tree is clean, else the product of modelling matrices to the root.
void WorldOf(GxFrame* frame, GxMatrix* out)
{
    if (!frame) {
        GxMatrixSetIdentity(out);
        return;
    }
    if (!GxFrameIsDirty(frame)) {
        *out = *GxFrameGetWorldMatrix(frame);
        return;
    }
    *out = frame->modelling;
    for (GxFrame* up = GxFrameGetParent(frame); up; up = GxFrameGetParent(up)) {
        GxMatrix product;
        GxMatrixMultiply(&product, out, &up->modelling);
        *out = product;
    }
}

GxFrame* ParentOf(GxFrame* frame) { return frame ? GxFrameGetParent(frame) : nullptr; }

}  // namespace

GxAnimHierarchy* GxAnimHierarchyAttach(GxAnimHierarchy* h)
{
    if (h->parentFrame) {
        AttachFrame(h, h->parentFrame);
    }
    return h;
}

GxBool GxAnimHierarchyUpdateMatrices(GxAnimHierarchy* h)
{
    GxAnimInterpolator* interp = h->currentAnim;
    const GxInt32 flags = h->flags;
    const bool noMatrices = (flags & gxHANIMHIERARCHYNOMATRICES) || !h->pMatrixArray;
    const bool local = (flags & gxHANIMHIERARCHYLOCALSPACEMATRICES) != 0;
    const bool updateLTMs = (flags & gxHANIMHIERARCHYUPDATELTMS) != 0;
    const bool sub = (flags & gxHANIMHIERARCHYSUBHIERARCHY) && h->rootParentOffset != -1;
    GxMatrix parent;
    GxFrame* topFrame = sub ? h->parentHierarchy->parentFrame : h->parentFrame;
    if (noMatrices) {
        WorldOf(ParentOf(h->parentFrame), &parent);
    } else if (!sub) {
        if (local) {
            GxMatrixSetIdentity(&parent);
        } else {
            WorldOf(ParentOf(h->parentFrame), &parent);
        }
    } else if (h->rootParentOffset >= 0 && h->rootParentOffset < h->parentHierarchy->numNodes &&
               h->parentHierarchy->pMatrixArray) {
        parent = h->parentHierarchy->pMatrixArray[h->rootParentOffset];
    } else {
        GxMatrixSetIdentity(&parent);
    }
    GxMatrix worldOfParent;
    const bool withWorld = updateLTMs && local && !noMatrices;
    if (withWorld) {
        WorldOf(ParentOf(topFrame), &worldOfParent);
    }
    if (updateLTMs && h->parentFrame) {
        GxFrame* root = GxFrameGetRoot(h->parentFrame);
        if (root && !(root->object.privateFlags & gxFRAMEHIERARCHYSYNC)) {
            GxLinkAddAfter(&GxEngineInstance->dirtyFrameList, &root->inDirtyListLink);
            root->object.privateFlags |= gxFRAMEHIERARCHYSYNCOBJ;
        }
    }
    // Pushes deeper than the stack are ignored and pops of an empty stack keep the parent: a damaged
    // hierarchy poses wrongly but never reads or writes past the stack.
    GxMatrix stack[gxHANIMSTACKDEPTH];
    GxInt32 depth = 0;
    const bool stdScheme = interp->keyFrameApplyCB == GxAnimStdKeyFrameToMatrix || !interp->keyFrameApplyCB;
    const GxInt32 nodes = h->numNodes < interp->numNodes ? h->numNodes : interp->numNodes;
    for (GxInt32 i = 0; i < nodes; i++) {
        GxMatrix localMatrix;
        void* entry = GxAnimInterpolatorGetFrame(interp, i);
        if (stdScheme) {
            StdToMatrix(&localMatrix, static_cast<const GxAnimStdInterpFrame*>(entry));
        } else {
            interp->keyFrameApplyCB(&localMatrix, entry);
        }
        GxMatrix scratch;
        GxMatrix* m = noMatrices ? &scratch : &h->pMatrixArray[i];
        GxMatrixMultiply(m, &localMatrix, &parent);
        GxFrame* frame = h->pNodeInfo[i].pFrame;
        if (frame) {
            if (flags & gxHANIMHIERARCHYUPDATEMODELLINGMATRICES) {
                frame->modelling = localMatrix;
                if (!updateLTMs) {
                    GxFrameSetDirty(frame);
                }
            }
            if (updateLTMs) {
                if (withWorld) {
                    GxMatrixMultiply(&frame->ltm, m, &worldOfParent);
                } else {
                    frame->ltm = *m;
                }
                frame->object.privateFlags =
                    static_cast<GxUInt8>((frame->object.privateFlags & ~gxFRAMESYNCWORLD) | gxFRAMESYNCOBJ);
            }
        }
        switch (h->pNodeInfo[i].flags & (gxHANIMPOPPARENTMATRIX | gxHANIMPUSHPARENTMATRIX)) {
        case 0:
            parent = *m;
            break;
        case gxHANIMPOPPARENTMATRIX:
            if (depth > 0) {
                parent = stack[--depth];
            }
            break;
        case gxHANIMPUSHPARENTMATRIX:
            if (depth < gxHANIMSTACKDEPTH) {
                stack[depth++] = parent;
            }
            parent = *m;
            break;
        default:
            break;
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------- frame extension

namespace {

void* Construct(void* object, GxInt32, GxInt32)
{
    FrameExtension* ext = ExtensionOf(static_cast<GxFrame*>(object));
    ext->nodeID = kNoNodeID;
    ext->hierarchy = nullptr;
    return object;
}

void ReleaseHierarchy(GxFrame* frame)
{
    FrameExtension* ext = ExtensionOf(frame);
    GxAnimHierarchy* h = ext->hierarchy;
    if (!h) {
        return;
    }
    for (GxInt32 i = 0; i < h->numNodes && h->pNodeInfo; i++) {
        h->pNodeInfo[i].pFrame = nullptr;
    }
    if (h->parentFrame == frame) {
        DestroyHierarchy(h);
    }
    ext->hierarchy = nullptr;
}

void* Destruct(void* object, GxInt32, GxInt32)
{
    auto* frame = static_cast<GxFrame*>(object);
    ReleaseHierarchy(frame);
    ExtensionOf(frame)->nodeID = kNoNodeID;
    return object;
}

void* Copy(void* dst, const void* src, GxInt32, GxInt32)
{
    auto* to = static_cast<GxFrame*>(dst);
    const FrameExtension* from = ExtensionOf(static_cast<const GxFrame*>(src));
    FrameExtension* ext = ExtensionOf(to);
    ext->nodeID = from->nodeID;
    const GxAnimHierarchy* h = from->hierarchy;
    if (!h || (h->flags & gxHANIMHIERARCHYSUBHIERARCHY)) {
        return dst;
    }
    GxAnimHierarchy* copy = GxAnimHierarchyCreate(h->numNodes, nullptr, nullptr, h->flags, h->streamKeyFrameSize);
    if (!copy) {
        return dst;
    }
    for (GxInt32 i = 0; i < h->numNodes; i++) {
        copy->pNodeInfo[i] = h->pNodeInfo[i];
        copy->pNodeInfo[i].pFrame = nullptr;
    }
    copy->parentFrame = to;
    ext->hierarchy = copy;
    return dst;
}

GxInt32 StreamSize(const void* object, GxInt32, GxInt32)
{
    const FrameExtension* ext = ExtensionOf(static_cast<const GxFrame*>(object));
    const GxAnimHierarchy* h = ext->hierarchy;
    if (ext->nodeID == kNoNodeID && !h) {
        return 0;
    }
    if (!h || (h->flags & gxHANIMHIERARCHYSUBHIERARCHY)) {
        return kExtensionShortSize;
    }
    return kExtensionLongSize + kNodeStreamSize * h->numNodes;
}

GxStream* StreamWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const FrameExtension* ext = ExtensionOf(static_cast<const GxFrame*>(object));
    const GxAnimHierarchy* h = ext->hierarchy;
    const bool full = h && !(h->flags & gxHANIMHIERARCHYSUBHIERARCHY);
    const GxUInt32 head[3] = {kExtensionVersion, static_cast<GxUInt32>(ext->nodeID),
                              full ? static_cast<GxUInt32>(h->numNodes) : 0u};
    if (!GxStreamWriteInt32(stream, head, sizeof(head))) {
        return nullptr;
    }
    if (!full) {
        return stream;
    }
    const GxUInt32 more[2] = {static_cast<GxUInt32>(h->flags), static_cast<GxUInt32>(h->streamKeyFrameSize)};
    if (!GxStreamWriteInt32(stream, more, sizeof(more))) {
        return nullptr;
    }
    for (GxInt32 i = 0; i < h->numNodes; i++) {
        const GxAnimNodeInfo* node = &h->pNodeInfo[i];
        const GxUInt32 values[3] = {static_cast<GxUInt32>(node->nodeID), static_cast<GxUInt32>(node->nodeIndex),
                                    static_cast<GxUInt32>(node->flags)};
        if (!GxStreamWriteInt32(stream, values, sizeof(values))) {
            return nullptr;
        }
    }
    return stream;
}

GxStream* StreamRead(GxStream* stream, GxInt32, void* object, GxInt32, GxInt32)
{
    auto* frame = static_cast<GxFrame*>(object);
    GxUInt32 head[3];
    if (!GxStreamReadInt32(stream, head, sizeof(head))) {
        return nullptr;
    }
    if (head[0] != kExtensionVersion) {
        return nullptr;
    }
    FrameExtension* ext = ExtensionOf(frame);
    ext->nodeID = static_cast<GxInt32>(head[1]);
    const auto count = static_cast<GxInt32>(head[2]);
    if (count < 1) {
        return stream;
    }
    GxUInt32 more[2];
    if (!GxStreamReadInt32(stream, more, sizeof(more))) {
        return nullptr;
    }
    const auto flags = static_cast<GxInt32>(more[0]);
    const auto keySize = static_cast<GxInt32>(more[1]);
    // Flag bits the update does not read are kept; a sub-hierarchy shares another's nodes and is never streamed.
    if (flags & gxHANIMHIERARCHYSUBHIERARCHY) {
        return nullptr;
    }
    if (keySize < kMinStreamKeyFrameSize || keySize > kMaxStreamKeyFrameSize) {
        return nullptr;
    }
    if (!GxStreamCanSupply(stream, static_cast<uint64_t>(count) * kNodeStreamSize)) {
        return nullptr;
    }
    GxAnimHierarchy* h = GxAnimHierarchyCreate(count, nullptr, nullptr, flags, keySize);
    if (!h) {
        return stream;
    }
    for (GxInt32 i = 0; i < count; i++) {
        GxUInt32 values[3];
        if (!GxStreamReadInt32(stream, values, sizeof(values))) {
            DestroyHierarchy(h);
            return nullptr;
        }
        h->pNodeInfo[i] = {static_cast<GxInt32>(values[0]), static_cast<GxInt32>(values[1]),
                           static_cast<GxInt32>(values[2]), nullptr};
    }
    ReleaseHierarchy(frame);
    h->parentFrame = frame;
    ext->hierarchy = h;
    return stream;
}

// The scheme may already be in the table (an earlier engine whose toolkit never closed); the open goes on.
void* ModuleOpen(void* instance, GxInt32, GxInt32)
{
    const GxAnimInterpolatorInfo info = StdScheme();
    GxAnimRegisterInterpolatorInfo(&info);
    return instance;
}

void* ModuleClose(void* instance, GxInt32, GxInt32) { return instance; }

}  // namespace

GxAnimFrameExtension* GxAnimFrameExtensionOf(GxFrame* frame)
{
    GX_ASSERT(gxAnimHierarchyFrameOffset >= 0 && frame != nullptr, "a frame of an engine with the hierarchy plugin");
    return ExtensionOf(frame);
}

GxAnimHierarchy* GxFrameGetAnimHierarchy(GxFrame* frame) { return GxAnimFrameExtensionOf(frame)->hierarchy; }

GxBool GxAnimHierarchyPluginAttach(void)
{
    GxEngineRegisterPlugin(0, gxPLUGINHANIM, ModuleOpen, ModuleClose);
    gxAnimHierarchyFrameOffset =
        GxFrameRegisterPlugin(sizeof(FrameExtension), gxPLUGINHANIM, Construct, Destruct, Copy);
    GxFrameRegisterPluginStream(gxPLUGINHANIM, StreamRead, StreamWrite, StreamSize);
    return gxAnimHierarchyFrameOffset >= 0;
}
