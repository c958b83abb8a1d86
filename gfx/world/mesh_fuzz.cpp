// Fuzz target: bin-mesh extension data (0x50E) read onto a geometry of 24 vertices and two materials.
#include "gfx/world/fuzz_testing.h"
#include "gfx/world/world_local.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzStart();
    static GxGeometry* geometry = [] {
        GxGeometry* made = GxGeometryCreate(24, 0, gxGEOMETRYPOSITIONS);
        GxMaterial* material = GxMaterialCreate();
        GxMaterialListAppendMaterial(&made->matList, material);
        GxMaterialListAppendMaterial(&made->matList, material);
        GxMaterialDestroy(material);
        return made;
    }();
    GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (!stream) {
        return 0;
    }
    if (size <= INT32_MAX && GxBinMeshGeometryStreamRead(stream, static_cast<GxInt32>(size), geometry, 0, 0)) {
        GxStream* out = GxWorldFuzzOpenOut();
        GxBinMeshGeometryStreamWrite(out, GxBinMeshGeometryStreamGetSize(geometry, 0, 0), geometry, 0, 0);
        GxWorldFuzzCloseOut(out);
        GxMeshHeaderDestroy(geometry->mesh);
        geometry->mesh = nullptr;
    }
    GxStreamClose(stream, nullptr);
    GxError error;
    GxErrorGet(&error);
    return 0;
}
