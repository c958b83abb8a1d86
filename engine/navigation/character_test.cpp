// The walking character: route requests (straight walks, detours, budgets and resumption), path following,
// position tests and the guarded wardrobe and variant choices.
#include "engine/navigation/character.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/application/base.h"
#include "engine/navigation/astar.h"
#include "engine/navigation/blockgrid.h"
#include "engine/navigation/blockgrid_testing.h"
#include "engine/testsupport/objects.h"
#include "engine/world/camera.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "gfx/anim/anim.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/frame.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/spline.h"
#include "gfx/fx/fx.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/lod.h"
#include "gfx/world/material.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world_testing.h"

namespace {

using DrawnGrid = FerroxDrawnGrid;

const std::vector<std::string> kOpen = {
    "........", "........", "........", "........", "........", "........", "........", "........",
};
// A wall across rows 0 to 5 of column 4: the way round passes below it.
const std::vector<std::string> kWall = {
    "....#...", "....#...", "....#...", "....#...", "....#...", "....#...", "........", "........",
};

// A clock that moves on by a fixed step, in seconds, at each reading.
double g_fakeNow = 0;
double g_fakeStep = 0;
double FakeClock()
{
    g_fakeNow += g_fakeStep;
    return g_fakeNow;
}

// Consecutive route cells are neighbours and no cell appears twice.
void ExpectWalkable(CFerroxBlockGrid& grid, const std::vector<int>& cells)
{
    for (size_t i = 1; i < cells.size(); i++) {
        const int dr = grid.GetCellRow(cells[i], 1) - grid.GetCellRow(cells[i - 1], 1);
        const int dc = grid.GetCellColumn(cells[i], 1) - grid.GetCellColumn(cells[i - 1], 1);
        EXPECT_TRUE(std::abs(dr) <= 1 && std::abs(dc) <= 1 && (dr != 0 || dc != 0)) << "step " << i;
        EXPECT_TRUE(grid.GetBlock(cells[i])->IsWalkable()) << "cell " << cells[i];
        for (size_t j = 0; j < i; j++) {
            EXPECT_NE(cells[j], cells[i]) << "cell " << cells[i] << " twice";
        }
    }
}

constexpr float kFrame = 1.0f / 30.0f;
constexpr int kMaxFrames = 2000;

// Starts the character at a cell facing nowhere in particular.
void PlaceAt(CFerroxCharacter& walker, CFerroxBlockGrid& grid, int cell)
{
    GxV3d at;
    ASSERT_NE(nullptr, grid.GetCellPosition(cell, &at, 1));
    walker.Translate(&at, 0);
}

// Updates until the character stands again; the cells it stood on, in order, without repeats.
std::vector<int> WalkToTheEnd(CFerroxCharacter& walker, int* frames)
{
    std::vector<int> cells;
    walker.m_movementMode = FERROX_MOVE_FOLLOWING;
    for (*frames = 0; walker.m_movementMode == FERROX_MOVE_FOLLOWING && *frames < kMaxFrames; (*frames)++) {
        walker.Update(kFrame);
        if (cells.empty() || cells.back() != walker.m_currentCell)
            cells.push_back(walker.m_currentCell);
    }
    walker.Update(kFrame);
    if (cells.empty() || cells.back() != walker.m_currentCell)
        cells.push_back(walker.m_currentCell);
    return cells;
}

class Character : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The models list their texture-animated materials, so the animation plugins come too.
        engine.emplace(GxTestRecordingSetup([] {
            return GxSplinePluginAttach() && GxWorldPluginAttach() && GxLODAtomicPluginAttach() &&
                   GxUserDataPluginAttach() && GxAnimPluginAttach() && GxAnimHierarchyPluginAttach() &&
                   GxUVAnimPluginAttach() && AttachClumpExtension();
        }));
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override
    {
        FerroxCharacterSetClock(nullptr);
        models.Clear();
        engine.reset();
    }
    std::optional<GxTestEngine> engine;

    // Sets the character up on its grid with a copy of a pooled model: a body box on the root frame and a
    // box on a frame of its own for each part tag.
    void ModelFor(CFerroxCharacter& walker, CFerroxBlockGrid* grid, const std::vector<const char*>& parts = {})
    {
        SetupOn(models.Pool(FerroxCharacterClump(parts), "walker"), walker, FERROX_MODEL_CLONE, grid);
        ASSERT_NE(nullptr, walker.GetModel());
        ASSERT_NE(nullptr, walker.GetPosition());
    }

    // Sets the walker up on a set the pool made.
    void SetupOn(CFerroxAssetSet* set, CFerroxCharacter& walker, int modelMode, CFerroxBlockGrid* grid = nullptr)
    {
        ASSERT_NE(nullptr, set);
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = set;
        descriptor.modelMode = modelMode;
        descriptor.grid = grid;
        walker.Setup(&descriptor);
    }

    FerroxTestModelPool models;
};

}  // namespace

TEST_F(Character, RequestsThatSettleAtOnce)
{
    DrawnGrid drawn(kWall);
    CFerroxCharacter walker;
    walker.SetBlockGrid(&drawn.grid);

    // Start and target the same: ready, reached, nothing to follow.
    const int here = drawn.Cell(2, 2);
    EXPECT_EQ(1, walker.StepPath(here, here, 0, 0));
    EXPECT_EQ(FERROX_ROUTE_READY, walker.m_routeState);
    EXPECT_EQ(here, walker.m_reachedCell);
    EXPECT_EQ(nullptr, walker.GetPathSpline());

    // Without a grid there is nowhere to walk: the request fails.
    CFerroxCharacter nowhere;
    EXPECT_EQ(1, nowhere.StepPath(here, here, 0, 0));
    EXPECT_EQ(FERROX_ROUTE_FAILED, nowhere.m_routeState);

    // A blocked or missing cell fails at once.
    walker.m_routeState = FERROX_ROUTE_IDLE;
    EXPECT_EQ(1, walker.StepPath(here, drawn.Cell(1, 4), 0, 0));
    EXPECT_EQ(FERROX_ROUTE_FAILED, walker.m_routeState);
    walker.m_routeState = FERROX_ROUTE_IDLE;
    EXPECT_EQ(1, walker.StepPath(-1, here, 0, 0));
    EXPECT_EQ(FERROX_ROUTE_FAILED, walker.m_routeState);

    // In a straight line: every cell of the line, found without a search.
    walker.m_routeState = FERROX_ROUTE_IDLE;
    EXPECT_EQ(1, walker.StepPath(drawn.Cell(7, 0), drawn.Cell(7, 6), 0, 0));
    EXPECT_EQ(FERROX_ROUTE_READY, walker.m_routeState);
    std::vector<int> line;
    for (int c = 0; c <= 6; c++)
        line.push_back(drawn.Cell(7, c));
    EXPECT_EQ(line, walker.GetRouteCells());
    ASSERT_NE(nullptr, walker.GetPathSpline());
    EXPECT_EQ(0, walker.GetPathFinder() ? walker.GetPathFinder()->GetStepCount() : 0);

    // A diagonal line, then the request is cancelled: route and spline go, the state stays.
    walker.m_routeState = FERROX_ROUTE_IDLE;
    EXPECT_EQ(1, walker.StepPath(drawn.Cell(0, 0), drawn.Cell(3, 3), 0, 0));
    EXPECT_EQ((std::vector<int>{0, 9, 18, 27}), walker.GetRouteCells());
    walker.StopMoving();
    EXPECT_TRUE(walker.GetRouteCells().empty());
    EXPECT_EQ(nullptr, walker.GetPathSpline());
    EXPECT_EQ(FERROX_ROUTE_READY, walker.m_routeState);
}

// Behind a wall the straight walk stops at the wall and the search carries on from there: the route holds the
// straight part, then the searched part, with the stopping cell once.
TEST_F(Character, DetourJoinsTheStraightWalkAndTheSearch)
{
    DrawnGrid drawn(kWall);
    CFerroxCharacter walker;
    walker.SetBlockGrid(&drawn.grid);
    const int from = drawn.Cell(2, 0), to = drawn.Cell(2, 7);
    EXPECT_EQ(1, walker.StepPath(from, to, 0, 0));
    EXPECT_EQ(FERROX_ROUTE_READY, walker.m_routeState);
    EXPECT_EQ(drawn.Cell(2, 3), walker.m_straightEndCell);
    const std::vector<int>& route = walker.GetRouteCells();
    ASSERT_GE(route.size(), 5u);
    EXPECT_EQ((std::vector<int>{from, drawn.Cell(2, 1), drawn.Cell(2, 2), drawn.Cell(2, 3)}),
              std::vector<int>(route.begin(), route.begin() + 4));
    EXPECT_EQ(to, route.back());
    EXPECT_EQ(static_cast<int>(route.size()), walker.m_routeCellCount);  // the count the spline is built from
    ExpectWalkable(drawn.grid, route);
    EXPECT_NE(nullptr, walker.GetPathSpline());

    // A target walled in fails after the search and leaves no route.
    DrawnGrid closed({"........", "........", "........", "........", "........", "......##", "......#.", "......#."});
    CFerroxCharacter stuck;
    stuck.SetBlockGrid(&closed.grid);
    EXPECT_EQ(1, stuck.StepPath(closed.Cell(0, 0), closed.Cell(7, 7), 0, 0));
    EXPECT_EQ(FERROX_ROUTE_FAILED, stuck.m_routeState);
    EXPECT_TRUE(stuck.GetRouteCells().empty());
}

// The budget is real time in seconds, not whole milliseconds of a tick count: half a millisecond with steps of a
// fifth of one stops the search after three steps; the search then waits ten budgets or a frame, resumes and ends
// with the unbudgeted route.
TEST_F(Character, SearchStopsWithinItsBudgetAndResumes)
{
    DrawnGrid drawn(kWall);
    CFerroxCharacter reference;
    reference.SetBlockGrid(&drawn.grid);
    const int from = drawn.Cell(2, 0), to = drawn.Cell(2, 7);
    ASSERT_EQ(1, reference.StepPath(from, to, 0, 0));

    g_fakeNow = 0;
    g_fakeStep = 0.0002;
    FerroxCharacterSetClock(FakeClock);
    CFerroxCharacter walker;
    ModelFor(walker, &drawn.grid);
    PlaceAt(walker, drawn.grid, from);
    const float budget = 0.0005f;
    EXPECT_EQ(0, walker.StepPath(from, to, budget, 0));
    EXPECT_EQ(FERROX_ROUTE_SEARCHING, walker.m_routeState);
    ASSERT_NE(nullptr, walker.GetPathFinder());
    EXPECT_EQ(3, walker.GetPathFinder()->GetStepCount());
    EXPECT_FLOAT_EQ(budget * 10, walker.m_searchWait);

    int calls = 1;
    while (walker.StepPath(from, to, budget, 0) == 0 && calls < 1000) {
        calls++;
        walker.Update(0.002f);
    }
    EXPECT_EQ(FERROX_ROUTE_READY, walker.m_routeState);
    EXPECT_GT(calls, 3);
    EXPECT_EQ(reference.GetRouteCells(), walker.GetRouteCells());
}

// Dressing: one head variant shown, every material the wardrobe part offers as a wardrobe item, repeats included,
// with a choice that wraps over however many there are, and none at all (nor a crash) on a model without parts.
TEST_F(Character, DressedFromTheModelsParts)
{
    CFerroxAssetSet* set = models.Pool(FerroxCharacterClump({"head1", "head2", "head3", "wardrobe"}), "walker");
    ASSERT_NE(nullptr, set);
    GxAtomic* wardrobe = set->GetModels()[0]->asset->FindPart("wardrobe");
    ASSERT_NE(nullptr, wardrobe);
    // The pooled wardrobe's material list, which its copies share: its box's material twice, then a second one.
    GxMaterialList* list = &wardrobe->geometry->matList;
    ASSERT_EQ(1, list->numMaterials);
    GxMaterial* second = GxMaterialCreate();
    ASSERT_EQ(1, GxMaterialListAppendMaterial(list, list->materials[0]));
    ASSERT_EQ(2, GxMaterialListAppendMaterial(list, second));
    GxMaterialDestroy(second);
    CFerroxCharacter dressed;
    SetupOn(set, dressed, FERROX_MODEL_CLONE);
    ASSERT_NE(nullptr, dressed.GetModel());
    int shown = 0;
    for (const char* tag : {"head1", "head2", "head3"}) {
        GxAtomic* head = dressed.GetModel()->FindPart(tag);
        ASSERT_NE(nullptr, head);
        if (head->object.object.flags & gxATOMICRENDER) {
            shown++;
            EXPECT_EQ(head, dressed.m_head.part);
            // The head's material data gathered the shown variant's materials.
            ASSERT_NE(nullptr, head->geometry);
            ASSERT_GT(head->geometry->matList.numMaterials, 0);
            ASSERT_EQ(1u, dressed.m_headMaterials.size());
            EXPECT_EQ(head->geometry->matList.materials[0], dressed.m_headMaterials[0]);
        }
    }
    EXPECT_EQ(1, shown);
    ASSERT_EQ(3u, dressed.m_wardrobeItems.size()) << "every material offered";
    EXPECT_EQ(dressed.m_wardrobeItems[0], dressed.m_wardrobeItems[1]);
    EXPECT_NE(dressed.m_wardrobeItems[1], dressed.m_wardrobeItems[2]);
    for (uint8_t choice = 0; choice < 4; choice++) {
        dressed.m_wardrobeChoice = choice;
        EXPECT_EQ(dressed.m_wardrobeItems[choice % 3], dressed.GetWardrobeItem());
    }
    EXPECT_TRUE(dressed.GetSpeed() >= 1.0f && dressed.GetSpeed() <= 1.5f) << dressed.GetSpeed();

    // Drawing goes through the character's callback, which marks the frame as drawn until the next update. The
    // recording device installs no atomic pipeline: the draw runs one that does nothing.
    GxNodeDefinition nothing = {};
    nothing.name = "nothing";
    nothing.body = [](GxPipelineNode*, const GxPipelineExecutionParams*) -> GxBool { return 1; };
    GxPipeline* pipeline = GxPipelineCreate();
    ASSERT_TRUE(pipeline && GxPipelineLock(pipeline) && GxPipelineAddFragment(pipeline, nullptr, &nothing, nullptr) &&
                GxPipelineUnlock(pipeline));
    GxPipelineGetModuleBlock()->currentAtomicPipeline = pipeline;
    EXPECT_EQ(0, dressed.m_drawnThisFrame);
    dressed.Render();
    EXPECT_EQ(1, dressed.m_drawnThisFrame);
    GxPipelineGetModuleBlock()->currentAtomicPipeline = nullptr;
    GxPipelineDestroy(pipeline);
    DrawnGrid drawn(kOpen);
    dressed.SetBlockGrid(&drawn.grid);
    dressed.Update(kFrame);
    EXPECT_EQ(0, dressed.m_drawnThisFrame);

    CFerroxCharacter plain;
    ModelFor(plain, nullptr);
    EXPECT_EQ(nullptr, plain.m_head.part);
    EXPECT_TRUE(plain.m_wardrobeItems.empty());
    EXPECT_EQ(nullptr, plain.GetWardrobeItem());
    // A variant pick with one variant counted picks none.
    EXPECT_EQ(nullptr, dressed.ChooseRandomPart("head", 1, nullptr));
}

// What the recording pipeline saw at each draw: the atomic's geometry and its first material's colour.
struct DrawSeen {
    GxGeometry* geometry;
    GxRGBA colour;
};
std::vector<DrawSeen> g_drawsSeen;

GxBool RecordDraw(GxPipelineNode*, const GxPipelineExecutionParams* params)
{
    auto* atomic = static_cast<GxAtomic*>(params->object);
    const GxGeometry* geometry = atomic->geometry;
    const GxRGBA none = {};
    g_drawsSeen.push_back({atomic->geometry, geometry && geometry->matList.numMaterials > 0
                                                 ? geometry->matList.materials[0]->color
                                                 : none});
    return 1;
}

GxGeometry* TaggedBox(const char* tag, GxRGBA colour, GxReal size)
{
    GxMaterial* material = GxMaterialCreate();
    material->color = colour;
    GxUserDataArray* array = GxMaterialAddUserDataArray(material, "tag", gxUSERDATASTRING, 1);
    EXPECT_TRUE(array && GxUserDataArraySetString(array, 0, tag));
    GxGeometry* box = GxWorldTestBox(material, material, size);
    GxMaterialDestroy(material);
    return box;
}

// Level of detail by depth along the camera's view, as the composite's rule gives it: nearer than 10 units the
// body is drawn, from 10 on the lighter body the model's level-of-detail record holds, in the colours the
// character gave its body. Between draws the atomic holds its body and its bounding sphere.
TEST_F(Character, FarCharactersAreDrawnWithTheirLighterBodyInTheirOwnColours)
{
    const GxRGBA pooled = {10, 20, 30, 255};
    const GxRGBA tinted = {200, 100, 50, 255};
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    GxClumpSetFrame(clump, root);
    GxGeometry* body = TaggedBox("shirt", pooled, 0.5f);
    GxGeometry* far = TaggedBox("shirt", pooled, 0.25f);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetFrame(atomic, root);
    GxAtomicSetGeometry(atomic, body, 0);
    atomic->object.object.flags |= gxATOMICRENDER;
    GxClumpAddAtomic(clump, atomic);
    ASSERT_NE(nullptr, GxLODAtomicSetGeometry(atomic, 2, far));
    GxLODAtomicGetRecord(atomic)->currentLevel = 0;  // level 0 is the atomic's own geometry
    GxGeometryDestroy(body);
    GxGeometryDestroy(far);
    CFerroxCharacter walker;
    SetupOn(models.Pool(clump, "walker"), walker, FERROX_MODEL_COPY);
    ASSERT_NE(nullptr, walker.GetModel());
    GxAtomic* drawn = walker.GetModel()->FindPart("");
    ASSERT_NE(nullptr, drawn);
    GxGeometry* own = drawn->geometry;
    const GxLODAtomicRecord* levels = GxLODAtomicGetRecord(drawn);
    ASSERT_TRUE(levels && levels->geometry[2] && levels->geometry[2] != own);
    GxGeometry* lighter = levels->geometry[2];
    own->matList.materials[0]->color = tinted;

    GxNodeDefinition definition = {};
    definition.name = "record";
    definition.body = RecordDraw;
    GxPipeline* pipeline = GxPipelineCreate();
    ASSERT_TRUE(pipeline && GxPipelineLock(pipeline) &&
                GxPipelineAddFragment(pipeline, nullptr, &definition, nullptr) && GxPipelineUnlock(pipeline));
    drawn->pipeline = pipeline;
    // The camera stands at the origin looking along +z (the test device gives it no rasters: only its frame counts).
    CFerroxGame game;
    game.m_pCamera = std::make_unique<CFerroxCamera>();
    CFerroxCamera& camera = *game.m_pCamera;
    camera.Create(64, 64, 0);
    ASSERT_NE(nullptr, camera.GetPosition());
    FerroxSetGame(&game);
    const GxSphere sphere = drawn->boundingSphere;
    const GxInt16 references = own->refCount;
    struct Case {
        float depth;
        bool far;
    };
    for (const Case& c : {Case{5.0f, false}, Case{9.0f, false}, Case{10.0f, true}, Case{40.0f, true}}) {
        const GxV3d at = {3.0f, 0.0f, c.depth};
        walker.GetModel()->Translate(&at, 0);
        g_drawsSeen.clear();
        walker.Render();
        ASSERT_EQ(1u, g_drawsSeen.size()) << c.depth;
        EXPECT_EQ(c.far ? lighter : own, g_drawsSeen[0].geometry) << c.depth;
        EXPECT_EQ(tinted.red, g_drawsSeen[0].colour.red) << c.depth;
        EXPECT_EQ(tinted.blue, g_drawsSeen[0].colour.blue) << c.depth;
        EXPECT_EQ(own, drawn->geometry) << c.depth;
        EXPECT_EQ(references, own->refCount) << c.depth;
        EXPECT_EQ(sphere.radius, drawn->boundingSphere.radius) << c.depth;
        EXPECT_EQ(1, walker.m_drawnThisFrame);
    }
    // Far off, the colours are taken anew at every draw, and from the body's material of the tag even when another
    // material took that place.
    auto farColour = [&] {
        g_drawsSeen.clear();
        walker.Render();
        return g_drawsSeen.empty() ? GxRGBA{} : g_drawsSeen[0].colour;
    };
    const GxRGBA retinted = {1, 2, 3, 255};
    own->matList.materials[0]->color = retinted;
    EXPECT_EQ(retinted.red, farColour().red);
    GxMaterial* replacement = GxMaterialCreate();
    replacement->color = {250, 251, 252, 255};
    GxUserDataArray* tag = GxMaterialAddUserDataArray(replacement, "tag", gxUSERDATASTRING, 1);
    ASSERT_TRUE(tag && GxUserDataArraySetString(tag, 0, "shirt"));
    GxMaterial* kept = own->matList.materials[0];
    own->matList.materials[0] = replacement;
    EXPECT_EQ(replacement->color.red, farColour().red);
    own->matList.materials[0] = kept;
    GxMaterialDestroy(replacement);
    drawn->pipeline = nullptr;
    GxPipelineDestroy(pipeline);
    FerroxSetGame(nullptr);
    camera.Release();
    walker.Release();
}

// Straight, detoured and backwards walks along the route splines end standing on the target cell, having
// stood only on walkable cells, at a pace that does not depend on the spacing of the route's cells.
TEST_F(Character, WalksItsRoutesToTheEnd)
{
    DrawnGrid drawn(kWall);
    CFerroxCharacter walker;
    ModelFor(walker, &drawn.grid);
    const int from = drawn.Cell(7, 0), to = drawn.Cell(7, 6);
    PlaceAt(walker, drawn.grid, from);
    ASSERT_EQ(1, walker.StepPath(from, to, 0, 0));
    int frames = 0;
    std::vector<int> cells = WalkToTheEnd(walker, &frames);
    EXPECT_EQ(FERROX_MOVE_STANDING, walker.m_movementMode);
    EXPECT_EQ(to, walker.m_currentCell);
    EXPECT_EQ(1, walker.IsNearCell(to, 1.0f));
    EXPECT_EQ(from, cells.front());
    ExpectWalkable(drawn.grid, cells);
    // Six cells of 2 units at a speed of 1: about twelve seconds of walking.
    EXPECT_NEAR(12.0f / kFrame, static_cast<float>(frames), 0.25f * 12.0f / kFrame);

    // Back along the same spline to the start.
    walker.m_backwards = 1;
    walker.m_pathParam = 1;
    cells = WalkToTheEnd(walker, &frames);
    EXPECT_EQ(from, walker.m_currentCell);
    EXPECT_EQ(0, walker.m_backwards);
    ExpectWalkable(drawn.grid, cells);
}

TEST_F(Character, PathEndsAndWaypointsAhead)
{
    DrawnGrid drawn(kOpen);
    CFerroxCharacter walker;
    ModelFor(walker, nullptr);
    EXPECT_EQ(1, walker.AdvanceOnPath(kFrame)) << "no path is the end of one";
    EXPECT_EQ(1, walker.IsNextWaypointWalkable());
    walker.SetBlockGrid(&drawn.grid);
    PlaceAt(walker, drawn.grid, drawn.Cell(0, 0));
    ASSERT_EQ(1, walker.StepPath(drawn.Cell(0, 0), drawn.Cell(0, 7), 0, 0));

    // The next point ahead becomes blocked under the character's feet.
    walker.m_pathParam = 0.3f;
    EXPECT_EQ(1, walker.IsNextWaypointWalkable());
    const int ahead = walker.GetPathSpline()->GetPointIndex(0.3f, 0);
    drawn.grid.GetBlock(walker.GetRouteCells()[ahead])->SetState(FERROX_BLOCK_BLOCKED);
    EXPECT_EQ(0, walker.IsNextWaypointWalkable());
    // Past the end of the path (a parameter read back from a save may stand anywhere) the point ahead lies past
    // the spline's points: nothing to walk onto.
    drawn.grid.GetBlock(walker.GetRouteCells().back())->SetState(FERROX_BLOCK_BLOCKED);
    walker.m_pathParam = 0.99f;
    EXPECT_EQ(0, walker.IsNextWaypointWalkable());
    walker.m_pathParam = 1.5f;
    EXPECT_EQ(1, walker.IsNextWaypointWalkable());

    // A step along the path flags the model's frame for update; passing the end in one big step does not: the
    // end is reported, the parameter starts again and the walker stands.
    GxFrame* frame = walker.GetModel()->GetFrame();
    walker.m_pathParam = 0.5f;
    walker.m_movementMode = FERROX_MOVE_FOLLOWING;
    GxFrameSyncDirty();
    walker.Update(kFrame);
    EXPECT_NE(0, GxFrameIsDirty(frame));
    walker.m_pathParam = 0.98f;
    GxFrameSyncDirty();
    walker.Update(100.0f);
    EXPECT_EQ(0, GxFrameIsDirty(frame));
    EXPECT_EQ(FERROX_MOVE_STANDING, walker.m_movementMode);
    EXPECT_EQ(0.0f, walker.m_pathParam);

    // Standing or a zero step leaves the parameter alone.
    walker.m_pathParam = 0.5f;
    walker.Update(kFrame);
    walker.m_movementMode = FERROX_MOVE_FOLLOWING;
    walker.Update(0);
    EXPECT_EQ(0.5f, walker.m_pathParam);

    // Position tests: bounds included, area corners in any order.
    PlaceAt(walker, drawn.grid, drawn.Cell(1, 1));
    EXPECT_EQ(1, walker.IsNearPoint(2, -2, 0));
    EXPECT_EQ(0, walker.IsNearPoint(2.01f, -2, 0));
    EXPECT_EQ(1, walker.IsNearPoint(3, -1, 1));
    EXPECT_EQ(1, walker.IsInArea(5, 1, -3, -2, 0));
    EXPECT_EQ(walker.IsInArea(5, 1, -3, -2, 0), walker.IsInArea(1, 5, -2, -3, 0));
    EXPECT_EQ(0, walker.IsInArea(3, 5, -3, -2, 0.5f));
    EXPECT_EQ(1, walker.IsNearCell(drawn.Cell(1, 1), 0));
    EXPECT_EQ(0, walker.IsNearCell(-5, 100));
}
