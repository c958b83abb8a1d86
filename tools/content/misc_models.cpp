// Models and pictures the object templates name.
//
//   1. pictures: floor tiles, model textures, the particle fallback
//   2. parts: materials, quad meshes, clumps with entrance dummies
//   3. recipes: floor tiles, helper pieces, ground, selection ring, debris (buildings: building_models.cpp)
//   4. the writer
#include "tools/content/misc_models.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <utility>

#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/world/userdata.h"
#include "tools/content/building_models.h"
#include "tools/content/clump_writer.h"
#include "tools/content/misc_models_local.h"

namespace fs = std::filesystem;

namespace content_parts {

constexpr GxInt32 kParticleSize = 64;
constexpr GxReal kTileThickness = 0.02f;
constexpr GxUInt8 kGhostAlpha = 100;  // below 255: the placement box sorts as translucent
// Up to the storey above: a lower wall would leave a slit through which the storey's rooms show from outside.
constexpr GxReal kWallHeight = kStoreyHeight;
constexpr GxReal kWallThickness = 0.2f;
constexpr GxReal kRailHeight = 1.0f;
constexpr GxReal kRailThickness = 0.1f;
constexpr GxReal kPostWidth = 0.2f;
constexpr GxReal kDoorwayHeight = 2.4f;
constexpr GxReal kGroundNear = -10.0f;  // the ground reaches past the 64 x 64 grid on every side
constexpr GxReal kGroundFar = 138.0f;
constexpr GxReal kGroundRepeat = 37.0f;  // one paving picture per 4 units
constexpr GxReal kRingRadius = 0.8f;
constexpr GxReal kRingWidth = 0.18f;
constexpr GxReal kRingHeight = 0.05f;
constexpr GxInt32 kRingSegments = 32;
constexpr GxUInt8 kRingAlpha = 180;
constexpr GxInt32 kDebrisCount = 10;
constexpr GxReal kDebrisLimit = 0.5f;  // every piece fits in a cube of this side
constexpr GxReal kDummyHalf = 0.05f;

// ---- 1. pictures ----

const char* const kTileStems[kContentFloorTileCount] = {"concrete", "marble", "wood",
                                                        "checker",  "carpet", "terracotta"};

std::uint32_t Noise(GxInt32 x, GxInt32 y, std::uint32_t seed)
{
    std::uint32_t h =
        static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

GxUInt8 Clamp(GxInt32 v) { return static_cast<GxUInt8>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

GxRGBA Shade(GxRGBA base, GxInt32 delta)
{
    return {Clamp(base.red + delta), Clamp(base.green + delta), Clamp(base.blue + delta), base.alpha};
}

// Fills a square picture from a function of the pixel position.
Pixels Paint(GxInt32 size, const std::function<GxRGBA(GxInt32, GxInt32)>& pixel)
{
    Pixels pixels(static_cast<size_t>(size * size));
    for (GxInt32 y = 0; y < size; y++) {
        for (GxInt32 x = 0; x < size; x++) {
            pixels[static_cast<size_t>(y * size + x)] = pixel(x, y);
        }
    }
    return pixels;
}

GxInt32 Speckle(GxInt32 x, GxInt32 y, std::uint32_t seed, GxInt32 range)
{
    return static_cast<GxInt32>(Noise(x, y, seed) % static_cast<std::uint32_t>(2 * range + 1)) - range;
}

// ---- floor tiles ----
// A tile's picture covers one 2 x 2 cell, which the player sees some 20 pixels across: each pattern is drawn at
// the scale of a quarter or half of the tile, in its own colours, so that the six still tell apart there.

constexpr GxInt32 kTileJoint = 2;  // pixels of joint along each edge: 4 between neighbouring tiles

// Smooth noise within +-range on a lattice of `cell` pixels that wraps round the tile, so neighbouring tiles
// meet without a seam.
GxInt32 Mottle(GxInt32 x, GxInt32 y, GxInt32 cell, std::uint32_t seed, GxInt32 range)
{
    const GxInt32 n = kContentFloorTileSize / cell;
    auto at = [&](GxInt32 i, GxInt32 j) { return static_cast<GxReal>(Noise(i % n, j % n, seed) % 1001) / 1000.0f; };
    auto ease = [](GxReal t) { return t * t * (3.0f - 2.0f * t); };
    const GxInt32 i = x / cell, j = y / cell;
    const GxReal fx = ease(static_cast<GxReal>(x % cell) / cell), fy = ease(static_cast<GxReal>(y % cell) / cell);
    const GxReal top = at(i, j) + (at(i + 1, j) - at(i, j)) * fx;
    const GxReal bottom = at(i, j + 1) + (at(i + 1, j + 1) - at(i, j + 1)) * fx;
    return static_cast<GxInt32>(((top + (bottom - top) * fy) * 2.0f - 1.0f) * static_cast<GxReal>(range));
}

// Within `width` pixels of the tile's edge, or of the edge of one of its `split` x `split` parts.
bool OnJoint(GxInt32 x, GxInt32 y, GxInt32 split, GxInt32 width)
{
    const GxInt32 part = kContentFloorTileSize / split;
    const GxInt32 u = x % part, v = y % part;
    return u < width || v < width || u >= part - width || v >= part - width;
}

GxRGBA Mix(GxRGBA a, GxRGBA b, GxReal t)
{
    auto channel = [t](GxUInt8 p, GxUInt8 q) { return Clamp(static_cast<GxInt32>(p + (q - p) * t)); };
    return {channel(a.red, b.red), channel(a.green, b.green), channel(a.blue, b.blue), 255};
}

// Concrete: grey slabs, a slab a cell, mottled, with dark joints.
GxRGBA Concrete(GxInt32 x, GxInt32 y)
{
    if (OnJoint(x, y, 1, kTileJoint)) {
        return Shade({96, 96, 94, 255}, Speckle(x, y, 11, 4));
    }
    return Shade({146, 146, 142, 255}, Mottle(x, y, 32, 12, 14) + Speckle(x, y, 1, 8));
}

// Marble: polished white with bold grey-green veins wandering across it, and fine joints.
GxRGBA Marble(GxInt32 x, GxInt32 y)
{
    if (OnJoint(x, y, 1, 1)) {
        return {196, 194, 188, 255};
    }
    constexpr GxReal kTurn = 2.0f * kPi / kContentFloorTileSize;  // whole waves, so the veins wrap
    const GxReal wander = 0.03f * Mottle(x, y, 64, 19, 100) + 0.008f * Mottle(x, y, 16, 20, 100);
    const GxReal main = std::fabs(std::sin(kTurn * (x + y) + wander));
    const GxReal side = std::fabs(std::sin(kTurn * (2 * x - y) + 1.5f * wander + 1.0f));
    const GxReal vein = std::fmax(0.0f, 1.0f - std::fmin(main / 0.12f, side / 0.1f));
    return Mix(Shade({238, 235, 228, 255}, Mottle(x, y, 64, 13, 6) + Speckle(x, y, 2, 3)), {118, 130, 122, 255},
               vein * 0.85f);
}

// Wood: four boards of light oak along x, each its own shade, with dark seams, staggered ends and grain.
GxRGBA Wood(GxInt32 x, GxInt32 y)
{
    constexpr GxInt32 kBoards = 4, kBoard = kContentFloorTileSize / kBoards;
    const GxInt32 board = y / kBoard;
    const GxInt32 end = static_cast<GxInt32>(Noise(board, 0, 14) % kContentFloorTileSize);
    if (y % kBoard < kTileJoint || std::abs(x - end) < 1) {
        return {96, 62, 34, 255};
    }
    const GxInt32 tone = static_cast<GxInt32>(Noise(board, 1, 15) % 33) - 16;
    const GxInt32 grain = static_cast<GxInt32>(9.0f * std::sin(0.9f * y + 0.05f * Mottle(x, y, 32, 16, 60)));
    return Shade({206, 162, 104, 255}, tone + grain + Speckle(x, y, 3, 4));
}

// Checker: black and white squares, four a cell, twice the size of the plaza's.
GxRGBA Checker(GxInt32 x, GxInt32 y)
{
    constexpr GxInt32 kSquare = kContentFloorTileSize / 2;
    const bool dark = (x / kSquare + y / kSquare) % 2 != 0;
    return Shade(dark ? GxRGBA{30, 30, 34, 255} : GxRGBA{240, 238, 232, 255}, Speckle(x, y, 4, 3));
}

// Carpet: deep blue weave with a dark border and a gold lozenge in each cell.
GxRGBA Carpet(GxInt32 x, GxInt32 y)
{
    constexpr GxInt32 kBorder = 10, kGoldLine = 4;
    constexpr GxInt32 kMiddle = kContentFloorTileSize / 2;
    const GxRGBA gold = {214, 172, 62, 255};
    const GxInt32 weave = ((x + y) % 4 < 2 ? 6 : -6) + Speckle(x, y, 5, 5);
    const GxInt32 edge =
        std::min(std::min(x, y), std::min(kContentFloorTileSize - 1 - x, kContentFloorTileSize - 1 - y));
    const GxInt32 lozenge = std::abs(x - kMiddle) + std::abs(y - kMiddle);
    if (edge < kBorder) {
        return edge >= kBorder - kGoldLine ? Shade(gold, weave) : Shade({26, 34, 92, 255}, weave);
    }
    if ((lozenge >= 36 && lozenge < 36 + 2 * kGoldLine) || lozenge < 10) {
        return Shade(gold, weave);
    }
    return Shade({44, 66, 150, 255}, weave);
}

// Terracotta: four fired tiles a cell, each its own shade, in cream grout.
GxRGBA Terracotta(GxInt32 x, GxInt32 y)
{
    constexpr GxInt32 kSplit = 2;
    if (OnJoint(x, y, kSplit, 3)) {
        return Shade({214, 204, 184, 255}, Speckle(x, y, 17, 4));
    }
    const GxInt32 part = kContentFloorTileSize / kSplit;
    const GxInt32 tone = static_cast<GxInt32>(Noise(x / part, y / part, 18) % 25) - 12;
    return Shade({194, 94, 52, 255}, tone + Mottle(x, y, 16, 6, 8) + Speckle(x, y, 6, 5));
}

Pixels TilePixels(GxInt32 tile)
{
    static GxRGBA (*const kPainters[kContentFloorTileCount])(GxInt32, GxInt32) = {Concrete, Marble, Wood,
                                                                                  Checker,  Carpet, Terracotta};
    return Paint(kContentFloorTileSize, kPainters[tile >= 0 && tile < kContentFloorTileCount ? tile : 0]);
}

Pixels PlasterPixels()
{
    return Paint(kModelTextureSize, [](GxInt32 x, GxInt32 y) {
        return Shade({225, 218, 200, 255}, Speckle(x, y, 7, 8));
    });
}

// The walls no door goes into: dark red brick in pale mortar, far from the plain walls' plaster.
Pixels BrickPixels()
{
    constexpr GxInt32 kCourse = 16, kBrick = 32, kMortar = 2;
    return Paint(kModelTextureSize, [](GxInt32 x, GxInt32 y) {
        const GxInt32 offset = (y / kCourse) % 2 ? kBrick / 2 : 0;
        if (y % kCourse < kMortar || (x + offset) % kBrick < kMortar)
            return Shade({196, 190, 176, 255}, Speckle(x, y, 19, 4));
        return Shade({132, 52, 40, 255}, Speckle(x, y, 20, 8));
    });
}

Pixels RailPixels()
{
    return Paint(kModelTextureSize, [](GxInt32 x, GxInt32 y) {
        return Shade({170, 175, 185, 255}, (y % 8 < 2 ? 40 : 0) + Speckle(x, y, 8, 4));
    });
}

Pixels PavingPixels()
{
    return Paint(kModelTextureSize, [](GxInt32 x, GxInt32 y) {
        const bool joint = x % 32 == 0 || (y + (x / 32) * 16) % 32 == 0;
        return Shade({120, 122, 118, 255}, (joint ? -40 : 0) + Speckle(x, y, 9, 10));
    });
}

GxImage* MakeImage(const Pixels& pixels, GxInt32 size)
{
    GxImage* image = GxImageCreate(size, size, 32);
    if (!image) {
        return nullptr;
    }
    if (!GxImageAllocatePixels(image)) {
        GxImageDestroy(image);
        return nullptr;
    }
    for (GxInt32 y = 0; y < size; y++) {
        for (GxInt32 x = 0; x < size; x++) {
            const GxRGBA& p = pixels[static_cast<size_t>(y * size + x)];
            GxUInt8* out = image->pixels + y * image->stride + x * 4;
            out[0] = p.red;
            out[1] = p.green;
            out[2] = p.blue;
            out[3] = p.alpha;
        }
    }
    return image;
}

ContentPngImage MakePng(const Pixels& pixels, GxInt32 size)
{
    ContentPngImage png;
    png.width = static_cast<uint32_t>(size);
    png.height = static_cast<uint32_t>(size);
    png.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (const GxRGBA& p : pixels) {
        png.rows.insert(png.rows.end(), {p.red, p.green, p.blue, p.alpha});
    }
    return png;
}

// ---- 2. parts ----

GxTexture* ModelTexture(ContentModel* model, const std::string& name, GxImage* image, GxInt32 size)
{
    GxRaster* raster = GxRasterCreate(size, size, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
    if (!image || !texture) {
        if (image) {
            GxImageDestroy(image);
        }
        if (texture) {
            GxTextureDestroy(texture);
        } else if (raster) {
            GxRasterDestroy(raster);
        }
        return nullptr;
    }
    model->images.push_back(image);
    ContentImageTexture entry;
    entry.name = name;
    entry.levels = {image};
    entry.filterAddressing = kFilterWrap;
    model->textures.push_back(entry);
    GxTextureSetName(texture, name.c_str());
    texture->filterAddressing = kFilterWrap;
    return texture;
}

GxMaterial* TexturedMaterial(ContentModel* model, const char* name, const Pixels& pixels, GxInt32 size, GxRGBA colour)
{
    GxMaterial* material = GxMaterialCreate();
    GxTexture* texture = material ? ModelTexture(model, name, MakeImage(pixels, size), size) : nullptr;
    if (!texture) {
        if (material) {
            GxMaterialDestroy(material);
        }
        return nullptr;
    }
    GxMaterialSetTexture(material, texture);
    GxTextureDestroy(texture);
    material->color = colour;
    return material;
}

GxMaterial* PlainMaterial(GxRGBA colour)
{
    GxMaterial* material = GxMaterialCreate();
    if (material) {
        material->color = colour;
    }
    return material;
}

GxV3d Sub(GxV3d a, GxV3d b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

GxReal Dot(GxV3d a, GxV3d b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

GxV3d Cross(GxV3d a, GxV3d b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

void AddFacingQuad(ContentWorldMesh* mesh, GxV3d a, GxV3d b, GxV3d c, GxV3d d, GxV3d normal, GxUInt16 material,
                   GxReal uvScale)
{
    const GxRGBA white = {255, 255, 255, 255};
    const bool facing = Dot(Cross(Sub(b, a), Sub(c, a)), normal) > 0.0f;
    const GxV3d corners[4] = {a, facing ? b : d, c, facing ? d : b};
    ContentWorldAddQuad(mesh, corners, normal, white, material, uvScale);
}

void AddBoxQuads(ContentWorldMesh* mesh, GxV3d centre, GxV3d half, GxUInt16 material)
{
    const GxV3d axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (GxInt32 axis = 0; axis < 3; axis++) {
        const GxV3d u = axes[(axis + 1) % 3];
        const GxV3d v = axes[(axis + 2) % 3];
        const GxReal h[3] = {half.x, half.y, half.z};
        for (GxReal side : {-1.0f, 1.0f}) {
            const GxV3d n = {axes[axis].x * side, axes[axis].y * side, axes[axis].z * side};
            const GxReal du = h[(axis + 1) % 3], dv = h[(axis + 2) % 3], dn = h[axis];
            auto corner = [&](GxReal su, GxReal sv) {
                return GxV3d{centre.x + n.x * dn + (u.x * su * du) + (v.x * sv * dv),
                             centre.y + n.y * dn + (u.y * su * du) + (v.y * sv * dv),
                             centre.z + n.z * dn + (u.z * su * du) + (v.z * sv * dv)};
            };
            AddFacingQuad(mesh, corner(-1, -1), corner(1, -1), corner(1, 1), corner(-1, 1), n, material, 1.0f);
        }
    }
}

void Drop(std::initializer_list<GxMaterial*> materials)
{
    for (GxMaterial* material : materials) {
        if (material) {
            GxMaterialDestroy(material);
        }
    }
}

// An atomic of `geometry` on `frame`, added to the clump; the geometry's reference passes to the atomic.
bool AddAtomic(GxClump* clump, GxFrame* frame, GxGeometry* geometry)
{
    GxAtomic* atomic = geometry ? GxAtomicCreate() : nullptr;
    if (!atomic) {
        if (geometry) {
            GxGeometryDestroy(geometry);
        }
        return false;
    }
    GxAtomicSetFrame(atomic, frame);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    GxClumpAddAtomic(clump, atomic);
    return true;
}

// Frames keep the matrix type the reader gives back.
bool Assemble(ContentModel* model, GxGeometry* geometry)
{
    GxClump* clump = GxClumpCreate();
    GxFrame* root = clump ? GxFrameCreate() : nullptr;
    if (!root) {
        if (clump) {
            GxClumpDestroy(clump);
        }
        if (geometry) {
            GxGeometryDestroy(geometry);
        }
        return false;
    }
    GxClumpSetFrame(clump, root);
    model->clump = clump;
    root->modelling.flags &= gxMATRIXTYPEORTHONORMAL;
    return AddAtomic(clump, root, geometry);
}

bool AddDummy(ContentModel* model, GxV3d position, const char* tag)
{
    GxFrame* root = static_cast<GxFrame*>(model->clump->object.parent);
    GxFrame* frame = GxFrameCreate();
    GxMaterial* material = PlainMaterial({255, 255, 255, 255});
    if (!frame || !material) {
        if (frame) {
            GxFrameDestroy(frame);
        }
        Drop({material});
        return false;
    }
    GxFrameAddChild(root, frame);
    GxFrameTranslate(frame, &position, gxCOMBINEREPLACE);
    frame->modelling.flags &= gxMATRIXTYPEORTHONORMAL;
    ContentWorldMesh mesh;
    AddBoxQuads(&mesh, {0, 0, 0}, {kDummyHalf, kDummyHalf, kDummyHalf}, 0);
    GxGeometry* geometry = ContentMeshGeometry(mesh, kPlainFlags, &material, 1);
    Drop({material});
    GxUserDataArray* data = GxFrameAddUserDataArray(frame, "tag", gxUSERDATASTRING, 1);
    return data && GxUserDataArraySetString(data, 0, tag) && AddAtomic(model->clump, frame, geometry);
}

}  // namespace content_parts

namespace {

using namespace content_parts;

// ---- 3. recipes ----

// A floor tile: a thin 2 x 2 slab wearing the tile's picture.
bool FloorTile(ContentModel* model, GxInt32 tile)
{
    const std::string name = std::string("floor_") + kTileStems[tile];
    GxMaterial* material =
        TexturedMaterial(model, name.c_str(), TilePixels(tile), kContentFloorTileSize, {255, 255, 255, 255});
    if (!material) {
        return false;
    }
    const GxReal h = kCell * 0.5f;
    GxGeometry* geometry =
        ContentBoxGeometry({{{0, kTileThickness * 0.5f, 0}, {h, kTileThickness * 0.5f, h}, 0}}, &material, 1, 0);
    Drop({material});
    return Assemble(model, geometry);
}

// The placement box: a 1 x 1 x 1 untextured box standing on the floor, translucent so the ghost colour shows.
bool PlacementBox(ContentModel* model)
{
    GxMaterial* material = PlainMaterial({255, 255, 255, kGhostAlpha});
    if (!material) {
        return false;
    }
    ContentWorldMesh mesh;
    AddBoxQuads(&mesh, {0, 0.5f, 0}, {0.5f, 0.5f, 0.5f}, 0);
    GxGeometry* geometry = ContentMeshGeometry(mesh, kPlainFlags, &material, 1);
    Drop({material});
    return Assemble(model, geometry);
}

enum Side {
    kSouth,
    kWest,
    kNorth,
    kEast
};

// The box of a slab of `thickness` along one side of the centred 2 x 2 cell (S +z, W -x, N -z, E +x).
ContentBox SideSlab(Side side, GxReal height, GxReal thickness)
{
    const GxReal h = kCell * 0.5f, t = thickness * 0.5f, inset = h - t;
    switch (side) {
    case kSouth:
        return {{0, height * 0.5f, inset}, {h, height * 0.5f, t}, 0};
    case kWest:
        return {{-inset, height * 0.5f, 0}, {t, height * 0.5f, h}, 0};
    case kNorth:
        return {{0, height * 0.5f, -inset}, {h, height * 0.5f, t}, 0};
    default:
        return {{inset, height * 0.5f, 0}, {t, height * 0.5f, h}, 0};
    }
}

bool BoxesModel(ContentModel* model, const char* texture, const Pixels& pixels, const std::vector<ContentBox>& boxes)
{
    GxMaterial* material = TexturedMaterial(model, texture, pixels, kModelTextureSize, {255, 255, 255, 255});
    if (!material) {
        return false;
    }
    GxGeometry* geometry = ContentBoxGeometry(boxes, &material, 1, 0);
    Drop({material});
    return Assemble(model, geometry);
}

// The box of a slab of `thickness` centred on one side of the centred 2 x 2 cell (S +z, W -x, N -z, E +x), so
// that it straddles the edge shared with the neighbouring cell.
ContentBox EdgeSlab(Side side, GxReal height, GxReal thickness)
{
    const GxReal h = kCell * 0.5f, t = thickness * 0.5f;
    switch (side) {
    case kSouth:
        return {{0, height * 0.5f, h}, {h, height * 0.5f, t}, 0};
    case kWest:
        return {{-h, height * 0.5f, 0}, {t, height * 0.5f, h}, 0};
    case kNorth:
        return {{0, height * 0.5f, -h}, {h, height * 0.5f, t}, 0};
    default:
        return {{h, height * 0.5f, 0}, {t, height * 0.5f, h}, 0};
    }
}

Side Opposite(Side side) { return static_cast<Side>((side + 2) % 4); }

// A wall piece stands on the cell beyond the laid floor and is named after the side of the room it closes: its
// slab runs along the edge it shares with the floor, the cell's side opposite its name. Centred on that edge,
// the slabs of two sides meeting at a corner overlap there. The east and west walls are the ones the door-gap
// pieces stand on, which no door takes: they are brick, so the player sees which walls take a door (plaster).
bool WallPiece(ContentModel* model, Side side)
{
    const ContentBox slab = EdgeSlab(Opposite(side), kWallHeight, kWallThickness);
    if (side == kEast || side == kWest)
        return BoxesModel(model, "wall_brick", BrickPixels(), {slab});
    return BoxesModel(model, "wall_plaster", PlasterPixels(), {slab});
}

bool Balcony(ContentModel* model, Side side)
{
    return BoxesModel(model, "balcony_rail", RailPixels(), {SideSlab(side, kRailHeight, kRailThickness)});
}

// The door-gap piece: two posts and a lintel along the +z edge, leaving a doorway; it stands on the brick walls'
// cells and on a door's, turned so that this edge is the one shared with the floor, and lines up with the walls.
bool DoorGapPiece(ContentModel* model)
{
    const GxReal h = kCell * 0.5f, t = kWallThickness * 0.5f, post = kPostWidth * 0.5f;
    const GxReal lintel = kWallHeight - kDoorwayHeight;
    const std::vector<ContentBox> boxes = {
        {{-h + post, kWallHeight * 0.5f, h}, {post, kWallHeight * 0.5f, t}, 0},
        {{h - post, kWallHeight * 0.5f, h}, {post, kWallHeight * 0.5f, t}, 0},
        {{0, kDoorwayHeight + lintel * 0.5f, h}, {h - kPostWidth, lintel * 0.5f, t}, 0},
    };
    return BoxesModel(model, "wall_brick", BrickPixels(), boxes);
}

// The unused tenth piece: a low kerb round the cell.
bool SparePiece(ContentModel* model)
{
    constexpr GxReal kKerb = 0.1f;
    std::vector<ContentBox> boxes;
    for (Side side : {kSouth, kWest, kNorth, kEast}) {
        boxes.push_back(SideSlab(side, kKerb, kKerb));
    }
    return BoxesModel(model, "wall_plaster", PlasterPixels(), boxes);
}

// The ground under the grid: one up-facing quad from (-10, 0, 10) to (138, 0, -138).
bool Ground(ContentModel* model)
{
    GxMaterial* material =
        TexturedMaterial(model, "ground_paving", PavingPixels(), kModelTextureSize, {255, 255, 255, 255});
    if (!material) {
        return false;
    }
    ContentWorldMesh mesh;
    const GxReal nearX = kGroundNear, farX = kGroundFar, nearZ = -kGroundNear, farZ = -kGroundFar;
    AddFacingQuad(&mesh, {nearX, 0, nearZ}, {farX, 0, nearZ}, {farX, 0, farZ}, {nearX, 0, farZ}, {0, 1, 0}, 0,
                  kGroundRepeat);
    GxGeometry* geometry = ContentMeshGeometry(mesh, kLitFlags, &material, 1);
    Drop({material});
    return Assemble(model, geometry);
}

// The selection ring: a flat yellow band of radius 0.8 just above the floor.
bool SelectionRing(ContentModel* model)
{
    GxMaterial* material = PlainMaterial({255, 220, 40, kRingAlpha});
    if (!material) {
        return false;
    }
    ContentWorldMesh mesh;
    const GxReal inner = kRingRadius - kRingWidth * 0.5f, outer = kRingRadius + kRingWidth * 0.5f;
    for (GxInt32 s = 0; s < kRingSegments; s++) {
        const GxReal a0 = 2.0f * kPi * static_cast<GxReal>(s) / kRingSegments;
        const GxReal a1 = 2.0f * kPi * static_cast<GxReal>(s + 1) / kRingSegments;
        auto at = [](GxReal radius, GxReal angle) {
            return GxV3d{radius * std::cos(angle), kRingHeight, radius * std::sin(angle)};
        };
        AddFacingQuad(&mesh, at(inner, a0), at(outer, a0), at(outer, a1), at(inner, a1), {0, 1, 0}, 0, 1.0f);
    }
    GxGeometry* geometry = ContentMeshGeometry(mesh, kPlainFlags, &material, 1);
    Drop({material});
    return Assemble(model, geometry);
}

// Debris piece k (1-10): a few small boxes of litter, each piece inside a cube of side 0.5 on the floor.
bool Debris(ContentModel* model, GxInt32 k)
{
    const GxRGBA colours[3] = {{200, 195, 180, 255}, {90, 110, 60, 255}, {150, 60, 40, 255}};
    GxMaterial* materials[3] = {PlainMaterial(colours[0]), PlainMaterial(colours[1]), PlainMaterial(colours[2])};
    if (!materials[0] || !materials[1] || !materials[2]) {
        Drop({materials[0], materials[1], materials[2]});
        return false;
    }
    ContentWorldMesh mesh;
    const GxInt32 bits = 2 + k % 3;
    const GxReal reach = kDebrisLimit * 0.5f;
    for (GxInt32 b = 0; b < bits; b++) {
        const auto seed = static_cast<std::uint32_t>(k * 16 + b);
        const GxReal sx = 0.03f + 0.07f * static_cast<GxReal>(Noise(b, 1, seed) % 100) / 100.0f;
        const GxReal sy = 0.01f + 0.04f * static_cast<GxReal>(Noise(b, 2, seed) % 100) / 100.0f;
        const GxReal sz = 0.03f + 0.07f * static_cast<GxReal>(Noise(b, 3, seed) % 100) / 100.0f;
        const GxReal x = (reach - sx) * (static_cast<GxReal>(Noise(b, 4, seed) % 200) / 100.0f - 1.0f);
        const GxReal z = (reach - sz) * (static_cast<GxReal>(Noise(b, 5, seed) % 200) / 100.0f - 1.0f);
        AddBoxQuads(&mesh, {x, sy, z}, {sx, sy, sz}, static_cast<GxUInt16>((k + b) % 3));
    }
    GxGeometry* geometry = ContentMeshGeometry(mesh, kPlainFlags, materials, 3);
    Drop({materials[0], materials[1], materials[2]});
    return Assemble(model, geometry);
}

const char* const kWallNames[4] = {"wallS", "wallW", "wallN", "wallE"};
const char* const kBalconyNames[4] = {"balcS", "balcW", "balcN", "balcE"};

const RecipeList& Recipes()
{
    static const RecipeList recipes = [] {
        RecipeList list;
        for (GxInt32 t = 0; t < kContentFloorTileCount; t++) {
            list.emplace_back("./models/floor/tile" + std::to_string(t) + ".gxs",
                              [t](ContentModel* m) { return FloorTile(m, t); });
        }
        ContentAddBuildingRecipes(&list);
        list.emplace_back("./models/aux/box.gxs", PlacementBox);
        for (GxInt32 s = 0; s < 4; s++) {
            list.emplace_back(std::string("./models/aux/") + kWallNames[s] + ".gxs",
                              [s](ContentModel* m) { return WallPiece(m, static_cast<Side>(s)); });
        }
        list.emplace_back("./models/aux/wallNE.gxs", DoorGapPiece);
        for (GxInt32 s = 0; s < 4; s++) {
            list.emplace_back(std::string("./models/aux/") + kBalconyNames[s] + ".gxs",
                              [s](ContentModel* m) { return Balcony(m, static_cast<Side>(s)); });
        }
        list.emplace_back("./models/aux/spare10.gxs", SparePiece);
        list.emplace_back("./models/misc/ground.gxs", Ground);
        list.emplace_back("./models/people/select.gxs", SelectionRing);
        for (GxInt32 k = 1; k <= kDebrisCount; k++) {
            list.emplace_back("./models/misc/debris" + std::to_string(k) + ".gxs",
                              [k](ContentModel* m) { return Debris(m, k); });
        }
        return list;
    }();
    return recipes;
}

}  // namespace

// ---- 4. the writer ----

using content_parts::Clamp;
using content_parts::kTileStems;
using content_parts::MakePng;
using content_parts::Paint;
using content_parts::TilePixels;

const char* ContentFloorTileStem(GxInt32 tile)
{
    return tile >= 0 && tile < kContentFloorTileCount ? kTileStems[tile] : nullptr;
}

ContentPngImage ContentFloorTileImage(GxInt32 tile) { return MakePng(TilePixels(tile), kContentFloorTileSize); }

ContentPngImage ContentParticleImage()
{
    const GxReal centre = (kParticleSize - 1) * 0.5f;
    return MakePng(Paint(kParticleSize,
                         [centre](GxInt32 x, GxInt32 y) {
                             const GxReal d = std::hypot(x - centre, y - centre) / centre;
                             const GxReal alpha = d >= 1.0f ? 0.0f : (1.0f - d) * (1.0f - d);
                             return GxRGBA{255, 255, 255, Clamp(static_cast<GxInt32>(alpha * 255.0f))};
                         }),
                   kParticleSize);
}

ContentModel::~ContentModel()
{
    if (clump) {
        GxClumpDestroy(clump);
    }
    for (GxImage* image : images) {
        GxImageDestroy(image);
    }
}

const std::vector<std::string>& ContentObjectModelPaths()
{
    static const std::vector<std::string> paths = [] {
        std::vector<std::string> list;
        for (const auto& recipe : Recipes()) {
            list.push_back(recipe.first);
        }
        return list;
    }();
    return paths;
}

bool ContentObjectModelCreate(const std::string& path, ContentModel* model)
{
    for (const auto& recipe : Recipes()) {
        if (recipe.first == path) {
            return recipe.second(model) && model->clump != nullptr;
        }
    }
    return false;
}

bool ContentWriteObjectModels(const std::string& out, std::string* detail)
{
    const fs::path root(out);
    std::error_code error;
    fs::create_directories(root / "images" / "floors", error);
    fs::create_directories(root / "data" / "images", error);
    for (GxInt32 t = 0; t < kContentFloorTileCount && !error; t++) {
        const fs::path file = root / "images" / "floors" / (std::string(kTileStems[t]) + ".png");
        if (!ContentWritePng(file.string().c_str(), ContentFloorTileImage(t))) {
            *detail = file.string();
            return false;
        }
    }
    const fs::path particle = root / "data" / "images" / "particle.png";
    if (error || !ContentWritePng(particle.string().c_str(), ContentParticleImage())) {
        *detail = particle.string();
        return false;
    }
    for (const std::string& path : ContentObjectModelPaths()) {
        const fs::path file = root / path.substr(2);  // past "./"
        fs::create_directories(file.parent_path(), error);
        ContentModel model;
        if (error || !ContentObjectModelCreate(path, &model) ||
            !ContentModelFileWrite(file.string().c_str(), model.textures, model.clump, model.slots)) {
            *detail = file.string();
            return false;
        }
    }
    return true;
}
