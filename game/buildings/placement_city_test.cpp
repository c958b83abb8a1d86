// A scripted build on the authored London level, headless on the software device: tiles, a door in the
// wall, a shop, a second storey with stairs up to it, scenery and the city's landmark; then the game moves to
// Berlin, whose landmark takes the London one's place among the templates.
#include "game/buildings/citylevel_testing.h"
#include "game/buildings/door.h"
#include "game/buildings/stairs.h"
#include "game/world/templates.h"

namespace {

class CityBuild : public CityLevelTest {
protected:
    void Drag(int mode, CFerroxBlockMesh* storey, int first, int last)
    {
        controller->SetMode(mode, nullptr, 0, nullptr, nullptr);
        controller->Update(At(storey, first));
        controller->BeginDrag(At(storey, first));
        controller->Update(At(storey, last));
        if (mode == PLACEMENT_LAY) {
            EXPECT_EQ(0, controller->LayFloorArea(At(storey, last), nullptr));
        }
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    }
    int Place(CFerroxAssetSet* set, const char* factory, CFerroxBlockMesh* storey, int cell)
    {
        controller->SetMode(PLACEMENT_OBJECT, level->GetWorld(), 0, set,
                            manager->FindFactory(factory, level->GetWorld()));
        controller->Update(At(storey, cell));
        const int result = controller->PlaceHeldObject(At(storey, cell), level->GetWorld(), 0);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result;
    }
};

TEST_F(CityBuild, LondonBuildThenBerlinSwapsTheLandmark)
{
    OpenLevel(0);
    if (HasFatalFailure())
        return;
    CFerroxAssetSet* landmark = manager->FindTemplateByModel("landmark");
    ASSERT_NE(nullptr, landmark);
    EXPECT_NE(std::string::npos, std::string(GetTemplateModelName(landmark)).find("london"));

    Drag(PLACEMENT_LAY, Ground(), Cell(4, 4), Cell(22, 22));
    EXPECT_NE(nullptr, Ground()->GetTile(Cell(10, 10)));
    EXPECT_FALSE(controller->GetPieces().empty()) << "walls around the new floor";
    notices.Clear();
    EXPECT_EQ(0, Place(manager->FindTemplate("DOORS", 0), kDoorObjectFactoryName, Ground(), Cell(12, 23)));
    EXPECT_EQ(0, Place(manager->FindTemplate("SHOP_FASHION", 0), kShopFactoryName, Ground(), Cell(8, 8)));
    EXPECT_EQ(2u, notices.samples.size());

    floors->AddFloor();
    ASSERT_EQ(2, floors->GetBuiltFloors());
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    floors->GoToFloor(0, level->GetWorld());
    EXPECT_EQ(0, Place(manager->FindTemplate("STAIRS", 0), kStairsObjectFactoryName, Ground(), Cell(16, 8)));
    EXPECT_EQ(0, Place(manager->FindTemplate("SCEN_PLANTS", 0), kSceneryObjectFactoryName, Ground(), Cell(18, 18)));
    EXPECT_EQ(0, Place(landmark, kSceneryObjectFactoryName, Ground(), Cell(12, 16)));
    EXPECT_EQ(1u, manager->GetFloorRecord(0)->doors.size());
    EXPECT_EQ(1u, manager->GetFloorRecord(0)->shops.size());
    EXPECT_EQ(2u, manager->GetFloorRecord(0)->scenery.size());
    ASSERT_EQ(1u, manager->GetFloorRecord(0)->stairs.size());
    EXPECT_EQ(1u, manager->GetFloorRecord(1)->stairs.size()) << "the stairs reach the second storey";
    bool upperWalls = false;
    for (CFerroxObject* piece : controller->GetPieces())
        upperWalls = upperWalls || dynamic_cast<CBaseObject*>(piece)->GetFloor() == upper;
    EXPECT_TRUE(upperWalls) << "the second storey has its own edges";

    CloseLevel();
    OpenLevel(1);
    if (HasFatalFailure())
        return;
    CFerroxAssetSet* berlin = manager->FindTemplateByModel("landmark");
    ASSERT_NE(nullptr, berlin);
    EXPECT_NE(std::string::npos, std::string(GetTemplateModelName(berlin)).find("berlin"));
}

}  // namespace
