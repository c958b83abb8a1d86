// Object manager: the templates of the authored game data read into categories (models through the asset
// loader on the software device) against a baseline that only reads the plan files' bytes; and the nearest-shop
// and nearest-facility query on a floor of 60 shops and 40 facilities against a plain loop over their entrance
// cells with the same distance.
#include <benchmark/benchmark.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/data/tagtree.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/clumpext.h"
#include "game/testsupport/objectmgr.h"
#include "game/world/objectmgr.h"
#include "game/world/objectmgr_testing.h"
#include "game/world/templates.h"
#include "gfx/anim/anim.h"
#include "gfx/core/spline.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/skinpipe.h"
#include "gfx/fx/fx.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

constexpr int kShops = 60;
constexpr int kFacilities = 40;
constexpr int kGridSide = 64;
constexpr int32_t kFacilityKind = 1;

std::filesystem::path g_root;  // the authored game root, made by mkcontent for this run
std::vector<std::string> g_planFiles;

void AttachPlugins()
{
    if (!GxLODAtomicPluginAttach() || !GxWorldPluginAttach() || !GxD3D9SectorPluginAttach() || !GxAnimPluginAttach() ||
        !GxAnimHierarchyPluginAttach() || !GxD3D9SkinPluginAttach() || !GxUserDataPluginAttach() ||
        !GxSplinePluginAttach() || !AttachClumpExtension() || !GxMaterialEffectsPluginAttach() ||
        !GxUVAnimPluginAttach())
        std::abort();
}

// Runs mkcontent (beside this program's folder) into a fresh folder; the working directory becomes the root.
bool MakeGameRoot(const char* program)
{
    const std::filesystem::path tool =
        std::filesystem::absolute(program).parent_path().parent_path() / "tools" / "mkcontent";
    const char* source = std::getenv("MALL_SOURCE_DIR");
    const std::filesystem::path text = source ? std::filesystem::path(source) / "tools/content/text"
                                              : std::filesystem::current_path() / "tools/content/text";
    std::random_device entropy;
    g_root = std::filesystem::temp_directory_path() /
             ("objectmgr_bench_" + std::to_string(entropy()) + std::to_string(entropy()));
    const std::string command = "MALL_D3D9_BACKEND=software \"" + tool.string() + "\" \"" + text.string() + "\" \"" +
                                g_root.string() + "\" > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return false;
    std::filesystem::current_path(g_root);
    return true;
}

void ReadTemplates(CFerroxTagTree* tree)
{
    if (!tree->Load("./data.xml") || !tree->FindNode(kTemplatesBlock, 1))
        return;
    for (const CFerroxTagNode* category : tree->GetCursor()->children) {
        for (const CFerroxTagNode* plans : category->children) {
            if (plans->name.find(kTemplatePlansNode) == std::string::npos)
                continue;
            for (const CFerroxTagNode* plan : plans->children) {
                if (!plan->values.empty())
                    g_planFiles.push_back(plan->values.front().str());
            }
        }
    }
}

void BM_LoadObjectData(benchmark::State& state)
{
    CFerroxTagTree tree;
    if (!tree.Load("./data.xml")) {
        state.SkipWithError("no game data");
        return;
    }
    size_t templates = 0;
    for (auto _ : state) {
        CDynamicObjectManager* manager = new CDynamicObjectManager();
        manager->LoadObjectData(&tree);
        state.PauseTiming();
        templates = 0;
        for (const std::unique_ptr<CObjectCategory>& category : manager->GetCategories())
            templates += category->templates.size();
        delete manager;
        state.ResumeTiming();
    }
    state.counters["templates"] = static_cast<double>(templates);
}
BENCHMARK(BM_LoadObjectData)->Unit(benchmark::kMillisecond);

// Baseline: the plan files' bytes read whole, nothing made of them.
void BM_ReadPlanFilesBaseline(benchmark::State& state)
{
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const std::string& name : g_planFiles) {
            std::ifstream in(name, std::ios::binary);
            std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            bytes += data.size();
            benchmark::DoNotOptimize(data.data());
        }
    }
    state.counters["files"] = static_cast<double>(g_planFiles.size());
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ReadPlanFilesBaseline)->Unit(benchmark::kMillisecond);

// A floor of shops and facilities with entrances on random cells of a 64 x 64 grid.
struct QueryFloor {
    TestFloorSeam seam;
    CFerroxBlockGrid grid;
    CFerroxBlockMesh storey;
    TestObjectFactory factory;
    CDynamicObjectManager manager;
    std::vector<int32_t> shopCells;
    std::vector<int32_t> facilityCells;

    QueryFloor()
    {
        grid.Create(kGridSide, kGridSide, GxV3d{0.0f, 0.0f, 0.0f}, 1, 0);
        seam.floors[&grid] = 0;
        seam.floors[&storey] = 0;
        CDynamicObjectManager::SetSeam(&seam);
        CDynamicObjectManager::SetClassHooks(TestClassHooks());
        manager.RegisterFactories();
        std::mt19937 random(7);
        std::uniform_int_distribution<int32_t> cell(0, kGridSide * kGridSide - 1);
        FerroxObjectDescriptor descriptor = {};
        descriptor.floorObject = &storey;
        for (int i = 0; i < kShops + kFacilities; i++) {
            const bool shop = i % 5 < 3;  // three shops to two facilities, mixed as they are built
            const int32_t at = cell(random);
            factory.next = TestObjectSpec{
                shop ? OBJECT_LIST_SHOPS : OBJECT_LIST_USABLE, shop ? kObjectKindShop : kFacilityKind, at, 1, 0, ""};
            manager.CreateObject(&factory, &descriptor);
            (shop ? shopCells : facilityCells).push_back(at);
        }
    }
    ~QueryFloor()
    {
        manager.DeleteAll();
        CDynamicObjectManager::SetSeam(nullptr);
        ResetObjectClassHooks();
    }
    CObjectQuery Query(int32_t kind) const
    {
        CObjectQuery query = {};
        query.kind = kind;
        query.nearest = 1;
        query.testAvailable = 1;
        query.position = GxV3d{31.0f, 0.0f, -17.0f};
        query.grid = const_cast<CFerroxBlockGrid*>(&grid);
        return query;
    }
};

void BM_FindObjectNearest(benchmark::State& state)
{
    QueryFloor floor;
    const CObjectQuery query = floor.Query(state.range(0) ? kFacilityKind : kObjectKindShop);
    for (auto _ : state)
        benchmark::DoNotOptimize(floor.manager.FindObject(&query));
}
BENCHMARK(BM_FindObjectNearest)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

// Baseline: the nearest entrance of the same cells, found by a loop over them.
void BM_NearestCellBaseline(benchmark::State& state)
{
    QueryFloor floor;
    const CObjectQuery query = floor.Query(0);
    const std::vector<int32_t>& cells = state.range(0) ? floor.facilityCells : floor.shopCells;
    for (auto _ : state) {
        float best = FLT_MAX;
        int32_t kept = -1;
        for (int32_t cell : cells) {
            const float x = static_cast<float>(floor.grid.GetCellWorldX(cell, 1));
            const float z = static_cast<float>(floor.grid.GetCellWorldZ(cell, 1));
            const float distance = std::fabs(x - query.position.x) + std::fabs(z - query.position.z);
            if (distance < best) {
                best = distance;
                kept = cell;
            }
        }
        benchmark::DoNotOptimize(kept);
    }
}
BENCHMARK(BM_NearestCellBaseline)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

}  // namespace

int main(int argc, char** argv)
{
    if (!GxFuzzStartOnDriver(AttachPlugins))
        return 1;
    const std::filesystem::path start = std::filesystem::current_path();
    const bool rooted = argc > 0 && MakeGameRoot(argv[0]);
    if (rooted) {
        CFerroxTagTree tree;
        ReadTemplates(&tree);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::current_path(start);
    std::error_code ignored;
    if (!g_root.empty())
        std::filesystem::remove_all(g_root, ignored);
    return 0;
}
