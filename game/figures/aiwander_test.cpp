// Wander targets of the AI character near the edge of its storey: the border ring of a grid has no neighbours
// on its outer side, and a character sent there walks off the grid.
#include "game/figures/aichar.h"

#include "game/figures/aichar_test_local.h"

namespace {

constexpr int kWanderTries = 400;

TEST_F(AICharacterTest, WanderNeverTargetsTheBorderRing)
{
    const int corner[] = {Cell(1, 1), Cell(1, kAITestSide - 2), Cell(kAITestSide - 2, 1), Cell(kAITestSide / 2, 1)};
    for (int start : corner) {
        auto* walker = Make<CAICharacter>(start);
        int chosen = 0;
        for (int i = 0; i < kWanderTries; i++) {
            if (!walker->ChooseTarget())
                continue;
            chosen++;
            ASSERT_EQ(1, ground.IsValidCell(walker->m_targetCell, 0))
                << "from " << start << " the target " << walker->m_targetCell << " is on the border";
        }
        EXPECT_GT(chosen, 0) << "from " << start;
    }
}

}  // namespace
