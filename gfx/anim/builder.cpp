// Builders of standard animations and skeleton frames for writers, tools, benches and tests.
#include <cmath>

#include "gfx/anim/anim_local.h"
#include "gfx/core/frame.h"

GxAnimation* GxAnimStdAnimationBuild(GxInt32 numNodes, GxInt32 numKeys, const GxReal* times, GxAnimStdKeyFill fill,
                                     void* data)
{
    if (numNodes < 1 || numKeys < 2) {
        return nullptr;
    }
    GxAnimation* animation = GxAnimationCreate(gxHANIMSTDKEYFRAMETYPEID, numNodes * numKeys, 0, times[numKeys - 1]);
    if (!animation) {
        return nullptr;
    }
    // With every node keyed at the same times, key-major order is also the order of previous-key times.
    auto* frames = static_cast<GxAnimStdKeyFrame*>(animation->pFrames);
    for (GxInt32 key = 0; key < numKeys; key++) {
        for (GxInt32 node = 0; node < numNodes; node++) {
            GxAnimStdKeyFrame* frame = &frames[key * numNodes + node];
            frame->q[3] = 1.0f;
            fill(node, key, frame, data);
            frame->time = times[key];
            frame->prevFrame = key > 0 ? &frames[(key - 1) * numNodes + node] : nullptr;
        }
    }
    return animation;
}

void GxAnimQuatFromAxisAngle(GxReal q[4], const GxV3d* axis, GxReal angle)
{
    const GxReal s = std::sin(angle * 0.5f);
    q[0] = axis->x * s;
    q[1] = axis->y * s;
    q[2] = axis->z * s;
    q[3] = std::cos(angle * 0.5f);
}

GxFrame* GxFrameSetAnimHierarchy(GxFrame* frame, GxAnimHierarchy* hierarchy)
{
    GxAnimFrameExtensionOf(frame)->hierarchy = hierarchy;
    if (hierarchy) {
        hierarchy->parentFrame = frame;
    }
    return frame;
}

GxInt32 GxFrameGetNodeID(const GxFrame* frame) { return GxAnimFrameExtensionOf(const_cast<GxFrame*>(frame))->nodeID; }

GxFrame* GxFrameSetNodeID(GxFrame* frame, GxInt32 nodeID)
{
    GxAnimFrameExtensionOf(frame)->nodeID = nodeID;
    return frame;
}

GxBool GxAnimHierarchyDestroy(GxAnimHierarchy* hierarchy)
{
    if (!hierarchy) {
        return 0;
    }
    GxFrame* holder = GxFrameCreate();
    if (!holder) {
        return 0;
    }
    GxFrameSetAnimHierarchy(holder, hierarchy);
    return GxFrameDestroy(holder);
}
