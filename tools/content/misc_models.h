// Models and pictures the object templates name: the floor tiles (pictures and tile models), the buildings of
// the build menus and their city variants, the helper pieces (placement box, wall pieces, balconies), the ground,
// the selection ring, the debris, and the particle fallback texture.
// Every model file holds a table of contents, its own images dictionary, one clump and its slot paths.
// Needs a started engine with the world, level-of-detail and user-data plugins and open file functions.
#pragma once

#include <string>
#include <vector>

#include "gfx/testsupport/png_writer.h"
#include "gfx/world/clump.h"
#include "tools/content/clump_writer.h"
#include "tools/content/texdict_writer.h"

constexpr GxInt32 kContentFloorTileCount = 6;
constexpr GxInt32 kContentFloorTileSize = 128;

// Floor tile k: its picture's stem under images/floors/ (the second, marble, is the game's default tile).
const char* ContentFloorTileStem(GxInt32 tile);
// The tile's 128 x 128 RGBA picture.
ContentPngImage ContentFloorTileImage(GxInt32 tile);
// The particles' fallback texture: a white disc whose alpha fades to its rim.
ContentPngImage ContentParticleImage();

// One model in memory: its clump and the pictures of its images dictionary (owned).
struct ContentModel {
    ContentModel() = default;
    ContentModel(const ContentModel&) = delete;
    ContentModel& operator=(const ContentModel&) = delete;
    ~ContentModel();

    GxClump* clump = nullptr;
    std::vector<GxImage*> images;
    std::vector<ContentImageTexture> textures;
    std::vector<ContentSlotPath> slots;
};

// Template paths ("./models/...") this unit has a recipe for, in writing order.
const std::vector<std::string>& ContentObjectModelPaths();
// Builds the model of a path; false for a path without a recipe or when the library refuses a part.
bool ContentObjectModelCreate(const std::string& path, ContentModel* model);

// Writes every model of ContentObjectModelPaths under `out`, the floor tile pictures into out/images/floors and
// the particle fallback texture as out/data/images/particle.png. False with the failing file in `detail`.
bool ContentWriteObjectModels(const std::string& out, std::string* detail);
