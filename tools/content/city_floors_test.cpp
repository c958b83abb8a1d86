// The authored London level through the game's level manager: its map placeholder builds the mall's ground
// storey and its spawn splines become spawn points on that storey.
#include "tools/content/level_writer.h"

#include <filesystem>

#include "engine/clumpext.h"
#include "engine/spline.h"
#include "engine/tagtree.h"
#include "engine/test_files_local.h"
#include "game/floors.h"
#include "game/levelmanager.h"
#include "game/spawner.h"
#include "game/world.h"
#include "gfx/core/image.h"
#include "gfx/core/spline.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/software_testing.h"
#include "gfx/fx/fx.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

class CityFloors : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxLODAtomicPluginAttach() && GxWorldPluginAttach() && GxD3D9SectorPluginAttach() &&
                    GxUserDataPluginAttach() && GxSplinePluginAttach() && AttachClumpExtension() &&
                    GxMaterialEffectsPluginAttach() && GxUVAnimPluginAttach());
    }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxTestFileSystemOpen());
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        out = (std::filesystem::temp_directory_path() / ("mall_city_floors_" + FerroxTestRunTag())).string();
        std::string detail;
        ASSERT_TRUE(ContentWriteLevel(out, &detail)) << detail;
        // Level paths and placeholders name their files from the game's root, as the game runs there.
        before = std::filesystem::current_path();
        std::filesystem::current_path(out);
    }
    void TearDown() override
    {
        g_pFerroxSetupTree = nullptr;
        if (!before.empty())
            std::filesystem::current_path(before);
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(out, ignored);
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
    for (const CSpawnPoint* point : spawner.GetSpawnPoints()) {
        EXPECT_EQ(point->floor, ground) << point->name;
        ASSERT_NE(point->spline, nullptr) << point->name;
        // Each path ends on an interior cell of the ground storey.
        const GxV3d end = point->spline->GetPoints()[point->spline->GetPointCount() - 1];
        EXPECT_TRUE(ground->IsValidCell(ground->GetCellAt(end), 0)) << point->name;
    }
    level.UnloadLevel();
}

}  // namespace
