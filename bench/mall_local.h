// The benchmarks' mall on the authored data: a 40 x 40 ground of tiled storeys, built, furnished, saved and loaded
// through the placement controller as the player's build mode does. Run inside the game root.
#pragma once

#include <memory>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/navigation/blockmesh.h"
#include "game/buildings/buildings.h"
#include "game/buildings/placement.h"
#include "game/shell/game.h"
#include "game/world/factories.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"

class BenchMall {
public:
    static constexpr int kSide = 40;
    static constexpr int kCell = 2;
    // Shops stand every fourth cell; other objects in the rows between.
    static constexpr int kPitch = 4;
    static constexpr int kFirstRow = 3;
    // The technology categories a statistics block counts.
    static constexpr int kTechCategories = 4;

    static int Cell(int row, int column) { return row * kSide + column; }
    static GxV3d PointOf(CFerroxBlockMesh* storey, int cell)
    {
        return {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
                static_cast<float>(storey->GetCellWorldZ(cell, 1))};
    }

    virtual ~BenchMall()
    {
        if (floors)
            BenchMall::Close();
    }

    // The game with a one-technology tree (cleaning, grade a) when it has none yet.
    void UseCleaningTechnology()
    {
        CGame* game = CGame::Instance(nullptr);
        if (game->m_pTechTree)
            return;
        game->m_pTechTree = std::make_unique<CFerroxTechTree>();
        CFerroxTagTree technologies;
        const std::string text = "<TECHNOLOGIES>\n<cleaning>\n<a>\n1000\n3\n</a>\n</cleaning>\n</TECHNOLOGIES>\n";
        technologies.LoadFromMemory(text.data(), text.size());
        game->m_pTechTree->LoadTechnologies(&technologies, nullptr);
    }
    // The object manager with the game data's templates.
    bool LoadData()
    {
        CGame::Instance(nullptr);
        manager = CDynamicObjectManager::Instance();
        if (!data.Load("./data.xml"))
            return false;
        if (manager->GetCategories().empty())
            manager->LoadObjectData(&data);
        return true;
    }
    // Tiles the ground but its edge, and stacks storeys over it up to `storeys`, walled.
    bool BuildStoreys(int storeys)
    {
        NewLevel();
        controller->SetFloorArea(Ground(), Cell(1, 1), Cell(kSide - 2, kSide - 2), nullptr, 1, 0);
        while (floors->GetBuiltFloors() < storeys)
            floors->AddFloor();
        floors->GoToFloor(0, nullptr);
        controller->BuildWalls(nullptr, 1, nullptr);
        return floors->GetBuiltFloors() == storeys;
    }
    virtual void NewLevel()
    {
        floors = new CFloorManager();
        floors->Create(&data);
        floors->AddBaseFloor(kSide, kSide, {1.0f, 0.0f, -1.0f}, kCell, 1);
        controller = new CPlacementController();
        controller->Create(floors, nullptr);
        floors->SetHooks(controller->FloorHooks());
    }
    // Objects go before the storeys they stand on.
    virtual void Close()
    {
        CloseObjects();
        CloseFloors();
    }
    CFerroxBlockMesh* Ground() const { return floors->FindBaseFloor(1); }
    GxV3d GroundPoint(int row, int column) const { return PointOf(Ground(), Cell(row, column)); }
    bool Place(const char* category, const char* factory, int cell)
    {
        controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, manager->FindTemplate(category, 0),
                            manager->FindFactory(factory, nullptr));
        const GxV3d at = PointOf(Ground(), cell);
        controller->Update(at);
        const int result = controller->PlaceHeldObject(at, nullptr, 1);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result == 0;
    }
    // Shops on the ground every fourth cell, plants in the rows between, until there are as many as asked.
    bool Furnish(int shops, int plants)
    {
        int shopsPlaced = 0;
        int plantsPlaced = 0;
        for (int i = kFirstRow; i + 1 < kSide - 1; i += kPitch) {
            for (int j = kFirstRow; j + 1 < kSide - 1; j += kPitch) {
                if (shopsPlaced < shops && Place("SHOP_FASHION", kShopFactoryName, Cell(i, j)))
                    shopsPlaced++;
                for (int k : {Cell(i + 2, j), Cell(i + 2, j + 2)}) {
                    if (plantsPlaced < plants && Place("SCEN_PLANTS", kSceneryObjectFactoryName, k))
                        plantsPlaced++;
                }
            }
        }
        return shopsPlaced == shops && plantsPlaced == plants;
    }
    // "<MAP>" and "<OBJECTS>" of the mall, as a save writes them.
    void Save(const char* path)
    {
        CFerroxFile file;
        file.Open(path, 0);
        floors->Save(&file);
        controller->SaveObjects(&file, nullptr);
        file.Close();
    }
    // Saves, closes and loads the mall again into a new level.
    void SaveAndLoad(const char* path)
    {
        Save(path);
        Close();
        NewLevel();
        CFerroxTagFile saved;
        saved.Open(path, 1);
        floors->Load(&saved);
        controller->LoadObjects(&saved, nullptr);
        saved.Close();
    }

    CFerroxTagTree data;
    CDynamicObjectManager* manager = nullptr;
    CFloorManager* floors = nullptr;
    CPlacementController* controller = nullptr;

protected:
    void CloseObjects()
    {
        delete controller;
        controller = nullptr;
        manager->Reset();
    }
    void CloseFloors()
    {
        delete floors;
        floors = nullptr;
    }
};
