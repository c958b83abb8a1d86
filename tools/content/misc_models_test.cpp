// The models and pictures the templates name, read back through the library's own readers: each model finds its
// textures in its own dictionary, the helper pieces have the shapes the placement code expects, and each
// building fits the footprint its plan gives, with entrances and slot paths on the cells the plan wants.
#include "tools/content/misc_models.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "engine/world/asset.h"
#include "engine/world/spline.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/world/collision.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "tools/content/model_testing.h"
#include "tools/content/templates_writer.h"
#include "tools/content/texdict_writer.h"

namespace {

namespace fs = std::filesystem;

struct Bounds {
    GxV3d lo{1e9f, 1e9f, 1e9f};
    GxV3d hi{-1e9f, -1e9f, -1e9f};
};

// One model file read back: its dictionary (current while the clump was read) and its clump.
struct ReadModel {
    GxTexDictionary* dictionary = nullptr;
    GxClump* clump = nullptr;
    ~ReadModel()
    {
        if (clump) {
            GxClumpDestroy(clump);
        }
        GxTexDictionarySetCurrent(nullptr);
        if (dictionary) {
            GxTexDictionaryDestroy(dictionary);
        }
    }
};

std::vector<GxAtomic*> Atomics(GxClump* clump)
{
    std::vector<GxAtomic*> atomics;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) {
            static_cast<std::vector<GxAtomic*>*>(data)->push_back(atomic);
            return atomic;
        },
        &atomics);
    return atomics;
}

GxFrame* FrameOf(GxAtomic* atomic) { return static_cast<GxFrame*>(atomic->object.object.parent); }

const char* TagOf(GxAtomic* atomic)
{
    GxUserDataArray* data = GxFrameGetUserDataArray(FrameOf(atomic), 0);
    return data ? GxUserDataArrayGetString(data, 0) : nullptr;
}

// Vertex bounds of the model's untagged atomics, in the model's space.
Bounds BodyBounds(GxClump* clump)
{
    Bounds b;
    for (GxAtomic* atomic : Atomics(clump)) {
        if (TagOf(atomic)) {
            continue;
        }
        const GxGeometry* geometry = atomic->geometry;
        for (GxInt32 i = 0; i < geometry->numVertices; i++) {
            const GxV3d& v = geometry->morphTarget[0].verts[i];
            b.lo = {std::fmin(b.lo.x, v.x), std::fmin(b.lo.y, v.y), std::fmin(b.lo.z, v.z)};
            b.hi = {std::fmax(b.hi.x, v.x), std::fmax(b.hi.y, v.y), std::fmax(b.hi.z, v.z)};
        }
    }
    return b;
}

GxGeometry* OnlyGeometry(GxClump* clump)
{
    const std::vector<GxAtomic*> atomics = Atomics(clump);
    return atomics.size() == 1 ? atomics[0]->geometry : nullptr;
}

class ObjectModels : public ContentObjectTest {
protected:
    void SetUp() override
    {
        ContentObjectTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        std::string detail;
        ASSERT_TRUE(ContentWriteObjectModels(dir.string(), &detail)) << detail;
    }

    // Reads as the game's loader does: the table of contents skipped, the dictionary made current, the clump.
    void Read(const std::string& path, ReadModel* model)
    {
        const std::string file = (dir / path.substr(2)).string();
        GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, file.c_str());
        ASSERT_NE(nullptr, stream) << path;
        GxUInt32 length = 0;
        ASSERT_TRUE(GxStreamFindChunk(stream, gxID_TOC, &length, nullptr)) << path;
        GxStreamSkip(stream, length);
        ASSERT_TRUE(GxStreamFindChunk(stream, gxID_IMAGEDICTIONARY, nullptr, nullptr)) << path;
        model->dictionary = GxTexDictionaryStreamReadImages(stream);
        ASSERT_NE(nullptr, model->dictionary) << path;
        GxTexDictionarySetCurrent(model->dictionary);
        ASSERT_TRUE(GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr)) << path;
        model->clump = GxClumpStreamRead(stream);
        GxStreamClose(stream, nullptr);
        ASSERT_NE(nullptr, model->clump) << path;
    }
};

// The texture names of every material, one list per atomic ("" for an untextured material).
std::vector<std::vector<std::string>> TextureNames(GxClump* clump)
{
    std::vector<std::vector<std::string>> names;
    for (GxAtomic* atomic : Atomics(clump)) {
        const GxGeometry* geometry = atomic->geometry;
        names.emplace_back();
        for (GxInt32 m = 0; m < geometry->matList.numMaterials; m++) {
            const GxTexture* texture = geometry->matList.materials[m]->texture;
            names.back().push_back(texture ? texture->name : "");
        }
    }
    return names;
}

// The mean colour of the first material's texture.
GxRGBA MeanColour(GxClump* clump)
{
    const GxTexture* texture = Atomics(clump).front()->geometry->matList.materials[0]->texture;
    GxRaster* raster = texture ? GxTextureGetRaster(texture) : nullptr;
    const GxUInt8* bits = raster ? GxRasterLock(raster, 0, gxRASTERLOCKREAD) : nullptr;
    if (!bits)
        return {0, 0, 0, 0};
    std::uint64_t sum[3] = {0, 0, 0};
    for (GxInt32 y = 0; y < raster->height; y++) {
        const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
        for (GxInt32 x = 0; x < raster->width; x++)
            for (int c = 0; c < 3; c++)
                sum[c] += (row[x] >> (16 - 8 * c)) & 0xFF;
    }
    GxRasterUnlock(raster);
    const std::uint64_t n = static_cast<std::uint64_t>(raster->width) * raster->height;
    return {static_cast<GxUInt8>(sum[0] / n), static_cast<GxUInt8>(sum[1] / n), static_cast<GxUInt8>(sum[2] / n), 255};
}

TEST_F(ObjectModels, EveryModelReadsBackWithItsTexturesFromItsOwnDictionary)
{
    for (const std::string& path : ContentObjectModelPaths()) {
        ContentModel made;
        ASSERT_TRUE(ContentObjectModelCreate(path, &made)) << path;
        ReadModel model;
        Read(path, &model);
        if (HasFatalFailure()) {
            return;
        }
        // A texture missing from the file's dictionary reads back as no texture at all.
        // Reading puts each atomic at the head of the clump's list, so the read clump lists them in reverse.
        const std::vector<std::vector<std::string>> names = TextureNames(model.clump);
        std::vector<std::vector<std::string>> written = TextureNames(made.clump);
        std::reverse(written.begin(), written.end());
        EXPECT_EQ(written, names) << path;
        for (const std::vector<std::string>& atomic : names) {
            for (const std::string& name : atomic) {
                if (!name.empty()) {
                    EXPECT_NE(nullptr, GxTexDictionaryFindNamedTexture(model.dictionary, name.c_str())) << path;
                }
            }
        }
        for (GxAtomic* atomic : Atomics(model.clump)) {
            EXPECT_TRUE(atomic->geometry->flags & gxGEOMETRYNORMALS) << path;  // lit by the level's two lights
            EXPECT_TRUE(atomic->geometry->flags & gxGEOMETRYMODULATEMATERIALCOLOR) << path;
        }
    }
}

TEST_F(ObjectModels, HelperPiecesStandWhereThePlacementCodeExpects)
{
    {
        ReadModel box;
        Read("./models/aux/box.gxs", &box);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_NE(nullptr, OnlyGeometry(box.clump));
        const Bounds b = BodyBounds(box.clump);
        EXPECT_FLOAT_EQ(1.0f, b.hi.x - b.lo.x);
        EXPECT_FLOAT_EQ(1.0f, b.hi.y - b.lo.y);
        EXPECT_FLOAT_EQ(1.0f, b.hi.z - b.lo.z);
    }
    // Balconies stand inside their cell on the side their name gives: S +z, W -x, N -z, E +x. A wall stands
    // beyond the room it closes, astride the edge it shares with the floor: the side opposite its name.
    const char* const sides = "SWNE";
    for (int s = 0; s < 4; s++) {
        for (const char* kind : {"wall", "balc"}) {
            const std::string path = std::string("./models/aux/") + kind + sides[s] + ".gxs";
            ReadModel piece;
            Read(path, &piece);
            ASSERT_FALSE(HasFatalFailure());
            const Bounds b = BodyBounds(piece.clump);
            const bool wall = std::string(kind) == "wall";
            // A wall reaches the storey above, closing the room to the next storey's walls.
            EXPECT_FLOAT_EQ(wall ? 4.0f : 1.0f, b.hi.y) << path;
            const int side = wall ? (s + 2) % 4 : s;
            const GxReal edge = 0.7f;
            const bool onSide[4] = {b.lo.z > edge, b.hi.x < -edge, b.hi.z<-edge, b.lo.x> edge};
            EXPECT_TRUE(onSide[side]) << path;
            const bool astride[4] = {b.lo.z < 1.0f && b.hi.z > 1.0f, b.lo.x < -1.0f && b.hi.x > -1.0f,
                                     b.lo.z < -1.0f && b.hi.z > -1.0f, b.lo.x < 1.0f && b.hi.x > 1.0f};
            EXPECT_EQ(wall, astride[side]) << path;
            // Along the edge the piece spans its cell exactly, so runs scaled by their length meet end to end.
            const bool acrossX = side == 0 || side == 2;
            EXPECT_FLOAT_EQ(acrossX ? -1.0f : b.lo.x, b.lo.x) << path;
            EXPECT_FLOAT_EQ(acrossX ? 1.0f : b.hi.x, b.hi.x) << path;
            EXPECT_FLOAT_EQ(acrossX ? b.lo.z : -1.0f, b.lo.z) << path;
            EXPECT_FLOAT_EQ(acrossX ? b.hi.z : 1.0f, b.hi.z) << path;
        }
    }
    // The door-gap piece lines up with the walls: astride the +z edge, across the whole cell.
    ReadModel gap;
    Read("./models/aux/wallNE.gxs", &gap);
    ASSERT_FALSE(HasFatalFailure());
    const Bounds b = BodyBounds(gap.clump);
    EXPECT_LT(b.lo.z, 1.0f);
    EXPECT_GT(b.hi.z, 1.0f);
    EXPECT_FLOAT_EQ(-1.0f, b.lo.x);
    EXPECT_FLOAT_EQ(1.0f, b.hi.x);
    EXPECT_FLOAT_EQ(4.0f, b.hi.y);
    // A door takes the cells of the south and north walls and none of the east and west ones, where the gap
    // pieces stand: those walls and the gap piece share one texture, the others another far from it in colour.
    const auto wall = [&](char side, ReadModel* piece) {
        Read(std::string("./models/aux/wall") + side + ".gxs", piece);
    };
    ReadModel south, north, east, west;
    wall('S', &south), wall('N', &north), wall('E', &east), wall('W', &west);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(TextureNames(south.clump), TextureNames(north.clump));
    EXPECT_EQ(TextureNames(east.clump), TextureNames(west.clump));
    EXPECT_EQ(TextureNames(east.clump), TextureNames(gap.clump));
    EXPECT_NE(TextureNames(south.clump), TextureNames(east.clump));
    const GxRGBA plaster = MeanColour(south.clump), brick = MeanColour(east.clump);
    EXPECT_GT(std::abs(plaster.green - brick.green) + std::abs(plaster.blue - brick.blue), 120);
}

TEST_F(ObjectModels, GroundRingAndDebrisHaveTheirSizes)
{
    ReadModel ground;
    Read("./models/misc/ground.gxs", &ground);
    ASSERT_FALSE(HasFatalFailure());
    GxGeometry* quad = OnlyGeometry(ground.clump);
    ASSERT_NE(nullptr, quad);
    const Bounds g = BodyBounds(ground.clump);
    EXPECT_FLOAT_EQ(-10.0f, g.lo.x);
    EXPECT_FLOAT_EQ(138.0f, g.hi.x);
    EXPECT_FLOAT_EQ(-138.0f, g.lo.z);
    EXPECT_FLOAT_EQ(10.0f, g.hi.z);
    // Both triangles face up, or the ground is culled from above.
    for (GxInt32 t = 0; t < quad->numTriangles; t++) {
        const GxV3d* v = quad->morphTarget[0].verts;
        const GxUInt16* i = quad->triangles[t].vertIndex;
        const GxReal ax = v[i[1]].x - v[i[0]].x, az = v[i[1]].z - v[i[0]].z;
        const GxReal bx = v[i[2]].x - v[i[0]].x, bz = v[i[2]].z - v[i[0]].z;
        EXPECT_GT(az * bx - ax * bz, 0.0f);
    }

    ReadModel ring;
    Read("./models/people/select.gxs", &ring);
    ASSERT_FALSE(HasFatalFailure());
    const Bounds r = BodyBounds(ring.clump);
    EXPECT_NEAR(0.8f, (r.hi.x - r.lo.x) * 0.5f, 0.1f);
    EXPECT_GT(r.lo.y, 0.0f);  // above the floor it rings

    for (int k = 1; k <= 10; k++) {
        ReadModel piece;
        Read("./models/misc/debris" + std::to_string(k) + ".gxs", &piece);
        ASSERT_FALSE(HasFatalFailure());
        const Bounds d = BodyBounds(piece.clump);
        EXPECT_LT(d.hi.x - d.lo.x, 0.5f) << k;
        EXPECT_LT(d.hi.z - d.lo.z, 0.5f) << k;
        EXPECT_GE(d.lo.y, 0.0f) << k;
    }
}

// A cell of a footprint: row along +x from the -x edge, column along -z from the +z edge (-1 is in front).
using Cell = std::pair<int, int>;

// The cells the building code gives its entrance lists, with its own arithmetic at a yaw of 0: an entrance point
// (x, z) stands for the cell firstCell + columns * x - z, that is row x and column -z.
Cell FirstListCell(GxV3d p, GxReal sizeX, GxReal sizeZ)
{
    const int x = static_cast<int>((sizeX * 0.5f + p.x) * 0.5f);
    const int z = static_cast<int>(((p.z - sizeZ * 0.5f) + 1.0f) * 0.5f);
    return {x, -z};
}

Cell SecondListCell(GxV3d p, GxReal sizeX, GxReal sizeZ)
{
    const int wholeX = static_cast<int>(sizeX), halfX = wholeX / 2, halfZ = static_cast<int>(sizeZ) / 2;
    const int h = wholeX % 2 == 0 ? halfX / 2 : (halfX - 1) / 2 - 1;
    const int x = static_cast<int>(p.x * 0.5f + static_cast<GxReal>(h));
    const int z = static_cast<int>(-((halfZ - 1) / 2) + p.z * 0.5f);
    return {x, -z};
}

// The cell a model-space point stands on, by the footprint's own extent.
Cell CellUnder(GxV3d p, GxReal sizeX, GxReal sizeZ)
{
    return {static_cast<int>(std::floor((p.x + sizeX * 0.5f) / 2.0f)),
            static_cast<int>(std::floor((sizeZ * 0.5f - p.z) / 2.0f))};
}

struct Slot {
    std::string name;
    std::vector<GxV3d> points;
};

// The slot paths as the templates' asset loader hands them to the objects: each one's name and points.
std::vector<Slot> ReadSlots(const std::string& file)
{
    std::vector<Slot> slots;
    FerroxModelPool models;
    FerroxAnimPool animations;
    CFerroxAssetLoaderHlpr loader;
    loader.SetTarget(&models, &animations, file.c_str());
    CFerroxStream<CFerroxAssetLoaderHlpr> stream;
    if (!stream.Read(file.c_str(), &CFerroxAssetLoaderHlpr::LoadChunk) || stream.Process(&loader) != 1) {
        ADD_FAILURE() << file;
        return slots;
    }
    loader.GroupAssets();
    for (const std::unique_ptr<CFerroxAssetSet>& set : loader.TakeAssetSets()) {
        for (CFerroxSpline* spline : set->GetSplines()) {
            const GxV3d* points = spline->GetPoints();
            slots.push_back({spline->GetName() ? spline->GetName() : "",
                             std::vector<GxV3d>(points, points + spline->GetPointCount())});
        }
    }
    return slots;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// What the plan wants of a building's slots: their name and number.
struct SlotRule {
    const char* keyword;
    const char* name;
    size_t count;  // 0: at least one
};
const SlotRule kSlotRules[] = {
    {"_small", "shop_pause", 5}, {"_large", "shop_pause", 8}, {"atm", "use_pause", 1},   {"phone", "use_pause", 1},
    {"toilet", "use_pause", 0},  {"seats", "seat_sit", 0},    {"atrium", "seat_sit", 0},
};

TEST_F(ObjectModels, BuildingsFitTheirFootprintsAndTheirEntrancesLandWhereThePlansWant)
{
    std::string merged, error;
    const char* source = std::getenv("MALL_SOURCE_DIR");
    ASSERT_NE(nullptr, source);
    ASSERT_TRUE(ContentGameDataText(std::string(source) + "/tools/content/text", &merged, &error)) << error;
    CFerroxTagTree tree;
    tree.LoadFromMemory(merged.data(), merged.size());
    const std::vector<ContentCategory> categories = ContentReadTemplates(&tree);
    ASSERT_EQ(static_cast<size_t>(kContentTemplateCategoryCount), categories.size());
    std::vector<ContentPlan> buildings;
    for (int c = 1; c < kContentBuildCategoryCount; c++) {
        const auto& plans = categories[static_cast<size_t>(c)].plans;
        buildings.insert(buildings.end(), plans.begin(), plans.end());
    }
    for (const ContentCategory& category : categories) {
        if (category.name == "SWAP") {
            buildings.insert(buildings.end(), category.plans.begin(), category.plans.end());
        }
    }
    for (const ContentPlan& plan : buildings) {
        SCOPED_TRACE(plan.path);
        ASSERT_GE(plan.values.size(), 2u);
        const GxReal sizeX = std::stof(plan.values[0]), sizeZ = std::stof(plan.values[1]);
        const int rows = static_cast<int>(sizeX / 2), columns = static_cast<int>(sizeZ / 2);
        ReadModel model;
        Read(plan.path, &model);
        ASSERT_FALSE(HasFatalFailure());
        const Bounds b = BodyBounds(model.clump);
        EXPECT_GE(b.lo.x, -sizeX * 0.5f - 0.01f);
        EXPECT_LE(b.hi.x, sizeX * 0.5f + 0.01f);
        EXPECT_GE(b.lo.z, -sizeZ * 0.5f - 0.01f);
        EXPECT_GE(b.lo.y, 0.0f);

        std::map<std::string, std::vector<Cell>> lists;
        for (GxAtomic* atomic : Atomics(model.clump)) {
            if (!TagOf(atomic)) {
                continue;
            }
            const std::string tag = TagOf(atomic);
            const GxV3d p = FrameOf(atomic)->modelling.pos;
            const bool second = Contains(tag, "door_down") || Contains(tag, "free");
            lists[tag].push_back(second ? SecondListCell(p, sizeX, sizeZ) : FirstListCell(p, sizeX, sizeZ));
        }
        const std::vector<Slot> slots = ReadSlots((dir / plan.path.substr(2)).string());
        if (Contains(plan.path, "/door.gxs")) {
            EXPECT_TRUE(lists.empty());  // the door works out its entrances from its width
            EXPECT_TRUE(slots.empty());
            continue;
        }
        // Everything else is entered from the cells in front of it.
        const std::vector<Cell>& front = lists[Contains(plan.path, "stairs") ? "door_up" : "door"];
        ASSERT_FALSE(front.empty());
        for (const Cell& cell : front) {
            EXPECT_EQ(-1, cell.second);
            EXPECT_GE(cell.first, 0);
            EXPECT_LT(cell.first, rows);
        }
        if (Contains(plan.path, "stairs")) {
            std::vector<Cell> bottom = front, top = lists["door_down"];
            std::sort(bottom.begin(), bottom.end());
            std::sort(top.begin(), top.end());
            EXPECT_EQ((std::vector<Cell>{{0, -1}, {1, -1}}), bottom);
            EXPECT_EQ((std::vector<Cell>{{0, columns}, {1, columns}}), top);
            std::map<std::string, const Slot*> byName;
            for (const Slot& slot : slots) {
                byName[slot.name] = &slot;
            }
            ASSERT_EQ(2u, byName.size());
            ASSERT_TRUE(byName.count("up1") && byName.count("down1"));
            // Links are made where a path starts on an entrance cell of the storey it starts on.
            const Slot& up = *byName["up1"];
            const Slot& down = *byName["down1"];
            ASSERT_GE(up.points.size(), 4u);
            ASSERT_GE(down.points.size(), 4u);
            auto among = [](const std::vector<Cell>& cells, Cell c) {
                return std::find(cells.begin(), cells.end(), c) != cells.end();
            };
            EXPECT_TRUE(among(front, CellUnder(up.points.front(), sizeX, sizeZ)));
            EXPECT_TRUE(among(top, CellUnder(up.points.back(), sizeX, sizeZ)));
            EXPECT_TRUE(among(top, CellUnder(down.points.front(), sizeX, sizeZ)));
            EXPECT_TRUE(among(front, CellUnder(down.points.back(), sizeX, sizeZ)));
            EXPECT_FLOAT_EQ(0.0f, up.points.front().y);
            EXPECT_FLOAT_EQ(4.0f, up.points.back().y);
            EXPECT_FLOAT_EQ(4.0f, down.points.front().y);
            continue;
        }
        if (Contains(plan.path, "atrium")) {
            std::vector<Cell> ring, free = lists["free"];
            for (int r = 0; r < rows; r++) {
                for (int c = 0; c < columns; c++) {
                    if (r != rows / 2 || c != columns / 2) {
                        ring.push_back({r, c});
                    }
                }
            }
            std::sort(free.begin(), free.end());
            EXPECT_EQ(ring, free);
        }
        EXPECT_EQ(1u, front.size());

        // Slots: named for what the user does there, as many as the plan wants, from the entrance cell inwards.
        const SlotRule* rule = nullptr;
        for (const SlotRule& r : kSlotRules) {
            rule = Contains(plan.path, r.keyword) ? &r : rule;
        }
        if (!rule) {
            EXPECT_TRUE(slots.empty());  // scenery is only looked at
            continue;
        }
        if (rule->count) {
            EXPECT_EQ(rule->count, slots.size());
        } else {
            EXPECT_FALSE(slots.empty());
        }
        for (const Slot& slot : slots) {
            EXPECT_EQ(rule->name, slot.name);
            ASSERT_GE(slot.points.size(), 4u);
            EXPECT_EQ(front[0], CellUnder(slot.points.front(), sizeX, sizeZ));
            const Cell end = CellUnder(slot.points.back(), sizeX, sizeZ);
            EXPECT_TRUE(end.first >= 0 && end.first < rows && end.second >= 0 && end.second < columns);
        }
    }
}

// The picture shrunk to `side` x `side` pixels by averaging, as the player sees it from afar.
std::vector<double> Shrunk(const GxImage* image, int side)
{
    std::vector<double> out(static_cast<size_t>(side * side * 3), 0.0);
    const int block = image->width / side;
    for (int y = 0; y < image->height; y++) {
        for (int x = 0; x < image->width; x++) {
            const GxUInt8* p = image->pixels + y * image->stride + x * 4;
            for (int c = 0; c < 3; c++) {
                out[static_cast<size_t>(((y / block) * side + x / block) * 3 + c)] +=
                    p[c] / static_cast<double>(block * block);
            }
        }
    }
    return out;
}

// The mean over pixels of the summed channel differences.
double Distance(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); i++) {
        sum += std::fabs(a[i] - b[i]);
    }
    return sum / static_cast<double>(a.size() / 3);
}

// ---- shop units ----

const char* const kShopKinds[] = {"fashion", "electric", "leisure", "home", "health", "food"};
constexpr int kShopKindCount = 6;

// Whether the segment from a to b passes through a triangle, from either side; triangles of translucent
// materials (the windows) count only when asked.
bool Crosses(const GxGeometry* g, GxV3d a, GxV3d b, bool glass)
{
    const GxV3d there = {b.x - a.x, b.y - a.y, b.z - a.z}, back = {-there.x, -there.y, -there.z};
    const GxV3d* v = g->morphTarget[0].verts;
    for (GxInt32 t = 0; t < g->numTriangles; t++) {
        const GxTriangle& tri = g->triangles[t];
        if (!glass && g->matList.materials[tri.matIndex]->color.alpha < 255) {
            continue;
        }
        const GxV3d &p = v[tri.vertIndex[0]], &q = v[tri.vertIndex[1]], &r = v[tri.vertIndex[2]];
        GxReal distance = 0.0f;
        if (GxIntersectLineTriangle(&a, &there, &p, &q, &r, &distance) ||
            GxIntersectLineTriangle(&b, &back, &p, &q, &r, &distance)) {
            return true;
        }
    }
    return false;
}

// The unit's body atomic: the untagged one.
GxAtomic* Body(GxClump* clump)
{
    for (GxAtomic* atomic : Atomics(clump)) {
        if (!TagOf(atomic)) {
            return atomic;
        }
    }
    return nullptr;
}

// The centroid of every triangle that shows the unit picture's top-left quarter, its pictogram.
std::vector<GxV3d> PictogramPlaces(const GxGeometry* g)
{
    std::vector<GxV3d> places;
    const GxV3d* v = g->morphTarget[0].verts;
    const GxTexCoords* uv = g->texCoords[0];
    for (GxInt32 t = 0; t < g->numTriangles; t++) {
        const GxUInt16* i = g->triangles[t].vertIndex;
        const GxReal uMax = std::fmax(uv[i[0]].u, std::fmax(uv[i[1]].u, uv[i[2]].u));
        const GxReal vMax = std::fmax(uv[i[0]].v, std::fmax(uv[i[1]].v, uv[i[2]].v));
        const GxReal uMin = std::fmin(uv[i[0]].u, std::fmin(uv[i[1]].u, uv[i[2]].u));
        if (g->texCoords[0] && uMax <= 0.5f && vMax <= 0.5f && uMax - uMin > 0.25f) {
            places.push_back({(v[i[0]].x + v[i[1]].x + v[i[2]].x) / 3.0f, (v[i[0]].y + v[i[1]].y + v[i[2]].y) / 3.0f,
                              (v[i[0]].z + v[i[1]].z + v[i[2]].z) / 3.0f});
        }
    }
    return places;
}

// Each unit opens on the side the game enters it from: the shoppers' paths, from the entrance cell in front of
// the +z edge to their spots, pass through nothing, near or from afar; walking out through the back or a side
// wall meets a wall; the pictograms and the top of the sign band stand at the front. The near level stays within
// a modest count of triangles, the far one within a fraction of it.
TEST_F(ObjectModels, ShopUnitsOpenWhereTheirShoppersEnter)
{
    constexpr GxInt32 kNearTriangles = 300, kFarTriangles = 100;
    const GxReal heights[] = {0.3f, 1.0f, 1.7f};
    for (const char* kind : kShopKinds) {
        for (const auto& [suffix, size] : {std::pair<const char*, GxReal>{"_small", 6.0f}, {"_large", 8.0f}}) {
            const std::string path = std::string("./models/shops/") + kind + suffix + ".gxs";
            SCOPED_TRACE(path);
            ReadModel model;
            Read(path, &model);
            ASSERT_FALSE(HasFatalFailure());
            GxAtomic* body = Body(model.clump);
            ASSERT_NE(nullptr, body);
            const GxLODAtomicRecord* levels = GxLODAtomicGetRecord(body);
            ASSERT_TRUE(levels && levels->geometry[1]);
            const GxGeometry* near = body->geometry;
            const GxGeometry* far = levels->geometry[1];
            EXPECT_LE(near->numTriangles, kNearTriangles);
            EXPECT_LE(far->numTriangles, kFarTriangles);
            const GxReal h = size * 0.5f;
            const std::vector<Slot> slots = ReadSlots((dir / path.substr(2)).string());
            ASSERT_FALSE(slots.empty());
            EXPECT_EQ(Cell(static_cast<int>(size) / 4, -1), CellUnder(slots[0].points.front(), size, size));
            for (const GxGeometry* level : {near, far}) {
                for (GxReal y : heights) {
                    for (const Slot& slot : slots) {
                        for (size_t i = 0; i + 1 < slot.points.size(); i++) {
                            const GxV3d a = {slot.points[i].x, y, slot.points[i].z};
                            const GxV3d b = {slot.points[i + 1].x, y, slot.points[i + 1].z};
                            EXPECT_FALSE(Crosses(level, a, b, true)) << "path leg " << i << " at height " << y;
                        }
                    }
                    const GxV3d middle = {0, y, 0};
                    EXPECT_TRUE(Crosses(level, middle, {0, y, -h - 1.0f}, false)) << "the back is open";
                    EXPECT_TRUE(Crosses(level, middle, {-h - 1.0f, y, 0}, false)) << "the -x side is open";
                    EXPECT_TRUE(Crosses(level, middle, {h + 1.0f, y, 0}, false)) << "the +x side is open";
                }
                const std::vector<GxV3d> pictograms = PictogramPlaces(level);
                EXPECT_GE(pictograms.size(), 2u * 3u);  // one over the door and one over each window
                for (const GxV3d& p : pictograms) {
                    EXPECT_GE(p.z, h) << "a pictogram at z " << p.z;
                }
                GxV3d top = {0, -1.0f, 0};
                for (GxInt32 i = 0; i < level->numVertices; i++) {
                    const GxV3d& p = level->morphTarget[0].verts[i];
                    top = p.y > top.y || (p.y == top.y && p.z < top.z) ? p : top;
                }
                EXPECT_GE(top.z, h - 0.25f) << "the highest point stands back from the front";
            }
        }
    }
}

// No two kinds look alike: their pictures (colours and pictogram) differ everywhere on average, and their
// fittings make their near meshes differ.
TEST_F(ObjectModels, ShopKindsLookApart)
{
    constexpr double kLeastDifference = 30.0;
    std::vector<std::vector<double>> pictures;
    std::vector<std::vector<GxV3d>> meshes;
    for (const char* kind : kShopKinds) {
        ContentModel made;
        ASSERT_TRUE(ContentObjectModelCreate(std::string("./models/shops/") + kind + "_small.gxs", &made)) << kind;
        ASSERT_EQ(1u, made.images.size()) << kind;
        pictures.push_back(Shrunk(made.images[0], made.images[0]->width));
        GxAtomic* body = Body(made.clump);
        ASSERT_NE(nullptr, body);
        const GxGeometry* g = body->geometry;
        meshes.emplace_back(g->morphTarget[0].verts, g->morphTarget[0].verts + g->numVertices);
    }
    for (int a = 0; a < kShopKindCount; a++) {
        for (int b = 0; b < a; b++) {
            EXPECT_GT(Distance(pictures[static_cast<size_t>(a)], pictures[static_cast<size_t>(b)]), kLeastDifference)
                << kShopKinds[a] << " and " << kShopKinds[b];
            const auto& p = meshes[static_cast<size_t>(a)];
            const auto& q = meshes[static_cast<size_t>(b)];
            const bool same = p.size() == q.size() && std::equal(p.begin(), p.end(), q.begin(), [](GxV3d u, GxV3d w) {
                                  return u.x == w.x && u.y == w.y && u.z == w.z;
                              });
            EXPECT_FALSE(same) << kShopKinds[a] << " and " << kShopKinds[b] << " have the same fittings";
        }
    }
}

// Every tile reads back at its size, and no two look alike across the mall: shrunk to the few pixels a cell
// covers at the far side of the grid, each pair still differs by a clear step of colour on the average pixel.
TEST_F(ObjectModels, FloorTilesLookApartFromAcrossTheMallAndTheParticleFallbackReads)
{
    constexpr int kSeenSide = 4;
    constexpr double kLeastDifference = 60.0;
    std::vector<std::vector<double>> seen;
    for (GxInt32 t = 0; t < kContentFloorTileCount; t++) {
        const std::string file = (dir / "images" / "floors" / (std::string(ContentFloorTileStem(t)) + ".png")).string();
        GxImage* image = GxImageReadPNG(file.c_str());
        ASSERT_NE(nullptr, image) << file;
        EXPECT_EQ(kContentFloorTileSize, image->width);
        EXPECT_EQ(kContentFloorTileSize, image->height);
        ASSERT_EQ(32, image->depth) << file;
        seen.push_back(Shrunk(image, kSeenSide));
        GxImageDestroy(image);
        for (GxInt32 other = 0; other < t; other++) {
            EXPECT_GT(Distance(seen[static_cast<size_t>(other)], seen.back()), kLeastDifference)
                << ContentFloorTileStem(other) << " and " << ContentFloorTileStem(t);
        }
    }
    GxImage* particle = GxImageReadPNG((dir / "data" / "images" / "particle.png").string().c_str());
    ASSERT_NE(nullptr, particle);
    GxImageDestroy(particle);
}

}  // namespace
