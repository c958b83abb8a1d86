// Test support for the building classes: the game with its object manager and statistics, a tiled ground
// storey with a storey above, named pieces to stand on cells, and access to the objects' footprints.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/navigation/blockmesh.h"
#include "engine/world/asset.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "game/buildings/building.h"
#include "game/buildings/buildinghooks_testing.h"
#include "game/shell/game_testing.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/spline.h"

// An object of a building class whose footprint a test sets directly.
template <typename T>
class Exposed : public T {
public:
    void Put(CFerroxBlockGrid* floor, int first, int rows, int columns, int sizeX = 0, int sizeZ = 0)
    {
        this->m_pFloor = floor;
        this->m_firstCell = first;
        this->m_rows = rows;
        this->m_columns = columns;
        this->m_sizeX = sizeX ? sizeX : rows;
        this->m_sizeZ = sizeZ ? sizeZ : columns;
    }
    void Turn(float yaw)
    {
        const GxV3d up = {0.0f, 1.0f, 0.0f};
        this->RotateYaw(&up, yaw, 0);
    }
};

// A piece standing on cells under a name (walls, balconies).
inline std::unique_ptr<CFerroxObject> MakePiece(const char* name)
{
    std::unique_ptr<CFerroxObject> piece(new CFerroxObject());
    piece->SetName(name);
    return piece;
}

// A template: a named model and the parameter values, for objects set up from it.
class TestTemplate {
public:
    TestTemplate(const char* modelName, const std::vector<std::string>& values)
    {
        m_model.SetName(modelName);
        m_record = {1, &m_model};
        m_set.AddModel(&m_record);
        m_set.AppendList(values, 0);
    }
    FerroxObjectDescriptor Descriptor(CFerroxBlockGrid* floor)
    {
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = &m_set;
        descriptor.modelMode = FERROX_MODEL_SHARED;
        descriptor.floorObject = floor;
        return descriptor;
    }
    CFerroxAssetSet* Set() { return &m_set; }

private:
    CFerroxComposite m_model;
    FerroxModelRecord m_record;
    CFerroxAssetSet m_set;
};

constexpr int kTestSide = 16;

class BuildingTest : public GameTest {
protected:
    // The graphics core runs for the paths (splines) of user slots.
    void SetUp() override
    {
        GxTestDeviceInstall();
        GameTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxSplinePluginAttach());
        ASSERT_TRUE(GxTestEngineOpenAndStart());
        ResetBuildingHooks();
        manager = CDynamicObjectManager::Instance();
        stats = manager->GetStatistics();
        stats->m_categories.assign(kGameTestCategories, 0);
        const GxV3d origin = {0.0f, 0.0f, 0.0f};
        ASSERT_EQ(1, ground.Create(kTestSide, kTestSide, origin, 1, 1));
        ASSERT_EQ(0, ground.SetRangeTileEx(&tile, 0, kTestSide * kTestSide - 1, 1, 0, nullptr));
    }
    void TearDown() override
    {
        CDynamicObjectManager::DestroyInstance();
        ResetBuildingHooks();
        GameTest::TearDown();
    }
    // The storey above the ground, tiled all over.
    CFerroxBlockMesh* AddStorey()
    {
        EXPECT_EQ(0, ground.BuildStoreyAbove(4.0f, &tile, nullptr));
        upper.reset(ground.GetUpper());
        return ground.GetUpper();
    }
    int Cell(int row, int column) const { return row * kTestSide + column; }

    CDynamicObjectManager* manager = nullptr;
    CStatistics* stats = nullptr;
    CFerroxTileRecord tile = {nullptr};
    CFerroxBlockMesh ground;
    std::unique_ptr<CFerroxBlockMesh> upper;  // the storeys above are their builder's to free
};
