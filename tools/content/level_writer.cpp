// The city levels: textures, the world's plaza, streets, blocks and landmark, the sky box, the objects model,
// spawn splines, the fountain prop with its animated water, and the files that hold them.
//
// Sections: pictures; world mesh; clumps; spawn paths; files.
#include "tools/content/level_writer.h"

#include <cstring>
#include <filesystem>
#include <functional>

#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/testsupport/png_writer.h"
#include "gfx/world/userdata.h"
#include "tools/content/clump_writer.h"
#include "tools/content/content_file.h"
#include "tools/content/fx_writer.h"
#include "tools/content/spline_writer.h"
#include "tools/content/texdict_writer.h"

namespace {

constexpr GxInt32 kTextureSize = 64;
constexpr GxInt32 kTileBorder = 2;       // pixels of the darker joint round each ground tile
constexpr GxInt32 kPavingBand = 8;       // cells between the plaza's bands of dark tiles
constexpr GxReal kFacadeRepeat = 8.0f;   // units of wall one facade picture covers
constexpr GxReal kStreetRepeat = 16.0f;  // units of street one picture covers
constexpr GxReal kStreetWidth = 20.0f;   // between the grid and the first blocks
constexpr GxReal kBlockDepth = 24.0f;
constexpr GxReal kBlockWidth = 28.0f;
constexpr GxReal kBlockGap = 6.0f;
constexpr GxReal kAvenueHalf = 8.0f;  // half the width of the avenue in the middle of each side
constexpr GxReal kBlockBaseHeight = 10.0f;
constexpr GxReal kBlockStoreyHeight = 4.0f;
constexpr GxInt32 kBlockStoreyKinds = 4;
constexpr GxUInt8 kSideShade = 190;  // prelit brightness of walls (roofs are full)
constexpr GxInt32 kSectorTriangles = 256;
constexpr GxReal kAmbientGrey = 0.45f;
constexpr GxReal kDirectionalGrey = 0.8f;
constexpr GxReal kSunPitch = 60.0f;
constexpr GxReal kSunTurn = 45.0f;
constexpr GxUInt32 kLevelFlags = gxGEOMETRYPOSITIONS | gxGEOMETRYTEXTURED | gxGEOMETRYPRELIT | gxGEOMETRYNORMALS;
constexpr GxUInt32 kSkyFlags = gxGEOMETRYPOSITIONS | gxGEOMETRYTEXTURED | gxGEOMETRYPRELIT;
constexpr GxUInt32 kTileFilter = 0x1106;  // filter 6, wrap in U and V
constexpr GxUInt32 kSkyFilter = 0x2206;   // filter 6, clamp in U and V: no seams at the cube's edges
constexpr GxReal kPlaceholderHalf = 0.05f;
constexpr GxReal kWaterFrameMs = 150.0f;
constexpr GxInt32 kSplineOpen = 1;
// Where the landmark and the fountain stand: across the streets, in view of the start camera.
constexpr GxV3d kLandmarkAt = {190.0f, 0.0f, -190.0f};
constexpr GxV3d kFountainAt = {40.0f, 0.0f, 11.0f};  // beside the south avenue, not on its spawn path

const char* const kFolders[CONTENTCITIES] = {"London", "Paris", "Berlin"};
const char* const kStems[CONTENTCITIES] = {"london", "paris", "berlin"};
const char* const kNames[CONTENTLEVELMATERIALS] = {"ground_light", "ground_dark", "street",
                                                   "facade",       "roof",        "landmark"};
// Per city: London grey with red brick, Paris cream, Berlin concrete.
const GxRGBA kColours[CONTENTCITIES][CONTENTLEVELMATERIALS] = {
    {{200, 190, 170, 255},
     {90, 90, 110, 255},
     {70, 70, 76, 255},
     {168, 72, 58, 255},
     {80, 80, 88, 255},
     {196, 170, 110, 255}},
    {{214, 204, 180, 255},
     {120, 110, 96, 255},
     {84, 80, 78, 255},
     {226, 212, 178, 255},
     {96, 104, 120, 255},
     {120, 96, 70, 255}},
    {{186, 186, 182, 255},
     {96, 100, 104, 255},
     {66, 68, 70, 255},
     {150, 150, 146, 255},
     {70, 74, 78, 255},
     {200, 200, 210, 255}},
};
const GxRGBA kSkyTop = {60, 100, 180, 255};
const GxRGBA kSkyHorizon = {190, 210, 235, 255};
const GxRGBA kWindow = {50, 60, 80, 255};
const GxRGBA kStone = {170, 165, 155, 255};
const GxRGBA kWater = {40, 110, 190, 255};

// ---- Pictures ----

typedef std::function<GxRGBA(GxInt32 x, GxInt32 y)> Painter;

GxUInt8 Mix(GxUInt8 a, GxUInt8 b, GxReal t) { return static_cast<GxUInt8>(a + (b - a) * t + 0.5f); }

GxRGBA Shade(GxRGBA c, GxReal k)
{
    return {static_cast<GxUInt8>(c.red * k), static_cast<GxUInt8>(c.green * k), static_cast<GxUInt8>(c.blue * k),
            c.alpha};
}

GxImage* PaintImage(const Painter& paint)
{
    GxImage* image = GxImageCreate(kTextureSize, kTextureSize, 32);
    if (!image || !GxImageAllocatePixels(image)) {
        GxImageDestroy(image);
        return nullptr;
    }
    for (GxInt32 y = 0; y < kTextureSize; y++) {
        for (GxInt32 x = 0; x < kTextureSize; x++) {
            const GxRGBA c = paint(x, y);
            GxUInt8* p = image->pixels + y * image->stride + x * 4;
            p[0] = c.red, p[1] = c.green, p[2] = c.blue, p[3] = c.alpha;
        }
    }
    return image;
}

// A small fixed scatter, so that street and stone are not flat and every run paints the same.
GxReal Grain(GxInt32 x, GxInt32 y)
{
    const GxUInt32 h = static_cast<GxUInt32>(x) * 73856093u ^ static_cast<GxUInt32>(y) * 19349663u;
    return 0.92f + 0.08f * static_cast<GxReal>((h >> 7) % 100) / 100.0f;
}

Painter MaterialPainter(GxInt32 material, GxRGBA colour)
{
    switch (material) {
    case CONTENTLEVELTILELIGHT:
    case CONTENTLEVELTILEDARK:
        return [colour](GxInt32 x, GxInt32 y) {
            const bool joint = x < kTileBorder || y < kTileBorder || x >= kTextureSize - kTileBorder ||
                               y >= kTextureSize - kTileBorder;
            return joint ? Shade(colour, 0.8f) : colour;
        };
    case CONTENTLEVELFACADE:
        // Two storeys of two windows per picture.
        return [colour](GxInt32 x, GxInt32 y) {
            const GxInt32 half = kTextureSize / 2;
            const GxInt32 u = x % half, v = y % half;
            const bool window = u >= 8 && u < half - 8 && v >= 6 && v < half - 10;
            return window ? kWindow : colour;
        };
    case CONTENTLEVELSTREET:
    case CONTENTLEVELROOF:
    case CONTENTLEVELLANDMARK:
    default:
        return [colour](GxInt32 x, GxInt32 y) { return Shade(colour, Grain(x, y)); };
    }
}

GxRGBA SkyAt(GxInt32, GxInt32 y)
{
    const GxReal t = static_cast<GxReal>(y) / (kTextureSize - 1);
    return {Mix(kSkyTop.red, kSkyHorizon.red, t), Mix(kSkyTop.green, kSkyHorizon.green, t),
            Mix(kSkyTop.blue, kSkyHorizon.blue, t), 255};
}

// Frame k of the fountain's water: light ripple lines that move a quarter of their spacing per frame.
ContentPngImage WaterFrame(GxInt32 frame)
{
    constexpr GxInt32 kRippleSpacing = 16;
    constexpr GxInt32 kRippleWidth = 3;
    const GxRGBA ripple = {150, 200, 240, 255};
    ContentPngImage image;
    image.width = kTextureSize;
    image.height = kTextureSize;
    image.colourType = PNG_COLOR_TYPE_RGB;
    for (GxInt32 y = 0; y < kTextureSize; y++) {
        for (GxInt32 x = 0; x < kTextureSize; x++) {
            const GxInt32 phase = (x + y + frame * kRippleSpacing / gxCONTENTLEVELWATERFRAMES) % kRippleSpacing;
            const GxRGBA c = phase < kRippleWidth ? ripple : kWater;
            image.rows.insert(image.rows.end(), {c.red, c.green, c.blue});
        }
    }
    return image;
}

// ---- World mesh ----

// A face of a box: outward normal and the two axes across it, with U x V = normal.
struct Face {
    GxV3d normal, u, v;
};
constexpr GxInt32 kFaces = 6;
const Face kBoxFaces[kFaces] = {
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
};
constexpr GxInt32 kTopFace = 2;
constexpr GxInt32 kBottomFace = 3;

GxReal Dot(const GxV3d& a, const GxV3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
GxReal AbsDot(const GxV3d& a, const GxV3d& b)
{
    const GxReal d = Dot(a, b);
    return d < 0 ? -d : d;
}

// A quad of explicit corners (counter-clockwise from its front) and coordinates.
void AddQuad(ContentWorldMesh* mesh, const GxV3d corners[4], const GxTexCoords uv[4], const GxV3d& normal,
             GxRGBA colour, GxUInt16 material, bool inward)
{
    const auto first = static_cast<GxUInt16>(mesh->positions.size());
    for (GxInt32 i = 0; i < 4; i++) {
        mesh->positions.push_back(corners[i]);
        mesh->normals.push_back(inward ? GxV3d{-normal.x, -normal.y, -normal.z} : normal);
        mesh->prelit.push_back(colour);
        mesh->uv.push_back(uv[i]);
    }
    const GxUInt16 b = first, c = static_cast<GxUInt16>(first + 1), d = static_cast<GxUInt16>(first + 2),
                   e = static_cast<GxUInt16>(first + 3);
    if (inward) {
        mesh->triangles.push_back(GxTriangle{{b, d, c}, material});
        mesh->triangles.push_back(GxTriangle{{b, e, d}, material});
    } else {
        mesh->triangles.push_back(GxTriangle{{b, c, d}, material});
        mesh->triangles.push_back(GxTriangle{{b, d, e}, material});
    }
}

// One face of the box lo..hi; coordinates repeat every `repeat` units (0: the picture once across the face).
void AddBoxFace(ContentWorldMesh* mesh, GxV3d lo, GxV3d hi, GxInt32 f, GxRGBA colour, GxUInt16 material, GxReal repeat,
                bool inward)
{
    const Face& face = kBoxFaces[f];
    const GxV3d centre = {(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    const GxV3d half = {(hi.x - lo.x) * 0.5f, (hi.y - lo.y) * 0.5f, (hi.z - lo.z) * 0.5f};
    const GxReal n = AbsDot(face.normal, half), hu = AbsDot(face.u, half), hv = AbsDot(face.v, half);
    GxV3d corners[4];
    const GxReal su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
    for (GxInt32 i = 0; i < 4; i++) {
        corners[i] = {centre.x + face.normal.x * n + face.u.x * hu * su[i] + face.v.x * hv * sv[i],
                      centre.y + face.normal.y * n + face.u.y * hu * su[i] + face.v.y * hv * sv[i],
                      centre.z + face.normal.z * n + face.u.z * hu * su[i] + face.v.z * hv * sv[i]};
    }
    const GxReal us = repeat > 0 ? 2 * hu / repeat : 1.0f, vs = repeat > 0 ? 2 * hv / repeat : 1.0f;
    // Picture row 0 at the face's top.
    const GxTexCoords uv[4] = {{0, vs}, {us, vs}, {us, 0}, {0, 0}};
    AddQuad(mesh, corners, uv, face.normal, colour, material, inward);
}

// A building: walls shaded, roof in full light, no floor.
void AddBuilding(ContentWorldMesh* mesh, GxV3d lo, GxV3d hi, GxUInt16 wall, GxUInt16 roof)
{
    const GxRGBA side = {kSideShade, kSideShade, kSideShade, 255};
    const GxRGBA top = {255, 255, 255, 255};
    for (GxInt32 f = 0; f < kFaces; f++) {
        if (f == kBottomFace)
            continue;
        if (f == kTopFace)
            AddBoxFace(mesh, lo, hi, f, top, roof, kFacadeRepeat, false);
        else
            AddBoxFace(mesh, lo, hi, f, side, wall, kFacadeRepeat, false);
    }
}

void AddFlat(ContentWorldMesh* mesh, GxReal x0, GxReal z0, GxReal x1, GxReal z1, GxReal y, GxUInt16 material,
             GxReal repeat)
{
    AddBoxFace(mesh, GxV3d{x0, y, z0}, GxV3d{x1, y, z1}, kTopFace, GxRGBA{255, 255, 255, 255}, material, repeat, false);
}

// A row of blocks along one axis from `from` to `to`, leaving the avenue round `middle` open.
void AddBlockRow(ContentWorldMesh* mesh, bool alongX, GxReal from, GxReal to, GxReal middle, GxReal nearSide,
                 GxReal farSide, GxInt32 seed)
{
    GxInt32 k = seed;
    for (GxReal a = from; a + kBlockWidth <= to; a += kBlockWidth + kBlockGap, k++) {
        const GxReal b = a + kBlockWidth;
        if (b > middle - kAvenueHalf && a < middle + kAvenueHalf)
            continue;
        const GxReal h = kBlockBaseHeight + kBlockStoreyHeight * static_cast<GxReal>((k * 7) % kBlockStoreyKinds);
        const GxReal lo = nearSide < farSide ? nearSide : farSide, hi = nearSide < farSide ? farSide : nearSide;
        if (alongX)
            AddBuilding(mesh, GxV3d{a, 0, lo}, GxV3d{b, h, hi}, CONTENTLEVELFACADE, CONTENTLEVELROOF);
        else
            AddBuilding(mesh, GxV3d{lo, 0, -b}, GxV3d{hi, h, -a}, CONTENTLEVELFACADE, CONTENTLEVELROOF);
    }
}

// The city's landmark: a clock tower, a lattice tower or a needle with its sphere, all of boxes.
void AddLandmark(ContentWorldMesh* mesh, GxInt32 city)
{
    const GxV3d c = kLandmarkAt;
    struct Part {
        GxReal half, y0, y1;
    };
    std::vector<Part> parts;
    if (city == CONTENTCITYPARIS)
        parts = {{10, 0, 18}, {6, 18, 36}, {3.5f, 36, 56}, {1.5f, 56, 76}, {0.5f, 76, 84}};
    else if (city == CONTENTCITYBERLIN)
        parts = {{3, 0, 8}, {1.5f, 8, 60}, {5, 60, 68}, {0.5f, 68, 90}};
    else
        parts = {{5, 0, 40}, {6, 40, 48}, {3.5f, 48, 58}, {1, 58, 64}};
    for (const Part& p : parts) {
        AddBuilding(mesh, GxV3d{c.x - p.half, p.y0, c.z - p.half}, GxV3d{c.x + p.half, p.y1, c.z + p.half},
                    CONTENTLEVELLANDMARK, CONTENTLEVELLANDMARK);
    }
}

// ---- Clumps ----

GxMaterial* NamedMaterial(const char* textureName)
{
    GxMaterial* material = GxMaterialCreate();
    if (!material || !textureName)
        return material;
    GxRaster* raster = GxRasterCreate(kTextureSize, kTextureSize, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxTexture* named = raster ? GxTextureCreate(raster) : nullptr;
    if (named) {
        GxTextureSetName(named, textureName);
        GxMaterialSetTexture(material, named);
        GxTextureDestroy(named);
    }
    return material;
}

// Puts the geometry on a new atomic whose frame, a child of the clump's root, stands at `at`; the clump takes
// the geometry's reference. The frame is returned for its tag, or null on failure.
GxFrame* AddAtomic(GxClump* clump, GxGeometry* geometry, GxV3d at)
{
    GxFrame* root = static_cast<GxFrame*>(clump->object.parent);
    GxAtomic* atomic = geometry ? GxAtomicCreate() : nullptr;
    GxFrame* frame = atomic ? GxFrameCreate() : nullptr;
    if (!frame) {
        if (atomic)
            GxAtomicDestroy(atomic);
        if (geometry)
            GxGeometryDestroy(geometry);
        return nullptr;
    }
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    GxFrameTranslate(frame, &at, gxCOMBINEREPLACE);
    GxFrameAddChild(root, frame);
    GxAtomicSetFrame(atomic, frame);
    GxClumpAddAtomic(clump, atomic);
    return frame;
}

bool Tag(GxFrame* frame, const char* text)
{
    GxUserDataArray* tag = frame ? GxFrameAddUserDataArray(frame, "tag", gxUSERDATASTRING, 1) : nullptr;
    return tag && GxUserDataArraySetString(tag, 0, text);
}

GxClump* NewClump()
{
    GxClump* clump = GxClumpCreate();
    GxFrame* root = clump ? GxFrameCreate() : nullptr;
    if (!root) {
        if (clump)
            GxClumpDestroy(clump);
        return nullptr;
    }
    GxClumpSetFrame(clump, root);
    return clump;
}

// The sky box: a cube round the origin, seen from inside, in full prelit light.
GxClump* SkyClump(GxMaterial* sky)
{
    GxClump* clump = NewClump();
    if (!clump)
        return nullptr;
    ContentWorldMesh mesh;
    const GxReal h = gxCONTENTLEVELSKYHALF;
    for (GxInt32 f = 0; f < kFaces; f++)
        AddBoxFace(&mesh, GxV3d{-h, -h, -h}, GxV3d{h, h, h}, f, GxRGBA{255, 255, 255, 255}, 0, 0.0f, true);
    if (!AddAtomic(clump, ContentMeshGeometry(mesh, kSkyFlags, &sky, 1), GxV3d{0, 0, 0})) {
        GxClumpDestroy(clump);
        return nullptr;
    }
    return clump;
}

// The objects model: the lights, then one tiny tagged box per placeholder.
GxClump* ObjectsClump(GxInt32 city, GxMaterial* marker)
{
    GxClump* clump = ContentLevelLightsClump();
    if (!clump)
        return nullptr;
    GxMaterial* const materials[1] = {marker};
    for (const ContentPlaceholder& placeholder : ContentLevelPlaceholders(city)) {
        const std::vector<ContentBox> box = {{{0, 0, 0}, {kPlaceholderHalf, kPlaceholderHalf, kPlaceholderHalf}, 0}};
        if (!Tag(AddAtomic(clump, ContentBoxGeometry(box, materials, 1, 0), placeholder.position),
                 placeholder.text.c_str())) {
            GxClumpDestroy(clump);
            return nullptr;
        }
    }
    return clump;
}

// The fountain: a stone basin and, on a frame tagged for the animated water, the water's surface.
GxClump* FountainClump(GxMaterial* stone, GxMaterial* water)
{
    GxClump* clump = NewClump();
    if (!clump)
        return nullptr;
    GxMaterial* const basinMaterials[1] = {stone};
    GxMaterial* const waterMaterials[1] = {water};
    const std::vector<ContentBox> basin = {{{0, 0.25f, -1.4f}, {1.5f, 0.25f, 0.1f}, 0},
                                           {{0, 0.25f, 1.4f}, {1.5f, 0.25f, 0.1f}, 0},
                                           {{-1.4f, 0.25f, 0}, {0.1f, 0.25f, 1.3f}, 0},
                                           {{1.4f, 0.25f, 0}, {0.1f, 0.25f, 1.3f}, 0},
                                           {{0, 0.6f, 0}, {0.2f, 0.6f, 0.2f}, 0}};
    const std::vector<ContentBox> surface = {{{0, 0, 0}, {1.3f, 0.02f, 1.3f}, 0}};
    const bool ok = AddAtomic(clump, ContentBoxGeometry(basin, basinMaterials, 1, 0), GxV3d{0, 0, 0}) &&
                    Tag(AddAtomic(clump, ContentBoxGeometry(surface, waterMaterials, 1, 0), GxV3d{0, 0.4f, 0}),
                        gxCONTENTLEVELWATERTAG);
    if (!ok) {
        GxClumpDestroy(clump);
        return nullptr;
    }
    return clump;
}

// ---- Files ----

struct Pictures {
    std::vector<GxImage*> images;
    ~Pictures()
    {
        for (GxImage* image : images)
            GxImageDestroy(image);
    }
    bool Add(std::vector<ContentImageTexture>* textures, const char* name, GxUInt32 filter, const Painter& paint)
    {
        GxImage* image = PaintImage(paint);
        if (!image)
            return false;
        images.push_back(image);
        ContentImageTexture texture;
        texture.name = name;
        texture.levels = {image};
        texture.filterAddressing = filter;
        textures->push_back(texture);
        return true;
    }
};

struct Materials {
    std::vector<GxMaterial*> list;
    ~Materials()
    {
        for (GxMaterial* material : list)
            GxMaterialDestroy(material);
    }
    GxMaterial* Add(GxMaterial* material)
    {
        list.push_back(material);
        return material;
    }
};

struct Clumps {
    std::vector<GxClump*> list;
    ~Clumps()
    {
        for (GxClump* clump : list)
            if (clump)
                GxClumpDestroy(clump);
    }
    GxClump* Add(GxClump* clump)
    {
        list.push_back(clump);
        return clump;
    }
};

bool WriteGroup(GxStream* stream, const char* name, const std::vector<GxUInt8>& bytes)
{
    return ContentChunkGroupStartWrite(stream, name) &&
           GxStreamWrite(stream, bytes.data(), static_cast<GxUInt32>(bytes.size())) &&
           ContentChunkGroupEndWrite(stream);
}

const char* const kWaterTexture = "ANIM_water99";  // apart from the frames' names, so no frame finds it
const char* const kStoneTexture = "fountain_stone";

bool WriteFountain(const std::filesystem::path& dir)
{
    Pictures pictures;
    std::vector<ContentImageTexture> textures;
    if (!pictures.Add(&textures, kStoneTexture, kTileFilter, MaterialPainter(CONTENTLEVELSTREET, kStone)) ||
        !pictures.Add(&textures, kWaterTexture, kTileFilter, [](GxInt32, GxInt32) { return kWater; })) {
        return false;
    }
    Materials materials;
    Clumps clumps;
    GxMaterial* stone = materials.Add(NamedMaterial(kStoneTexture));
    GxMaterial* water = materials.Add(NamedMaterial(kWaterTexture));
    GxClump* clump = stone && water ? clumps.Add(FountainClump(stone, water)) : nullptr;
    const std::string file = (dir / "fountain.gxs").string();
    if (!clump || !ContentModelFileWrite(file.c_str(), textures, clump))
        return false;
    const std::filesystem::path ani = dir / "ani";
    std::error_code error;
    std::filesystem::create_directories(ani, error);
    if (error)
        return false;
    const std::string ini = "[anim]\nframes=" + std::to_string(gxCONTENTLEVELWATERFRAMES) +
                            "\nms=" + std::to_string(static_cast<GxInt32>(kWaterFrameMs)) + "\n";
    if (!ContentWriteBytes((ani / gxCONTENTLEVELWATERINI).string().c_str(), ini.data(),
                           static_cast<unsigned>(ini.size()))) {
        return false;
    }
    for (GxInt32 k = 0; k < gxCONTENTLEVELWATERFRAMES; k++) {
        const std::string name = std::string("ANIM_water") + (k < 10 ? "0" : "") + std::to_string(k) + ".png";
        const std::vector<uint8_t> png = ContentPngEncode(WaterFrame(k));
        if (png.empty() ||
            !ContentWriteBytes((ani / name).string().c_str(), png.data(), static_cast<unsigned>(png.size()))) {
            return false;
        }
    }
    return true;
}

bool WriteCity(const std::filesystem::path& out, GxInt32 city, std::string* detail)
{
    const std::filesystem::path dir = out / "models" / "levels" / kFolders[city];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        *detail = dir.string();
        return false;
    }
    Pictures pictures;
    std::vector<ContentImageTexture> textures;
    Materials world;
    for (GxInt32 m = 0; m < CONTENTLEVELMATERIALS; m++) {
        if (!pictures.Add(&textures, kNames[m], kTileFilter, MaterialPainter(m, kColours[city][m]))) {
            *detail = kNames[m];
            return false;
        }
        world.Add(NamedMaterial(kNames[m]));
    }
    if (!pictures.Add(&textures, "sky", kSkyFilter, SkyAt)) {
        *detail = "sky";
        return false;
    }
    Materials others;
    Clumps clumps;
    GxMaterial* sky = others.Add(NamedMaterial("sky"));
    GxMaterial* marker = others.Add(NamedMaterial(nullptr));
    GxClump* skyClump = sky ? clumps.Add(SkyClump(sky)) : nullptr;
    GxClump* objects = marker ? clumps.Add(ObjectsClump(city, marker)) : nullptr;
    const std::vector<GxUInt8> worldBytes =
        ContentWorldBytes(ContentLevelMesh(city), ContentLevelPlan(world.list, city));
    const std::vector<GxUInt8> skyBytes = skyClump ? ContentClumpBytes(skyClump) : std::vector<GxUInt8>();
    const std::vector<GxUInt8> objectBytes = objects ? ContentClumpBytes(objects) : std::vector<GxUInt8>();
    const std::vector<ContentSpawnPath> spawns = ContentLevelSpawnPaths();
    const std::string file = (dir / (std::string(kStems[city]) + ".gxs")).string();
    const bool ok = !worldBytes.empty() && !skyBytes.empty() && !objectBytes.empty() &&
                    ContentWriteFile(file.c_str(), [&](GxStream* stream) {
                        bool written =
                            ContentImageDictionaryWrite(stream, textures, CONTENTIMAGEDICTIONARYRECORDS) &&
                            WriteGroup(stream, "skybox", skyBytes) && WriteGroup(stream, "objects", objectBytes) &&
                            GxStreamWrite(stream, worldBytes.data(), static_cast<GxUInt32>(worldBytes.size()));
                        for (const ContentSpawnPath& spawn : spawns) {
                            written = written && ContentChunkGroupStartWrite(stream, spawn.name.c_str()) &&
                                      ContentSplineWrite(stream, spawn.name.c_str(), kSplineOpen, spawn.points.data(),
                                                         static_cast<GxInt32>(spawn.points.size())) &&
                                      ContentChunkGroupEndWrite(stream);
                        }
                        return written;
                    });
    if (!ok) {
        *detail = file;
        return false;
    }
    if (!WriteFountain(dir)) {
        *detail = (dir / "fountain.gxs").string();
        return false;
    }
    return true;
}

}  // namespace

const char* ContentLevelStem(GxInt32 city) { return kStems[city]; }

std::string ContentLevelPath(GxInt32 city)
{
    return std::string("./models/levels/") + kFolders[city] + "/" + kStems[city] + ".gxs";
}

std::string ContentLevelFountainPath(GxInt32 city)
{
    return std::string("./models/levels/") + kFolders[city] + "/fountain.gxs";
}

GxRGBA ContentLevelColour(GxInt32 material, GxInt32 city) { return kColours[city][material]; }
const char* ContentLevelTextureName(GxInt32 material) { return kNames[material]; }

ContentWorldMesh ContentLevelMesh(GxInt32 city)
{
    ContentWorldMesh mesh;
    const GxReal s = gxCONTENTLEVELCELLSIZE;
    const GxReal half = s * 0.5f;
    for (GxInt32 c = 0; c < gxCONTENTLEVELCELLS; c++) {
        for (GxInt32 r = 0; r < gxCONTENTLEVELCELLS; r++) {
            const GxReal x = r * s, z = -c * s;
            // Light paving, crossed by a band of dark tiles every kPavingBand cells.
            const bool band = r % kPavingBand == 0 || c % kPavingBand == 0;
            const auto material = static_cast<GxUInt16>(band ? CONTENTLEVELTILEDARK : CONTENTLEVELTILELIGHT);
            AddFlat(&mesh, x - half, z - half, x + half, z + half, gxCONTENTLEVELPLAZAY, material, s);
        }
    }
    // The grid spans x -1 .. 127 and z 1 .. -127; streets frame it out to the world's edges.
    const GxReal lo = -half, hi = gxCONTENTLEVELCELLS * s - half;
    const GxReal y = gxCONTENTLEVELPLAZAY;
    const ContentWorldPlan plan = ContentLevelPlan({}, city);
    const GxBBox& box = plan.box;
    AddFlat(&mesh, box.inf.x, half, box.sup.x, box.sup.z, y, CONTENTLEVELSTREET, kStreetRepeat);
    AddFlat(&mesh, box.inf.x, box.inf.z, box.sup.x, -hi, y, CONTENTLEVELSTREET, kStreetRepeat);
    AddFlat(&mesh, box.inf.x, -hi, lo, half, y, CONTENTLEVELSTREET, kStreetRepeat);
    AddFlat(&mesh, hi, -hi, box.sup.x, half, y, CONTENTLEVELSTREET, kStreetRepeat);
    // Rows of blocks across a street from each side, each with an avenue in its middle.
    const GxReal middle = (lo + hi) * 0.5f;
    const GxReal nearOff = kStreetWidth, farOff = kStreetWidth + kBlockDepth;
    const GxReal from = lo - farOff, to = hi + farOff;
    AddBlockRow(&mesh, true, from, to, middle, half + nearOff, half + farOff, 0);  // south (+z)
    AddBlockRow(&mesh, true, from, to, middle, -hi - nearOff, -hi - farOff, 1);    // north (-z)
    AddBlockRow(&mesh, false, -half, hi, middle, lo - nearOff, lo - farOff, 2);    // west (-x)
    AddBlockRow(&mesh, false, -half, hi, middle, hi + nearOff, hi + farOff, 3);    // east (+x)
    AddLandmark(&mesh, city);
    return mesh;
}

ContentWorldPlan ContentLevelPlan(const std::vector<GxMaterial*>& materials, GxInt32 city)
{
    // The box reaches well past the blocks so that every object of the level ties to a sector.
    const GxBBox box = {{300, 150, 150}, {-150, -20, -300}};
    // Berlin's world is stored as triangle strips.
    const GxUInt32 flags = kLevelFlags | (city == CONTENTCITYBERLIN ? gxGEOMETRYTRISTRIP : 0);
    return ContentWorldPlan{flags, box, materials, kSectorTriangles};
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

std::vector<ContentPlaceholder> ContentLevelPlaceholders(GxInt32 city)
{
    // The floor's origin is the placeholder less one cell in x and plus one in z: the grid's origin (0, 0, 0).
    return {{gxCONTENTLEVELMAP, GxV3d{gxCONTENTLEVELCELLSIZE * 0.5f, 0, -gxCONTENTLEVELCELLSIZE * 0.5f}},
            {ContentLevelFountainPath(city), kFountainAt}};
}

std::vector<ContentSpawnPath> ContentLevelSpawnPaths()
{
    // Each comes in down the avenue of its side and ends on the centre of cell 3 rows or columns inside the
    // grid's edge, halfway along it. Cell (r, c) has its centre at (2r, 0, -2c).
    const GxReal mid = gxCONTENTLEVELCELLSIZE * (gxCONTENTLEVELCELLS / 2);
    const GxReal inside = gxCONTENTLEVELCELLSIZE * 3;
    const GxReal far = gxCONTENTLEVELCELLSIZE * (gxCONTENTLEVELCELLS - 1 - 3);
    const GxReal edge = gxCONTENTLEVELCELLSIZE * (gxCONTENTLEVELCELLS - 1);
    return {
        {"spawn_1_north", {{mid, 0, -edge - 40}, {mid, 0, -edge - 20}, {mid, 0, -edge - 6}, {mid, 0, -far}}},
        {"spawn_1_south", {{mid, 0, 40}, {mid, 0, 20}, {mid, 0, 6}, {mid, 0, -inside}}},
        {"spawn_1_east", {{edge + 40, 0, -mid}, {edge + 20, 0, -mid}, {edge + 6, 0, -mid}, {far, 0, -mid}}},
        {"spawn_1_west", {{-40, 0, -mid}, {-20, 0, -mid}, {-6, 0, -mid}, {inside, 0, -mid}}},
    };
}

bool ContentWriteLevel(const std::string& out, std::string* detail)
{
    for (GxInt32 city = 0; city < CONTENTCITIES; city++) {
        if (!WriteCity(out, city, detail))
            return false;
    }
    return true;
}
