// Fuzz target of the template reader: any game data text reads into categories whose look-ups and city swaps
// keep every template exactly once, and the manager frees it all. Plans may name the model files "m.gxs",
// "london/m.gxs", "paris/m.gxs" and "berlin/m.gxs", written once in the process's scratch folder.
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/data/tagtree.h"
#include "engine/world/asset.h"
#include "engine/world/clumpext.h"
#include "game/world/fuzz_models_testing.h"
#include "game/world/objectmgr.h"
#include "game/world/templates.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Every template pointer of every category, in order.
std::vector<CFerroxAssetSet*> AllTemplates(CDynamicObjectManager& manager)
{
    std::vector<CFerroxAssetSet*> all;
    for (const std::unique_ptr<CObjectCategory>& category : manager.GetCategories())
        all.insert(all.end(), category->templates.begin(), category->templates.end());
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(GameFuzzAttachModelPlugins))
        std::abort();
    GxFuzzEnterScratchFolder("ferrox_templates_dir", {"m.gxs", "london/m.gxs", "paris/m.gxs", "berlin/m.gxs"},
                             GameFuzzTriangleModel());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFerroxTagTree tree;
    tree.LoadFromMemory(reinterpret_cast<const char*>(data), size);
    CDynamicObjectManager manager;
    manager.LoadObjectData(&tree);

    const std::vector<CFerroxAssetSet*> loaded = AllTemplates(manager);
    const std::set<CFerroxAssetSet*> unique(loaded.begin(), loaded.end());
    Check(unique.size() == loaded.size());
    for (uint16_t c = 0; c < manager.GetCategories().size() && c < 0xFFFF; c++) {
        const CObjectCategory* category = manager.GetCategories()[c].get();
        Check(manager.GetTemplate(c, static_cast<uint16_t>(category->templates.size())) == nullptr);
        uint16_t start = 0;
        Check(manager.FindCategory(category->name.c_str(), &start) != nullptr && start <= c + 1);
    }
    CFerroxAssetSet* byModel = manager.FindTemplateByModel("m.gxs");
    Check(!byModel || GetTemplateModelName(byModel) != nullptr);

    std::vector<size_t> sizes;
    for (const std::unique_ptr<CObjectCategory>& category : manager.GetCategories())
        sizes.push_back(category->templates.size());
    for (const char* world : {"maps/berlin.gxs", "paris.gxs", ".gxs", "london.gxs", "mall.gxs"}) {
        manager.SwapCityTemplatesFor(world);
        const std::vector<CFerroxAssetSet*> swapped = AllTemplates(manager);
        Check(std::set<CFerroxAssetSet*>(swapped.begin(), swapped.end()) == unique);
        for (size_t c = 0; c < sizes.size(); c++)
            Check(manager.GetCategories()[c]->templates.size() == sizes[c]);
    }
    for (CFerroxAssetSet* set : loaded)
        IsTemplateAvailable(set);
    return 0;
}
