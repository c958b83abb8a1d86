// Internals shared by the animation module's files: the native skin header's size and stream helpers.
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/stream.h"

// Body bytes of the native skin header's struct chunk: platform value and bone count.
constexpr GxUInt32 gxSkinNativeBodySize = 8;

inline GxStream* GxAnimReadUInt32(GxStream* stream, GxUInt32* value)
{
    return GxStreamReadInt32(stream, value, sizeof(*value));
}

inline GxStream* GxAnimWriteUInt32(GxStream* stream, GxUInt32 value)
{
    return GxStreamWriteInt32(stream, &value, sizeof(value));
}

// Skin module internals used by the split-data file.
GxUInt32 GxSkinAllocHint(void);

// The split tables of a skin: bytes of the block (bone count + 2 x (meshes + runs)), the table pointers into
// it, and whether remap entries name palette slots inside the limit, mesh windows name runs that exist and runs
// name bones.
GxUInt32 GxSkinSplitBlockSize(GxUInt32 numBones, GxUInt32 meshCount, GxUInt32 runCount);
void GxSkinSplitSetPointers(GxSkin* skin);
bool GxSkinSplitValid(const GxSkin* skin);

// The hierarchy plugin's frame extension: the node id and the hierarchy the frame carries.
struct GxAnimFrameExtension {
    GxInt32 nodeID;
    GxAnimHierarchy* hierarchy;
};
// Null when the plugin is not attached to this engine.
GxAnimFrameExtension* GxAnimFrameExtensionOf(GxFrame* frame);
// Where the extension lies in a frame, -1 before the plugin is attached.
extern GxInt32 gxAnimHierarchyFrameOffset;
