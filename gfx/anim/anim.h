// Animation module of the graphics library: the keyframe toolkit (schemes, animations, interpolators), the
// hierarchical animation plugin that poses a tree of frames, and the skin plugin that binds geometry to bones.
//
// Owns: the scheme table, animations, interpolators, hierarchies (frame extension 0x11E) and skins (geometry
// extension 0x116, atomic extension 0x116 for the driving hierarchy). May call gfx/world and gfx/core only; the
// driver reaches in through GxSkinSetDriverHooks to build and pick its skin pipelines.
// Threading: everything runs on the rendering thread. Ownership: animations and interpolators belong to their
// creators; a hierarchy belongs to the frame that carries it; a skin to its geometry.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"

struct GxStream;
struct GxFrame;
struct GxAtomic;
struct GxGeometry;

// ---------------------------------------------------------------------------------------------- keyframes

constexpr GxUInt32 gxPLUGINANIM = 0x1B7;
constexpr GxUInt32 gxID_ANIMANIMATION = 0x1B;
constexpr GxInt32 gxANIMMAXSCHEMES = 16;

// Error codes of plugin 0x1B7.
enum GxAnimError : GxInt32 {
    gxANIMERRSCHEMEEXISTS = 0,
    gxANIMERRTABLEFULL = 1,
    gxANIMERRNOSCHEME = 2,
};

struct GxAnimation;
struct GxAnimInterpolator;

// Every keyframe of every scheme starts with these two fields.
struct GxAnimKeyFrameHeader {
    void* prevFrame;
    GxReal time;
};

// Every interpolated keyframe starts with the node's current pair.
struct GxAnimInterpFrameHeader {
    void* keyFrame1;
    void* keyFrame2;
};

typedef void (*GxAnimKeyFrameToMatrixCallBack)(GxMatrix* matrix, void* voidIFrame);
typedef void (*GxAnimKeyFrameBlendCallBack)(void* out, void* in1, void* in2, GxReal alpha);
typedef void (*GxAnimKeyFrameInterpolateCallBack)(void* out, void* in1, void* in2, GxReal time, void* customData);
typedef void (*GxAnimKeyFrameAddCallBack)(void* out, void* in1, void* in2);
typedef void (*GxAnimKeyFrameMulRecipCallBack)(void* frame, void* start);
typedef GxAnimation* (*GxAnimKeyFrameStreamReadCallBack)(GxStream* stream, GxAnimation* animation);
typedef GxBool (*GxAnimKeyFrameStreamWriteCallBack)(const GxAnimation* animation, GxStream* stream);
typedef GxInt32 (*GxAnimKeyFrameStreamGetSizeCallBack)(const GxAnimation* animation);
typedef GxAnimInterpolator* (*GxAnimCallBack)(GxAnimInterpolator* interpolator, void* data);

struct GxAnimInterpolatorInfo {
    GxInt32 typeID;
    GxInt32 interpKeyFrameSize;
    GxInt32 animKeyFrameSize;
    GxAnimKeyFrameToMatrixCallBack keyFrameToMatrixCB;
    GxAnimKeyFrameBlendCallBack keyFrameBlendCB;
    GxAnimKeyFrameInterpolateCallBack keyFrameInterpolateCB;
    GxAnimKeyFrameAddCallBack keyFrameAddCB;
    GxAnimKeyFrameMulRecipCallBack keyFrameMulRecipCB;
    GxAnimKeyFrameStreamReadCallBack keyFrameStreamReadCB;
    GxAnimKeyFrameStreamWriteCallBack keyFrameStreamWriteCB;
    GxAnimKeyFrameStreamGetSizeCallBack keyFrameStreamGetSizeCB;
    GxInt32 customDataSize;
};

struct GxAnimation {
    GxAnimInterpolatorInfo* interpInfo;
    GxInt32 numFrames;
    GxInt32 flags;
    GxReal duration;
    void* pFrames;
    void* customData;
};

struct GxAnimInterpolator {
    GxAnimation* pCurrentAnim;
    GxReal currentTime;
    void* pNextFrame;
    GxAnimCallBack pAnimCallBack;
    void* pAnimCallBackData;
    GxReal animCallBackTime;
    GxAnimCallBack pAnimLoopCallBack;
    void* pAnimLoopCallBackData;
    GxInt32 maxInterpKeyFrameSize;
    GxInt32 currentInterpKeyFrameSize;
    GxInt32 currentAnimKeyFrameSize;
    GxInt32 numNodes;
    GxInt32 reserved1;
    GxInt32 reserved2;
    GxAnimInterpolator* parentAnimation;
    GxAnimKeyFrameToMatrixCallBack keyFrameApplyCB;
    GxAnimKeyFrameBlendCallBack keyFrameBlendCB;
    GxAnimKeyFrameInterpolateCallBack keyFrameInterpolateCB;
    GxAnimKeyFrameAddCallBack keyFrameAddCB;
    GxInt32 searchNode;  // where the pair advance resumes its cyclic node search
};

// Node entry i of an interpolator.
inline GxAnimInterpFrameHeader* GxAnimInterpolatorGetFrame(GxAnimInterpolator* interp, GxInt32 node)
{
    return reinterpret_cast<GxAnimInterpFrameHeader*>(reinterpret_cast<GxUInt8*>(interp + 1) +
                                                      static_cast<size_t>(node) * interp->currentInterpKeyFrameSize);
}

GxBool GxAnimPluginAttach(void);
GxBool GxAnimRegisterInterpolatorInfo(const GxAnimInterpolatorInfo* info);
GxAnimInterpolatorInfo* GxAnimGetInterpolatorInfo(GxInt32 typeID);

GxAnimation* GxAnimationCreate(GxInt32 typeID, GxInt32 numFrames, GxInt32 flags, GxReal duration);
GxBool GxAnimationDestroy(GxAnimation* animation);
GxAnimation* GxAnimationStreamRead(GxStream* stream);
GxBool GxAnimationStreamWrite(const GxAnimation* animation, GxStream* stream);
GxInt32 GxAnimationStreamGetSize(const GxAnimation* animation);
GxInt32 GxAnimationGetNumNodes(const GxAnimation* animation);
// The keyframe index a stream stores as keyframe k's link: its previous keyframe's, or its own when it has none.
// Keyframe 0 without a link names keyframe 1 instead, since keyframe 0 following itself marks an animation without
// nodes.
GxInt32 GxAnimationLinkIndex(const GxAnimation* animation, GxInt32 k);
// Keyframe i of an animation.
inline void* GxAnimationGetFrame(const GxAnimation* animation, GxInt32 i)
{
    return static_cast<GxUInt8*>(animation->pFrames) + static_cast<size_t>(i) * animation->interpInfo->animKeyFrameSize;
}

GxAnimInterpolator* GxAnimInterpolatorCreate(GxInt32 numNodes, GxInt32 maxInterpKeyFrameSize);
GxBool GxAnimInterpolatorDestroy(GxAnimInterpolator* interp);
// Refuses (0) an animation with fewer than two keyframes per node or keyframes larger than the node entries.
GxBool GxAnimInterpolatorSetCurrentAnim(GxAnimInterpolator* interp, GxAnimation* animation);
GxAnimInterpolator* GxAnimInterpolatorSetAnimLoopCallback(GxAnimInterpolator* interp, GxAnimCallBack callBack,
                                                          void* data);
GxBool GxAnimInterpolatorCopy(GxAnimInterpolator* dst, const GxAnimInterpolator* src);
GxBool GxAnimInterpolatorAddAnimTime(GxAnimInterpolator* interp, GxReal time);

// ---------------------------------------------------------------------------------------------- hierarchy

constexpr GxUInt32 gxPLUGINHANIM = 0x11E;
constexpr GxInt32 gxHANIMSTDKEYFRAMETYPEID = 1;
// The standard scheme's keyframe as it lies on a stream.
constexpr GxInt32 gxHANIMSTDKEYFRAMESTREAMSIZE = 36;
// Deepest nesting of pushes an update follows.
constexpr GxInt32 gxHANIMSTACKDEPTH = 32;

enum GxHAnimHierarchyFlag : GxInt32 {
    gxHANIMHIERARCHYSUBHIERARCHY = 0x1,
    gxHANIMHIERARCHYNOMATRICES = 0x2,
    gxHANIMHIERARCHYUPDATEMODELLINGMATRICES = 0x1000,
    gxHANIMHIERARCHYUPDATELTMS = 0x2000,
    gxHANIMHIERARCHYLOCALSPACEMATRICES = 0x4000,
};
constexpr GxInt32 gxHANIMHIERARCHYKNOWNFLAGS = 0x7003;

enum GxHAnimNodeFlag : GxInt32 {
    gxHANIMPOPPARENTMATRIX = 0x1,
    gxHANIMPUSHPARENTMATRIX = 0x2,
};

struct GxAnimStdKeyFrame {
    GxAnimStdKeyFrame* prevFrame;
    GxReal time;
    GxReal q[4];  // x, y, z, w (w the real part)
    GxV3d t;
};

struct GxAnimStdInterpFrame {
    GxAnimStdKeyFrame* keyFrame1;
    GxAnimStdKeyFrame* keyFrame2;
    GxReal q[4];
    GxV3d t;
};

struct GxAnimNodeInfo {
    GxInt32 nodeID;
    GxInt32 nodeIndex;
    GxInt32 flags;
    GxFrame* pFrame;
};

struct GxAnimHierarchy {
    GxInt32 flags;
    GxInt32 numNodes;
    GxMatrix* pMatrixArray;
    void* pMatrixArrayUnaligned;
    GxAnimNodeInfo* pNodeInfo;
    GxFrame* parentFrame;
    GxAnimHierarchy* parentHierarchy;
    GxInt32 rootParentOffset;
    GxAnimInterpolator* currentAnim;
    GxInt32 streamKeyFrameSize;  // the interpolator size its stream names, written back as read
};

GxBool GxAnimHierarchyPluginAttach(void);
GxAnimHierarchy* GxAnimHierarchyCreate(GxInt32 numNodes, const GxInt32* nodeFlags, const GxInt32* nodeIDs,
                                       GxInt32 flags, GxInt32 maxInterpKeyFrameSize);
GxAnimHierarchy* GxAnimHierarchyAttach(GxAnimHierarchy* hierarchy);
GxAnimHierarchy* GxFrameGetAnimHierarchy(GxFrame* frame);
GxBool GxAnimHierarchyUpdateMatrices(GxAnimHierarchy* hierarchy);

void GxAnimStdKeyFrameToMatrix(GxMatrix* matrix, void* voidIFrame);
void GxAnimStdKeyFrameBlend(void* out, void* in1, void* in2, GxReal alpha);
void GxAnimStdKeyFrameInterpolate(void* out, void* in1, void* in2, GxReal time, void* customData);
void GxAnimStdKeyFrameAdd(void* out, void* in1, void* in2);
void GxAnimStdKeyFrameMulRecip(void* frame, void* start);
GxAnimation* GxAnimStdKeyFrameStreamRead(GxStream* stream, GxAnimation* animation);
GxBool GxAnimStdKeyFrameStreamWrite(const GxAnimation* animation, GxStream* stream);
GxInt32 GxAnimStdKeyFrameStreamGetSize(const GxAnimation* animation);

// ---------------------------------------------------------------------------------------------- skin

constexpr GxUInt32 gxPLUGINSKIN = 0x116;
constexpr GxUInt32 gxPLUGINMATFX = 0x120;
constexpr GxUInt32 gxPLUGINSKINTYPE3 = 0x12E;
constexpr GxInt32 gxSKINMAXWEIGHTS = 4;
constexpr GxInt32 gxSKINPALETTESIZE = 256;
// A bone that no palette window holds.
constexpr GxUInt8 gxSKINNOREMAP = 0xFF;

struct GxSkin {
    GxUInt32 numBones;
    GxUInt32 numBoneIDs;  // used bones
    GxUInt8* boneIDs;     // used-bone list
    GxMatrix* skinToBoneMatrices;
    GxUInt32 maxNumWeightsForVertex;
    GxUInt32* vertexBoneIndices;  // bone of weight slot j in byte j
    GxReal* vertexBoneWeights;    // four per vertex, descending
    GxUInt32 paletteBones;        // palette entries one draw needs (set by the renderer)
    GxUInt32 usesVertexShader;
    // Split data: palette windows kept for the renderer.
    GxUInt32 boneLimit;
    GxUInt32 meshCount;
    GxUInt32 runCount;
    GxUInt8* block;      // one allocation: bone remap, then mesh table, then run table
    GxUInt8* meshTable;  // per mesh: first run, run count
    GxUInt8* runTable;   // per run: first bone, bone count
    void* unaligned;
    GxUInt32 numVertices;  // vertices the per-vertex arrays hold
};

// What the driver supplies: pipeline construction for a mask, their destruction, and the pick for an atomic.
struct GxSkinDriverHooks {
    GxBool (*pipelinesCreate)(GxUInt32 mask);
    GxBool (*pipelinesDestroy)(void);
    GxAtomic* (*atomicInitPipeline)(GxAtomic* atomic, GxInt32 type);
};
void GxSkinSetDriverHooks(const GxSkinDriverHooks* hooks);

GxBool GxSkinPluginAttach(void);
GxAtomic* GxSkinAtomicSetHierarchy(GxAtomic* atomic, GxAnimHierarchy* hierarchy);
GxAnimHierarchy* GxSkinAtomicGetHierarchy(const GxAtomic* atomic);
GxGeometry* GxSkinGeometrySetSkin(GxGeometry* geometry, GxSkin* skin);
GxSkin* GxSkinGeometryGetSkin(const GxGeometry* geometry);
GxMatrix* GxSkinGetSkinToBoneMatrices(GxSkin* skin);
// A zeroed record; free with GxSkinDestroy unless given to a geometry.
GxSkin* GxSkinCreate(void);
GxBool GxSkinDestroy(GxSkin* skin);
GxBool GxSkinDataAllocate(GxSkin* skin, GxUInt32 numBones, GxUInt32 numUsedBones, GxUInt32 numVertices,
                          const GxUInt8* usedBones, const GxReal* weights, const GxUInt32* indices,
                          const GxMatrix* matrices);
void GxSkinFindUsedBones(GxSkin* skin, const GxUInt32* indices, const GxReal* weights, GxUInt8* list, GxUInt32* count,
                         GxUInt32 numVertices);
GxUInt32 GxSkinComputeMaxWeights(const GxReal* weights, GxUInt32 numVertices);
// The scratch palette of 256 matrices, 16-byte aligned (null while the plugin is closed).
GxMatrix* GxSkinGetPalette(void);

// Weight order and split data.
GxGeometry* GxSkinGeometrySortWeights(GxGeometry* geometry);
GxInt32 GxSkinBoneIndexCompare(const void* a, const void* b);
GxBool GxSkinSplitDataDestroy(GxSkin* skin);
GxStream* GxSkinSplitDataStreamWrite(GxStream* stream, const GxSkin* skin);
GxStream* GxSkinSplitDataStreamRead(GxStream* stream, GxSkin* skin);
GxInt32 GxSkinSplitDataStreamSize(const GxSkin* skin);
GxStream* GxSkinGeometryStreamWriteHeader(GxStream* stream, const GxGeometry* geometry);
GxStream* GxSkinGeometryStreamReadHeader(GxStream* stream, GxGeometry* geometry);

// ---------------------------------------------------------------------------------------------- builders
// For writers, tools, benches and tests; the program links none of them.

// The frame's node id and hierarchy as a stream read would leave them; the hierarchy then belongs to the frame.
GxFrame* GxFrameSetAnimHierarchy(GxFrame* frame, GxAnimHierarchy* hierarchy);
GxInt32 GxFrameGetNodeID(const GxFrame* frame);
GxFrame* GxFrameSetNodeID(GxFrame* frame, GxInt32 nodeID);
// Frees a hierarchy that no frame carries, as a frame's destruction frees the one it carries.
GxBool GxAnimHierarchyDestroy(GxAnimHierarchy* hierarchy);

// Fills node `node`'s keyframe `key` (rotation and translation; the time and link are set by the builder).
typedef void (*GxAnimStdKeyFill)(GxInt32 node, GxInt32 key, GxAnimStdKeyFrame* frame, void* data);
// A standard animation of `numNodes` nodes that all have keys at `times` (ascending, the last = duration),
// keyframes in the order the interpolator relies on. Null on failure or fewer than two keys.
GxAnimation* GxAnimStdAnimationBuild(GxInt32 numNodes, GxInt32 numKeys, const GxReal* times, GxAnimStdKeyFill fill,
                                     void* data);
// Rotation of `angle` radians about the unit axis as a quaternion (x, y, z, w).
void GxAnimQuatFromAxisAngle(GxReal q[4], const GxV3d* axis, GxReal angle);
