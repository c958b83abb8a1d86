// Technology tree: reading its block, shared development time, completion effects and the saved section.
#include "engine/data/techtree.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree_testing.h"
#include "engine/testsupport/files.h"

namespace {

std::vector<uint16_t> g_unlocked;
void RecordUnlock(uint16_t id) { g_unlocked.push_back(id); }

class TechTree : public FerroxTestFiles {
protected:
    void SetUp() override
    {
        FerroxTestFiles::SetUp();
        g_unlocked.clear();
        CFerroxTagTree data;
        data.LoadFromMemory(kFerroxTestTechnologies, sizeof(kFerroxTestTechnologies) - 1);
        ASSERT_EQ(1, tree.LoadTechnologies(&data, RecordUnlock));
        tree.AddListener(&listener);
        listener.Add(FerroxTechIdToPointer(1001));
        listener.Add(FerroxTechIdToPointer(4000));
    }
    void Run(float seconds, float step = 0.25f)
    {
        for (float t = 0.0f; t < seconds - 1e-4f; t += step)
            tree.Update(step);
    }
    std::string SaveSection()
    {
        std::string path = Path("save.fds");
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 0));
        file.WriteLine("<GAME_DATA>\r\n1\r\n");
        tree.Save(&file);
        file.WriteLine("<END>\r\n");
        file.Close();
        return ReadFile(path);
    }
    CFerroxTechTree tree;
    CFerroxPtrList listener;
};

TEST_F(TechTree, ReadsCategoriesEntriesAndPrerequisites)
{
    EXPECT_EQ(2, tree.GetCategoryCount());
    FerroxTechEntry* vacuum = tree.FindEntry(1001);
    ASSERT_NE(nullptr, vacuum);
    EXPECT_EQ("<vacuum>\n", vacuum->name);
    EXPECT_EQ(2, vacuum->duration);
    EXPECT_EQ(4000, vacuum->extra);
    EXPECT_EQ(FERROX_TECH_WAITING, vacuum->state);
    // The empty line among the prerequisites is no id.
    EXPECT_EQ(2u, tree.FindEntry(1002)->prerequisites->GetMaster().size());
    EXPECT_EQ(0, tree.FindEntry(4000)->extra);
    EXPECT_EQ(nullptr, tree.FindEntry(9999));

    CFerroxTechTree empty;
    CFerroxTagTree none;
    none.Load(nullptr);
    EXPECT_EQ(0, empty.LoadTechnologies(&none, nullptr));
    EXPECT_EQ(0, empty.LoadTechnologies(nullptr, nullptr));
    EXPECT_EQ(0, empty.GetCategoryCount());
}

TEST_F(TechTree, DevelopmentTimeIsSharedAndCompletionUnlocks)
{
    FerroxTechEntry* mop = tree.FindEntry(1000);
    FerroxTechEntry* guard = tree.FindEntry(4000);
    ASSERT_EQ(1, tree.Activate(mop));
    Run(2.0f);
    EXPECT_EQ(2, mop->progress);
    ASSERT_EQ(1, tree.Activate(guard));
    Run(2.0f);  // two in development: one step each every two seconds
    EXPECT_EQ(FERROX_TECH_COMPLETE, mop->state);
    EXPECT_EQ(FERROX_TECH_COMPLETE, guard->state);
    EXPECT_EQ(std::vector<uint16_t>({1000, 4000}), g_unlocked);
    EXPECT_EQ(0, tree.GetActiveCount());
    // Completion struck 1000 from vacuum and 4000 from the listener.
    EXPECT_EQ(1, tree.FindEntry(1001)->prerequisites->IsEmpty());
    EXPECT_EQ(std::vector<void*>({FerroxTechIdToPointer(1001)}), listener.GetWorking());
    EXPECT_EQ(0, tree.FindEntry(1002)->prerequisites->IsEmpty());
    EXPECT_EQ(0, tree.FindEntry(4001)->prerequisites->IsEmpty());  // its own prerequisite
}

// A list that goes away leaves the tree first, every time it was added: completion and Reset no longer reach it.
TEST_F(TechTree, RemovedListenerIsNoLongerTouched)
{
    auto* gone = new CFerroxPtrList();
    gone->Add(FerroxTechIdToPointer(1000));
    tree.AddListener(gone);
    tree.AddListener(gone);
    tree.RemoveListener(gone);
    delete gone;  // ASan reports any later use
    ASSERT_EQ(1, tree.Activate(tree.FindEntry(1000)));
    Run(4.0f);
    tree.Reset();
    EXPECT_EQ(2u, listener.GetWorking().size());
}

TEST_F(TechTree, LargeFrameTimesAddTheirWholeSeconds)
{
    FerroxTechEntry* mop = tree.FindEntry(1000);
    tree.Activate(mop);
    tree.Update(2.5f);  // seconds + 2, the fraction dropped: one step
    EXPECT_EQ(1, mop->progress);
    tree.Update(0.75f);
    EXPECT_EQ(1, mop->progress);
    tree.Update(1e30f);  // a multiple of 65536 seconds: the 16-bit count comes back where it was
    EXPECT_EQ(1, mop->progress);
    tree.Update(65537.0f);  // and this one adds a single second
    EXPECT_EQ(2, mop->progress);
    tree.Update(1.0f);
    EXPECT_EQ(FERROX_TECH_COMPLETE, mop->state);
    EXPECT_EQ(1u, g_unlocked.size());
}

// Activate starts whatever it is given; the caller offers only waiting entries.
TEST_F(TechTree, ActivateDoesNotTestTheState)
{
    FerroxTechEntry* mop = tree.FindEntry(1000);
    EXPECT_EQ(1, tree.Activate(mop));
    EXPECT_EQ(1, tree.Activate(mop));
    EXPECT_EQ(FERROX_TECH_DEVELOPING, mop->state);
    EXPECT_EQ(2, tree.GetActiveCount());
}

TEST_F(TechTree, ResetRestoresEveryList)
{
    tree.Activate(tree.FindEntry(1000));
    tree.Activate(tree.FindEntry(4000));
    Run(10.0f);
    tree.Reset();
    EXPECT_EQ(FERROX_TECH_WAITING, tree.FindEntry(1000)->state);
    EXPECT_EQ(0, tree.FindEntry(1000)->progress);
    EXPECT_EQ(0, tree.FindEntry(1001)->prerequisites->IsEmpty());
    EXPECT_EQ(2u, listener.GetWorking().size());
    EXPECT_TRUE(tree.GetCompleted().empty());
    EXPECT_TRUE(tree.GetActive().empty());
}

TEST_F(TechTree, SaveReportsAFailedWrite)
{
    std::string path = Path("save.fds");
    WriteFile(path, "old");
    CFerroxFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    {
        FerroxFailWritesAfter full(1);
        EXPECT_EQ(0, tree.Save(&file));
    }
    EXPECT_EQ(0, tree.Save(&file));  // the file already lost a line
    EXPECT_EQ(1, file.Close());
    EXPECT_EQ("old", ReadFile(path));
}

TEST_F(TechTree, SavedSectionReadsBackIdentical)
{
    EXPECT_EQ("<GAME_DATA>\r\n1\r\n<TECHTREE>\r\n\r\n\r\n</TECHTREE>\r\n<END>\r\n", SaveSection());
    tree.Activate(tree.FindEntry(1000));
    Run(3.0f);
    tree.Activate(tree.FindEntry(1001));
    tree.Activate(tree.FindEntry(4000));
    Run(2.0f);
    tree.Activate(tree.FindEntry(1002));
    std::string saved = SaveSection();
    EXPECT_NE(std::string::npos, saved.find("<TECHTREE>\r\n1000,4000\r\n1001,1,1002,0\r\n</TECHTREE>\r\n"));

    tree.Reset();
    g_unlocked.clear();
    CFerroxTagFile file;
    ASSERT_EQ(0, file.Open(Path("save.fds").c_str(), 1));
    ASSERT_EQ(1, tree.Load(&file));
    // Loading again, as a repeated id would, completes and starts nothing twice.
    ASSERT_EQ(1, tree.Load(&file));
    file.Close();
    EXPECT_EQ(std::vector<uint16_t>({1000, 4000}), g_unlocked);
    EXPECT_EQ(2, tree.GetActiveCount());
    EXPECT_EQ(saved, SaveSection());
}

TEST_F(TechTree, DamagedSectionsSkipWhatTheyCannotUse)
{
    std::string path = Path("bad.fds");
    WriteFile(path, "<TECHTREE>\r\n1000,x,,1000,9999,70000\r\n1001,x,4000,1,1002\r\n</TECHTREE>\r\n");
    CFerroxTagFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 1));
    ASSERT_EQ(1, tree.Load(&file));
    EXPECT_EQ(std::vector<uint16_t>({1000}), g_unlocked);
    ASSERT_EQ(1, tree.GetActiveCount());
    EXPECT_EQ(4000, tree.GetActive()[0]->id);
    EXPECT_EQ(1, tree.GetActive()[0]->progress);

    WriteFile(path, "<OTHER>\r\n");
    ASSERT_EQ(0, file.Open(path.c_str(), 1));
    EXPECT_EQ(0, tree.Load(&file));
}

}  // namespace
