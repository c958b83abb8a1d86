// Test support for build mode: the authored game data (written by mkcontent once per run), the game with a
// recording notice seam, a floor manager with a 40 x 40 ground of 2-unit cells, and a controller over it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/testsupport/objects.h"
#include "engine/testsupport/plugins.h"
#include "game/buildings/buildinghooks_testing.h"
#include "game/buildings/buildings.h"
#include "game/buildings/placement.h"
#include "game/buildings/scalable.h"
#include "game/shell/game_testing.h"
#include "game/world/factories.h"
#include "game/world/floors.h"
#include "game/world/levelmanager.h"
#include "game/world/objectmgr.h"
#include "game/world/objectmgr_testing.h"
#include "gfx/fx/particles.h"
#include "gfx/testsupport/engine_gtest.h"

constexpr GxUInt32 kLevelArena = 0x800000;

// The engine started on the OpenGL back end with every plugin a level needs and the host's files, in a square
// window of `size` pixels.
class LevelGLDraw : public GxTestGLDraw {
protected:
    explicit LevelGLDraw(GxInt32 size) : GxTestGLDraw(size, size, kLevelArena)
    {
        engineSetup.plugins = FerroxTestAttachLevelPlugins;
    }
};

constexpr int kMallSide = 40;
constexpr int kMallCell = 2;

// The authored game root for this run, made on first use in each test suite: a copy of the root named by
// MALL_AUTHORED_ROOT (authored once for the whole test run) where there is one, else authored by mkcontent; empty
// when neither is at hand. Each suite removes it when it ends (RemoveAuthoredRoot).
inline std::string& AuthoredRootPath()
{
    static std::string root;
    return root;
}

inline std::string AuthoredRoot()
{
    std::string& root = AuthoredRootPath();
    if (!root.empty() && std::filesystem::exists(root))
        return root;
    root.clear();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (std::string("ferrox_placement_root_") + FerroxTestRunTag());
    std::filesystem::remove_all(dir);
    const char* authored = std::getenv("MALL_AUTHORED_ROOT");
    if (authored && std::filesystem::exists(std::filesystem::path(authored) / "setup.xml")) {
        std::error_code failed;
        std::filesystem::copy(authored, dir, std::filesystem::copy_options::recursive, failed);
        if (failed)
            ADD_FAILURE() << "cannot copy the authored root " << authored << ": " << failed.message();
        else
            root = dir.string();
        return root;
    }
    const std::filesystem::path tool = std::filesystem::absolute("tools/mkcontent");
    const char* source = std::getenv("MALL_SOURCE_DIR");
    if (!source || !std::filesystem::exists(tool))
        return root;
    const std::string command = "MALL_D3D9_BACKEND=software \"" + tool.string() + "\" \"" + source +
                                "/tools/content/text\" \"" + dir.string() + "\" > /dev/null 2>&1";
    if (std::system(command.c_str()) == 0)
        root = dir.string();
    return root;
}

inline void RemoveAuthoredRoot()
{
    std::string& root = AuthoredRootPath();
    std::error_code ignored;
    if (!root.empty())
        std::filesystem::remove_all(root, ignored);
    root.clear();
}

class PlacementTest : public FerroxObjectTest {
protected:
    // Facilities show their effects through the particle plugins.
    void AttachPlugins() override
    {
        FerroxObjectTest::AttachPlugins();
        ASSERT_TRUE(GxParticleTankPluginAttach());
        ASSERT_TRUE(GxParticlePluginAttach());
    }
    static void TearDownTestSuite() { RemoveAuthoredRoot(); }
    void SetUp() override
    {
        FerroxObjectTest::SetUp();
        if (HasFatalFailure())
            return;
        const std::string root = AuthoredRoot();
        if (root.empty())
            GTEST_SKIP() << "needs mkcontent and MALL_SOURCE_DIR";
        RegisterBuildingClasses();
        game = CGame::Instance(nullptr);
        game->SetNotices(&notices);
        game->m_pTechTree = std::make_unique<CFerroxTechTree>();
        CFerroxTagTree technologies;
        const std::string text = GameTestTechnologies();
        technologies.LoadFromMemory(text.data(), text.size());
        ASSERT_EQ(1, game->m_pTechTree->LoadTechnologies(&technologies, nullptr));
        manager = CDynamicObjectManager::Instance();
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
        const int loaded = data.Load("./data.xml");
        manager->LoadObjectData(&data);
        std::filesystem::current_path(previous);
        ASSERT_EQ(1, loaded);
        MakeFloors();
    }
    void TearDown() override
    {
        controller.reset();
        CDynamicObjectManager::DestroyInstance();  // the objects go before the storeys they stand on
        floors.reset();
        CGame::DestroyInstance(nullptr);
        ResetObjectClassHooks();
        CDynamicObjectManager::SetSeam(nullptr);
        CFloorManager::SetCellFilter(nullptr);
        ResetBuildingHooks();
        FerroxObjectTest::TearDown();
    }
    // A new floor manager over the data (its storeys read from the authored root), its ground, and a controller
    // hooked to it, as a level starts.
    void MakeFloors()
    {
        floors = std::make_unique<CFloorManager>();
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(AuthoredRoot());
        floors->Create(&data);
        std::filesystem::current_path(previous);
        MakeGround(floors.get());
        // Objects are filed by the storey they stand on, as the game's seam tells.
        seam = std::make_unique<CGameObjectSeam>(floors.get(), nullptr);
        CDynamicObjectManager::SetSeam(seam.get());
        controller = std::make_unique<CPlacementController>();
        controller->Create(floors.get(), nullptr);
        floors->SetHooks(controller->FloorHooks());
    }
    static void MakeGround(CFloorManager* target)
    {
        ASSERT_EQ(1, target->AddBaseFloor(kMallSide, kMallSide, {1.0f, 0.0f, -1.0f}, kMallCell, 1));
    }
    CFerroxBlockMesh* Ground() const { return floors->FindBaseFloor(1); }
    int Cell(int row, int column) const { return row * kMallSide + column; }
    // The middle of a cell of the storey, as the pick finds it.
    static GxV3d PointOf(CFerroxBlockMesh* storey, int cell)
    {
        return {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
                static_cast<float>(storey->GetCellWorldZ(cell, 1))};
    }
    // The pointer pressed at `from` and moved to `to`, as the game's frames hand it to the controller.
    void Drag(const GxV3d& from, const GxV3d& to)
    {
        controller->Update(from);
        controller->BeginDrag(from);
        controller->Update(to);
    }
    // Lays the rectangle on the ground through a mode-2 drag; 0 when it was laid.
    int Lay(int first, int last)
    {
        controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
        Drag(PointOf(Ground(), first), PointOf(Ground(), last));
        const int result = controller->LayFloorArea(PointOf(Ground(), last), nullptr);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result;
    }
    // Adds storeys above the ground until there are `count`.
    void BuildStoreys(int count)
    {
        while (floors->GetBuiltFloors() < count)
            floors->AddFloor();
        floors->GoToFloor(0, nullptr);
    }
    CFerroxAssetSet* Template(const char* category, uint16_t index = 0)
    {
        return manager->FindTemplate(category, index);
    }
    // Holds an object of the template and places it at the cell; 0 when it went in.
    int PlaceAt(const char* category, const char* factory, CFerroxBlockMesh* storey, int cell, int skipChecks = 0)
    {
        controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, Template(category), manager->FindFactory(factory, nullptr));
        controller->Update(PointOf(storey, cell));
        const int result = controller->PlaceHeldObject(PointOf(storey, cell), nullptr, skipChecks);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result;
    }
    static std::string ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    CGame* game = nullptr;
    RecordingNotices notices;
    CDynamicObjectManager* manager = nullptr;
    std::unique_ptr<CFloorManager> floors;
    std::unique_ptr<CGameObjectSeam> seam;
    std::unique_ptr<CPlacementController> controller;
    CFerroxTagTree data;
};
