// Fuzz target of build mode's load: any saved mall (its "<MAP>" and "<OBJECTS>" sections) loads into a 12 x 12
// ground through the floor manager and the placement controller without harm; every wall piece the controller
// then holds lives in the object manager on one of the mall's storeys; what is saved holds no piece, and loads
// into a fresh mall as the same number of objects. Templates name one-triangle models written once in the
// process's scratch folder.
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/navigation/blockmesh.h"
#include "game/buildings/buildings.h"
#include "game/buildings/placement.h"
#include "game/buildings/scalable.h"
#include "game/world/floors.h"
#include "game/world/fuzz_models_testing.h"
#include "game/world/levelmanager.h"
#include "game/world/objectmgr.h"
#include "gfx/testsupport/fuzz.h"

namespace {

constexpr int kSide = 12;
constexpr int kCell = 2;

// One plan of a template category.
std::string Plan(const char* model, const char* values)
{
    return std::string("<plan>\n") + model + "\n" + values + "<prerequisits>\n</prerequisits>\n</plan>\n";
}

std::string Category(const char* name, const std::string& plans)
{
    return std::string("<") + name + ">\n<plans>\n" + plans + "</plans>\n</" + name + ">\n";
}

// The game data: one floor tile type and the templates. The wall templates are "AUX" 1 to 10 after the box; the
// ground model stands in a category of its own.
std::string GameData()
{
    std::string walls = Plan("./box.gxs", "1\n1\n");
    for (const char* model : {"./wallS.gxs", "./wallW.gxs", "./wallN.gxs", "./wallE.gxs", "./wallNE.gxs", "./balcS.gxs",
                              "./balcW.gxs", "./balcN.gxs", "./balcE.gxs", "./spare10.gxs"})
        walls += Plan(model, "2\n2\n");
    return "<FLOOR_TILES>\n<t0>\n./tile.png\n</t0>\n</FLOOR_TILES>\n<TEMPLATES>\n" +
           Category("SHOP_FASHION", Plan("./shop.gxs", "4\n4\n8000\n0\n0\n60\n120\n3\n2\n1\n0\n3\n2\n1\n0\n")) +
           Category("DOORS", Plan("./door.gxs", "4\n2\n1000\n4\n0\n")) +
           Category("SCEN_PLANTS", Plan("./plant.gxs", "2\n2\n300\n20\n")) + Category("AUX", walls) +
           Category("MISC", Plan("./ground.gxs", "")) + "</TEMPLATES>\n";
}

// The factories of the boxes, the wall pieces and the ground object, whose objects no save holds.
const char* const kUnsavedFactories[] = {"scalableObjectFactory", "ferroxObjectFactory"};

std::string g_input;
std::string g_output;
CFerroxTagTree g_data;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// A level's floors over the ground, with the object manager's seam and a controller hooked to them, as a level
// starts.
class Mall {
public:
    Mall() : m_seam(&m_floors, nullptr)
    {
        m_floors.Create(&g_data);
        Check(m_floors.AddBaseFloor(kSide, kSide, {1.0f, 0.0f, -1.0f}, kCell, 1) == 1);
        CDynamicObjectManager::SetSeam(&m_seam);
        m_controller.Create(&m_floors, nullptr);
        m_floors.SetHooks(m_controller.FloorHooks());
    }
    Mall(const Mall&) = delete;
    Mall& operator=(const Mall&) = delete;
    ~Mall()
    {
        // The objects go before the storeys they stand on.
        m_controller.Release();
        CDynamicObjectManager::Instance()->Reset();
        CDynamicObjectManager::SetSeam(nullptr);
    }

    void Load(const std::string& path)
    {
        CFerroxTagFile file;
        Check(file.Open(path.c_str(), 1) == 0);
        m_floors.Load(&file);
        Check(m_controller.LoadObjects(&file, nullptr) == 1);
        file.Close();
    }

    void Save(const std::string& path)
    {
        CFerroxFile file;
        Check(file.Open(path.c_str(), 0) == 0);
        m_floors.Save(&file);
        m_controller.SaveObjects(&file, nullptr);
        Check(file.Close() == 0);
    }

    // The building objects in the floor records (stairs once), after checking that each wall piece lives in the
    // object manager on a storey of the mall.
    size_t CountAndCheck()
    {
        CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
        std::set<CFerroxObject*> alive;
        for (const std::unique_ptr<CFerroxObject>& object : manager->GetObjects())
            alive.insert(object.get());
        std::set<CFerroxBlockGrid*> storeys;
        for (CFerroxBlockMesh* storey = m_floors.FindBaseFloor(1); storey; storey = storey->GetUpper())
            storeys.insert(storey);
        for (CFerroxObject* piece : m_controller.GetPieces()) {
            CScalableObject* scalable = dynamic_cast<CScalableObject*>(piece);
            Check(alive.count(piece) == 1 && scalable && storeys.count(scalable->GetFloor()) == 1);
        }
        std::set<CFerroxObject*> buildings;
        for (const std::unique_ptr<CFloorObjects>& record : manager->GetFloors()) {
            for (const ObjectList* list :
                 {&record->shops, &record->doors, &record->stairs, &record->scenery, &record->usable})
                buildings.insert(list->begin(), list->end());
        }
        return buildings.size();
    }

private:
    CFloorManager m_floors;
    CGameObjectSeam m_seam;
    CPlacementController m_controller;
};

std::string ReadAll(const std::string& path)
{
    std::string text;
    CFerroxTagFile file;
    Check(file.Open(path.c_str(), 1) == 0);
    for (std::string line; !file.IsEof();)
        text += file.ReadLine(line);
    file.Close();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(GameFuzzAttachModelPlugins))
        std::abort();
    GxFuzzEnterScratchFolder("ferrox_placement_dir",
                             {"shop.gxs", "door.gxs", "plant.gxs", "box.gxs", "wallS.gxs", "wallW.gxs", "wallN.gxs",
                              "wallE.gxs", "wallNE.gxs", "balcS.gxs", "balcW.gxs", "balcN.gxs", "balcE.gxs",
                              "spare10.gxs", "ground.gxs"},
                             GameFuzzTriangleModel());
    g_input = GxFuzzScratchPath("ferrox_placement_in");
    g_output = GxFuzzScratchPath("ferrox_placement_out");
    RegisterBuildingClasses();
    const std::string data = GameData();
    g_data.LoadFromMemory(data.data(), data.size());
    CDynamicObjectManager::Instance()->LoadObjectData(&g_data);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    size_t first = 0;
    {
        Mall mall;
        mall.Load(g_input);
        first = mall.CountAndCheck();
        mall.Save(g_output);
    }
    const std::string saved = ReadAll(g_output);
    for (const char* factory : kUnsavedFactories)
        Check(saved.find(factory) == std::string::npos);
    Mall again;
    again.Load(g_output);
    Check(again.CountAndCheck() == first);
    return 0;
}
