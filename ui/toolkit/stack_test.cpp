// Canvas stack: which canvases update and draw, in what order, and changes made from inside an update.
#include "ui/toolkit/stack.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace {

// A canvas that logs its calls and runs an action inside its update.
class TestCanvas {
public:
    TestCanvas(char name, std::string& log) : m_name(name), m_log(log) {}
    void Update()
    {
        m_log += m_name;
        if (onUpdate)
            onUpdate();
    }
    void Render() { m_log += m_name; }

    std::function<void()> onUpdate;

private:
    char m_name;
    std::string& m_log;
};

class CanvasStack : public ::testing::Test {
protected:
    std::string Updated()
    {
        log.clear();
        stack.Update();
        return log;
    }
    std::string Drawn()
    {
        log.clear();
        stack.Render();
        return log;
    }

    std::string log;
    TestCanvas a{'a', log}, b{'b', log}, c{'c', log}, m{'m', log}, n{'n', log};
    CFerroxStack<TestCanvas*> stack;
};

TEST_F(CanvasStack, DrawsNormalNewestFirstThenModalOldestFirst)
{
    EXPECT_EQ(1, stack.IsEmpty());
    stack.Push(&a, 0);
    stack.Push(&b, 0);
    EXPECT_EQ(3, stack.Push(&c, 0));
    stack.Push(&m, 1);
    EXPECT_EQ(2, stack.Push(&n, 1));
    EXPECT_EQ("cbamn", Drawn());
    // With a modal canvas open only the newest modal one updates.
    stack.ClearRequests();
    EXPECT_EQ("n", Updated());
    stack.Clear();
    EXPECT_EQ(1, stack.IsEmpty());
    EXPECT_EQ("", Drawn());
}

TEST_F(CanvasStack, ChangesOutsideTheWalkStopTheNextWalkOnce)
{
    stack.Push(&a, 0);
    stack.Push(&b, 0);
    stack.Push(&c, 0);
    EXPECT_EQ("a", Updated());
    EXPECT_EQ("abc", Updated());
    stack.ClearRequests();
    EXPECT_EQ("abc", Updated());
}

TEST_F(CanvasStack, RequestPopRemovesTheCanvasAfterItsUpdateAndEndsTheWalk)
{
    stack.Push(&a, 0);
    stack.Push(&b, 0);
    stack.Push(&c, 0);
    stack.ClearRequests();
    b.onUpdate = [this] { stack.RequestPop(); };
    EXPECT_EQ("ab", Updated());
    EXPECT_EQ(2, stack.GetNormalCount());
    EXPECT_EQ("ca", Drawn());
    // The removal marked the list as changed, so the next walk stops after the first canvas.
    EXPECT_EQ("a", Updated());
    EXPECT_EQ("ac", Updated());
}

TEST_F(CanvasStack, PushRemoveAndToggleFromInsideAnUpdateStopTheWalk)
{
    stack.Push(&a, 0);
    stack.Push(&b, 0);
    stack.ClearRequests();
    a.onUpdate = [this] {
        stack.Push(&c, 0);
        a.onUpdate = nullptr;
    };
    EXPECT_EQ("a", Updated());
    EXPECT_EQ("abc", Updated());
    // A canvas that removes itself: the walk must not go on from its entry.
    b.onUpdate = [this] { stack.Remove(&b); };
    EXPECT_EQ("ab", Updated());
    EXPECT_EQ("ca", Drawn());
    a.onUpdate = [this] { stack.RemoveNormal(&a); };
    EXPECT_EQ("a", Updated());
    EXPECT_EQ("c", Drawn());
    c.onUpdate = [this] { stack.Clear(); };
    EXPECT_EQ("c", Updated());
    EXPECT_EQ(1, stack.IsEmpty());
    // Toggle opens a modal canvas from a normal one; the normal list then stops updating.
    stack.Push(&a, 0);
    a.onUpdate = [this] { stack.Toggle(&m, 1); };
    stack.ClearRequests();
    EXPECT_EQ("a", Updated());
    EXPECT_EQ("m", Updated());
    EXPECT_EQ("am", Drawn());
}

TEST_F(CanvasStack, ToggleClosesAndReopensAtTheEnd)
{
    stack.Push(&a, 0);
    stack.Push(&b, 0);
    stack.Toggle(&a, 0);
    EXPECT_EQ("b", Drawn());
    stack.Toggle(&a, 0);
    EXPECT_EQ("ab", Drawn());
    stack.Toggle(&m, 1);
    EXPECT_EQ(1, stack.HasModal());
    stack.Toggle(&m, 1);
    EXPECT_EQ(0, stack.HasModal());
}

TEST_F(CanvasStack, RemoveTakesOnlyTheNewestModalAndEveryNormalCopy)
{
    stack.Push(&a, 0);
    stack.Push(&a, 0);
    stack.Push(&b, 0);
    stack.Push(&m, 1);
    stack.Push(&n, 1);
    EXPECT_EQ(&n, stack.GetTopModal());
    stack.Remove(&m);  // below n: stays
    EXPECT_EQ(2, stack.GetModalCount());
    EXPECT_EQ(&n, stack.GetTopModal());
    stack.Remove(&a);
    EXPECT_EQ(1, stack.GetNormalCount());
    stack.Push(&b, 0);
    stack.RemoveNormal(&b);
    EXPECT_EQ(0, stack.GetNormalCount());
    stack.Remove(&n);
    EXPECT_EQ(&m, stack.GetTopModal());
    stack.Remove(&m);
    EXPECT_EQ(1, stack.IsEmpty());
    EXPECT_EQ(nullptr, stack.GetTopModal());
}

TEST_F(CanvasStack, ModalPopRequestsAfterTheUpdate)
{
    stack.Push(&a, 0);
    stack.Push(&m, 1);
    stack.Push(&n, 1);
    n.onUpdate = [this] { stack.RequestPop(); };
    EXPECT_EQ("n", Updated());
    EXPECT_EQ(1, stack.GetModalCount());
    m.onUpdate = [this] { stack.RequestPopTwo(); };
    stack.Push(&n, 1);
    n.onUpdate = [this] { stack.RequestPopTwo(); };
    EXPECT_EQ("n", Updated());
    EXPECT_EQ(0, stack.GetModalCount());
    // A double pop with one modal canvas removes that canvas and nothing else.
    stack.Push(&m, 1);
    stack.Push(&a, 0);
    EXPECT_EQ("m", Updated());
    EXPECT_EQ(0, stack.GetModalCount());
    EXPECT_EQ(2, stack.GetNormalCount());
    EXPECT_EQ("aa", Drawn());
}

}  // namespace
