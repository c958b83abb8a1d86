// Criminals: the crimes they came for and the way out, thefts and vandalism, who can be caught, being held,
// the count of criminals present and the saved lines.
#include "game/figures/criminal.h"

#include "game/figures/aichar_test_local.h"
#include "game/figures/spawner.h"

namespace {

class CriminalTest : public AICharacterTest {
protected:
    void SetUp() override
    {
        AICharacterTest::SetUp();
        BuildingHooks quiet = {};
        quiet.makeEffect = [](const char*, const GxV3d&) -> std::unique_ptr<CBuildingEffect> { return nullptr; };
        SetBuildingHooks(quiet);
    }
    static void Force(CAICharacter* character, uint8_t state)
    {
        character->SetState(state);
        character->HandleEvent(99);
    }
};

}  // namespace

// One that came for 3 crimes (shop thefts and a broken facility alike) heads out after the third.
TEST_F(CriminalTest, LeavesAfterTheCrimesItCameFor)
{
    CSpawner spawner;
    spawner.AddSpawnPoint(std::make_unique<CSpawnPoint>("spawn_1_a", &ground, SlotPath(Cell(15, 15), "spawn")));
    // The spawn path ends in the street, off the laid floor.
    const int street = ground.GetCellAt(spawner.GetSpawnPoints()[0]->spline->GetPoints()[3]);
    ground.SetRangeTile(street, street, 1, nullptr);
    auto* shop = MakeShop(Cell(4, 4), 40, {"plain"});
    auto* facility = new Exposed<CPathableObject>();
    facility->Put(&ground, Cell(10, 4), 1, 1);
    facility->SetEffectKind(kEffectFire);
    manager->AddObject(facility);
    facility->Place(nullptr);

    auto* thief = Make<CCriminal>(Cell(8, 8));
    thief->m_presence = kPresenceInside;
    thief->m_wanted = 3;
    for (CPathableObject* scene : {static_cast<CPathableObject*>(shop), static_cast<CPathableObject*>(shop),
                                   static_cast<CPathableObject*>(facility)}) {
        EXPECT_EQ(nullptr, thief->m_pExitObject);
        thief->m_pTarget = scene;
        thief->CompleteVisit();
        thief->ClearTarget();
        thief->m_failCount = 0;
        if (thief->m_crimes < 3)
            thief->ChooseTarget();
    }
    EXPECT_EQ(3, thief->m_crimes);
    EXPECT_EQ(-80, shop->GetRecord().takingsTotal) << "each theft takes the price";
    EXPECT_EQ(1, facility->IsEffectOn()) << "the facility is broken";
    EXPECT_EQ((std::vector<int16_t>{kMessageTheft, kMessageTheft, kMessageVandalism}), notices.messages);
    EXPECT_EQ(3u, notices.samples.size());
    EXPECT_EQ(1, thief->ChooseTarget());
    EXPECT_EQ(spawner.GetSpawnPoints()[0].get(), thief->m_pExitObject) << "no door: out by a spawn path";
    EXPECT_TRUE(ground.IsValidCell(thief->m_targetCell, 1)) << thief->m_targetCell;

    auto* next = Make<CCriminal>(Cell(0, 0));
    next->StartAt(spawner.GetSpawnPoints()[0].get());
    EXPECT_EQ(thief->m_targetCell, next->m_currentCell) << "a character starts at the spawn path's inner end";
    EXPECT_EQ(next->m_currentCell, ground.GetCellAt(*next->GetPosition()));
}

// Only a criminal at work (state 5) on the guard's floor and within reach can be caught; a held one stands
// still, stays held and is not saved.
TEST_F(CriminalTest, CatchingAndHolding)
{
    auto* thief = Make<CCriminal>(Cell(8, 8));
    thief->m_presence = kPresenceInside;
    const GxV3d here = *thief->GetPosition();
    for (uint8_t state : {AI_STATE_PAUSE, AI_STATE_WALK}) {
        Force(thief, state);
        EXPECT_EQ(nullptr, thief->IsCatchable(ground.GetFloorId(), 2.0f, here)) << int(state);
    }
    Force(thief, AI_STATE_ACT);
    EXPECT_EQ(thief, thief->IsCatchable(ground.GetFloorId(), 2.0f, here));
    EXPECT_EQ(nullptr, thief->IsCatchable(ground.GetFloorId() + 1, 2.0f, here));
    const GxV3d far = {here.x + 5.0f, here.y, here.z};
    EXPECT_EQ(nullptr, thief->IsCatchable(ground.GetFloorId(), 2.0f, far));
    EXPECT_EQ(Cell(8, 8), thief->GetCatchCell());

    const std::string free = Saved(thief, "free.txt");
    EXPECT_FALSE(free.empty());
    thief->m_movementMode = FERROX_MOVE_FOLLOWING;
    Force(thief, kCriminalHeldState);
    EXPECT_EQ(FERROX_MOVE_STANDING, thief->m_movementMode);
    thief->UpdateAI(0.5f);
    EXPECT_EQ(kCriminalHeldState, thief->GetState());
    EXPECT_EQ("", Saved(thief, "held.txt"));

    auto* loaded = Make<CCriminal>(Cell(0, 0));
    thief->m_wanted = 7;
    thief->m_crimes = 2;
    Force(thief, AI_STATE_PAUSE);
    EXPECT_EQ(0, LoadInto(loaded, Saved(thief, "again.txt"), "again.txt"));
    EXPECT_EQ(7, loaded->m_wanted);
    EXPECT_EQ(2, loaded->m_crimes);
}

TEST_F(CriminalTest, CountedWhilePresent)
{
    auto* thief = Make<CCriminal>(Cell(8, 8));
    EXPECT_EQ(1, stats->m_criminalsPresent);
    EXPECT_GE(thief->m_wanted, 3);
    EXPECT_LE(thief->m_wanted, 10);
    thief->Release();
    thief->Release();
    EXPECT_EQ(0, stats->m_criminalsPresent);
}
