// User data: named arrays of integers, floats or strings attached to geometries, world sectors, frames, cameras,
// lights, materials and textures, carried in their extension data (plugin 0x11F).
#pragma once

#include "gfx/core/assert.h"
#include "gfx/core/frame.h"
#include "gfx/core/gx.h"

struct GxMaterial;

constexpr GxUInt32 gxPLUGINUSERDATA = 0x11F;

enum GxUserDataFormat : GxInt32 {
    gxUSERDATANA = 0,  // neither counted nor streamed
    gxUSERDATAINT = 1,
    gxUSERDATAREAL = 2,
    gxUSERDATASTRING = 3,
};

struct GxUserDataArray {
    GxChar* name;  // owned, may be null
    GxInt32 format;
    GxInt32 numElements;
    void* data;  // numElements values, or for strings numElements owned pointers (null allowed)
};

// Engine plugin 0x11F and the extension on geometries, world sectors, frames, cameras, lights, materials and
// textures, in that order; called before GxEngineOpen. True only when every registration succeeded.
GxBool GxUserDataPluginAttach(void);

GxInt32 GxFrameGetUserDataArrayCount(GxFrame* frame);
GxUserDataArray* GxFrameGetUserDataArray(GxFrame* frame, GxInt32 index);
GxInt32 GxMaterialGetUserDataArrayCount(GxMaterial* material);
GxUserDataArray* GxMaterialGetUserDataArray(GxMaterial* material, GxInt32 index);

inline const GxChar* GxUserDataArrayGetName(const GxUserDataArray* array) { return array->name; }
inline GxInt32 GxUserDataArrayGetFormat(const GxUserDataArray* array) { return array->format; }
// The caller keeps index below the element count of a string array.
inline const GxChar* GxUserDataArrayGetString(const GxUserDataArray* array, GxInt32 index)
{
    GX_ASSERT(array->format == gxUSERDATASTRING, "strings are read from a string array");
    GX_ASSERT(index >= 0 && index < array->numElements, "an element index lies inside its array");
    return static_cast<GxChar* const*>(array->data)[index];
}

// For writers, tools and tests; the program links none of these.
// Appends an entry of `numElements` zeroed elements; returns it, or null.
GxUserDataArray* GxFrameAddUserDataArray(GxFrame* frame, const GxChar* name, GxInt32 format, GxInt32 numElements);
GxUserDataArray* GxMaterialAddUserDataArray(GxMaterial* material, const GxChar* name, GxInt32 format,
                                            GxInt32 numElements);
// Replaces string element `index` with a copy of `string` (null allowed); returns the array or null.
GxUserDataArray* GxUserDataArraySetString(GxUserDataArray* array, GxInt32 index, const GxChar* string);
