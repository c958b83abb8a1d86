// Frames: the transform hierarchy, its dirty list and synchronisation, cloning and the frame-list chunk.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"

// Header of every graphics object.
enum GxObjectType : GxUInt8 {
    gxOBJECTTYPEFRAME = 0,
    gxOBJECTTYPEATOMIC = 1,
    gxOBJECTTYPECLUMP = 2,
    gxOBJECTTYPELIGHT = 3,
    gxOBJECTTYPECAMERA = 4,
    gxOBJECTTYPETEXDICTIONARY = 6,
};

struct GxObject {
    GxUInt8 type;
    GxUInt8 subType;
    GxUInt8 flags;
    GxUInt8 privateFlags;
    void* parent;  // for a frame its parent frame; for a framed object its frame
};

struct GxFramedObject;
typedef GxFramedObject* (*GxFramedObjectSyncCallBack)(GxFramedObject* object);

// An object attached to a frame (camera, atomic, light).
struct GxFramedObject {
    GxObject object;
    GxLink inFrameList;
    GxFramedObjectSyncCallBack sync;
};

// Private flags of a frame.
enum GxFramePrivateFlag : GxUInt8 {
    gxFRAMEHIERARCHYSYNCWORLD = 0x01,  // on a root: world matrices must be recomputed
    gxFRAMEHIERARCHYSYNCOBJ = 0x02,    // on a root: listed, objects must be synchronised
    gxFRAMESYNCWORLD = 0x04,           // this frame's modelling matrix changed
    gxFRAMESYNCOBJ = 0x08,             // this frame's objects must be synchronised
    gxFRAMEHIERARCHYSYNC = 0x03,
    gxFRAMESYNC = 0x0C,
};

struct GxFrame {
    GxObject object;
    GxLink inDirtyListLink;  // only while the frame is a root on the dirty list
    GxMatrix modelling;      // relative to the parent
    GxMatrix ltm;            // local to world
    GxLink objectList;       // GxFramedObject::inFrameList, circular
    GxFrame* child;
    GxFrame* next;
    GxFrame* root;
};

struct GxFrameList {
    GxFrame** frames;
    GxInt32 numFrames;
};

typedef GxFrame* (*GxFrameCallBack)(GxFrame* frame, void* data);

#define GxFrameGetParent(frame) (static_cast<GxFrame*>((frame)->object.parent))
#define GxFrameGetMatrix(frame) (&(frame)->modelling)
#define GxFramedObjectGetFrame(obj) (static_cast<GxFrame*>((obj)->object.parent))

GxFrame* GxFrameCreate(void);
GxFrame* GxFrameInit(GxFrame* frame);
GxBool GxFrameDestroy(GxFrame* frame);
GxBool GxFrameDestroyHierarchy(GxFrame* root);

GxFrame* GxFrameAddChild(GxFrame* parent, GxFrame* child);
GxFrame* GxFrameAddChildNoUpdate(GxFrame* parent, GxFrame* child);

GxFrame* GxFrameCloneHierarchy(GxFrame* root);
GxFrame* GxFrameCloneHierarchyNoRestore(GxFrame* root);
GxFrame* GxFrameRestoreRoots(GxFrame* root);

GxFrame* GxFrameSetDirty(GxFrame* frame);
GxInt32 GxFrameIsDirty(const GxFrame* frame);
GxFrame* GxFrameGetRoot(const GxFrame* frame);
GxMatrix* GxFrameGetWorldMatrix(GxFrame* frame);

GxFrame* GxFrameTranslate(GxFrame* frame, const GxV3d* translation, GxInt32 combine);
GxFrame* GxFrameRotate(GxFrame* frame, const GxV3d* axis, GxReal angle, GxInt32 combine);
// Applies GxMatrixTransform to the modelling matrix, then sets the frame dirty (frame_builder.cpp; the program does
// not link it).
GxFrame* GxFrameTransform(GxFrame* frame, const GxMatrix* matrix, GxInt32 combine);

// Calls back for each direct child in order; stops at the first null result.
GxFrame* GxFrameForAllChildren(GxFrame* frame, GxFrameCallBack callBack, void* data);
GxInt32 GxFrameCount(GxFrame* frame);

GxInt32 GxFrameRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                              GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxFrameRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                    GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB);

GxBool GxFrameSyncDirty(void);

GxFrameList* GxFrameListInitialize(GxFrameList* list, GxFrame* root);
GxFrameList* GxFrameListDeinitialize(GxFrameList* list);
GxBool GxFrameListFindFrame(const GxFrameList* list, const GxFrame* frame, GxInt32* index);
GxInt32 GxFrameListStreamGetSize(const GxFrameList* list);
const GxFrameList* GxFrameListStreamWrite(const GxFrameList* list, GxStream* stream);
GxFrameList* GxFrameListStreamRead(GxStream* stream, GxFrameList* list);
// The same for a frame-list chunk of `length` bytes: nothing past the chunk is read, and the stream
// ends up just past it.
GxFrameList* GxFrameListStreamReadSized(GxStream* stream, GxFrameList* list, GxUInt32 length);
