// Test support for whole-mall runs: the authored London level headless on the software device, a small mall
// built through the placement controller (tiles, a door, shops, a facility, scenery), staff hired through the
// spawner, and the frame loop that drives the object manager and the spawner at a fixed step, seed and path
// clock.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/data/random.h"
#include "engine/data/techtree.h"
#include "engine/navigation/character.h"
#include "game/buildings/citylevel_testing.h"
#include "game/buildings/door.h"
#include "game/figures/characters.h"
#include "game/figures/spawner.h"
#include "game/figures/staff.h"
#include "game/world/levelmanager.h"
#include "game/world/statistics.h"
#include "game/world/world.h"
#include "gfx/core/image.h"

constexpr unsigned kSoakSeed = 20261207;
constexpr float kSoakFrame = 0.05f;
constexpr float kSoakSpeed = 3.0f;
// The path clock moves this much each time it is read, so a search budget ends after the same steps every run.
constexpr double kSoakClockStep = 1.0e-5;

inline double& SoakClockNow()
{
    static double now = 0.0;
    return now;
}

inline double SoakClock()
{
    SoakClockNow() += kSoakClockStep;
    return SoakClockNow();
}

class MallSoakTest : public CityLevelTest {
protected:
    void AttachPlugins() override
    {
        CityLevelTest::AttachPlugins();
        ASSERT_TRUE(GxParticleTankPluginAttach());
        ASSERT_TRUE(GxParticlePluginAttach());
    }
    void SetUp() override
    {
        SoakClockNow() = 0.0;
        FerroxCharacterSetClock(SoakClock);
        FerroxSrand(kSoakSeed);
        CityLevelTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        manager->GetStatistics()->m_categories.assign(kGameTestCategories, 0);
    }
    void TearDown() override
    {
        CityLevelTest::TearDown();
        FerroxCharacterSetClock(nullptr);
    }
    void RegisterClasses() override
    {
        RegisterBuildingClasses();
        RegisterCharacterClasses();
        RegisterStaffClasses();
    }
    void PrepareGame() override { ASSERT_TRUE(GameTestInstallTechnologies(game)); }
    void BeforeLevelUnload() override { spawner.reset(); }
    // The London level with the spawner taking its spawn points.
    void OpenLevel()
    {
        // Made before the world, which hands it the level's spawn records.
        spawner = std::make_unique<CSpawner>();
        CityLevelTest::OpenLevel(0);
        if (HasFatalFailure())
            return;
        spawner->LoadSettings(floors.get(), level->GetWorld());
        ASSERT_FALSE(spawner->GetSpawnPoints().empty());
    }
    void Lay(int first, int last)
    {
        controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
        controller->Update(At(Ground(), first));
        controller->BeginDrag(At(Ground(), first));
        controller->Update(At(Ground(), last));
        EXPECT_EQ(0, controller->LayFloorArea(At(Ground(), last), nullptr));
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    }
    int Place(const char* category, const char* factory, int cell)
    {
        CFerroxAssetSet* set = manager->FindTemplate(category, 0);
        if (!set)
            return -1;
        controller->SetMode(PLACEMENT_OBJECT, level->GetWorld(), 0, set, manager->FindFactory(factory, nullptr));
        controller->Update(At(Ground(), cell));
        const int result = controller->PlaceHeldObject(At(Ground(), cell), level->GetWorld(), 0);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result;
    }
    // Hires a member of the template category through the spawner and puts it down on the cell.
    CStaff* Hire(const char* category, const char* factory, int cell)
    {
        CFerroxAssetSet* set = manager->FindTemplate(category, 0);
        if (!set)
            return nullptr;
        spawner->BeginStaffHire(set, manager->FindFactory(factory, nullptr));
        CStaff* member = dynamic_cast<CStaff*>(spawner->GetStaffMember());
        floors->UpdatePick(At(Ground(), cell));
        // A frame with the pointer there brings the member to the cell before the click puts it down.
        spawner->Update(0.0f);
        spawner->PlaceStaff();
        if (spawner->GetStaffMember()) {
            spawner->DropStaffPlacement();
            return nullptr;
        }
        return member;
    }
    // The small mall: an 18 x 18 floor with walls, a door on its edge, two shops, a facility, scenery and
    // one member of each trade.
    void BuildMall()
    {
        Lay(Cell(4, 4), Cell(22, 22));
        EXPECT_EQ(0, Place("DOORS", kDoorObjectFactoryName, Cell(12, 23)));
        EXPECT_EQ(0, Place("SHOP_FASHION", kShopFactoryName, Cell(8, 8)));
        EXPECT_EQ(0, Place("SHOP_FOOD", kShopFactoryName, Cell(8, 16)));
        EXPECT_EQ(0, Place("FAC_SEATS", kUsableObjectFactoryName, Cell(16, 16)));
        EXPECT_EQ(0, Place("SCEN_PLANTS", kSceneryObjectFactoryName, Cell(18, 6)));
        cleaner = Hire("CLEANING", kCleanerFactoryName, Cell(14, 12));
        guard = Hire("SECURITY", kSecurityFactoryName, Cell(15, 10));
        engineer = Hire("ENGINEER", kMaintenanceFactoryName, Cell(15, 14));
    }
    // One frame at the soak speed: characters and objects, then the waves.
    void Frame()
    {
        const float dt = kSoakFrame * kSoakSpeed;
        manager->Update(dt);
        spawner->Update(dt);
    }

    std::unique_ptr<CSpawner> spawner;
    CStaff* cleaner = nullptr;
    CStaff* guard = nullptr;
    CStaff* engineer = nullptr;
};
