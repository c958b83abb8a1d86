// Keyframe animation toolkit: the scheme table, animations and their chunk, and interpolators.
#include <cmath>
#include <cstring>

#include "gfx/anim/anim_local.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 kAnimationHint = 0x3001B;
constexpr GxUInt32 kFreeListHint = 0x4001B;
constexpr GxInt32 kFreeListEntries = 128;
constexpr GxUInt32 kAnimationVersion = 0x100;
// Version, type id, keyframe count, flags, duration.
constexpr GxInt32 kAnimationHeaderSize = 20;
constexpr GxReal kNoCallbackTime = -1.0f;
// Keyframes and node entries are never smaller than the fields every scheme starts with, nor absurdly large.
constexpr GxInt32 kMaxKeyFrameSize = 4096;

GxAnimInterpolatorInfo schemes[gxANIMMAXSCHEMES];
GxInt32 schemeCount = 0;
GxFreeList* recordList = nullptr;

void* ModuleOpen(void* instance, GxInt32, GxInt32)
{
    recordList = GxFreeListCreateAndPreallocate(sizeof(GxAnimInterpolatorInfo), kFreeListEntries, alignof(void*), 1,
                                                nullptr, kFreeListHint);
    return recordList ? instance : nullptr;
}

void* ModuleClose(void* instance, GxInt32, GxInt32)
{
    if (recordList) {
        GxFreeListDestroy(recordList);
        recordList = nullptr;
    }
    schemeCount = 0;
    return instance;
}

GxUInt8* FrameAt(const GxAnimation* animation, GxInt32 i)
{
    return static_cast<GxUInt8*>(GxAnimationGetFrame(animation, i));
}

GxUInt8* FramesEnd(const GxAnimation* animation) { return FrameAt(animation, animation->numFrames); }

bool CanDrive(const GxAnimInterpolator* interp, const GxAnimation* animation)
{
    const GxAnimInterpolatorInfo* info = animation->interpInfo;
    return static_cast<int64_t>(animation->numFrames) >= 2 * static_cast<int64_t>(interp->numNodes) &&
           info->interpKeyFrameSize <= interp->maxInterpKeyFrameSize && info->keyFrameInterpolateCB;
}

// Every keyframe past the first of its node must link to an earlier keyframe of the same animation, so that
// advancing only ever reads inside the block.
bool LinksValid(const GxAnimation* animation, GxInt32 numNodes)
{
    const GxUInt8* first = FrameAt(animation, 0);
    const size_t stride = static_cast<size_t>(animation->interpInfo->animKeyFrameSize);
    for (GxInt32 k = numNodes; k < animation->numFrames; k++) {
        const GxUInt8* frame = FrameAt(animation, k);
        const auto* previous =
            static_cast<const GxUInt8*>(reinterpret_cast<const GxAnimKeyFrameHeader*>(frame)->prevFrame);
        if (previous < first || previous >= frame || (previous - first) % stride != 0) {
            return false;
        }
    }
    return true;
}

// Binding steps shared by the setter and the wrap: pairs reset to each node's first two keyframes.
void Bind(GxAnimInterpolator* interp, GxAnimation* animation)
{
    const GxAnimInterpolatorInfo* info = animation->interpInfo;
    interp->pCurrentAnim = animation;
    interp->currentTime = 0.0f;
    interp->currentInterpKeyFrameSize = info->interpKeyFrameSize;
    interp->currentAnimKeyFrameSize = info->animKeyFrameSize;
    interp->keyFrameApplyCB = info->keyFrameToMatrixCB;
    interp->keyFrameBlendCB = info->keyFrameBlendCB;
    interp->keyFrameInterpolateCB = info->keyFrameInterpolateCB;
    interp->keyFrameAddCB = info->keyFrameAddCB;
    const GxInt32 n = interp->numNodes;
    for (GxInt32 i = 0; i < n; i++) {
        GxAnimInterpFrameHeader* entry = GxAnimInterpolatorGetFrame(interp, i);
        interp->keyFrameInterpolateCB(entry, FrameAt(animation, i), FrameAt(animation, n + i), 0.0f,
                                      animation->customData);
        entry->keyFrame1 = FrameAt(animation, i);
        entry->keyFrame2 = FrameAt(animation, n + i);
    }
    interp->pNextFrame = FrameAt(animation, 2 * n);
    interp->searchNode = 0;
}

// Index of the node whose end keyframe is `frame`, searching cyclically from the last one found; -1 when none.
GxInt32 FindNodeEndingAt(GxAnimInterpolator* interp, const void* frame)
{
    const GxInt32 n = interp->numNodes;
    for (GxInt32 tries = 0; tries < n; tries++) {
        const GxInt32 node = (interp->searchNode + tries) % n;
        if (GxAnimInterpolatorGetFrame(interp, node)->keyFrame2 == frame) {
            interp->searchNode = (node + 1) % n;
            return node;
        }
    }
    return -1;
}

void AdvancePairs(GxAnimInterpolator* interp)
{
    GxAnimation* animation = interp->pCurrentAnim;
    GxUInt8* end = FramesEnd(animation);
    const size_t stride = static_cast<size_t>(animation->interpInfo->animKeyFrameSize);
    interp->searchNode = 0;
    auto* next = static_cast<GxUInt8*>(interp->pNextFrame);
    while (next < end) {
        auto* header = reinterpret_cast<GxAnimKeyFrameHeader*>(next);
        auto* previous = static_cast<GxAnimKeyFrameHeader*>(header->prevFrame);
        if (previous->time > interp->currentTime) {
            break;
        }
        // A keyframe that follows no node's current end cannot be taken; passing over it keeps the loop finite.
        const GxInt32 node = FindNodeEndingAt(interp, previous);
        if (node >= 0) {
            GxAnimInterpFrameHeader* entry = GxAnimInterpolatorGetFrame(interp, node);
            entry->keyFrame1 = entry->keyFrame2;
            entry->keyFrame2 = next;
        }
        next += stride;
    }
    interp->pNextFrame = next;
}

}  // namespace

GxBool GxAnimPluginAttach(void) { return GxEngineRegisterPlugin(0, gxPLUGINANIM, ModuleOpen, ModuleClose) > 0; }

GxBool GxAnimRegisterInterpolatorInfo(const GxAnimInterpolatorInfo* info)
{
    if (schemeCount >= gxANIMMAXSCHEMES) {
        GxErrorRaise(gxPLUGINANIM, gxANIMERRTABLEFULL);
        return 0;
    }
    if (GxAnimGetInterpolatorInfo(info->typeID)) {
        GxErrorRaise(gxPLUGINANIM, gxANIMERRSCHEMEEXISTS);
        return 0;
    }
    schemes[schemeCount++] = *info;
    return 1;
}

GxAnimInterpolatorInfo* GxAnimGetInterpolatorInfo(GxInt32 typeID)
{
    for (GxInt32 i = 0; i < schemeCount; i++) {
        if (schemes[i].typeID == typeID) {
            return &schemes[i];
        }
    }
    return nullptr;
}

GxAnimation* GxAnimationCreate(GxInt32 typeID, GxInt32 numFrames, GxInt32 flags, GxReal duration)
{
    GxAnimInterpolatorInfo* info = GxAnimGetInterpolatorInfo(typeID);
    if (!info) {
        GxErrorRaise(gxPLUGINANIM, gxANIMERRNOSCHEME);
        return nullptr;
    }
    if (numFrames < 0) {
        return nullptr;
    }
    const size_t frameBytes = static_cast<size_t>(numFrames) * info->animKeyFrameSize;
    const size_t custom = info->customDataSize > 0 ? static_cast<size_t>(info->customDataSize) : 0;
    const size_t total = sizeof(GxAnimation) + frameBytes + custom;
    if (total > 0x7FFFFFFFu) {
        return nullptr;
    }
    auto* animation = static_cast<GxAnimation*>(GxMalloc(static_cast<GxUInt32>(total), kAnimationHint));
    if (!animation) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(animation, 0, total);
    animation->interpInfo = info;
    animation->numFrames = numFrames;
    animation->flags = flags;
    animation->duration = duration;
    animation->pFrames = animation + 1;
    animation->customData = custom >= 1 ? static_cast<GxUInt8*>(animation->pFrames) + frameBytes : nullptr;
    return animation;
}

GxBool GxAnimationDestroy(GxAnimation* animation)
{
    GxFree(animation);
    return 1;
}

GxAnimation* GxAnimationStreamRead(GxStream* stream)
{
    GxUInt32 header[4];
    GxReal duration = 0.0f;
    if (!GxStreamReadInt32(stream, header, sizeof(header)) || !GxStreamReadInt32(stream, &duration, sizeof(duration))) {
        return nullptr;
    }
    if (header[0] != kAnimationVersion) {
        return nullptr;
    }
    const auto typeID = static_cast<GxInt32>(header[1]);
    const GxAnimInterpolatorInfo* info = GxAnimGetInterpolatorInfo(typeID);
    if (!info) {
        GxErrorRaise(gxPLUGINANIM, gxANIMERRNOSCHEME);
        return nullptr;
    }
    // Every keyframe takes at least its time and link on the stream, so the bytes left bound the count.
    const GxUInt32 count = header[2];
    if (count > 0x7FFFFFFFu || !GxStreamCanSupply(stream, static_cast<uint64_t>(count) * sizeof(GxUInt32) * 2)) {
        return nullptr;
    }
    GxAnimation* animation =
        GxAnimationCreate(typeID, static_cast<GxInt32>(count), static_cast<GxInt32>(header[3]), duration);
    if (!animation) {
        return nullptr;
    }
    if (!info->keyFrameStreamReadCB || !info->keyFrameStreamReadCB(stream, animation)) {
        GxAnimationDestroy(animation);
        return nullptr;
    }
    return animation;
}

GxBool GxAnimationStreamWrite(const GxAnimation* animation, GxStream* stream)
{
    const GxAnimInterpolatorInfo* info = animation->interpInfo;
    const GxUInt32 header[4] = {kAnimationVersion, static_cast<GxUInt32>(info->typeID),
                                static_cast<GxUInt32>(animation->numFrames), static_cast<GxUInt32>(animation->flags)};
    const GxInt32 size = GxAnimationStreamGetSize(animation);
    if (!GxStreamWriteChunkHeader(stream, gxID_ANIMANIMATION, static_cast<GxUInt32>(size), gxLIBRARYVERSION,
                                  gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, header, sizeof(header)) ||
        !GxStreamWriteReal(stream, &animation->duration, sizeof(animation->duration))) {
        return 0;
    }
    return info->keyFrameStreamWriteCB && info->keyFrameStreamWriteCB(animation, stream) ? 1 : 0;
}

GxInt32 GxAnimationStreamGetSize(const GxAnimation* animation)
{
    const GxAnimInterpolatorInfo* info = animation->interpInfo;
    return kAnimationHeaderSize + (info->keyFrameStreamGetSizeCB ? info->keyFrameStreamGetSizeCB(animation) : 0);
}

GxInt32 GxAnimationGetNumNodes(const GxAnimation* animation)
{
    if (animation->numFrames < 1) {
        return 0;
    }
    // The first keyframe after the first keyframes of all nodes is node 0's second, which follows keyframe 0.
    const void* first = FrameAt(animation, 0);
    const auto linksFirst = [&](GxInt32 i) {
        return reinterpret_cast<const GxAnimKeyFrameHeader*>(FrameAt(animation, i))->prevFrame == first;
    };
    if (linksFirst(0)) {
        return 0;
    }
    for (GxInt32 i = 1; i < animation->numFrames; i++) {
        if (linksFirst(i)) {
            return i;
        }
    }
    return 0;  // links never return to keyframe 0: no whole node set
}

GxInt32 GxAnimationLinkIndex(const GxAnimation* animation, GxInt32 k)
{
    const auto* previous =
        static_cast<const GxUInt8*>(reinterpret_cast<const GxAnimKeyFrameHeader*>(FrameAt(animation, k))->prevFrame);
    if (previous == nullptr) {
        return (k == 0 && animation->numFrames > 1) ? 1 : k;
    }
    return static_cast<GxInt32>((previous - FrameAt(animation, 0)) / animation->interpInfo->animKeyFrameSize);
}

GxAnimInterpolator* GxAnimInterpolatorCreate(GxInt32 numNodes, GxInt32 maxInterpKeyFrameSize)
{
    if (numNodes < 0 || maxInterpKeyFrameSize < static_cast<GxInt32>(sizeof(GxAnimInterpFrameHeader)) ||
        maxInterpKeyFrameSize > kMaxKeyFrameSize) {
        return nullptr;
    }
    // Node entries start with pointers: the stride keeps them aligned whatever size a stream names.
    constexpr GxInt32 kEntryAlign = alignof(GxAnimInterpFrameHeader);
    maxInterpKeyFrameSize = (maxInterpKeyFrameSize + kEntryAlign - 1) & ~(kEntryAlign - 1);
    const size_t total = sizeof(GxAnimInterpolator) + static_cast<size_t>(numNodes) * maxInterpKeyFrameSize;
    auto* interp = static_cast<GxAnimInterpolator*>(GxMalloc(static_cast<GxUInt32>(total), kAnimationHint));
    if (!interp) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(interp, 0, total);
    interp->animCallBackTime = kNoCallbackTime;
    interp->maxInterpKeyFrameSize = maxInterpKeyFrameSize;
    interp->currentInterpKeyFrameSize = maxInterpKeyFrameSize;
    interp->currentAnimKeyFrameSize = -1;
    interp->numNodes = numNodes;
    interp->parentAnimation = interp;
    return interp;
}

GxBool GxAnimInterpolatorDestroy(GxAnimInterpolator* interp)
{
    GxFree(interp);
    return 1;
}

GxBool GxAnimInterpolatorSetCurrentAnim(GxAnimInterpolator* interp, GxAnimation* animation)
{
    // Each node needs its first two keyframes in the animation's leading runs, and entries big enough.
    if (!CanDrive(interp, animation) || !LinksValid(animation, interp->numNodes)) {
        return 0;
    }
    Bind(interp, animation);
    return 1;
}

GxAnimInterpolator* GxAnimInterpolatorSetAnimLoopCallback(GxAnimInterpolator* interp, GxAnimCallBack callBack,
                                                          void* data)
{
    interp->pAnimLoopCallBack = callBack;
    interp->pAnimLoopCallBackData = data;
    return interp;
}

GxBool GxAnimInterpolatorCopy(GxAnimInterpolator* dst, const GxAnimInterpolator* src)
{
    // Never past either block: the smaller node set and entry size bound the copy.
    const GxInt32 nodes = dst->numNodes < src->numNodes ? dst->numNodes : src->numNodes;
    const GxInt32 size = dst->currentInterpKeyFrameSize;
    if (size > src->maxInterpKeyFrameSize || size > dst->maxInterpKeyFrameSize) {
        return 0;
    }
    memcpy(dst + 1, src + 1, static_cast<size_t>(nodes) * size);
    return 1;
}

GxBool GxAnimInterpolatorAddAnimTime(GxAnimInterpolator* interp, GxReal dt)
{
    GxAnimation* animation = interp->pCurrentAnim;
    if (!(dt > 0.0f) || !animation) {
        return 1;
    }
    // Set by hand rather than through the setter: checked once here, before the first bind.
    if (!interp->pNextFrame && (!CanDrive(interp, animation) || !LinksValid(animation, interp->numNodes))) {
        return 0;
    }
    const GxReal start = interp->currentTime;
    const GxReal duration = animation->duration;
    const GxReal callbackTime = interp->animCallBackTime;
    bool callbackDue = start < callbackTime && callbackTime <= start + dt;
    GxReal time = start + dt;
    bool looped = false;
    if (time > duration) {
        looped = true;
        if (duration > 0.0f && std::isfinite(time)) {
            // One subtraction shows whether the callback time is passed again (later ones only lower the
            // time); the remainder replaces the rest, which a tiny duration would make endless.
            callbackDue = callbackDue || callbackTime <= time - duration;
            time = std::fmod(time, duration);
            if (time == 0.0f) {
                time = duration;
            }
        } else {
            // A zero-length animation (or a step to infinity) holds the first pose.
            time = 0.0f;
        }
        Bind(interp, animation);
    }
    interp->currentTime = time;
    if (!interp->pNextFrame) {
        Bind(interp, animation);
        interp->currentTime = time;
    }
    AdvancePairs(interp);
    for (GxInt32 i = 0; i < interp->numNodes; i++) {
        GxAnimInterpFrameHeader* entry = GxAnimInterpolatorGetFrame(interp, i);
        interp->keyFrameInterpolateCB(entry, entry->keyFrame1, entry->keyFrame2, time, animation->customData);
    }
    if (callbackDue && interp->pAnimCallBack && !interp->pAnimCallBack(interp, interp->pAnimCallBackData)) {
        interp->pAnimCallBack = nullptr;
    }
    if (looped && interp->pAnimLoopCallBack && !interp->pAnimLoopCallBack(interp, interp->pAnimLoopCallBackData)) {
        interp->pAnimLoopCallBack = nullptr;
    }
    return 1;
}
