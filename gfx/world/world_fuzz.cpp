// Fuzz target: world chunks (planes, sectors, materials, extensions) from arbitrary bytes; whatever reads is
// walked by a line, a sphere and a box query with an atomic tied into it, then destroyed.
#include "gfx/world/fuzz_testing.h"

namespace {

GxWorldSector* Any(GxIntersection*, GxWorldSector* sector, GxAtomic*, GxReal, void*) { return sector; }

void Query(GxWorld* world)
{
    const GxBBox& box = world->boundingBox;
    GxIntersection query = {};
    query.type = gxINTERSECTLINE;
    query.t.line = GxLine{box.inf, box.sup};
    GxWorldForAllIntersections(world, &query, Any, nullptr);
    query.type = gxINTERSECTSPHERE;
    query.t.sphere = GxSphere{box.inf, 1.0f};
    GxWorldForAllIntersections(world, &query, Any, nullptr);
    query.type = gxINTERSECTBOX;
    query.t.box = box;
    GxWorldForAllIntersections(world, &query, Any, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzRead(data, size, gxID_WORLD, [](GxStream* stream) {
        GxWorld* world = GxWorldStreamRead(stream);
        if (!world) {
            return;
        }
        GxClump* clump = GxClumpCreate();
        GxFrame* frame = GxFrameCreate();
        GxAtomic* atomic = GxAtomicCreate();
        if (clump && frame && atomic) {
            GxClumpSetFrame(clump, frame);
            GxAtomicSetFrame(atomic, frame);
            atomic->boundingSphere = GxSphere{world->boundingBox.inf, 2.0f};
            GxClumpAddAtomic(clump, atomic);
            GxWorldAddClump(world, clump);
            GxFrameSyncDirty();
        }
        Query(world);
        if (clump) {
            GxClumpDestroy(clump);
        }
        GxWorldDestroy(world);
    });
    return 0;
}
