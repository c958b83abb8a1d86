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
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/spline.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
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

// The texture names of every material, atomic by atomic ("" for an untextured material).
std::vector<std::string> TextureNames(GxClump* clump)
{
    std::vector<std::string> names;
    for (GxAtomic* atomic : Atomics(clump)) {
        const GxGeometry* geometry = atomic->geometry;
        for (GxInt32 m = 0; m < geometry->matList.numMaterials; m++) {
            const GxTexture* texture = geometry->matList.materials[m]->texture;
            names.push_back(texture ? texture->name : "");
        }
    }
    return names;
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
        const std::vector<std::string> names = TextureNames(model.clump);
        EXPECT_EQ(TextureNames(made.clump), names) << path;
        for (const std::string& name : names) {
            if (!name.empty()) {
                EXPECT_NE(nullptr, GxTexDictionaryFindNamedTexture(model.dictionary, name.c_str())) << path;
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
        GxGeometry* geometry = OnlyGeometry(box.clump);
        ASSERT_NE(nullptr, geometry);
        EXPECT_EQ(static_cast<GxUInt32>(gxGEOMETRYPOSITIONS | gxGEOMETRYNORMALS | gxGEOMETRYLIGHT |
                                        gxGEOMETRYMODULATEMATERIALCOLOR),
                  geometry->flags & 0xFF);
        EXPECT_EQ(100, geometry->matList.materials[0]->color.alpha);
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
            EXPECT_FLOAT_EQ(wall ? 3.0f : 1.0f, b.hi.y) << path;
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
    EXPECT_FLOAT_EQ(0.05f, r.lo.y);
    EXPECT_EQ(180, OnlyGeometry(ring.clump)->matList.materials[0]->color.alpha);

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

// The slot paths after the clump: each group's name, then its spline's points.
std::vector<Slot> ReadSlots(const std::string& file)
{
    std::vector<Slot> slots;
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, file.c_str());
    if (!stream || !GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr)) {
        ADD_FAILURE() << file;
        return slots;
    }
    GxClump* clump = GxClumpStreamRead(stream);
    if (clump) {
        GxClumpDestroy(clump);
    }
    std::string group;
    GxChunkHeaderInfo info;
    while (GxStreamReadChunkHeaderInfo(stream, &info)) {
        if (info.type == gxID_CHUNKGROUPSTART) {
            GxNameRecord* name = GxNameRecordStreamRead(stream);
            group = name ? name->name : "";
            if (name) {
                GxNameRecordDestroy(name);
            }
        } else if (info.type == gxID_SPLINE) {
            GxSpline* spline = GxSplineStreamRead(stream);
            if (!spline) {
                ADD_FAILURE() << file << ": a slot path does not read";
                break;
            }
            Slot slot{group, {}};
            for (GxInt32 i = 0; i < GxSplineGetNumControlPoints(spline); i++) {
                GxV3d point;
                GxSplineGetControlPoint(spline, i, &point);
                slot.points.push_back(point);
            }
            GxSplineDestroy(spline);
            slots.push_back(slot);
        } else if (info.type != gxID_CHUNKGROUPEND) {
            GxStreamSkip(stream, info.length);
        }
    }
    GxStreamClose(stream, nullptr);
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
    {"_small", "shop_pause", 3}, {"_large", "shop_pause", 5}, {"atm", "use_pause", 1},   {"phone", "use_pause", 1},
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

TEST_F(ObjectModels, FloorTilesAndTheParticleFallbackReadAsPng)
{
    for (GxInt32 t = 0; t < kContentFloorTileCount; t++) {
        const std::string file = (dir / "images" / "floors" / (std::string(ContentFloorTileStem(t)) + ".png")).string();
        GxImage* image = GxImageReadPNG(file.c_str());
        ASSERT_NE(nullptr, image) << file;
        EXPECT_EQ(kContentFloorTileSize, image->width);
        EXPECT_EQ(kContentFloorTileSize, image->height);
        GxImageDestroy(image);
    }
    GxImage* particle = GxImageReadPNG((dir / "data" / "images" / "particle.png").string().c_str());
    ASSERT_NE(nullptr, particle);
    GxImageDestroy(particle);
}

}  // namespace
