// The first level: ground grid, city block, lights and the level file.
#include "tools/content/level_writer.h"

#include <filesystem>

#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "tools/content/clump_writer.h"
#include "tools/content/content_file.h"
#include "tools/content/fx_writer.h"
#include "tools/content/texdict_writer.h"

namespace {

constexpr GxInt32 kTextureSize = 8;
constexpr GxInt32 kBuildingHeight = 12;
constexpr GxReal kStreet = 4.0f;       // between the grid and the block
constexpr GxReal kBlockDepth = 10.0f;  // of the buildings round the grid
constexpr GxUInt8 kSideShade = 190;    // prelit brightness of building sides (tops are full)
constexpr GxInt32 kSectorTriangles = 64;
constexpr GxReal kAmbientGrey = 0.45f;
constexpr GxReal kDirectionalGrey = 0.8f;
constexpr GxReal kSunPitch = 60.0f;
constexpr GxReal kSunTurn = 45.0f;
constexpr GxUInt32 kLevelFlags = gxGEOMETRYPOSITIONS | gxGEOMETRYTEXTURED | gxGEOMETRYPRELIT | gxGEOMETRYNORMALS;
constexpr GxUInt32 kTileFilter = 0x1106;

const GxRGBA kColours[CONTENTLEVELMATERIALS] = {{200, 190, 170, 255}, {90, 90, 110, 255}, {170, 60, 50, 255}};
const char* const kNames[CONTENTLEVELMATERIALS] = {"ground_light", "ground_dark", "city_block"};

// A box without its bottom: top prelit full, sides shaded; outward normals.
void AddBuilding(ContentWorldMesh* mesh, GxV3d lo, GxV3d hi)
{
    const GxRGBA top = {255, 255, 255, 255};
    const GxRGBA side = {kSideShade, kSideShade, kSideShade, 255};
    const GxV3d topQuad[4] = {{lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}};
    ContentWorldAddQuad(mesh, topQuad, GxV3d{0, 1, 0}, top, CONTENTLEVELBLOCK, 1.0f);
    const GxV3d north[4] = {{hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z}};
    ContentWorldAddQuad(mesh, north, GxV3d{0, 0, 1}, side, CONTENTLEVELBLOCK, 1.0f);
    const GxV3d south[4] = {{lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, lo.y, lo.z}};
    ContentWorldAddQuad(mesh, south, GxV3d{0, 0, -1}, side, CONTENTLEVELBLOCK, 1.0f);
    const GxV3d east[4] = {{hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}};
    ContentWorldAddQuad(mesh, east, GxV3d{1, 0, 0}, side, CONTENTLEVELBLOCK, 1.0f);
    const GxV3d west[4] = {{lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}, {lo.x, lo.y, lo.z}};
    ContentWorldAddQuad(mesh, west, GxV3d{-1, 0, 0}, side, CONTENTLEVELBLOCK, 1.0f);
}

GxImage* SolidImage(GxRGBA colour)
{
    GxImage* image = GxImageCreate(kTextureSize, kTextureSize, 32);
    if (!image || !GxImageAllocatePixels(image)) {
        return image;
    }
    for (GxInt32 y = 0; y < kTextureSize; y++) {
        for (GxInt32 x = 0; x < kTextureSize; x++) {
            GxUInt8* p = image->pixels + y * image->stride + x * 4;
            p[0] = colour.red;
            p[1] = colour.green;
            p[2] = colour.blue;
            p[3] = colour.alpha;
        }
    }
    return image;
}

}  // namespace

GxRGBA ContentLevelColour(GxInt32 material) { return kColours[material]; }
const char* ContentLevelTextureName(GxInt32 material) { return kNames[material]; }

ContentWorldMesh ContentLevelMesh()
{
    ContentWorldMesh mesh;
    const GxRGBA white = {255, 255, 255, 255};
    const GxReal s = gxCONTENTLEVELCELLSIZE;
    for (GxInt32 j = 0; j < gxCONTENTLEVELCELLS; j++) {
        for (GxInt32 i = 0; i < gxCONTENTLEVELCELLS; i++) {
            const GxReal x0 = i * s, x1 = x0 + s, z0 = -j * s - s, z1 = -j * s;
            const GxV3d corners[4] = {{x0, 0, z0}, {x0, 0, z1}, {x1, 0, z1}, {x1, 0, z0}};
            const auto material = static_cast<GxUInt16>((i + j) % 2 ? CONTENTLEVELTILEDARK : CONTENTLEVELTILELIGHT);
            ContentWorldAddQuad(&mesh, corners, GxV3d{0, 1, 0}, white, material, 1.0f);
        }
    }
    // The block: four rows of buildings round the grid, across a street from it.
    const GxReal size = gxCONTENTLEVELCELLS * s;
    const GxReal h = kBuildingHeight;
    const GxReal near = kStreet, far = kStreet + kBlockDepth;
    AddBuilding(&mesh, GxV3d{-far, 0, -size - far}, GxV3d{size + far, h, -size - near});
    AddBuilding(&mesh, GxV3d{-far, 0, near}, GxV3d{size + far, h, far});
    AddBuilding(&mesh, GxV3d{-far, 0, -size - near}, GxV3d{-near, h, 0});
    AddBuilding(&mesh, GxV3d{size + near, 0, -size - near}, GxV3d{size + far, h, 0});
    return mesh;
}

ContentWorldPlan ContentLevelPlan(const std::vector<GxMaterial*>& materials)
{
    // The box reaches well past the block so that every object of the level ties to a sector.
    const GxBBox box = {{150, 150, 150}, {-150, -20, -300}};
    return ContentWorldPlan{kLevelFlags, box, materials, kSectorTriangles};
}

GxClump* ContentLevelLightsClump()
{
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    GxLight* ambient = GxLightCreate(gxLIGHTAMBIENT);
    GxLight* sun = GxLightCreate(gxLIGHTDIRECTIONAL);
    GxFrame* sunFrame = GxFrameCreate();
    if (!clump || !root || !ambient || !sun || !sunFrame) {
        return nullptr;
    }
    GxClumpSetFrame(clump, root);
    const GxRGBAReal grey = {kAmbientGrey, kAmbientGrey, kAmbientGrey, 1.0f};
    const GxRGBAReal bright = {kDirectionalGrey, kDirectionalGrey, kDirectionalGrey, 1.0f};
    GxLightSetColor(ambient, &grey);
    GxLightSetColor(sun, &bright);
    const GxV3d xAxis = {1, 0, 0}, yAxis = {0, 1, 0};
    GxFrameRotate(sunFrame, &xAxis, kSunPitch, 0);
    GxFrameRotate(sunFrame, &yAxis, kSunTurn, 2);
    GxFrameAddChild(root, sunFrame);
    GxLightSetFrame(ambient, root);
    GxLightSetFrame(sun, sunFrame);
    for (GxLight* light : {ambient, sun}) {
        light->object.object.flags = gxLIGHTLIGHTATOMICS | gxLIGHTLIGHTWORLD;
        GxClumpAddLight(clump, light);
    }
    return clump;
}

bool ContentWriteLevel(const std::string& out, std::string* detail)
{
    const std::filesystem::path dir = std::filesystem::path(out) / "models" / "levels" / "London";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        *detail = dir.string();
        return false;
    }
    std::vector<GxImage*> images;
    std::vector<ContentImageTexture> textures;
    std::vector<GxMaterial*> materials;
    for (GxInt32 m = 0; m < CONTENTLEVELMATERIALS; m++) {
        images.push_back(SolidImage(kColours[m]));
        ContentImageTexture texture;
        texture.name = kNames[m];
        texture.levels = {images.back()};
        texture.filterAddressing = kTileFilter;
        textures.push_back(texture);
        // The material names its texture; the level's dictionary supplies it when the world is read.
        GxRaster* raster = GxRasterCreate(kTextureSize, kTextureSize, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        GxTexture* named = raster ? GxTextureCreate(raster) : nullptr;
        GxMaterial* material = GxMaterialCreate();
        if (named && material) {
            GxTextureSetName(named, kNames[m]);
            GxMaterialSetTexture(material, named);
            GxTextureDestroy(named);
        }
        materials.push_back(material);
    }
    GxUVAnimDictionary* flow = nullptr;
    const bool animated = ContentLevelAnimateMaterial(materials[CONTENTLEVELBLOCK], &flow);
    GxClump* lights = ContentLevelLightsClump();
    const std::vector<GxUInt8> world = ContentWorldBytes(ContentLevelMesh(), ContentLevelPlan(materials));
    const std::vector<GxUInt8> clump = lights ? ContentClumpBytes(lights) : std::vector<GxUInt8>();
    const std::string file = (dir / "london.gxs").string();
    const bool ok = animated && !world.empty() && !clump.empty() && ContentWriteFile(file.c_str(), [&](GxStream* stream) {
        return ContentImageDictionaryWrite(stream, textures, CONTENTIMAGEDICTIONARYRECORDS) &&
               ContentChunkGroupStartWrite(stream, "objects") &&
               GxStreamWrite(stream, clump.data(), static_cast<GxUInt32>(clump.size())) &&
               ContentChunkGroupEndWrite(stream) && ContentLevelAnimationWrite(stream, flow) &&
               GxStreamWrite(stream, world.data(), static_cast<GxUInt32>(world.size()));
    });
    GxUVAnimDictionaryDestroy(flow);
    if (lights) {
        GxClumpDestroy(lights);
    }
    for (GxMaterial* material : materials) {
        GxMaterialDestroy(material);
    }
    for (GxImage* image : images) {
        GxImageDestroy(image);
    }
    if (!ok) {
        *detail = file;
    }
    return ok;
}
