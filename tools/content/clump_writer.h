// Writes models: box geometry, the shop unit clump and model files (table of contents, images dictionary, clump),
// all through the library's own clump, geometry and material writers.
#pragma once

#include <string>
#include <vector>

#include "gfx/world/clump.h"
#include "tools/content/texdict_writer.h"

struct GxImage;

// An axis-aligned box: centre, half extents and the index of its material in the list given with it.
struct ContentBox {
    GxV3d centre;
    GxV3d half;
    GxInt32 material;
};

// Geometry of boxes, 4 vertices and 2 triangles per face, with normals and one coordinate set per face
// (0..1 across it); `extraFlags` is ORed into the format. The mesh header is built; null on failure.
GxGeometry* ContentBoxGeometry(const std::vector<ContentBox>& boxes, GxMaterial* const* materials, GxInt32 numMaterials,
                               GxUInt32 extraFlags);

// Corners per box of ContentCornerBoxGeometry: bit 0 set is +x, bit 1 +y, bit 2 +z.
constexpr GxInt32 kContentCornersPerBox = 8;

// Geometry of boxes with their corners shared by the faces: a third of the vertices of ContentBoxGeometry, for
// models seen from afar. Normals point out along the corners (smooth shading); coordinates are 0 or 1 by corner.
GxGeometry* ContentCornerBoxGeometry(const std::vector<ContentBox>& boxes, GxMaterial* const* materials,
                                     GxInt32 numMaterials, GxUInt32 extraFlags);

// The clump chunk as bytes (empty on failure), written by GxClumpStreamWrite.
std::vector<GxUInt8> ContentClumpBytes(GxClump* clump);

// Height of the shop unit's awning, whose front the whole sign picture covers.
constexpr GxReal kContentAwningHeight = 0.6f;

// Footprint and look of a shop unit: origin at the footprint centre, entrance on the +z side.
struct ContentShopUnitPlan {
    GxReal sizeX;
    GxReal sizeZ;
    GxRGBA wallColour;
    GxTexture* sign;  // the awning's texture (its raster decides whether it sorts as transparent)
};

// A shop unit: slab, three walls and an awning with the sign texture (two materials), two levels of detail
// (the full unit, then one box), and a "door" dummy: a tiny atomic whose frame carries user-data text, in front
// of the middle row (the building code finds entrances by walking the atomics).
// Needs the world, level-of-detail and user-data plugins.
GxClump* ContentShopUnitCreate(const ContentShopUnitPlan& plan);

// Hangs `far` on every level of the atomic from `first` on and sets the levels per unit of depth. The selection
// picks any level as the depth grows, and an empty level draws nothing, so no level past the near one stays
// empty. Needs the level-of-detail plugin; false when a level could not be set.
bool ContentSetFarLevels(GxAtomic* atomic, GxInt32 first, GxGeometry* far, GxReal scale);

// The sign texture's picture: `size` square, 32-bit, a coloured band whose alpha fades to the edges.
GxImage* ContentSignImage(GxInt32 size, GxRGBA colour);

// A path characters follow when they use a building, in model space; it is written as a spline named after its
// group (the name the loader gives the spline).
struct ContentSlotPath {
    std::string name;
    std::vector<GxV3d> points;
};

// The table of contents of a model file: its images dictionary of body `dictionarySize` straight after the table,
// then its clump.
std::vector<GxTOCEntry> ContentModelTOC(GxUInt32 dictionarySize);

// A model file: table of contents (images dictionary, then clump), the images dictionary, the clump, then one
// named group holding a spline per slot path.
bool ContentModelFileWrite(const char* fileName, const std::vector<ContentImageTexture>& textures, GxClump* clump,
                           const std::vector<ContentSlotPath>& slots = {});
