// Fuzz target of the level list of the settings file: any settings file gives each level its entry's first value
// less one final LF, or none, and the level manager hands the world exactly that path.
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/application/base.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/fuzz_files.h"
#include "engine/world/level.h"
#include "engine/world/world.h"

namespace {

// Levels of the game's cities, one past them, and numbers that only a damaged list could name.
const int32_t kLevels[] = {0, 1, 2, 3, 10, -1, 2147483647};

std::string g_input;

// A world that keeps the path it is asked to load instead of loading anything.
class PathWorld : public CFerroxWorld {
public:
    int Create(const char* fileName, GxCamera*) override
    {
        path = fileName ? fileName : "";
        ++creates;
        return 1;
    }
    std::string path;
    int creates = 0;
};

// The first value of the level's entry, else of entry 0, as the settings hold it; null when there is none.
const char* EntryValue(CFerroxTagTree* setup, int32_t level)
{
    if (!setup->FindNode("Level_Data", 1))
        return nullptr;
    CFerroxTagNode* block = setup->GetCursor();
    if (setup->FindChild(std::to_string(level).c_str()))
        return setup->GetValue(0);
    setup->SetCursor(block);
    return setup->FindChild("0") ? setup->GetValue(0) : nullptr;
}

void CheckLevel(CFerroxTagTree* setup, int32_t level)
{
    const char* value = EntryValue(setup, level);
    const std::string entry = value ? value : "";
    std::string path;
    const bool found = FerroxLevelPath(setup, level, &path);
    if (found != (value != nullptr) || (found && entry != path && entry != path + "\n"))
        std::abort();
    CFerroxLevelManager manager;
    auto owned = std::make_unique<PathWorld>();
    PathWorld* world = owned.get();
    manager.SetWorld(std::move(owned));
    manager.SetLevel(level);
    const int created = manager.Create();
    if (created != (found ? 1 : 0) || world->creates != created || (found && world->path != path))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_level_in", ".xml");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    // Read leniently: that builds every tree a whole read builds, and the trees of damaged files besides.
    CFerroxTagTree setup;
    setup.Load(g_input.c_str());
    g_pFerroxSetupTree = &setup;
    for (int32_t level : kLevels)
        CheckLevel(&setup, level);
    g_pFerroxSetupTree = nullptr;
    return 0;
}
