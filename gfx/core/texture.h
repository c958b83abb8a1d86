// Textures and texture dictionaries: named, reference-counted rasters, their read path, chunks and tables of contents.
#pragma once

#include "gfx/core/frame.h"
#include "gfx/core/gx.h"

struct GxRaster;
struct GxImage;
struct GxStream;
struct GxTexDictionary;

constexpr GxInt32 gxTEXTURENAMELENGTH = 32;
// At most this many mip levels are read or written for one texture.
constexpr GxInt32 gxTEXTUREMAXMIPLEVELS = 16;

// Chunk types of textures and dictionaries.
constexpr GxUInt32 gxID_TEXTURE = 0x06;
constexpr GxUInt32 gxID_TEXTURENATIVE = 0x15;
constexpr GxUInt32 gxID_TEXDICTIONARY = 0x16;
constexpr GxUInt32 gxID_IMAGEDICTIONARY = 0x23;
constexpr GxUInt32 gxID_TOC = 0x24;

// Plugin ids of the errors the images dictionary and the table of contents report.
constexpr GxInt32 gxPLUGINIMAGEDICTIONARY = 0x1B3;
constexpr GxInt32 gxPLUGINTOC = 0x1B4;

// Core errors of the texture module.
constexpr GxInt32 gxERRTEXTUREUNKNOWN = 22;                  // no texture of that name could be found or read
constexpr GxInt32 gxERRNAMETOOLONG = gxERRCODE(0x8000001E);  // a name was cut to fit its field

enum GxTextureFilterMode : GxUInt8 {
    gxFILTERNAFILTERMODE = 0,
    gxFILTERNEAREST = 1,
    gxFILTERLINEAR = 2,
    gxFILTERMIPNEAREST = 3,
    gxFILTERMIPLINEAR = 4,
    gxFILTERLINEARMIPNEAREST = 5,
    gxFILTERLINEARMIPLINEAR = 6,
};

enum GxTextureAddressMode : GxUInt8 {
    gxTEXTUREADDRESSNATEXTUREADDRESS = 0,
    gxTEXTUREADDRESSWRAP = 1,
    gxTEXTUREADDRESSMIRROR = 2,
    gxTEXTUREADDRESSCLAMP = 3,
    gxTEXTUREADDRESSBORDER = 4,
};

struct GxTexture {
    GxRaster* raster;             // owned; may be null
    GxTexDictionary* dictionary;  // the dictionary that lists the texture, or null
    GxLink lInDictionary;
    char name[gxTEXTURENAMELENGTH];
    char mask[gxTEXTURENAMELENGTH];
    GxUInt32 filterAddressing;  // bits 0-7 filter mode, 8-11 addressing U, 12-15 addressing V
    GxInt32 refCount;
};

struct GxTexDictionary {
    GxObject object;        // type gxOBJECTTYPETEXDICTIONARY
    GxLink texturesInDict;  // the textures' lInDictionary links
    GxLink lInInstance;     // membership in the texture module's dictionary list
};

typedef GxTexture* (*GxTextureCallBackRead)(const GxChar* name, const GxChar* maskName);
typedef GxTexture* (*GxTextureCallBackFind)(const GxChar* name);
typedef GxTexture* (*GxTextureCallBack)(GxTexture* texture, void* data);
typedef GxBool (*GxTextureCallBackMipmapGeneration)(GxRaster* raster, GxImage* image);
// Rewrites the name and mask work buffers (each of gxTEXTURENAMEBUFFER bytes) for a mip level.
typedef GxBool (*GxTextureCallBackMipmapName)(GxChar* name, GxChar* maskName, GxUInt8 mipLevel, GxInt32 format);

// Work buffers of the read path: names are cut to 255 characters; the rest is room for a mip suffix and an extension.
constexpr GxInt32 gxTEXTURENAMEBUFFER = 288;
constexpr GxInt32 gxTEXTURENAMEWORKLENGTH = 255;

// ---- textures ----

// Module callbacks (engine module 0x408): texture and dictionary free lists, the default dictionary and callbacks.
void* GxTextureOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxTextureClose(void* instance, GxInt32 offset, GxInt32 size);

GxTexture* GxTextureCreate(GxRaster* raster);
// Releases one reference; the last frees the texture and its raster.
GxBool GxTextureDestroy(GxTexture* texture);
GxTexture* GxTextureAddRef(GxTexture* texture);
GxTexture* GxTextureSetName(GxTexture* texture, const GxChar* name);
GxTexture* GxTextureSetMaskName(GxTexture* texture, const GxChar* maskName);
GxTexture* GxTextureSetRaster(GxTexture* texture, GxRaster* raster);
GxTexture* GxTextureRead(const GxChar* name, const GxChar* maskName);

inline GxRaster* GxTextureGetRaster(const GxTexture* texture) { return texture->raster; }
inline const GxChar* GxTextureGetName(const GxTexture* texture) { return texture->name; }
inline GxTexDictionary* GxTextureGetDictionary(const GxTexture* texture) { return texture->dictionary; }
// The filter and addressing word: the filter mode in the low byte, then a 4-bit addressing mode per
// axis. Stored words carry other flags above the low 16 bits.
constexpr GxUInt32 gxTEXTUREFILTERMASK = 0x00FF;
constexpr GxUInt32 gxTEXTUREADDRESSMODEMASK = 0x0F;
constexpr GxUInt32 gxTEXTUREADDRESSUSHIFT = 8;
constexpr GxUInt32 gxTEXTUREADDRESSVSHIFT = 12;
constexpr GxUInt32 gxTEXTUREFILTERADDRESSINGMASK = 0xFFFF;

inline GxUInt8 GxTextureGetFilterMode(const GxTexture* texture)
{
    return static_cast<GxUInt8>(texture->filterAddressing);
}
inline GxUInt8 GxTextureGetAddressingU(const GxTexture* texture)
{
    return (texture->filterAddressing >> gxTEXTUREADDRESSUSHIFT) & gxTEXTUREADDRESSMODEMASK;
}
inline GxUInt8 GxTextureGetAddressingV(const GxTexture* texture)
{
    return (texture->filterAddressing >> gxTEXTUREADDRESSVSHIFT) & gxTEXTUREADDRESSMODEMASK;
}
GxTexture* GxTextureSetFilterMode(GxTexture* texture, GxUInt8 filter);
// Sets U and V together.
GxTexture* GxTextureSetAddressing(GxTexture* texture, GxUInt8 addressing);

GxBool GxTextureSetReadCallback(GxTextureCallBackRead callBack);
GxTextureCallBackRead GxTextureGetReadCallback(void);
GxBool GxTextureSetMipmapping(GxBool enable);
GxBool GxTextureGetMipmapping(void);
GxBool GxTextureSetAutoMipmapping(GxBool enable);
GxBool GxTextureGetAutoMipmapping(void);

// Builds the lower levels of a mipmapped raster from its level 0 (or from `image` when given).
GxBool GxTextureRasterGenerateMipmaps(GxRaster* raster, GxImage* image);

// The default callbacks.
GxTexture* GxTextureDefaultFind(const GxChar* name);
GxTexture* GxTextureDefaultRead(const GxChar* name, const GxChar* maskName);
GxTexture* GxTextureReadMipmapped(const GxChar* name, const GxChar* maskName);
GxBool GxTextureDefaultGenerateMipmaps(GxRaster* raster, GxImage* image);
// Appends "m" and the level as one hexadecimal digit to the name and to a non-empty mask for levels 1 to 15.
GxBool GxTextureGenerateMipmapName(GxChar* name, GxChar* maskName, GxUInt8 mipLevel, GxInt32 format);

// Reads a texture image along the image path and fits it to a raster; a width or height of 0 lets the device choose
// all four outputs. `format` receives the raster format word with the raster type in its low byte.
GxImage* GxTextureImageReadForRaster(const GxChar* name, const GxChar* maskName, GxInt32 rasterFlags, GxInt32* width,
                                     GxInt32* height, GxInt32* depth, GxInt32* format);
// One palette of 2^depth entries for all images (palettised images are re-indexed into it); `keep` is never destroyed.
GxBool GxTextureImagesMakePalette(GxRGBA* palette, GxImage* keep, GxImage** images, GxInt32 count, GxInt32 depth);

GxInt32 GxTextureRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxTextureRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                      GxPluginDataChunkWriteCallBack writeCB,
                                      GxPluginDataChunkGetSizeCallBack getSizeCB);

// The texture chunk (0x06); read starts after the chunk header.
GxUInt32 GxTextureStreamGetSize(const GxTexture* texture);
const GxTexture* GxTextureStreamWrite(const GxTexture* texture, GxStream* stream);
GxTexture* GxTextureStreamRead(GxStream* stream);
// Extension chunk of a texture (used by the dictionary chunks).
GxInt32 GxTextureExtensionStreamGetSize(const GxTexture* texture);
GxBool GxTextureExtensionStreamWrite(const GxTexture* texture, GxStream* stream);
GxBool GxTextureExtensionStreamRead(GxTexture* texture, GxStream* stream);

// ---- texture dictionaries ----

GxTexDictionary* GxTexDictionaryCreate(void);
// Releases one reference of every texture in it; textures still held elsewhere are unlinked from it.
GxBool GxTexDictionaryDestroy(GxTexDictionary* dictionary);
GxTexture* GxTexDictionaryAddTexture(GxTexDictionary* dictionary, GxTexture* texture);
GxTexture* GxTexDictionaryFindNamedTexture(GxTexDictionary* dictionary, const GxChar* name);
const GxTexDictionary* GxTexDictionaryForAllTextures(const GxTexDictionary* dictionary, GxTextureCallBack callBack,
                                                     void* data);
GxInt32 GxTexDictionaryGetNumTextures(const GxTexDictionary* dictionary);
GxTexDictionary* GxTexDictionarySetCurrent(GxTexDictionary* dictionary);
GxTexDictionary* GxTexDictionaryGetCurrent(void);
// Texture dictionary chunk (0x16) of device-native textures; read starts after the chunk header.
const GxTexDictionary* GxTexDictionaryStreamWrite(const GxTexDictionary* dictionary, GxStream* stream);
GxTexDictionary* GxTexDictionaryStreamRead(GxStream* stream);
// Images dictionary chunk (0x23) body: textures stored as images, rasters built on load.
GxTexDictionary* GxTexDictionaryStreamReadImages(GxStream* stream);

// ---- table of contents (0x24) ----

struct GxTOCEntry {
    GxUInt32 id;       // chunk type of the indexed object
    GxUInt32 gid;      // not interpreted
    GxUInt32 offset;   // byte offset of the chunk's header from the start of the file
    GxUInt8 guid[16];  // not interpreted
};

struct GxTOC {
    GxInt32 numEntries;
    GxTOCEntry entry[1];  // numEntries entries
};

// Tables of more entries than this are refused.
constexpr GxInt32 gxTOCMAXENTRIES = 0x10000;
constexpr GxUInt32 gxTOCENTRYSIZE = 28;

// Reads a chunk body into one block the caller frees with GxFree.
GxTOC* GxTOCStreamRead(GxStream* stream);
// No bounds check: the index must be below the count.
GxTOCEntry* GxTOCGetEntry(GxTOC* toc, GxInt32 index);
