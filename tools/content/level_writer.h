// The first level: a walkable mall ground of 40 x 40 cells of 2 units under a textured, prelit city block, its
// ambient and directional lights, and the level file that holds them with their textures.
#pragma once

#include <string>
#include <vector>

#include "tools/content/world_writer.h"

constexpr GxInt32 gxCONTENTLEVELCELLS = 40;
constexpr GxReal gxCONTENTLEVELCELLSIZE = 2.0f;

// Materials of the level's world, in list order.
enum ContentLevelMaterial : GxUInt16 {
    CONTENTLEVELTILELIGHT = 0,
    CONTENTLEVELTILEDARK = 1,
    CONTENTLEVELBLOCK = 2,
    CONTENTLEVELMATERIALS = 3,
};

// The colour of each material's texture (opaque, uniform), and its texture name.
GxRGBA ContentLevelColour(GxInt32 material);
const char* ContentLevelTextureName(GxInt32 material);

// Ground cell (i, j) covers x 2i..2i+2 and z -2j-2..-2j at height 0, its material alternating light and dark;
// the city block's buildings stand round the grid.
ContentWorldMesh ContentLevelMesh();
ContentWorldPlan ContentLevelPlan(const std::vector<GxMaterial*>& materials);
// Ambient grey 0.45 and directional 0.8 aimed down and diagonal, both lighting atomics and the world.
GxClump* ContentLevelLightsClump();

// Writes models/levels/London/london.gxs under `out`: the images dictionary, the "objects" group with the
// lights clump, and the world. Needs a started engine with the world plugins.
bool ContentWriteLevel(const std::string& out, std::string* detail);
