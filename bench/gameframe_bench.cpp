// The whole in-game frame (simulation step, 3D view, interface, present) of the London level at 800 x 600, run
// by the game's own application as a player starts it: the main menu, London, start. The mall is then built
// through the placement controller: three storeys joined by stairs, doors in the ground storey's outer wall,
// 60 shops, facilities and scenery, and 300 shoppers, 30 criminals and 40 staff sent in by the spawner. Fixed
// 0.05 s steps, one seed; the scenario's win and lose conditions are set aside so the game does not end.
//
// Each case runs in a child process of this program (the application and its singletons live once a process):
// on OpenGL (Mesa's software rasteriser on 2 threads) the peopled mall against the mall without characters and
// the bare level; on the software device, which draws nothing, the engine's own cost of the same frames. The
// software run also plays 10 game minutes at speed 3 and reports the resident memory after them. Every case
// reports the time from the start press in the city view to the first in-game frame.
// Targets: 60 frames a second on 2 rasteriser threads, the engine's own cost under 4 ms, the start under 1 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/gameroot_local.h"
#include "engine/application/app.h"
#include "engine/application/keyboard.h"
#include "engine/application/mouse.h"
#include "engine/data/random.h"
#include "engine/data/startup.h"
#include "engine/navigation/blockmesh.h"
#include "engine/navigation/character.h"
#include "engine/world/camera.h"
#include "game/buildings/placement.h"
#include "game/figures/spawner.h"
#include "game/shell/conditions.h"
#include "game/shell/game.h"
#include "game/world/factories.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/core/engine.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/d3d9drv.h"
#include "main/shell.h"
#include "platform/d3d9/gl_backend.h"
#include "platform/d3d9/gl_counters_testing.h"
#include "platform/testsupport/softdevice.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend.h"
#include "ui/toolkit/canvas.h"
#include "ui/toolkit/widget.h"

namespace {

constexpr float kStep = 0.05f;
constexpr unsigned kSeed = 20040101;
constexpr int kMenuFrames = 20;
constexpr int kCityFrames = 40;
constexpr int kTimeoutFrames = 400;
constexpr int kWarmFrames = 20;  // the crowd comes in and the caches fill before the measured frames
constexpr int kMeasuredFrames = 100;
constexpr float kSoakGameSeconds = 600.0f;
constexpr float kSoakSpeed = 3.0f;
constexpr int kKeySpeedThree = 51;
constexpr int kKeySpeedOne = 49;
constexpr int kShops = 60;
constexpr int kStoreys = 3;
constexpr int kShoppers = 300;
constexpr int kCriminals = 30;
constexpr int kStaff = 40;
constexpr int kMargin = 10;  // cells of the plot left bare around the mall: the doors need the room
constexpr int kPitch = 4;    // shop grid
constexpr uint32_t kFunds = 100000000;
const char* const kShopperCategories[] = {"SHOPPER_ADULT", "SHOPPER_YOUTH", "SHOPPER_SENIOR"};
const char* const kShopCategories[] = {"SHOP_FASHION", "SHOP_FOOD", "SHOP_ELECTRIC",
                                       "SHOP_HEALTH",  "SHOP_HOME", "SHOP_LEISURE"};
const char* const kFacilities[] = {"FAC_TOILET", "FAC_SEATS", "FAC_PHONE", "FAC_CASH"};
const char* const kScenery[] = {"SCEN_PLANTS", "SCEN_DECOR"};

enum Scene {
    kBare,
    kEmptyMall,
    kPeopledMall
};

double ResidentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

double Milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// ---- the child: the game itself, driven frame by frame ----

CProgramShell g_shell;

struct Script {
    enum Phase {
        kWaitMenu,
        kClickLondon,
        kWaitCity,
        kClickStart,
        kWaitLevel,
        kBuild,
        kWarm,
        kMeasure,
        kSoak,
        kDone
    };
    Scene scene = kBare;
    bool soak = false;
    Phase phase = kWaitMenu;
    int frame = 0;
    bool failed = false;
    std::string failure;
    std::chrono::steady_clock::time_point pressed;
    double startMs = -1.0;
    std::vector<double> frames;
    float soaked = 0.0f;
    std::map<std::string, double> built;
    D3D9GLCounters counters;    // the back end's counts as the measured frames began
    std::clock_t cpuStart = 0;  // processor time of every thread as the measured frames began
    double drawnTotal = 0.0;    // characters drawn, summed over the measured frames

    void Fail(const char* what)
    {
        failed = true;
        failure = what;
        phase = kDone;
        g_pFerroxApp->Quit();
    }
    void Next(Phase next)
    {
        phase = next;
        frame = 0;
    }
};
Script g_script;

bool WidgetCentre(CFerroxCanvas* canvas, int index, float* x, float* y)
{
    const float* rect = canvas ? canvas->GetWidgetRect(index) : nullptr;
    if (!rect)
        return false;
    *x = canvas->GetX() + rect[0] + rect[2] * 0.5f;
    *y = FerroxGetScreenHeight() - canvas->GetY() - (rect[1] + rect[3] * 0.5f);
    return true;
}

// Move, press, release over three frames; true on the release frame.
bool Click(CFerroxCanvas* canvas, int index)
{
    float x = 0.0f;
    float y = 0.0f;
    if (!WidgetCentre(canvas, index, &x, &y))
        return false;
    CFerroxMouse* mouse = g_pGame->GetMouse();
    if (g_script.frame == 1)
        mouse->MoveTo(x, y);
    else if (g_script.frame == 2)
        mouse->LeftButtonDown();
    else if (g_script.frame == 3)
        mouse->LeftButtonUp();
    return g_script.frame == 3;
}

void Key(int code)
{
    FerroxKeyEvent event = {};
    event.keyCode = code;
    if (CFerroxKeyboard* keyboard = g_pGame->GetKeyboard()) {
        keyboard->KeyDown(&event);
        keyboard->KeyUp(&event);
    }
}

// The mall, built as the build menus would build it.
class Builder {
public:
    Builder()
        : m_game(static_cast<CGame*>(g_pGame)), m_manager(CDynamicObjectManager::Instance()),
          m_floors(m_game->GetFloorManager()), m_controller(m_game->GetPlacementController()),
          m_world(m_game->GetWorld())
    {}
    bool Ready() const { return m_floors && m_controller && m_world && Ground(); }
    CFerroxBlockMesh* Ground() const { return m_floors ? m_floors->FindBaseFloor(kSpawnFloorId) : nullptr; }
    int Cell(int row, int column) const { return row * Ground()->GetRows() + column; }
    static GxV3d At(CFerroxBlockMesh* storey, int cell)
    {
        return {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
                static_cast<float>(storey->GetCellWorldZ(cell, 1))};
    }
    int Place(const char* category, const char* factory, int storey, int cell)
    {
        CFerroxAssetSet* set = m_manager->FindTemplate(category, 0);
        if (!set)
            return -1;
        m_floors->GoToFloor(storey, m_world);
        CFerroxBlockMesh* mesh = Storey(storey);
        m_controller->SetMode(PLACEMENT_OBJECT, m_world, 0, set, m_manager->FindFactory(factory, m_world));
        m_controller->Update(At(mesh, cell));
        const int result = m_controller->PlaceHeldObject(At(mesh, cell), m_world, 0);
        m_controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result;
    }
    CFerroxBlockMesh* Storey(int index) const
    {
        CFerroxBlockMesh* mesh = Ground();
        for (int i = 0; i < index && mesh; i++)
            mesh = mesh->GetUpper();
        return mesh;
    }
    // Floors over the plot less a margin, the upper storeys, stairs, doors, shops, facilities and scenery.
    void Build(std::map<std::string, double>* counts)
    {
        m_manager->GetStatistics()->m_incomeTotal += kFunds;
        const int rows = Ground()->GetRows();
        const int columns = Ground()->GetColumns();
        m_first = kMargin;
        m_lastRow = rows - 1 - kMargin;
        m_lastColumn = columns - 1 - kMargin;
        (*counts)["plot_cells"] = rows * columns;
        (*counts)["laid"] = Lay(Cell(m_first, m_first), Cell(m_lastRow, m_lastColumn)) == 0;

        int doors = 0;
        const int middle = (m_first + m_lastColumn) / 2;
        for (int column : {middle - 4, middle, middle + 4})
            doors += Place("DOORS", kDoorObjectFactoryName, 0, Cell(m_lastRow + 1, column)) == 0 ? 1 : 0;
        (*counts)["doors"] = doors;
        while (m_floors->GetBuiltFloors() < kStoreys)
            m_floors->AddFloor();
        m_floors->GoToFloor(0, m_world);
        (*counts)["storeys"] = m_floors->GetBuiltFloors();
        int stairs = 0;
        for (int storey = 0; storey + 1 < kStoreys; storey++)
            stairs +=
                FirstFit("STAIRS", kStairsObjectFactoryName, storey, m_first + 2 + storey * 4, m_first + 1) ? 1 : 0;
        (*counts)["stairs"] = stairs;
        (*counts)["shops"] = Shops();
        int extras = 0;
        for (int storey = 0; storey < kStoreys; storey++) {
            for (const char* facility : kFacilities)
                extras += FirstFit(facility, kUsableObjectFactoryName, storey, m_lastRow - 3, m_first + 1) ? 1 : 0;
            for (const char* scenery : kScenery)
                extras += FirstFit(scenery, kSceneryObjectFactoryName, storey, m_lastRow - 6, m_first + 1) ? 1 : 0;
        }
        (*counts)["facilities_scenery"] = extras;
        m_floors->GoToFloor(0, m_world);
    }
    // The ground's floor laid by a drag from `first` to `last`, as the floor tool lays it.
    int Lay(int first, int last)
    {
        m_controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
        m_controller->Update(At(Ground(), first));
        m_controller->BeginDrag(At(Ground(), first));
        m_controller->Update(At(Ground(), last));
        const int result = m_controller->LayFloorArea(At(Ground(), last), nullptr);
        m_controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result;
    }
    // The first free cell along a row from `column` on.
    bool FirstFit(const char* category, const char* factory, int storey, int row, int column)
    {
        for (int c = column; c < m_lastColumn; c++)
            if (Place(category, factory, storey, Cell(row, c)) == 0)
                return true;
        return false;
    }
    int Shops()
    {
        int shops = 0;
        for (int storey = 0; storey < kStoreys; storey++) {
            int here = 0;
            for (int i = m_first + 6; i + 1 < m_lastRow - 6 && here < kShops / kStoreys; i += kPitch)
                for (int j = m_first + 4; j + 1 < m_lastColumn && here < kShops / kStoreys; j += kPitch)
                    if (Place(kShopCategories[shops % 6], kShopFactoryName, storey, Cell(i, j)) == 0) {
                        here++;
                        shops++;
                    }
        }
        return shops;
    }
    bool Hire(const char* category, const char* factory, int cell)
    {
        CSpawner* spawner = m_game->GetSpawner();
        spawner->BeginStaffHire(m_manager->FindTemplate(category, 0), m_manager->FindFactory(factory, nullptr));
        m_floors->UpdatePick(At(Ground(), cell));
        spawner->PlaceStaff();
        if (!spawner->GetStaffMember())
            return true;
        spawner->DropStaffPlacement();
        return false;
    }
    // Shoppers and criminals from the level's spawn points (they walk in through the doors), staff along the
    // ground storey's free first rows.
    void Populate(std::map<std::string, double>* counts)
    {
        CSpawner* spawner = m_game->GetSpawner();
        int made = 0;
        for (int i = 0; i < kShoppers; i++)
            made += spawner->SpawnShopper(kShopperCategories[i % 3], 0, kSpawnFloorId) ? 1 : 0;
        for (int i = 0; i < kCriminals; i++)
            made += spawner->SpawnCriminal() ? 1 : 0;
        const char* const trades[][2] = {{"CLEANING", kCleanerFactoryName},
                                         {"SECURITY", kSecurityFactoryName},
                                         {"ENGINEER", kMaintenanceFactoryName}};
        int hired = 0;
        for (int i = 0; i < kStaff; i++) {
            const int row = m_first + 1 + (i % 2) * 2;
            const int column = m_first + 4 + i;
            hired += Hire(trades[i % 3][0], trades[i % 3][1], Cell(row, column > m_lastColumn ? m_lastColumn : column));
        }
        (*counts)["spawned"] = made;
        (*counts)["hired"] = hired;
    }

private:
    CGame* m_game;
    CDynamicObjectManager* m_manager;
    CFloorManager* m_floors;
    CPlacementController* m_controller;
    CFerroxWorld* m_world;
    int m_first = 0;
    int m_lastRow = 0;
    int m_lastColumn = 0;
};

size_t Characters()
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
    return manager->GetShoppers().size() + manager->GetCriminals().size() + manager->GetCleaners().size() +
           manager->GetSecurity().size() + manager->GetMaintenance().size();
}

// Characters the last drawing reached (each clears its mark when it next updates).
size_t DrawnCharacters()
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
    size_t drawn = 0;
    for (const ObjectList* list : {&manager->GetShoppers(), &manager->GetCriminals(), &manager->GetCleaners(),
                                   &manager->GetSecurity(), &manager->GetMaintenance()})
        for (CFerroxObject* object : *list)
            if (auto* character = dynamic_cast<CFerroxCharacter*>(object))
                drawn += character->m_drawnThisFrame ? 1 : 0;
    return drawn;
}

void BeforeFrame()
{
    Script& s = g_script;
    s.frame++;
    CGame* game = static_cast<CGame*>(g_pGame);
    CFrontEnd* front = g_shell.GetFrontEnd();
    if (s.frame > kTimeoutFrames && s.phase < Script::kBuild)
        return s.Fail("the level never started");
    switch (s.phase) {
    case Script::kWaitMenu:
        if (game->GetState() == kGameStateFrontEnd && front && s.frame >= kMenuFrames)
            s.Next(Script::kClickLondon);
        break;
    case Script::kClickLondon:
        if (Click(front ? front->GetMainMenu() : nullptr, MAIN_MENU_LONDON))
            s.Next(Script::kWaitCity);
        break;
    case Script::kWaitCity:
        if (s.frame >= kCityFrames)
            s.Next(Script::kClickStart);
        break;
    case Script::kClickStart:
        if (Click(front ? front->GetLondon() : nullptr, CITY_START)) {
            s.pressed = std::chrono::steady_clock::now();
            s.Next(Script::kWaitLevel);
        }
        break;
    case Script::kBuild: {
        Builder builder;
        if (!builder.Ready())
            return s.Fail("the level has no floors, controller or world");
        // The software device's event log (kept for tests, with every draw's shaded vertices) is the device's
        // cost, not the engine's.
        D3D9SoftSetLogging(GxD3D9Device(), false);
        // The scenario's result would end the game (and stop the simulation) once the crowd has come: the
        // measured mall plays on without win or lose conditions.
        game->m_pConditions = std::make_unique<CConditions>();
        game->m_pConditions->SetStatistics(CDynamicObjectManager::Instance()->GetStatistics());
        if (s.scene != kBare)
            builder.Build(&s.built);
        if (s.scene == kPeopledMall)
            builder.Populate(&s.built);
        s.Next(Script::kWarm);
        break;
    }
    default:
        break;
    }
}

// The last measured frame as a picture, for comparing runs: to the file MALL_FRAME_SHOT names, if set.
void SaveFrame(CGame* game)
{
    const char* path = std::getenv("MALL_FRAME_SHOT");
    CFerroxCamera* camera = game->GetCamera();
    if (!path || !camera)
        return;
    if (camera->SaveScreenshot(path, camera->GetWidth(), camera->GetHeight()) != 0)
        std::fprintf(stderr, "gameframe_bench: the frame was not saved to %s\n", path);
}

// The OpenGL back end's work per measured frame (zero on the software device).
void PerFrameCounts(const D3D9GLCounters& before, double frames, std::map<std::string, double>* out)
{
    const D3D9GLCounters& now = D3D9GLGetCounters();
    (*out)["gl_draws"] = static_cast<double>(now.draws - before.draws) / frames;
    (*out)["gl_vertices"] = static_cast<double>(now.vertices - before.vertices) / frames;
    (*out)["gl_state_changes"] = static_cast<double>(now.stateChanges - before.stateChanges) / frames;
    (*out)["gl_state_groups_sent"] = static_cast<double>(now.stateGroupsSent - before.stateGroupsSent) / frames;
    (*out)["gl_upload_kb"] = static_cast<double>(now.uploadedBytes - before.uploadedBytes) / frames / 1024.0;
}

void AfterFrame(std::chrono::steady_clock::duration took)
{
    Script& s = g_script;
    CGame* game = static_cast<CGame*>(g_pGame);
    switch (s.phase) {
    case Script::kWaitLevel:
        // The frame that drew the level: the state was in game before the frame began.
        if (game->GetState() == kGameStateInGame && game->GetWorld() && s.frame > 1 && s.startMs < 0.0)
            s.startMs = Milliseconds(std::chrono::steady_clock::now() - s.pressed);
        if (s.startMs >= 0.0)
            s.Next(Script::kBuild);
        break;
    case Script::kWarm:
        if (s.frame < kWarmFrames)
            break;
        s.counters = D3D9GLGetCounters();
        s.cpuStart = std::clock();
        s.Next(Script::kMeasure);
        break;
    case Script::kMeasure:
        s.frames.push_back(Milliseconds(took));
        if (s.frame < kMeasuredFrames)
            break;
        PerFrameCounts(s.counters, static_cast<double>(s.frames.size()), &s.built);
        // Processor time per frame of all threads (the rasteriser's too): steadier than the wall clock on a busy
        // machine.
        s.built["cpu_ms"] = static_cast<double>(std::clock() - s.cpuStart) * 1000.0 / CLOCKS_PER_SEC /
                            static_cast<double>(s.frames.size());
        SaveFrame(game);
        s.built["characters"] = static_cast<double>(Characters());
        s.built["characters_drawn"] = s.drawnTotal / static_cast<double>(s.frames.size());
        s.built["game_over"] = game->IsGameOver();
        s.built["rss_mb"] = ResidentMegabytes();
        if (!s.soak) {
            s.Next(Script::kDone);
            g_pFerroxApp->Quit();
            break;
        }
        Key(kKeySpeedThree);
        s.Next(Script::kSoak);
        break;
    case Script::kSoak:
        s.soaked += kStep * kSoakSpeed;
        if (s.soaked < kSoakGameSeconds)
            break;
        Key(kKeySpeedOne);
        s.built["characters_after_soak"] = static_cast<double>(Characters());
        s.built["game_over_after_soak"] = game->IsGameOver();
        s.built["game_days_after_soak"] = game->GetDayCounter();
        s.built["rss_after_soak_mb"] = ResidentMegabytes();
        s.Next(Script::kDone);
        g_pFerroxApp->Quit();
        break;
    default:
        break;
    }
}

class CBenchApp : public CFerroxApp {
public:
    ~CBenchApp() override { Release(); }
    void Tick(float) override
    {
        // The game seeds the generator from the clock when it is created; the bench draws from its own seed.
        if (!m_seeded) {
            FerroxSrand(kSeed);
            m_seeded = true;
        }
        BeforeFrame();
        if (g_script.phase == Script::kDone)
            return;
        // The application's tick; the drawn characters are counted between the drawing and the update, untimed.
        // On the software device the last warming frame (unmeasured) counts the draws the device receives.
        IDirect3DDevice9* device = GxD3D9Device();
        const bool countDraws =
            g_script.phase == Script::kWarm && g_script.frame == kWarmFrames && device && D3D9SoftIsSoftware(device);
        if (countDraws) {
            D3D9SoftClearLog(device);
            D3D9SoftSetLogging(device, true);
        }
        const auto start = std::chrono::steady_clock::now();
        m_pGame->Render();
        const auto drawn = std::chrono::steady_clock::now();
        if (countDraws) {
            g_script.built["draws_per_frame"] = static_cast<double>(D3D9SoftCount(device, D3D9SOFT_DRAW));
            D3D9SoftSetLogging(device, false);
            D3D9SoftClearLog(device);
        }
        if (g_script.phase == Script::kMeasure)
            g_script.drawnTotal += static_cast<double>(DrawnCharacters());
        const auto update = std::chrono::steady_clock::now();
        m_pGame->Update(kStep);
        AfterFrame((drawn - start) + (std::chrono::steady_clock::now() - update));
    }
    static CFerroxApp* Instance()
    {
        if (!g_pFerroxApp)
            g_pFerroxApp = new CBenchApp();
        return g_pFerroxApp;
    }
    static void DestroyInstance()
    {
        delete g_pFerroxApp;
        g_pFerroxApp = nullptr;
    }

private:
    bool m_seeded = false;
};

CFerroxGame* GameInstance(CFerroxGame** out) { return g_shell.MakeGame(out); }

void GameDestroyInstance() { g_shell.DestroyGame(); }

// Runs the game with the scene; the figures go to stdout as "name value" lines.
int RunChild(Scene scene, bool soak)
{
    g_script.scene = scene;
    g_script.soak = soak;
    FerroxSetStartup(GxD3D9GetStartup());
    const FerroxProgram program = {CBenchApp::Instance, CBenchApp::DestroyInstance, GameInstance, GameDestroyInstance};
    FerroxWinMain(program, nullptr, nullptr);
    Script& s = g_script;
    if (s.failed || s.frames.empty()) {
        std::printf("failed %s\n", s.failed ? s.failure.c_str() : "no frames measured");
        return 1;
    }
    std::vector<double> sorted = s.frames;
    std::sort(sorted.begin(), sorted.end());
    double total = 0.0;
    for (double f : sorted)
        total += f;
    const double mean = total / static_cast<double>(sorted.size());
    const size_t worstCount = std::max<size_t>(1, sorted.size() / 100);
    double worstTotal = 0.0;
    for (size_t i = sorted.size() - worstCount; i < sorted.size(); i++)
        worstTotal += sorted[i];
    const double worst = worstTotal / static_cast<double>(worstCount);
    std::printf("mean_ms %f\nfps %f\nworst1pct_ms %f\nfps_1pct_low %f\nstart_ms %f\n", mean, 1000.0 / mean, worst,
                1000.0 / worst, s.startMs);
    for (const auto& [name, value] : s.built)
        std::printf("%s %f\n", name.c_str(), value);
    return 0;
}

}  // namespace

// ---- the parent: one benchmark per child run ----

namespace {

std::string g_program;

void RunCase(benchmark::State& state, const char* scene, const char* backend, bool soak)
{
    const std::string command = "LP_NUM_THREADS=2 MALL_D3D9_BACKEND=" + std::string(backend) + " \"" + g_program +
                                "\" --frame-child " + scene + (soak ? " soak" : "") + " 2>/dev/null";
    for (auto _ : state) {
        std::FILE* child = popen(command.c_str(), "r");
        if (!child) {
            state.SkipWithError("the child did not start");
            return;
        }
        char line[256];
        std::string failure;
        while (std::fgets(line, sizeof line, child)) {
            char name[128] = {};
            double value = 0.0;
            if (std::strncmp(line, "failed", 6) == 0)
                failure = line;
            else if (std::sscanf(line, "%127s %lf", name, &value) == 2)
                state.counters[name] = value;
        }
        if (pclose(child) != 0) {
            state.SkipWithError(failure.empty() ? "the child failed" : failure.c_str());
            return;
        }
    }
}

void BM_BareLevelBaseline_GL(benchmark::State& state) { RunCase(state, "bare", "opengl", false); }
BENCHMARK(BM_BareLevelBaseline_GL)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_MallNoCharactersBaseline_GL(benchmark::State& state) { RunCase(state, "empty", "opengl", false); }
BENCHMARK(BM_MallNoCharactersBaseline_GL)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PeopledMall_GL(benchmark::State& state) { RunCase(state, "peopled", "opengl", false); }
BENCHMARK(BM_PeopledMall_GL)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_BareLevelBaseline_Software(benchmark::State& state) { RunCase(state, "bare", "software", false); }
BENCHMARK(BM_BareLevelBaseline_Software)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PeopledMall_Software(benchmark::State& state) { RunCase(state, "peopled", "software", true); }
BENCHMARK(BM_PeopledMall_Software)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--frame-child") == 0) {
        const std::string scene = argv[2];
        const Scene which = scene == "bare" ? kBare : scene == "empty" ? kEmptyMall : kPeopledMall;
        return RunChild(which, argc >= 4 && std::strcmp(argv[3], "soak") == 0);
    }
    g_program = std::filesystem::weakly_canonical(std::filesystem::absolute(argv[0])).string();
    return BenchRunInGameRoot(argc, argv, "gameframe_bench");
}
