// Materials, material lists and lights: objects, reference counts, registries and their chunks (0x07, 0x08, 0x12).
#pragma once

#include "gfx/core/assert.h"
#include "gfx/core/frame.h"
#include "gfx/core/gx.h"

struct GxTexture;
struct GxPipeline;
struct GxStream;

constexpr GxUInt32 gxID_MATERIAL = 0x07;
constexpr GxUInt32 gxID_MATLIST = 0x08;
constexpr GxUInt32 gxID_LIGHT = 0x12;
constexpr GxUInt32 gxID_RIGHTTORENDER = 0x1F;
constexpr GxUInt32 gxPLUGINMATERIALMODULE = 0x501;
constexpr GxUInt32 gxPLUGINLIGHTMODULE = 0x505;
// Error codes of the world side carry this plugin id.
constexpr GxInt32 gxPLUGINWORLD = 2;

struct GxMaterial {
    GxTexture* texture;  // counted reference or null
    GxRGBA color;
    GxPipeline* pipeline;  // null: the default material pipeline
    GxSurfaceProperties surfaceProps;
    GxInt16 refCount;
};

// Triangles index this list; each entry holds one reference to its material.
struct GxMaterialList {
    GxMaterial** materials;
    GxInt32 numMaterials;
    GxInt32 space;
};

enum GxLightType : GxUInt8 {
    gxLIGHTDIRECTIONAL = 1,
    gxLIGHTAMBIENT = 2,
    gxLIGHTPOINT = 0x80,  // 128 and above: local lights with a position and radius
    gxLIGHTSPOT = 0x81,
    gxLIGHTSPOTSOFT = 0x82,
};
enum GxLightFlag : GxUInt8 {
    gxLIGHTLIGHTATOMICS = 0x01,
    gxLIGHTLIGHTWORLD = 0x02,
};
constexpr GxUInt8 gxLIGHTPRIVATEGREY = 0x01;  // red = green = blue

struct GxRGBAReal {
    GxReal red, green, blue, alpha;
};

struct GxLight {
    GxFramedObject object;  // sub-type is the light type
    GxReal radius;
    GxRGBAReal color;
    GxReal minusCosAngle;
    GxLink worldSectorsInLight;  // ties to world sectors, owned by the world-object module
    GxLink inWorld;
    GxUInt16 lightFrame;
};

// Engine modules 0x501 (materials) and 0x505 (lights), the material right-to-render stream and the light
// extension that carries clump membership; called before GxEngineOpen.
GxBool GxMaterialPluginAttach(void);
GxBool GxLightPluginAttach(void);

GxMaterial* GxMaterialCreate(void);
GxBool GxMaterialDestroy(GxMaterial* material);
GxMaterial* GxMaterialAddRef(GxMaterial* material);
GxMaterial* GxMaterialSetTexture(GxMaterial* material, GxTexture* texture);
GxInt32 GxMaterialRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                 GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxMaterialRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                       GxPluginDataChunkWriteCallBack writeCB,
                                       GxPluginDataChunkGetSizeCallBack getSizeCB);
GxInt32 GxMaterialGetPluginOffset(GxUInt32 pluginID);
// Body size of the material chunk (without its own header).
GxUInt32 GxMaterialStreamGetSize(const GxMaterial* material);
const GxMaterial* GxMaterialStreamWrite(const GxMaterial* material, GxStream* stream);
// Reads the body of a material chunk whose header the caller has consumed.
GxMaterial* GxMaterialStreamRead(GxStream* stream);
GxStream* GxMaterialRightsStreamRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32 size);
GxStream* GxMaterialRightsStreamWrite(GxStream* stream, GxInt32 length, const void* object, GxInt32 offset,
                                      GxInt32 size);
GxInt32 GxMaterialRightsStreamGetSize(const void* object, GxInt32 offset, GxInt32 size);

GxMaterialList* GxMaterialListInitialize(GxMaterialList* list);
GxMaterialList* GxMaterialListDestroy(GxMaterialList* list);
GxInt32 GxMaterialListAppendMaterial(GxMaterialList* list, GxMaterial* material);
inline GxMaterial* GxMaterialListGetMaterial(const GxMaterialList* list, GxInt32 index)
{
    GX_ASSERT(index >= 0 && index < list->numMaterials, "a material index lies inside its list");
    return list->materials[index];
}
GxInt32 GxMaterialListFindMaterialIndex(const GxMaterialList* list, const GxMaterial* material);
GxUInt32 GxMaterialListStreamGetSize(const GxMaterialList* list);
const GxMaterialList* GxMaterialListStreamWrite(const GxMaterialList* list, GxStream* stream);
// Reads the body of a material-list chunk into an emptied list; on failure the list is left empty.
GxMaterialList* GxMaterialListStreamRead(GxStream* stream, GxMaterialList* list);

GxLight* GxLightCreate(GxInt32 type);
GxBool GxLightDestroy(GxLight* light);
GxLight* GxLightSetFrame(GxLight* light, GxFrame* frame);
GxReal GxLightGetConeAngle(const GxLight* light);
GxLight* GxLightSetColor(GxLight* light, const GxRGBAReal* color);
GxInt32 GxLightRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                              GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxLightRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                    GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB);
GxInt32 GxLightGetPluginOffset(GxUInt32 pluginID);
GxUInt32 GxLightStreamGetSize(const GxLight* light);
const GxLight* GxLightStreamWrite(const GxLight* light, GxStream* stream);
// Reads the body of a light chunk whose header the caller has consumed.
GxLight* GxLightStreamRead(GxStream* stream);
