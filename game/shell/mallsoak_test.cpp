// Whole-mall soak: the London level with a small mall, its staff and the spawner's waves run for minutes of
// game time at speed 3; shoppers come in and buy, litter is swept, a criminal is caught or leaves, nobody is
// left standing off the grid; two runs from the same seed save the same file; a load takes no more characters
// than the game reaches; and a game saved with its figures mid-walk loads back into the same mall.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/data/random.h"
#include "game/buildings/building.h"
#include "game/buildings/objectsreader.h"
#include "game/buildings/shop.h"
#include "game/figures/aichar.h"
#include "game/figures/criminal.h"
#include "game/shell/mallsoak_test_local.h"
#include "game/shell/savecheck.h"
#include "game/shell/savegame.h"

namespace {

constexpr float kSoakSeconds = 300.0f;
constexpr float kReplaySeconds = 150.0f;
// One criminal is brought in with the first wave, so one comes whatever the odds.
constexpr int kCriminalFrame = 1;
// Frames a character inside may spend off the grid before it counts as stuck.
constexpr int kStuckFrames = 100;
constexpr int kLitterCells = 4;
// Game time in which every loaded figure is on its way again.
constexpr float kWalkAgainSeconds = 20.0f;
// Game time in which an engineer within reach of a broken facility has taken the job, and again has finished it.
constexpr float kRepairSeconds = 300.0f;

int Frames(float seconds) { return static_cast<int>(seconds / (kSoakFrame * kSoakSpeed)); }

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Listed(const ObjectList& list, const CFerroxObject* object)
{
    for (const CFerroxObject* entry : list)
        if (entry == object)
            return true;
    return false;
}

class MallSoak : public MallSoakTest {
protected:
    // The longest run of frames a character in play, not leaving by its exit path, has spent off the grid.
    int WorstOffGrid()
    {
        int worst = 0;
        const ObjectList* lists[] = {&manager->GetShoppers(), &manager->GetCriminals(), &manager->GetCleaners(),
                                     &manager->GetSecurity(), &manager->GetMaintenance()};
        std::map<const CFerroxObject*, int> now;
        for (const ObjectList* list : lists)
            for (CFerroxObject* object : *list) {
                auto* character = dynamic_cast<CAICharacter*>(object);
                if (!character || character->m_presence == kPresenceNone || character->m_currentCell >= 0 ||
                    character->GetState() == AI_STATE_LEAVE)
                    continue;
                const int frames = offGrid[object] + 1;
                now[object] = frames;
                worst = frames > worst ? frames : worst;
            }
        offGrid.swap(now);
        return worst;
    }
    std::string SaveMall(const std::string& name)
    {
        const std::string path = Path(name);
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 0));
        EXPECT_EQ(0, controller->SaveObjects(&file, level->GetWorld()));
        EXPECT_EQ(0, floors->Save(&file));
        EXPECT_EQ(0, file.Close());
        return FileText(path);
    }

    // A character's record runs from its floor id, three lines above its factory's name, to the next record or the
    // section's end.
    static std::string Record(const std::string& saved, const char* factory)
    {
        size_t start = saved.find(std::string(factory) + "\r\n");
        if (start == std::string::npos)
            return std::string();
        for (int line = 0; line < 3; ++line)
            start = saved.rfind("\r\n", start - 3) + 2;
        size_t end = saved.find(kObjectsSectionEndTag);
        for (const char* other :
             {kCriminalFactoryName, kCleanerFactoryName, kMaintenanceFactoryName, kSecurityFactoryName}) {
            size_t next = saved.find(std::string(other) + "\r\n", start);
            if (other == factory || next == std::string::npos)
                continue;
            for (int line = 0; line < 3; ++line)
                next = saved.rfind("\r\n", next - 3) + 2;
            end = std::min(end, next);
        }
        return saved.substr(start, end - start);
    }
    // Loads the records as an "<OBJECTS>" section into the running mall; the records left out.
    int LoadRecords(const std::string& records)
    {
        {
            std::ofstream out(Path("records.sav"), std::ios::binary | std::ios::trunc);
            out << "<OBJECTS>\r\n" << records << "</OBJECTS>\r\n";
        }
        CFerroxTagFile file;
        EXPECT_EQ(0, file.Open(Path("records.sav").c_str(), 1));
        EXPECT_EQ(1, controller->LoadObjects(&file, level->GetWorld()));
        const int dropped = controller->GetObjectsLeftOut();
        file.Close();
        return dropped;
    }

    std::map<const CFerroxObject*, int> offGrid;
};

TEST_F(MallSoak, FiveMinutesAtSpeedThree)
{
    OpenLevel();
    if (HasFatalFailure())
        return;
    BuildMall();
    ASSERT_NE(nullptr, cleaner);
    ASSERT_NE(nullptr, guard);
    ASSERT_NE(nullptr, engineer);
    CFerroxBlockMesh* ground = Ground();
    int litter[kLitterCells] = {Cell(12, 12), Cell(12, 14), Cell(14, 14), Cell(16, 12)};
    for (int cell : litter)
        ground->OccupyCell(cell);
    CStatistics* stats = manager->GetStatistics();

    CFerroxObject* criminal = nullptr;
    int worstOffGrid = 0;
    bool insideOnTiles = false;
    bool held = false;
    for (int frame = 0; frame < Frames(kSoakSeconds); frame++) {
        if (frame == kCriminalFrame) {
            criminal = spawner->SpawnCriminal();
            ASSERT_NE(nullptr, criminal);
        }
        Frame();
        if (Listed(manager->GetCriminals(), criminal))
            held = held || dynamic_cast<CAICharacter*>(criminal)->GetState() == kCriminalHeldState;
        const int offGridNow = WorstOffGrid();
        worstOffGrid = offGridNow > worstOffGrid ? offGridNow : worstOffGrid;
        for (CFerroxObject* object : manager->GetShoppers()) {
            auto* shopper = dynamic_cast<CAICharacter*>(object);
            insideOnTiles = insideOnTiles || (shopper->m_presence == kPresenceInside && shopper->m_currentCell >= 0 &&
                                              ground->IsAreaTiled(shopper->m_currentCell, 1, 1));
        }
    }

    EXPECT_GT(stats->m_shoppersCome, 0);
    EXPECT_TRUE(insideOnTiles) << "a shopper walked in through the door onto the floor";
    EXPECT_GT(stats->m_takings, 0u) << "a shopper bought something";
    int swept = 0;
    for (int cell : litter)
        swept += ground->GetBlock(cell)->IsOccupied() ? 0 : 1;
    EXPECT_GT(swept, 0) << "the cleaner swept litter";
    EXPECT_TRUE(held || !Listed(manager->GetCriminals(), criminal)) << "the criminal was caught or left";
    EXPECT_LT(worstOffGrid, kStuckFrames) << "a character stood off the grid";
}

TEST_F(MallSoak, SameSeedSavesTheSameMall)
{
    std::string saved[2];
    for (int run = 0; run < 2; run++) {
        FerroxSrand(kSoakSeed);
        SoakClockNow() = 0.0;
        g_shopCounter = 0;  // shop numbers run on across games in one process
        OpenLevel();
        if (HasFatalFailure())
            return;
        BuildMall();
        for (int frame = 0; frame < Frames(kReplaySeconds); frame++)
            Frame();
        saved[run] = SaveMall("run" + std::to_string(run) + ".sav");
        CloseLevel();
    }
    EXPECT_FALSE(saved[0].empty());
    EXPECT_EQ(saved[0], saved[1]);
}

// A load takes no more characters of a kind than the game itself brings in or hires; the rest are left out and
// counted, and a full staff hires no one more.
TEST_F(MallSoak, ALoadTakesNoMoreCharactersThanTheGameReaches)
{
    OpenLevel();
    if (HasFatalFailure())
        return;
    BuildMall();
    ASSERT_NE(nullptr, cleaner);
    // The hired staff stand on their cells now; the shopper is on the grid after a frame.
    const std::string staffSaved = SaveMall("staff.sav");
    ASSERT_NE(nullptr, spawner->SpawnShopper("SHOPPER_ADULT", 0, kSpawnFloorId));
    Frame();
    const std::string shopperSaved = SaveMall("shopper.sav");
    const std::string shopper = Record(shopperSaved, kShopperFactoryName);
    const std::string member = Record(staffSaved, kCleanerFactoryName);
    ASSERT_FALSE(shopper.empty());
    ASSERT_FALSE(member.empty());
    constexpr int kCopies = 310;
    std::string text = "<OBJECTS>\r\n";
    for (int i = 0; i < kCopies; i++)
        text += shopper;
    for (int i = 0; i < kCopies; i++)
        text += member;
    text += "</OBJECTS>\r\n";
    {
        std::ofstream out(Path("crowd.sav"), std::ios::binary | std::ios::trunc);
        out << text;
    }
    const size_t shoppersBefore = manager->GetShoppers().size();
    const size_t staffBefore = manager->GetStaffCount();
    CFerroxTagFile file;
    ASSERT_EQ(0, file.Open(Path("crowd.sav").c_str(), 1));
    EXPECT_EQ(1, controller->LoadObjects(&file, level->GetWorld()));
    const int dropped = controller->GetObjectsLeftOut();
    file.Close();
    EXPECT_EQ(kShopperLimit, manager->GetShoppers().size());
    EXPECT_EQ(kStaffLimit, manager->GetStaffCount());
    EXPECT_EQ(2 * kCopies - static_cast<int>(kShopperLimit - shoppersBefore) -
                  static_cast<int>(kStaffLimit - staffBefore),
              dropped);
    EXPECT_EQ(nullptr, Hire("CLEANING", kCleanerFactoryName, Cell(12, 12))) << "a full staff hires no one more";
    EXPECT_EQ(kStaffLimit, manager->GetStaffCount());
}

// A shopper whose position is no finite number, lies far beyond the streets, floats above every storey or on the
// grid's rim, where no one stands and no save would keep it (a position that reads as 0, or flushes to it), is left
// out and counted; one in the street beside the grid, where shoppers come in, comes back.
TEST_F(MallSoak, AShopperSavedWhereNoOneCanStandIsLeftOut)
{
    OpenLevel();
    if (HasFatalFailure())
        return;
    BuildMall();
    ASSERT_NE(nullptr, spawner->SpawnShopper("SHOPPER_ADULT", 0, kSpawnFloorId));
    Frame();
    const std::string shopper = Record(SaveMall("shopper.sav"), kShopperFactoryName);
    ASSERT_FALSE(shopper.empty());
    const std::string factoryLine = std::string(kShopperFactoryName) + "\r\n";
    const size_t position = shopper.find(factoryLine) + factoryLine.size();
    const size_t end = shopper.find("\r\n", position);
    const std::string line = shopper.substr(position, end - position);
    const size_t firstComma = line.find(','), secondComma = line.find(',', firstComma + 1);
    const std::string y = line.substr(firstComma + 1, secondComma - firstComma - 1);
    const std::string zYaw = line.substr(secondComma + 1);
    auto placed = [&](const std::string& at) {
        std::string record = shopper;
        record.replace(position, end - position, at);
        return record;
    };
    for (const std::string& bad :
         {"nan," + y + "," + zYaw, "1.00000,inf," + zYaw, "3e38," + y + "," + zYaw, "-2000.00," + y + "," + zYaw,
          "1.00000,40.0000," + zYaw, std::string("0x1p6,0,-0x1p6,0"), std::string("1e-45,0,-1e-45,0")}) {
        const size_t before = manager->GetShoppers().size();
        EXPECT_EQ(1, LoadRecords(placed(bad))) << bad;
        EXPECT_EQ(before, manager->GetShoppers().size()) << bad;
    }
    for (const std::string& good : {line, "-20.0000," + y + "," + zYaw}) {
        const size_t before = manager->GetShoppers().size();
        EXPECT_EQ(0, LoadRecords(placed(good))) << good;
        EXPECT_EQ(before + 1, manager->GetShoppers().size()) << good;
    }
}

// The game's own save and load over the mall: the level torn down and opened again, its floors, objects and
// figures.
class WalkersSaved : public MallSoak, public CGameSaveParts {
protected:
    void TearDown() override
    {
        if (game)
            game->SetSaveParts(nullptr);
        MallSoak::TearDown();
    }
    void LeaveLevel() override { CloseLevel(); }
    int StartLevel() override
    {
        OpenLevel();
        return HasFatalFailure() ? 0 : 1;
    }
    CConditions* GetConditions() override { return nullptr; }
    CFloorManager* GetFloorManager() override { return floors.get(); }
    CStatistics* GetStatistics() override { return manager->GetStatistics(); }
    void SaveObjects(CFerroxFile* file) override { controller->SaveObjects(file, level->GetWorld()); }
    int LoadObjects(CFerroxTagFile* file) override
    {
        controller->LoadObjects(file, level->GetWorld());
        return controller->GetObjectsLeftOut();
    }

    // The lists of the figures a save catches mid-walk: shoppers, criminals and the three trades.
    std::vector<const ObjectList*> Kinds()
    {
        return {&manager->GetShoppers(), &manager->GetCriminals(), &manager->GetCleaners(), &manager->GetSecurity(),
                &manager->GetMaintenance()};
    }
    // Whether a figure of the list is on its way along a path, past its start.
    static bool Walking(const ObjectList& list)
    {
        for (CFerroxObject* object : list) {
            auto* figure = dynamic_cast<CAICharacter*>(object);
            if (figure && figure->m_presence != kPresenceNone && figure->m_currentCell >= 0 &&
                figure->GetState() == AI_STATE_WALK && figure->m_pathParam > 0.0f)
                return true;
        }
        return false;
    }
    bool AllWalking()
    {
        for (const ObjectList* list : Kinds())
            if (!Walking(*list))
                return false;
        return true;
    }
    std::string SaveAs(const std::string& name)
    {
        EXPECT_EQ(1, game->SaveGame(Path(name).c_str()));
        return FileText(Path(name));
    }
};

// Saved while a shopper, a criminal, a cleaner, a guard and a maintenance worker walk, the game loads back with every
// line a load keeps and its walks planned afresh; the loaded game saves and loads to the same bytes, and its figures
// walk again.
TEST_F(WalkersSaved, AGameSavedMidWalkLoadsBackIntoTheSameMall)
{
    OpenLevel();
    if (HasFatalFailure())
        return;
    BuildMall();
    game->SetSaveParts(this);
    for (int cell : {Cell(12, 12), Cell(6, 18), Cell(18, 18)})
        Ground()->OccupyCell(cell);
    int frame = 0;
    for (; frame < Frames(kSoakSeconds) && !(frame > kCriminalFrame && AllWalking()); frame++) {
        if (frame == kCriminalFrame)
            ASSERT_NE(nullptr, spawner->SpawnCriminal());
        Frame();
    }
    ASSERT_TRUE(AllWalking()) << "no frame had every kind of figure walking";

    const std::string walking = SaveAs("walking.fds");
    ASSERT_EQ(kGameLoadWhole, game->LoadGame(Path("walking.fds").c_str()));
    const std::string loaded = SaveAs("loaded.fds");
    EXPECT_NE(walking, loaded) << "the walks were planned afresh";
    EXPECT_EQ("", SavedGameChange(walking, loaded, floors.get()));
    ASSERT_EQ(kGameLoadWhole, game->LoadGame(Path("loaded.fds").c_str()));
    EXPECT_EQ(loaded, SaveAs("again.fds"));

    std::vector<bool> walked(Kinds().size(), false);
    for (int after = 0; after < Frames(kWalkAgainSeconds); after++) {
        Frame();
        for (size_t kind = 0; kind < walked.size(); kind++)
            walked[kind] = walked[kind] || Walking(*Kinds()[kind]);
    }
    for (size_t kind = 0; kind < walked.size(); kind++)
        EXPECT_TRUE(walked[kind]) << "figures of kind " << kind << " walk again after the load";
}

// A toilet broken beside a cash machine, with an engineer on its storey within reach: the engineer takes the job,
// and a game saved and loaded while it walks there still gets the toilet repaired.
TEST_F(WalkersSaved, AnEngineerRepairsAToiletBesideACashMachineThroughAReload)
{
    OpenLevel();
    if (HasFatalFailure())
        return;
    BuildMall();
    ASSERT_NE(nullptr, engineer);
    game->SetSaveParts(this);
    const int toiletCell = Cell(6, 12);
    ASSERT_EQ(0, Place("FAC_TOILET", kUsableObjectFactoryName, toiletCell));
    ASSERT_EQ(0, Place("FAC_CASH", kUsableObjectFactoryName, Cell(5, 13)));
    auto toilet = [this, toiletCell]() -> CPathableObject* {
        for (CFerroxObject* object : manager->GetFloorRecord(0)->usable) {
            auto* facility = dynamic_cast<CPathableObject*>(object);
            if (facility && facility->GetFirstCell() == toiletCell)
                return facility;
        }
        return nullptr;
    };
    ASSERT_NE(nullptr, toilet());
    ASSERT_EQ(1, toilet()->CreateEffects());
    int frame = 0;
    for (; frame < Frames(kRepairSeconds) && !(engineer->m_pTarget == toilet() && Walking(manager->GetMaintenance()));
         frame++)
        Frame();
    ASSERT_EQ(toilet(), engineer->m_pTarget) << "the engineer takes the job";

    SaveAs("repair.fds");
    ASSERT_EQ(kGameLoadWhole, game->LoadGame(Path("repair.fds").c_str()));
    ASSERT_NE(nullptr, toilet());
    ASSERT_EQ(1, toilet()->IsEffectOn());
    ASSERT_EQ(1u, manager->GetMaintenance().size());
    auto* loaded = dynamic_cast<CStaff*>(manager->GetMaintenance().front());
    ASSERT_NE(nullptr, loaded);
    const uint16_t jobs = loaded->GetRecord().jobs;
    for (frame = 0; frame < Frames(kRepairSeconds) && toilet()->IsEffectOn(); frame++)
        Frame();
    EXPECT_EQ(0, toilet()->IsEffectOn());
    EXPECT_EQ(jobs + 1, loaded->GetRecord().jobs);
}

}  // namespace
