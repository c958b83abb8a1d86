// State machine and pointer list: event order, chained changes and their limit; working and master vectors.
#include "engine/application/fsm.h"
#include "engine/data/ptrlist.h"

#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Records every event; on entering a state it may request the state given in the table.
class RecordingFSM : public CFerroxFSM {
public:
    int StateHandler(int event, uint8_t state) override
    {
        events.emplace_back(event, state);
        if (event == FERROX_FSM_ENTER && onEnter[state] != 0xFF)
            SetState(onEnter[state]);
        if (event == FERROX_FSM_EXIT && onExit[state] != 0xFF)
            SetState(onExit[state]);
        return 1;
    }
    RecordingFSM()
    {
        for (int i = 0; i < 256; ++i)
            onEnter[i] = onExit[i] = 0xFF;
    }
    std::vector<std::pair<int, int>> events;
    uint8_t onEnter[256];
    uint8_t onExit[256];
};

typedef std::vector<std::pair<int, int>> Events;

TEST(FSM, RequestedChangeRunsExitThenEnterAfterTheEvent)
{
    RecordingFSM fsm;
    fsm.EnterState();
    EXPECT_EQ(Events({{1, 0}}), fsm.events);
    fsm.SetState(1);
    fsm.UpdateState();
    fsm.events.clear();
    fsm.SetState(7);
    fsm.SetState(3);  // only the last request counts
    fsm.UpdateState();
    EXPECT_EQ(Events({{0, 1}, {2, 1}, {1, 3}}), fsm.events);
    EXPECT_EQ(3, fsm.GetState());
    EXPECT_EQ(0, fsm.IsChangePending());

    fsm.events.clear();
    fsm.SetState(3);  // to the same state: still a change
    fsm.UpdateState();
    EXPECT_EQ(Events({{0, 3}, {2, 3}, {1, 3}}), fsm.events);
}

// The exit handler's request replaces the one before it, so the machine enters that state; the request is still
// pending then, and the loop carries it out as a further change of the same state.
TEST(FSM, RequestFromTheExitHandlerIsEnteredAndChangedOnceMore)
{
    RecordingFSM fsm;
    fsm.onExit[0] = 5;
    fsm.SetState(2);
    fsm.UpdateState();
    EXPECT_EQ(Events({{0, 0}, {2, 0}, {1, 5}, {2, 5}, {1, 5}}), fsm.events);
    EXPECT_EQ(5, fsm.GetState());
    EXPECT_EQ(5, fsm.GetNextState());
    EXPECT_EQ(0, fsm.IsChangePending());
}

TEST(FSM, AtMostTenChainedChangesPerCallAndTheRestIsKept)
{
    RecordingFSM fsm;
    fsm.onEnter[1] = 2;
    fsm.onEnter[2] = 1;
    fsm.SetState(1);
    fsm.UpdateState();
    ASSERT_EQ(21u, fsm.events.size());
    EXPECT_EQ(std::make_pair(0, 0), fsm.events[0]);
    int exits = 0, enters = 0;
    for (const auto& e : fsm.events) {
        exits += e.first == FERROX_FSM_EXIT;
        enters += e.first == FERROX_FSM_ENTER;
    }
    EXPECT_EQ(FERROX_FSM_MAX_CHANGES, exits);
    EXPECT_EQ(FERROX_FSM_MAX_CHANGES, enters);
    uint8_t reached = fsm.GetState();
    EXPECT_EQ(2, reached);  // 0 -> 1 -> 2 -> ... ten changes
    EXPECT_EQ(1, fsm.IsChangePending());
    EXPECT_EQ(1, fsm.GetNextState());

    fsm.events.clear();
    fsm.onEnter[1] = 0xFF;
    fsm.UpdateState();
    EXPECT_EQ(Events({{0, 2}, {2, 2}, {1, 1}}), fsm.events);

    fsm.Init();
    EXPECT_EQ(0, fsm.GetState());
    EXPECT_EQ(0, fsm.GetNextState());
    EXPECT_EQ(0, fsm.IsChangePending());
}

TEST(PtrList, RemoveActsOnTheWorkingVectorAndFlushRestores)
{
    int a = 0, b = 0, c = 0;
    CFerroxPtrList list;
    EXPECT_EQ(1, list.IsEmpty());
    list.Add(&a);
    list.Add(&b);
    list.Add(&a);
    list.Remove(&a);
    EXPECT_EQ(std::vector<void*>({&b, &a}), list.GetWorking());
    list.Remove(&c);
    list.Remove(&b);
    EXPECT_EQ(0, list.IsEmpty());
    list.Remove(&a);
    EXPECT_EQ(1, list.IsEmpty());
    list.Flush();
    EXPECT_EQ(std::vector<void*>({&a, &b, &a}), list.GetWorking());
    list.Init();
    list.Flush();
    EXPECT_EQ(1, list.IsEmpty());
    EXPECT_TRUE(list.GetMaster().empty());
}

}  // namespace
