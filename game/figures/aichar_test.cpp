// The AI character: wandering, the machine's stepping and pause, the search budget, target searches, user-slot
// visits and their slots, removals under the character, and its saved lines.
#include "game/figures/aichar.h"

#include "engine/navigation/astar.h"
#include "game/figures/aichar_test_local.h"
#include "game/figures/shopper.h"
#include "game/world/floors.h"

namespace {

// Forces the machine into a state: the pending change runs on an event no state handles.
void Force(CAICharacter* character, uint8_t state)
{
    character->SetState(state);
    character->HandleEvent(99);
    ASSERT_EQ(state, character->GetState());
}

class Undecided : public CAICharacter {
public:
    int ChooseTarget() override
    {
        calls++;
        return 0;
    }
    int calls = 0;
};

class AIVisitTest : public AICharacterTest {
protected:
    void SetUp() override
    {
        AICharacterTest::SetUp();
        // Effects show as their flag only.
        BuildingHooks quiet = {};
        quiet.makeEffect = [](const char*, const GxV3d&) -> std::unique_ptr<CBuildingEffect> { return nullptr; };
        SetBuildingHooks(quiet);
    }
    // A character standing at the shop's entrance, acting on it.
    template <typename T>
    T* AtShop(CShop* shop)
    {
        T* character = Make<T>(shop->GetEntranceCell(0));
        character->m_presence = kPresenceInside;
        character->m_pTarget = shop;
        character->m_targetCell = shop->GetEntranceCell(0);
        Force(character, AI_STATE_ACT);
        return character;
    }
};

}  // namespace

TEST(AIWander, OffsetsNeverBothBelowFour)
{
    const struct {
        int a, b, wantA, wantB;
    } cases[] = {{2, -1, 4, -1}, {0, 0, 4, 0}, {-1, 3, -1, 4}, {-3, -3, -4, -3}, {5, 1, 5, 1}, {-2, -12, -2, -12}};
    for (const auto& c : cases) {
        int a = c.a, b = c.b;
        CAICharacter::SpreadWanderOffset(&a, &b);
        EXPECT_EQ(c.wantA, a) << c.a << "," << c.b;
        EXPECT_EQ(c.wantB, b) << c.a << "," << c.b;
    }
}

TEST_F(AICharacterTest, WanderStaysBetweenFourAndFifteenCells)
{
    auto* walker = Make<CAICharacter>(Cell(8, 8));
    int chosen = 0;
    for (int i = 0; i < 200; i++) {
        if (!walker->ChooseTarget()) {
            EXPECT_EQ(-1, walker->m_targetCell);
            continue;
        }
        chosen++;
        const int dr = std::abs(ground.GetCellRow(walker->m_targetCell, 1) - 8);
        const int dc = std::abs(ground.GetCellColumn(walker->m_targetCell, 1) - 8);
        EXPECT_TRUE(std::max(dr, dc) >= 4 && std::max(dr, dc) <= 15) << dr << "," << dc;
    }
    EXPECT_GT(chosen, 0);
}

// The machine steps once 0.01 s has gathered and then starts counting from 0; the pause lasts 2 s and
// leads to the path search with a target cell, to the decision without one; a decision that chooses
// nothing is tried again at the next step.
TEST_F(AICharacterTest, SteppingPauseAndDecision)
{
    auto* walker = Make<CAICharacter>(Cell(8, 8));
    walker->m_presence = kPresenceInside;
    walker->m_aiTimer = 0.008f;
    walker->UpdateAI(0.005f);
    EXPECT_EQ(0.0f, walker->m_aiTimer) << "0.013 restarts at 0, not at 0.003";
    EXPECT_EQ(AI_STATE_PAUSE, walker->GetState());
    walker->UpdateAI(0.004f);
    EXPECT_FLOAT_EQ(0.004f, walker->m_aiTimer);
    EXPECT_FLOAT_EQ(kAIPauseSeconds, walker->m_pauseTimer) << "no step below 0.01 s";

    for (int target : {5, -1}) {
        Force(walker, AI_STATE_PAUSE);
        walker->m_targetCell = target;
        walker->m_aiTimer = 0.0f;
        for (int i = 0; i < 4; i++)
            walker->UpdateAI(0.5f);
        EXPECT_EQ(AI_STATE_PAUSE, walker->GetState()) << "still pausing after 2 s";
        walker->UpdateAI(0.5f);
        EXPECT_EQ(target < 0 ? AI_STATE_DECIDE : AI_STATE_FIND_PATH, walker->GetState()) << target;
    }

    auto* undecided = Make<Undecided>(Cell(8, 8));
    undecided->m_presence = kPresenceInside;
    Force(undecided, AI_STATE_DECIDE);
    for (int i = 0; i < 3; i++)
        undecided->UpdateAI(0.02f);
    EXPECT_EQ(AI_STATE_DECIDE, undecided->GetState());
    EXPECT_EQ(3, undecided->calls);
}

namespace {

// Each reading is 1/8192 s later, a fraction of a millisecond.
constexpr double kClockStep = 1.0 / 8192.0;
double g_clockNow = 0.0;
double FineClock()
{
    g_clockNow += kClockStep;
    return g_clockNow;
}

}  // namespace

// The frame's 2.5 ms of search are shared by the shoppers and criminals present, measured in seconds: among four
// walkers a search stops after 0.625 ms, six readings of the fine clock, among eight after three; with nobody
// present the search runs to its end in one step.
TEST_F(AICharacterTest, SearchBudgetSharedByWalkersPresent)
{
    EXPECT_EQ(0.0f, CAICharacter::PathBudget());
    stats->m_shoppersPresent = 3;
    stats->m_criminalsPresent = 1;
    EXPECT_FLOAT_EQ(0.0025f / 4.0f, CAICharacter::PathBudget());

    // A wall the straight walk cannot pass.
    for (int row = 0; row < 13; row++)
        ground.GetBlock(Cell(row, 10))->SetState(FERROX_BLOCK_BLOCKED);
    FerroxCharacterSetClock(FineClock);
    // A walker inside the mall searching its way round the wall.
    auto Searching = [&] {
        auto* searcher = Make<CAICharacter>(Cell(5, 5));
        searcher->m_presence = kPresenceInside;
        searcher->m_targetCell = Cell(5, 14);
        Force(searcher, AI_STATE_FIND_PATH);
        searcher->UpdateState();
        return searcher;
    };
    auto* walker = Searching();
    EXPECT_EQ(FERROX_ROUTE_SEARCHING, walker->m_routeState) << "a shared budget runs out";
    ASSERT_NE(nullptr, walker->GetPathFinder());
    EXPECT_EQ(6, walker->GetPathFinder()->GetStepCount());
    stats->m_shoppersPresent = 7;
    auto* crowded = Searching();
    ASSERT_NE(nullptr, crowded->GetPathFinder());
    EXPECT_EQ(3, crowded->GetPathFinder()->GetStepCount()) << "the more walkers, the less search each";
    // A one-shot animation that has ended is restarted while the search runs; its finished flag stays.
    walker->PlayAnimation("pause", 0, 0.0f);
    walker->SetAnimationFinished(1);
    walker->UpdateState();
    EXPECT_EQ(FERROX_ROUTE_SEARCHING, walker->m_routeState);
    EXPECT_EQ(1, walker->IsAnimationFinished());

    stats->m_shoppersPresent = 0;
    stats->m_criminalsPresent = 0;
    auto* alone = Searching();
    FerroxCharacterSetClock(nullptr);
    EXPECT_EQ(FERROX_ROUTE_READY, alone->m_routeState) << "no limit with nobody present";
    EXPECT_EQ(AI_STATE_WALK, alone->GetState());
}

TEST_F(AICharacterTest, MissingDoorMeansEnteredMissingShopCountsAFailure)
{
    auto* walker = Make<CAICharacter>(Cell(8, 8));
    CObjectQuery query = {};
    query.kind = kObjectKindDoor;
    query.nearest = 1;
    query.testAvailable = 1;
    query.grid = &ground;
    walker->FindTarget(&query);
    EXPECT_EQ(1, walker->m_entered);
    EXPECT_EQ(0, walker->m_failCount);
    query.kind = kObjectKindShop;
    walker->FindTarget(&query);
    EXPECT_EQ(1, walker->m_failCount);
}

// A slot without a path (a model that names none) goes back at once, and the visit ends as without a slot; a
// dirty object is not used at all.
TEST_F(AIVisitTest, SlotWithoutAPathIsGivenBack)
{
    auto* shop = MakeShop(Cell(4, 4), 10, {});
    shop->AddUserSlot(nullptr);
    auto* walker = AtShop<CAICharacter>(shop);
    EXPECT_EQ(1, walker->VisitTarget());
    EXPECT_EQ(0, shop->GetUsedSlots());
    EXPECT_EQ(kVisitStart, walker->m_visitPhase);

    auto* dirty = MakeShop(Cell(10, 4), 10, {"plain"});
    dirty->SetEffectKind(kEffectFire);
    ASSERT_EQ(1, dirty->CreateEffects());
    EXPECT_EQ(1, AtShop<CAICharacter>(dirty)->VisitTarget());
    EXPECT_EQ(0, dirty->GetUsedSlots());
}

// A path without an action ends the visit at its end; an action lasts 10 s and the path is walked back.
// Either way the slot is free again afterwards.
TEST_F(AIVisitTest, SlotPathsPlainAndWithAction)
{
    auto* shop = MakeShop(Cell(4, 4), 10, {"plain"});
    auto* walker = AtShop<CAICharacter>(shop);
    EXPECT_EQ(0, walker->VisitTarget());
    EXPECT_EQ(1, shop->GetUsedSlots());
    EXPECT_EQ(kVisitWalkIn, walker->m_visitPhase);
    Walk(walker);
    EXPECT_EQ(1, walker->VisitTarget());
    EXPECT_EQ(0, shop->GetUsedSlots());

    auto* seat = MakeShop(Cell(10, 4), 10, {"bench_sit"});
    auto* sitter = AtShop<CAICharacter>(seat);
    EXPECT_EQ(0, sitter->VisitTarget());
    Walk(sitter);
    EXPECT_EQ(0, sitter->VisitTarget());
    EXPECT_EQ(kVisitAction, sitter->m_visitPhase);
    for (int i = 0; i < 99; i++)
        sitter->CFerroxCharacter::Update(kAIFrame);
    EXPECT_EQ(0, sitter->VisitTarget());
    EXPECT_EQ(kVisitAction, sitter->m_visitPhase) << "9.9 s into the action";
    sitter->CFerroxCharacter::Update(2 * kAIFrame);
    EXPECT_EQ(0, sitter->VisitTarget());
    EXPECT_EQ(kVisitWalkBack, sitter->m_visitPhase);
    EXPECT_EQ(1, sitter->m_backwards);
    EXPECT_EQ(FERROX_MOVE_FOLLOWING, sitter->m_movementMode);
    EXPECT_EQ(0, seat->GetUsedSlots()) << "the slot goes back when the action ends";
    Walk(sitter);
    EXPECT_EQ(1, sitter->VisitTarget());
    EXPECT_EQ(kVisitStart, sitter->m_visitPhase);
}

// A slot goes back exactly once: at the end of the visit, on leaving state 5 another way, or at release; a
// second user of the same slot keeps it.
TEST_F(AIVisitTest, SlotGoesBackExactlyOnce)
{
    auto* shop = MakeShop(Cell(4, 4), 10, {"bench_sit"});
    auto* walker = AtShop<CAICharacter>(shop);
    EXPECT_EQ(0, walker->VisitTarget());
    Walk(walker);
    walker->VisitTarget();
    shop->AcquireSlotAt(0);  // someone else joins the slot
    walker->CFerroxCharacter::Update(11.0f);
    walker->VisitTarget();
    ASSERT_EQ(kVisitWalkBack, walker->m_visitPhase);
    Force(walker, AI_STATE_PAUSE);  // leaving state 5 during the walk back
    walker->Release();
    EXPECT_EQ(1, shop->GetUserSlots()[0]->useCount);
    EXPECT_EQ(1, shop->GetUsedSlots());

    auto* other = MakeShop(Cell(10, 4), 10, {"plain"});
    auto* leaver = AtShop<CAICharacter>(other);
    leaver->VisitTarget();
    ASSERT_EQ(1, other->GetUsedSlots());
    Force(leaver, AI_STATE_PAUSE);
    EXPECT_EQ(0, other->GetUsedSlots()) << "leaving state 5 gives the slot back";
}

// Removing the shop a shopper is acting in removes the shopper; one walking to it pauses.
TEST_F(AIVisitTest, RemovalOfTheTarget)
{
    auto* shop = MakeShop(Cell(4, 4), 10, {"plain"});
    auto* inside = AtShop<CShopper>(shop);
    inside->VisitTarget();
    auto* walking = Make<CShopper>(Cell(12, 12));
    walking->m_pTarget = shop;
    walking->m_targetCell = shop->GetEntranceCell(0);
    Force(walking, AI_STATE_WALK);
    manager->RemoveObject(shop, 1);
    EXPECT_EQ(1, inside->m_removeFlag);
    EXPECT_EQ(nullptr, inside->m_pTarget);
    EXPECT_EQ(0, walking->m_removeFlag);
    EXPECT_EQ(nullptr, walking->m_pTarget);
    walking->HandleEvent(99);
    EXPECT_EQ(AI_STATE_PAUSE, walking->GetState());
    // A dropped target takes the cell the character was heading for with it.
    auto* next = MakeShop(Cell(10, 4), 10, {"plain"});
    walking->m_pTarget = next;
    walking->m_targetCell = next->GetEntranceCell(0);
    walking->DropTarget();
    EXPECT_EQ(nullptr, walking->m_pTarget);
    EXPECT_EQ(-1, walking->m_targetCell);
}

// Save, load, save again for every visit phase: the second and third texts are the same; a loaded character
// holds no slot, so the used slots come back to 0 when the visitor leaves.
TEST_F(AIVisitTest, SaveLoadSaveInEveryPhase)
{
    auto* shop = MakeShop(Cell(4, 4), 10, {"bench_sit"});
    auto* visitor = AtShop<CShopper>(shop);
    const int entrance = shop->GetEntranceCell(0);
    for (int phase = kVisitStart; phase <= kVisitWalkBack; phase++) {
        SCOPED_TRACE(phase);
        if (phase == kVisitWalkIn)
            visitor->VisitTarget();
        if (phase == kVisitAction) {
            Walk(visitor);
            visitor->VisitTarget();
        }
        if (phase == kVisitWalkBack) {
            visitor->CFerroxCharacter::Update(11.0f);
            visitor->VisitTarget();
        }
        ASSERT_EQ(phase, visitor->m_visitPhase);
        const std::string first = Saved(visitor, "first.txt");
        ASSERT_FALSE(first.empty());
        auto* loaded = Make<CShopper>(Cell(0, 0));
        EXPECT_EQ(0, LoadInto(loaded, first, "first.txt"));
        EXPECT_EQ(shop, loaded->m_pTarget) << "the entrance's occupant is the target";
        loaded->HandleEvent(99);
        EXPECT_EQ(AI_STATE_FIND_PATH, loaded->GetState());
        EXPECT_EQ(entrance, loaded->m_targetCell);
        const std::string second = Saved(loaded, "second.txt");
        auto* again = Make<CShopper>(Cell(0, 0));
        EXPECT_EQ(0, LoadInto(again, second, "second.txt"));
        // Saved before its next step, a loaded character keeps the state its load asked for.
        EXPECT_EQ(second, Saved(again, "pending.txt"));
        again->HandleEvent(99);
        EXPECT_EQ(second, Saved(again, "third.txt"));
        loaded->Release();
        again->Release();
    }
    Walk(visitor);
    visitor->VisitTarget();
    Force(visitor, AI_STATE_PAUSE);
    EXPECT_EQ(0, shop->GetUsedSlots());
}

// A character paused before walking to a shop loads looking for its path there, with the shop as its target.
TEST_F(AIVisitTest, APausedWalkerLoadsFindingItsPath)
{
    auto* shop = MakeShop(Cell(4, 4), 10, {"plain"});
    auto* walker = Make<CShopper>(Cell(12, 12));
    walker->m_presence = kPresenceInside;
    walker->m_pTarget = shop;
    walker->m_targetCell = shop->GetEntranceCell(0);
    Force(walker, AI_STATE_PAUSE);
    auto* loaded = Make<CShopper>(Cell(0, 0));
    EXPECT_EQ(0, LoadInto(loaded, Saved(walker, "paused.txt"), "paused.txt"));
    loaded->HandleEvent(99);
    EXPECT_EQ(AI_STATE_FIND_PATH, loaded->GetState());
    EXPECT_EQ(shop, loaded->m_pTarget);
    EXPECT_EQ(0.0f, loaded->m_pathParam);
}

// Nothing is saved of a character not yet come or off the floor. A target cell whose occupant is no walk-to object
// pauses the loaded character; a character saved inside a footprint comes out at its entrance; one on no cell of
// the floor, or with lines missing, is removed.
TEST_F(AIVisitTest, LoadPlacesOrRemoves)
{
    auto* walker = Make<CAICharacter>(Cell(8, 8));
    EXPECT_EQ("", Saved(walker, "none.txt"));
    walker->m_presence = kPresenceInside;
    walker->m_currentCell = -1;
    EXPECT_EQ("", Saved(walker, "off.txt"));
    walker->m_currentCell = Cell(8, 8);
    walker->m_targetCell = Cell(12, 12);
    const std::string text = Saved(walker, "walker.txt");
    auto piece = MakePiece("bench");
    ground.PlaceObject(Cell(12, 12), piece.get(), 1, 1, 0);
    auto* loaded = Make<CAICharacter>(Cell(0, 0));
    EXPECT_EQ(0, LoadInto(loaded, text, "walker.txt"));
    loaded->HandleEvent(99);
    EXPECT_EQ(AI_STATE_PAUSE, loaded->GetState());
    EXPECT_EQ(nullptr, loaded->m_pTarget);

    auto* shop = MakeShop(Cell(4, 4), 10, {});
    auto* inside = Make<CAICharacter>(Cell(5, 5));
    inside->m_presence = kPresenceInside;
    auto* outside = Make<CAICharacter>(Cell(0, 0));
    EXPECT_EQ(0, LoadInto(outside, Saved(inside, "inside.txt"), "inside.txt"));
    outside->HandleEvent(99);
    EXPECT_EQ(AI_STATE_PAUSE, outside->GetState());
    EXPECT_EQ(shop->GetEntranceCell(0), ground.GetCellAt(*outside->GetPosition()));

    const std::string cellLine = ToString<int>(Cell(8, 8)) + "\r\n";
    std::string offFloor = text;
    offFloor.replace(offFloor.find(cellLine), cellLine.size(), "9999\r\n");
    auto* lost = Make<CAICharacter>(Cell(0, 0));
    EXPECT_EQ(1, LoadInto(lost, offFloor, "off.txt"));
    EXPECT_EQ(1, lost->m_removeFlag);
    auto* cut = Make<CAICharacter>(Cell(0, 0));
    EXPECT_EQ(1, LoadInto(cut, text.substr(0, text.size() / 2), "cut.txt"));
    EXPECT_EQ(1, cut->m_removeFlag);
    // A state the machine has no handler for would hold the character for good.
    std::string stuck = text;
    const size_t state = stuck.find(cellLine) + cellLine.size();
    stuck.replace(state, stuck.find("\r\n", state) - state, "50");
    auto* held = Make<CAICharacter>(Cell(0, 0));
    EXPECT_EQ(1, LoadInto(held, stuck, "stuck.txt"));
    EXPECT_EQ(1, held->m_removeFlag);
}

// A storey no base floor of the floor manager leads to counts as the ground floor.
TEST_F(AICharacterTest, UnknownStoreyCountsAsGround)
{
    ASSERT_EQ(0, ground.BuildStoreyAbove(4.0f, &tile, nullptr));
    std::unique_ptr<CFerroxBlockMesh> upper(ground.GetUpper());
    CFloorManager floors;
    floors.Create(nullptr);
    auto* walker = Make<CAICharacter>(Cell(8, 8));
    walker->SetBlockGrid(upper.get());
    EXPECT_EQ(0, walker->GetLevelNumber());
    walker->SetBlockGrid(&ground);
    EXPECT_EQ(0, walker->GetLevelNumber());
}

// A visitor removed from the game gives its slot back; a game torn down while characters visit releases
// them before it deletes the objects they hold slots in.
TEST_F(AIVisitTest, RemovedVisitorsGiveSlotsBack)
{
    auto* shop = MakeShop(Cell(4, 4), 10, {"plain", "plain"});
    auto* visitor = AtShop<CShopper>(shop);
    visitor->VisitTarget();
    auto* second = AtShop<CShopper>(shop);
    second->VisitTarget();
    ASSERT_EQ(2, shop->GetUsedSlots());
    visitor->RemoveIfOnCell(static_cast<int16_t>(visitor->m_currentCell));
    visitor->Update(0.0f);
    manager->Update(0.0f);
    EXPECT_EQ(1, shop->GetUsedSlots());
    EXPECT_EQ(1u, manager->GetShoppers().size());
    manager->Reset();
    EXPECT_EQ(0u, manager->GetCount());
}
