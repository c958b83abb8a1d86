// Fuzz target: native geometry data (chunk 0x510) read from arbitrary bytes into a two-material geometry on the
// software device.
#include <cstdlib>

#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/fuzz_d3d9_local.h"
#include "gfx/world/clump.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    GxD3D9TestUseBackend("software");
    static HWND window = GxD3D9TestWindow(64, 64);
    GxEngineSetDriver(GxD3D9GetDriver());
    if (window == nullptr || !GxEngineInit(nullptr, 0, 0x400000) || !GxWorldObjectsPluginAttach() ||
        !GxD3D9WorldPluginAttach() || !GxEngineOpen(&window) || !GxEngineStart()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxGeometry* geometry = GxGeometryCreate(24, 12, gxGEOMETRYPOSITIONS | gxGEOMETRYNATIVE);
    if (!geometry) {
        return 0;
    }
    for (int i = 0; i < 2; i++) {
        GxMaterial* material = GxMaterialCreate();
        GxMaterialListAppendMaterial(&geometry->matList, material);
        GxMaterialDestroy(material);
    }
    GxD3D9FuzzRead(data, size, [geometry](GxStream* stream) { GxD3D9GeometryNativeStreamRead(stream, geometry); });
    GxGeometryDestroy(geometry);
    return 0;
}
