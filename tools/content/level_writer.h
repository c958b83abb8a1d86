// The city levels (London, Paris, Berlin): a plaza of 64 x 64 cells of 2 units under the mall's grid, streets,
// city blocks and a landmark, the sky box, the "objects" model (lights, the map placeholder and a fountain
// prop), the spawn splines, and the fountain's model with its animated water.
#pragma once

#include <string>
#include <vector>

#include "tools/content/world_writer.h"

constexpr GxInt32 gxCONTENTLEVELCELLS = 64;
constexpr GxReal gxCONTENTLEVELCELLSIZE = 2.0f;
// The plaza lies just below the floor tiles the game lays at height 0.
constexpr GxReal gxCONTENTLEVELPLAZAY = -0.02f;
constexpr GxReal gxCONTENTLEVELSKYHALF = 250.0f;
constexpr GxInt32 gxCONTENTLEVELSPAWNPOINTS = 4;
// The map placeholder: floor 1, rows and columns of the grid, cell size; placed one cell off the origin.
constexpr const char* gxCONTENTLEVELMAP = "map_1_64_64_2";
constexpr const char* gxCONTENTLEVELWATERTAG = "ANIM_water01";
constexpr const char* gxCONTENTLEVELWATERINI = "ANIM_water.ini";
constexpr GxInt32 gxCONTENTLEVELWATERFRAMES = 4;

// Materials of a level's world, in list order.
enum ContentLevelMaterial : GxUInt16 {
    CONTENTLEVELTILELIGHT = 0,
    CONTENTLEVELTILEDARK = 1,
    CONTENTLEVELSTREET = 2,
    CONTENTLEVELFACADE = 3,
    CONTENTLEVELROOF = 4,
    CONTENTLEVELLANDMARK = 5,
    CONTENTLEVELMATERIALS = 6,
};

enum ContentCity : GxInt32 {
    CONTENTCITYLONDON = 0,
    CONTENTCITYPARIS = 1,
    CONTENTCITYBERLIN = 2,
    CONTENTCITIES = 3,
};

const char* ContentLevelStem(GxInt32 city);
// Path of a city's level (and of its fountain model) relative to the game root, as the game names it.
std::string ContentLevelPath(GxInt32 city);
std::string ContentLevelFountainPath(GxInt32 city);

// The main colour of each material's texture in a city, and the texture's name.
GxRGBA ContentLevelColour(GxInt32 material, GxInt32 city = CONTENTCITYLONDON);
const char* ContentLevelTextureName(GxInt32 material);

// Cell (r, c) of the plaza has its centre at (2r, y, -2c), its material alternating light and dark.
ContentWorldMesh ContentLevelMesh(GxInt32 city = CONTENTCITYLONDON);
ContentWorldPlan ContentLevelPlan(const std::vector<GxMaterial*>& materials, GxInt32 city = CONTENTCITYLONDON);
// Ambient grey 0.45 and directional 0.8 aimed down and diagonal, both lighting atomics and the world.
GxClump* ContentLevelLightsClump();

// A placeholder of the objects model: a tiny box on a frame whose user data is the text.
struct ContentPlaceholder {
    std::string text;
    GxV3d position;
};
std::vector<ContentPlaceholder> ContentLevelPlaceholders(GxInt32 city);

// A spawn spline: its group's name and points, the first down a street off the grid, the last the centre of
// an interior cell.
struct ContentSpawnPath {
    std::string name;
    std::vector<GxV3d> points;
};
std::vector<ContentSpawnPath> ContentLevelSpawnPaths();

// Writes the three levels under `out`: each level file (images dictionary, "skybox" group, "objects" group,
// world, spawn groups), its fountain model and the fountain's ani/ description with its frame pictures.
// Needs a started engine with the world, user-data and spline plugins.
bool ContentWriteLevel(const std::string& out, std::string* detail);
