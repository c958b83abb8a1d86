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
#include "game/world/objectmgr.h"
#include "game/world/templates.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

// The scratch folder goes with the process.
struct ScratchFolder {
    std::filesystem::path path;
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};
ScratchFolder g_folder;

void AttachPlugins()
{
    if (!GxLODAtomicPluginAttach() || !GxWorldPluginAttach() || !GxUserDataPluginAttach() || !AttachClumpExtension())
        std::abort();
}

// One triangle in a clump, as a model file's bytes.
std::vector<GxUInt8> TriangleModel()
{
    GxClump* clump = GxClumpCreate();
    GxFrame* frame = GxFrameCreate();
    GxAtomic* atomic = GxAtomicCreate();
    GxGeometry* geometry = GxGeometryCreate(3, 1, gxGEOMETRYPOSITIONS);
    if (!clump || !frame || !atomic || !geometry)
        std::abort();
    GxMorphTarget* target = &geometry->morphTarget[0];
    target->verts[0] = GxV3d{0.0f, 0.0f, 0.0f};
    target->verts[1] = GxV3d{1.0f, 0.0f, 0.0f};
    target->verts[2] = GxV3d{0.0f, 1.0f, 0.0f};
    geometry->triangles[0].vertIndex[0] = 0;
    geometry->triangles[0].vertIndex[1] = 1;
    geometry->triangles[0].vertIndex[2] = 2;
    GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
    if (!GxGeometryUnlock(geometry))
        std::abort();
    GxClumpSetFrame(clump, frame);
    GxAtomicSetFrame(atomic, frame);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    GxClumpAddAtomic(clump, atomic);

    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool written = stream && GxClumpStreamWrite(clump, stream);
    GxMemory memory = {nullptr, 0};
    if (stream)
        GxStreamClose(stream, &memory);
    GxClumpDestroy(clump);
    if (!written)
        std::abort();
    std::vector<GxUInt8> bytes(memory.start, memory.start + memory.length);
    GxFree(memory.start);
    return bytes;
}

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
    if (!GxFuzzStartOnDriver(AttachPlugins))
        std::abort();
    g_folder.path = GxFuzzScratchPath("ferrox_templates_dir");
    const std::vector<GxUInt8> model = TriangleModel();
    for (const char* name : {"m.gxs", "london/m.gxs", "paris/m.gxs", "berlin/m.gxs"}) {
        const std::filesystem::path path = g_folder.path / name;
        std::filesystem::create_directories(path.parent_path());
        GxFuzzScratchWrite(path.string(), model.data(), model.size());
    }
    std::filesystem::current_path(g_folder.path);
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
