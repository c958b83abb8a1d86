// The authored London level through the game's level manager: its map placeholder builds the mall's ground
// storey and its spawn splines become spawn points on that storey.
#include "tools/content/level_writer.h"

#include <cstdlib>

#include <filesystem>

#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "engine/world/clumpext.h"
#include "engine/world/spline.h"
#include "game/figures/spawner.h"
#include "game/world/floors.h"
#include "game/world/levelmanager.h"
#include "game/world/objectmgr.h"
#include "game/world/templates.h"
#include "game/world/world.h"
#include "gfx/anim/anim.h"
#include "gfx/core/image.h"
#include "gfx/core/spline.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/skinpipe.h"
#include "gfx/fx/fx.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "tools/content/clump_writer.h"
#include "tools/content/humanoid_writer.h"
#include "tools/content/model_testing.h"
#include "tools/content/templates_writer.h"

namespace {

class CityFloors : public ContentModelTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxLODAtomicPluginAttach() && GxWorldPluginAttach() && GxD3D9SectorPluginAttach() &&
                    GxAnimPluginAttach() && GxAnimHierarchyPluginAttach() && GxD3D9SkinPluginAttach() &&
                    GxUserDataPluginAttach() && GxSplinePluginAttach() && AttachClumpExtension() &&
                    GxMaterialEffectsPluginAttach() && GxUVAnimPluginAttach());
    }
    void SetUp() override
    {
        ContentModelTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        out = dir.string();
        std::string detail;
        ASSERT_TRUE(ContentWriteLevel(out, &detail)) << detail;
        // Level paths and placeholders name their files from the game's root, as the game runs there.
        before = std::filesystem::current_path();
        std::filesystem::current_path(out);
    }
    void TearDown() override
    {
        CDynamicObjectManager::DestroyInstance();
        g_pFerroxSetupTree = nullptr;
        if (!before.empty())
            std::filesystem::current_path(before);
        ContentModelTest::TearDown();
    }

    std::string out;
    std::filesystem::path before;
};

TEST_F(CityFloors, LondonBuildsItsGroundStoreyFromTheMapPlaceholder)
{
    const std::string setupText =
        "<Level_Data>\n<0>\n" + ContentLevelPath(CONTENTCITYLONDON) + "\n</0>\n<total>\n0\n</total>\n</Level_Data>\n";
    CFerroxTagTree setup;
    setup.LoadFromMemory(setupText.data(), setupText.size());
    g_pFerroxSetupTree = &setup;

    CFloorManager floors;
    floors.Create(nullptr);
    CSpawner spawner;
    CLevelManager level;
    level.SetLevel(0);
    ASSERT_EQ(level.CreateWorld(), 1);
    ASSERT_EQ(floors.GetBaseFloorCount(), 1);
    CFerroxBlockMesh* ground = floors.FindBaseFloor(1);
    ASSERT_NE(ground, nullptr);
    EXPECT_EQ(ground->GetRows(), gxCONTENTLEVELCELLS);
    EXPECT_EQ(ground->GetColumns(), gxCONTENTLEVELCELLS);
    EXPECT_EQ(ground->GetCellSize(), static_cast<int>(gxCONTENTLEVELCELLSIZE));
    ASSERT_EQ(spawner.GetSpawnPoints().size(), static_cast<size_t>(gxCONTENTLEVELSPAWNPOINTS));
    for (const auto& point : spawner.GetSpawnPoints()) {
        EXPECT_EQ(point->floor, ground) << point->name;
        ASSERT_NE(point->spline, nullptr) << point->name;
        // Each path ends on an interior cell of the ground storey.
        const GxV3d end = point->spline->GetPoints()[point->spline->GetPointCount() - 1];
        EXPECT_TRUE(ground->IsValidCell(ground->GetCellAt(end), 0)) << point->name;
    }
    level.UnloadLevel();
}

// The characters and the shop unit other steps of the content command write, then the templates' own step.
bool WriteTemplateFiles(const std::string& out, std::string* detail)
{
    const char* const people[] = {"shopper_adult_a",  "shopper_adult_b",  "shopper_youth_a", "shopper_youth_b",
                                  "shopper_senior_a", "shopper_senior_b", "crook_a",         "crook_b",
                                  "cleaner_a",        "cleaner_b",        "gardener_a",      "gardener_b",
                                  "engineer_a",       "engineer_b",       "security_a",      "security_b"};
    const GxRGBA skin = {235, 200, 170, 255}, cloth = {70, 120, 200, 255}, dark = {25, 25, 25, 255};
    std::filesystem::create_directories(out + "/models/people");
    std::filesystem::create_directories(out + "/models/shops");
    for (const char* person : people) {
        const std::string path = out + "/models/people/" + person + ".gxs";
        if (!ContentHumanoidFileWrite(path.c_str(), {skin, cloth, cloth, dark, dark})) {
            *detail = path;
            return false;
        }
    }
    GxClump* shop = ContentShopUnitCreate(ContentShopUnitPlan{6.0f, 6.0f, GxRGBA{235, 230, 220, 255}, nullptr});
    const bool written = shop && ContentModelFileWrite((out + "/models/shops/fashion_small.gxs").c_str(), {}, shop);
    if (shop)
        GxClumpDestroy(shop);
    const char* source = std::getenv("MALL_SOURCE_DIR");
    return written && source && ContentWriteTemplates(std::string(source) + "/tools/content/text", out, detail);
}

TEST_F(CityFloors, EveryTemplateAndFloorTileOfTheGameDataLoads)
{
    std::string detail;
    ASSERT_TRUE(WriteTemplateFiles(out, &detail)) << detail;
    CFerroxTagTree data;
    ASSERT_EQ(data.Load("./data.xml"), 1);
    const std::vector<ContentCategory> authored = ContentReadTemplates(&data);
    CDynamicObjectManager* objects = CDynamicObjectManager::Instance();
    objects->LoadObjectData(&data);
    const std::vector<std::unique_ptr<CObjectCategory>>& categories = objects->GetCategories();
    ASSERT_EQ(categories.size(), authored.size());
    for (size_t c = 0; c < authored.size(); c++) {
        ASSERT_EQ(categories[c]->templates.size(), authored[c].plans.size()) << authored[c].name;
        for (size_t t = 0; t < authored[c].plans.size(); t++)
            EXPECT_NE(GetTemplateModelName(categories[c]->templates[t]), nullptr) << authored[c].plans[t].path;
    }

    CFloorManager floors;
    floors.Create(&data);
    ASSERT_EQ(floors.GetFloorTiles().size(), ContentReadFloorTiles(&data).size());
    for (const std::unique_ptr<CFloorTile>& tile : floors.GetFloorTiles())
        EXPECT_NE(tile->texture, nullptr);
    EXPECT_EQ(floors.GetCurrentTileType(), floors.GetFloorTiles()[1].get());
}

}  // namespace
