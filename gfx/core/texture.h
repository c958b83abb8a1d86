// Textures: the named, reference-counted holder of a raster with its filter and addressing modes.
#pragma once

#include "gfx/core/gx.h"

struct GxRaster;
struct GxTexDictionary;

constexpr GxInt32 gxTEXTURENAMELENGTH = 32;

// The record only: the texture module's operations are still to come.
struct GxTexture {
    GxRaster* raster;               // owned; may be null
    GxTexDictionary* dictionary;    // the dictionary that lists the texture, or null
    GxLink lInDictionary;
    char name[gxTEXTURENAMELENGTH];
    char mask[gxTEXTURENAMELENGTH];
    GxUInt32 filterAddressing;      // bits 0-7 filter mode, 8-11 addressing U, 12-15 addressing V
    GxInt32 refCount;
};
