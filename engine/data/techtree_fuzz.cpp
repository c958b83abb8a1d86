// Fuzz target of the tech tree's saved section: completed ids and (id, progress) pairs from any file apply to a
// fixed tree, development runs on, and what is saved loads into a fresh tree as the same state.
#include <cstdlib>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/data/techtree_testing.h"
#include "engine/testsupport/fuzz_files.h"

namespace {

// Development steps run between loading and saving, in seconds.
constexpr float kStep = 0.5f;
constexpr int kSteps = 4;

std::string g_input;
std::string g_output;

void Unlocked(uint16_t) {}

bool Fill(CFerroxTechTree& tree)
{
    CFerroxTagTree data;
    data.LoadFromMemory(kFerroxTestTechnologies, sizeof(kFerroxTestTechnologies) - 1);
    return tree.LoadTechnologies(&data, Unlocked) == 1;
}

void Save(CFerroxTechTree& tree)
{
    CFerroxFile file;
    if (file.Open(g_output.c_str(), 0) != 0)
        std::abort();
    file.WriteLine("<GAME_DATA>\r\n1\r\n");
    tree.Save(&file);
    file.WriteLine("<END>\r\n");
    file.Close();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_techtree_in");
    g_output = GxFuzzScratchPath("ferrox_techtree_out");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CFerroxTechTree tree;
    if (!Fill(tree))
        std::abort();
    CFerroxTagFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    tree.Load(&file);
    // A second load of the same section changes nothing that the first did not.
    tree.Load(&file);
    file.Close();
    for (int i = 0; i < kSteps; i++)
        tree.Update(kStep);

    Save(tree);
    CFerroxTechTree again;
    if (!Fill(again))
        std::abort();
    CFerroxTagFile saved;
    if (saved.Open(g_output.c_str(), 1) != 0 || again.Load(&saved) != 1)
        std::abort();
    saved.Close();
    if (again.GetCompleted().size() != tree.GetCompleted().size() ||
        again.GetActive().size() != tree.GetActive().size())
        std::abort();
    for (size_t i = 0; i < tree.GetActive().size(); i++) {
        if (again.FindEntry(tree.GetActive()[i]->id)->progress != tree.GetActive()[i]->progress)
            std::abort();
    }
    return 0;
}
