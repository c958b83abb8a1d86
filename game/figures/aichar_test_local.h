// Test support for the AI characters: the game with its object manager, the building and character classes
// registered, a tiled ground storey, characters with a small model of tagged parts, and shops with slot paths.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/random.h"
#include "engine/testsupport/objects.h"
#include "engine/world/clumpext.h"
#include "game/buildings/building_testing.h"
#include "game/buildings/buildings.h"
#include "game/buildings/shop.h"
#include "game/figures/aichar.h"
#include "game/figures/aicharhooks_testing.h"
#include "game/figures/characters.h"
#include "game/world/objectmgr_testing.h"
#include "gfx/anim/anim.h"
#include "gfx/fx/fx.h"
#include "gfx/world/userdata.h"

constexpr unsigned kAITestSeed = 1234;
constexpr int kAITestSide = 16;
constexpr float kAIFrame = 0.1f;
constexpr int kAIMaxFrames = 2000;

class AICharacterTest : public GameTest {
protected:
    void SetUp() override
    {
        GxTestDeviceInstall();
        GameTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxSplinePluginAttach() && GxWorldPluginAttach() && GxUserDataPluginAttach() &&
                    GxAnimPluginAttach() && GxAnimHierarchyPluginAttach() && GxUVAnimPluginAttach() &&
                    AttachClumpExtension());
        ASSERT_TRUE(GxTestEngineOpenAndStart());
        ResetBuildingHooks();
        ResetAICharacterHooks();
        ResetObjectClassHooks();
        RegisterBuildingClasses();
        RegisterCharacterClasses();
        manager = CDynamicObjectManager::Instance();
        stats = manager->GetStatistics();
        stats->m_categories.assign(kGameTestCategories, 0);
        const GxV3d origin = {0.0f, 0.0f, 0.0f};
        ASSERT_EQ(1, ground.Create(kAITestSide, kAITestSide, origin, 1, 1));
        ASSERT_EQ(0, ground.SetRangeTileEx(&tile, 0, kAITestSide * kAITestSide - 1, 1, 0, nullptr));
        FerroxSrand(kAITestSeed);
    }
    void TearDown() override
    {
        CDynamicObjectManager::DestroyInstance();
        ResetBuildingHooks();
        ResetAICharacterHooks();
        ResetObjectClassHooks();
        m_models.Clear();
        GameTest::TearDown();
    }
    int Cell(int row, int column) const { return row * kAITestSide + column; }

    // A character of class T set up on the ground with a model of the tagged parts, standing on the cell,
    // owned by the object manager and in its lists.
    template <typename T>
    T* Make(int cell, const std::vector<const char*>& parts = {}, const std::vector<std::string>& values = {})
    {
        T* character = new T();
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = ModelSet(parts, values);
        descriptor.modelMode = FERROX_MODEL_CLONE;
        descriptor.floorObject = &ground;
        character->Setup(&descriptor);
        manager->AddObject(character);
        manager->AddToLists(character, 0);
        PutAt(character, cell);
        return character;
    }
    void PutAt(CAICharacter* character, int cell)
    {
        GxV3d at = {};
        ground.GetCellPosition(cell, &at, 1);
        at.x += 0.5f;
        at.z -= 0.5f;
        character->Translate(&at, 0);
        character->m_currentCell = cell;
    }
    // Moves the character along its path until it stands.
    static int Walk(CAICharacter* character)
    {
        int frames = 0;
        while (character->m_movementMode == FERROX_MOVE_FOLLOWING && frames++ < kAIMaxFrames)
            character->CFerroxCharacter::Update(kAIFrame);
        return frames;
    }
    // A placed shop with its footprint at the cell, its entrance in the row above, and one slot per name.
    Exposed<CShop>* MakeShop(int first, uint16_t price, const std::vector<const char*>& slots)
    {
        auto* shop = new Exposed<CShop>();
        shop->Put(&ground, first, 2, 2);
        shop->AddEntrance({-1.0f, 0.0f});
        manager->AddObject(shop);
        shop->Place(nullptr);
        manager->AddToLists(shop, 0);
        shop->GetRecord().price = price;
        for (const char* name : slots)
            shop->AddUserSlot(SlotPath(shop->GetEntranceCell(0), name));
        return shop;
    }
    // A short path from the middle of a cell three cells along.
    std::unique_ptr<CFerroxSpline> SlotPath(int cell, const char* name)
    {
        GxV3d at = {};
        ground.GetCellPosition(cell, &at, 1);
        at.x += 0.5f;
        at.z -= 0.5f;
        const GxV3d points[4] = {at, {at.x, at.y, at.z + 1.0f}, {at.x, at.y, at.z + 2.0f}, {at.x, at.y, at.z + 3.0f}};
        auto spline = std::make_unique<CFerroxSpline>();
        EXPECT_EQ(1, spline->Create(points, 4, name));
        return spline;
    }
    // What the character writes when saved, as text.
    std::string Saved(CAICharacter* character, const std::string& name)
    {
        const std::string path = Path(name);
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 0));
        character->Save(&file);
        EXPECT_EQ(0, file.Close());
        return ReadFile(path);
    }
    // Loads saved text into the character as the object loader does: its four lines first.
    int LoadInto(CAICharacter* character, const std::string& text, const std::string& name)
    {
        const std::string path = Path(name);
        WriteFile(path, text);
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 1));
        std::string line;
        for (int i = 0; i < 4; i++)
            file.ReadLine(line);
        const int result = character->Load(&file);
        file.Close();
        return result;
    }

    CDynamicObjectManager* manager = nullptr;
    CStatistics* stats = nullptr;
    CFerroxTileRecord tile = {nullptr};
    CFerroxBlockMesh ground;

private:
    CFerroxAssetSet* ModelSet(const std::vector<const char*>& parts, const std::vector<std::string>& values)
    {
        CFerroxAssetSet* set = m_models.Pool(FerroxCharacterClump(parts), "person");
        EXPECT_NE(nullptr, set);
        if (set)
            set->AppendList(values, 0);
        return set;
    }

    FerroxTestModelPool m_models;
};
