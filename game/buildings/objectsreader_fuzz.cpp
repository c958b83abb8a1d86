// Fuzz target of the "<OBJECTS>" reader: any file loads into a 12 x 12 ground with a storey above without
// harm; every building object it keeps is placed on a storey, inside the grid; and what is then saved loads
// into a fresh mall as the same number of objects. Templates name the model files "shop.gxs" and "plant.gxs",
// written once in the process's scratch folder.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/clumpext.h"
#include "game/buildings/building.h"
#include "game/buildings/buildings.h"
#include "game/buildings/objectsreader.h"
#include "game/world/fuzz_models_testing.h"
#include "game/world/objectmgr.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

constexpr int kSide = 12;
constexpr int kCell = 2;

const char* const kData =
    "<TEMPLATES>\n"
    "<SHOP_FASHION>\n<plans>\n<plan>\n./shop.gxs\n4\n4\n8000\n0\n0\n60\n120\n3\n2\n1\n0\n3\n2\n1\n0\n"
    "<prerequisits>\n</prerequisits>\n</plan>\n</plans>\n</SHOP_FASHION>\n"
    "<SCEN_PLANTS>\n<plans>\n<plan>\n./plant.gxs\n2\n2\n300\n20\n"
    "<prerequisits>\n</prerequisits>\n</plan>\n</plans>\n</SCEN_PLANTS>\n"
    "</TEMPLATES>\n";

std::string g_input;
std::string g_output;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// A tiled ground with a storey above.
void MakeMall(CFerroxBlockMesh* ground, CFerroxTileRecord* tile)
{
    Check(ground->Create(kSide, kSide, {0.0f, 0.0f, 0.0f}, kCell, 1) != 0);
    ground->SetRangeTileEx(tile, 0, kSide * kSide - 1, 1, 0, nullptr);
    Check(ground->BuildStoreyAbove(4.0f, tile, nullptr) == 0);
}

size_t CountAndCheck(CDynamicObjectManager* manager, CFerroxBlockMesh* ground)
{
    size_t count = 0;
    for (const std::unique_ptr<CFloorObjects>& record : manager->GetFloors()) {
        for (const ObjectList* list : {&record->shops, &record->doors, &record->scenery, &record->usable}) {
            for (CFerroxObject* object : *list) {
                CBaseObject* building = dynamic_cast<CBaseObject*>(object);
                Check(building && building->IsPlaced());
                CFerroxBlockGrid* floor = building->GetFloor();
                Check(floor == ground || floor == ground->GetUpper());
                Check(floor->IsAreaInside(building->GetFirstCell(), building->GetRows(), building->GetColumns(), 1));
                count++;
            }
        }
    }
    return count;
}

size_t Load(const std::string& path, CFerroxBlockMesh* ground)
{
    CFerroxTagFile file;
    Check(file.Open(path.c_str(), 1) == 0);
    ReadObjects(&file, nullptr, ground, nullptr);
    file.Close();
    return CountAndCheck(CDynamicObjectManager::Instance(), ground);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(GameFuzzAttachModelPlugins))
        std::abort();
    GxFuzzEnterScratchFolder("ferrox_objects_dir", {"shop.gxs", "plant.gxs"}, GameFuzzTriangleModel());
    g_input = GxFuzzScratchPath("ferrox_objects_in");
    g_output = GxFuzzScratchPath("ferrox_objects_out");
    RegisterBuildingClasses();
    CFerroxTagTree data;
    data.LoadFromMemory(kData, std::char_traits<char>::length(kData));
    CDynamicObjectManager::Instance()->LoadObjectData(&data);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
    CFerroxTileRecord tile = {nullptr};
    size_t first = 0;
    {
        CFerroxBlockMesh ground;
        std::unique_ptr<CFerroxBlockMesh> upper;
        MakeMall(&ground, &tile);
        upper.reset(ground.GetUpper());
        first = Load(g_input, &ground);
        CFerroxFile out;
        Check(out.Open(g_output.c_str(), 0) == 0);
        manager->SaveObjects(&out);
        Check(out.Close() == 0);
        manager->Reset();  // the objects go before the storeys they stand on
    }
    CFerroxBlockMesh ground;
    std::unique_ptr<CFerroxBlockMesh> upper;
    MakeMall(&ground, &tile);
    upper.reset(ground.GetUpper());
    Check(Load(g_output, &ground) == first);
    manager->Reset();
    return 0;
}
