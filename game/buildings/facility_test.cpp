// Facilities, scenery and atria: template values, breakdowns by use, flies by days untended, rating, openings.
#include "game/buildings/facility.h"

#include "game/buildings/building_testing.h"

namespace {

typedef BuildingTest FacilityTest;

// Sizes, cost, kind, price.
TEST_F(FacilityTest, PlacementReadsKindPriceAndBreakability)
{
    TestTemplate phoneTemplate("phone_box", {"1", "1", "300", "-2", "5"});
    TestTemplate benchTemplate("bench", {"1", "1", "40"});
    const FerroxObjectDescriptor phoneDescriptor = phoneTemplate.Descriptor(&ground);
    const FerroxObjectDescriptor benchDescriptor = benchTemplate.Descriptor(&ground);
    Exposed<CUsableObject> phone;
    phone.Setup(&phoneDescriptor);
    phone.Put(&ground, Cell(4, 4), 1, 1);
    phone.Place(nullptr);
    EXPECT_EQ(-2, phone.GetKind());
    EXPECT_EQ(5, phone.GetPrice());
    EXPECT_EQ(kEffectFire, phone.GetEffectKind());
    Exposed<CUsableObject> bench;
    bench.Setup(&benchDescriptor);
    bench.Put(&ground, Cell(8, 8), 1, 1);
    bench.Place(nullptr);
    EXPECT_EQ(-1, bench.GetKind()) << "a short list keeps the kind";
    EXPECT_EQ(kEffectNone, bench.GetEffectKind());
    EXPECT_EQ(340u, stats->m_buildingCosts);
}

// At level 0 (also without category counters) a facility used 60 times breaks on the next new day; one never
// used never breaks.
TEST_F(FacilityTest, BreakdownsByUse)
{
    for (bool counters : {true, false}) {
        if (!counters)
            stats->m_categories.clear();
        notices.Clear();
        Exposed<CUsableObject> phone;
        phone.Put(&ground, Cell(4, 4), 1, 1);
        phone.Place(nullptr);
        phone.SetEffectKind(kEffectFire);
        for (uint16_t day = 1; day <= 30; day++) {
            EndDay(day);
            phone.Update(0.1f);
        }
        EXPECT_EQ(0, phone.IsEffectOn());
        for (int i = 0; i < 60; i++)
            phone.AddTakings(0);
        game->m_newDay = 0;
        phone.Update(0.1f);
        EXPECT_EQ(0, phone.IsEffectOn()) << "only on a new day";
        EndDay(31);
        phone.Update(0.1f);
        EXPECT_EQ(1, phone.IsEffectOn()) << counters;
        EXPECT_EQ(0, phone.GetUseCount());
        EXPECT_EQ(std::vector<int16_t>{kMessageNeedsWork}, notices.messages);
    }
}

typedef BuildingTest SceneryTest;

// A tree placed on day 10 stays clean up to day 16 and surely has flies by day 26 (level 0).
TEST_F(SceneryTest, FliesAfterUntendedDays)
{
    TestTemplate treeTemplate("tree_big", {"1", "1", "100", "7"});
    const FerroxObjectDescriptor descriptor = treeTemplate.Descriptor(&ground);
    game->m_dayCounter = 10;
    Exposed<CSceneryObject> tree;
    tree.Setup(&descriptor);
    tree.Put(&ground, Cell(4, 4), 1, 1);
    tree.AddEntrance({0.0f, 1.0f});
    tree.Place(nullptr);
    EXPECT_EQ(kEffectFlies, tree.GetEffectKind());
    for (int round = 0; round < 20; round++) {
        for (uint16_t day = 11; day <= 16; day++) {
            EndDay(day);
            tree.Update(0.1f);
        }
    }
    EXPECT_EQ(0, tree.IsEffectOn());
    EndDay(26);
    tree.Update(0.1f);
    EXPECT_EQ(1, tree.IsEffectOn());
    EXPECT_EQ(26, tree.GetDayStamp());
    EXPECT_EQ(std::vector<int16_t>{kMessageNeedsWork}, notices.messages);
}

// Decoration counts while the plant is clean; flies take it off, clearing them gives it back, and
// removing a plant with flies takes nothing more.
TEST_F(SceneryTest, RatingFollowsFlies)
{
    TestTemplate plantTemplate("plant_pot", {"1", "1", "100", "7"});
    const FerroxObjectDescriptor descriptor = plantTemplate.Descriptor(&ground);
    auto plant = std::make_unique<Exposed<CSceneryObject>>();
    plant->Setup(&descriptor);
    plant->Put(&ground, Cell(4, 4), 1, 1);
    plant->Place(nullptr);
    EXPECT_EQ(7, stats->m_ratingPlus);
    EXPECT_EQ(1, plant->CreateEffects());
    EXPECT_EQ(0, stats->m_ratingPlus);
    EXPECT_EQ(1, plant->ClearEffects());
    EXPECT_EQ(7, stats->m_ratingPlus);
    plant->CreateEffects();
    plant.reset();
    EXPECT_EQ(0, stats->m_ratingPlus);

    Exposed<CSceneryObject> clean;
    clean.Setup(&descriptor);
    clean.Put(&ground, Cell(8, 8), 1, 1);
    clean.Place(nullptr);
    clean.Release();
    EXPECT_EQ(0, stats->m_ratingPlus);
    Exposed<CSceneryObject> unplaced;
    unplaced.Setup(&descriptor);
    unplaced.Release();
    EXPECT_EQ(0, stats->m_ratingPlus) << "a plant never placed added nothing";
}

typedef BuildingTest AtriumTest;

TEST_F(AtriumTest, RefusesStoreyAboveHoldingObjects)
{
    CFerroxBlockMesh* above = AddStorey();
    Exposed<CAtriumObject> atrium;
    atrium.Put(&ground, Cell(4, 4), 2, 2);
    EXPECT_EQ(3, atrium.GetKind());
    EXPECT_EQ(1, atrium.CanPlace(nullptr, above));
    auto bench = MakePiece("bench");
    above->PlaceObject(Cell(5, 5), bench.get(), 1, 1, 1);
    EXPECT_EQ(0, atrium.CanPlace(nullptr, above));
    EXPECT_EQ(1, atrium.CanPlace(nullptr, nullptr));
}

// Placing frees the free points' cells and, with free points, opens the storey above over the footprint; a model
// without them leaves the storey above laid.
TEST_F(AtriumTest, PlacementOpensTheStoreyAbove)
{
    CFerroxBlockMesh* above = AddStorey();
    Exposed<CAtriumObject> closed;
    closed.Put(&ground, Cell(8, 8), 2, 2);
    ASSERT_EQ(1, closed.Place(nullptr));
    EXPECT_EQ(1, above->IsAreaTiled(Cell(8, 8), 2, 2));

    Exposed<CAtriumObject> atrium;
    atrium.Put(&ground, Cell(4, 4), 2, 2);
    atrium.AddFreePoint({0.0f, 1.0f});
    ground.GetBlock(Cell(4, 3))->SetState(FERROX_BLOCK_BLOCKED);
    ASSERT_EQ(1, atrium.Place(nullptr));
    EXPECT_EQ(0, above->IsAreaTiled(Cell(4, 4), 2, 2));
    EXPECT_EQ(1, above->IsAreaTiled(Cell(6, 6), 1, 1));
    EXPECT_TRUE(ground.GetBlock(Cell(4, 3))->IsWalkable());
}

}  // namespace
