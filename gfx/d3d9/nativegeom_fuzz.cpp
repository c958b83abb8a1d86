// Fuzz target: native data (chunk 0x510) read from arbitrary bytes into a two-material geometry and into the
// sector of a native two-material world, on the software device.
#include <cstdlib>

#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/clump.h"
#include "gfx/world/world.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    GxTestEngineSetup setup;
    setup.files = false;
    setup.plugins = [] { return GxWorldPluginAttach() && GxD3D9SectorPluginAttach(); };
    if (!GxTestProcessEngineStart(setup)) {
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
    GxTestFuzzRead(data, size, [geometry](GxStream* stream) { GxD3D9GeometryNativeStreamRead(stream, geometry); });
    const GxBBox box = {{10, 10, 10}, {-10, -10, -10}};
    GxWorld* world = GxWorldCreate(&box);
    if (world) {
        world->flags |= gxGEOMETRYNATIVE;
        for (GxInt32 i = 0; i < geometry->matList.numMaterials; i++) {
            GxMaterialListAppendMaterial(&world->matList, geometry->matList.materials[i]);
        }
        auto* sector = reinterpret_cast<GxWorldSector*>(world->rootSector);
        GxTestFuzzRead(data, size, [sector](GxStream* stream) { GxD3D9SectorNativeStreamRead(stream, sector); });
        GxWorldDestroy(world);
    }
    GxGeometryDestroy(geometry);
    return 0;
}
