// The game object: the game states, the frame, the set-up of a game and its commands.
//
// The game module owns the mall simulation: the game object, the statistics, the scenario conditions, the sound
// manager (game/shell/sound.h) and the object manager with its factories and templates (game/world/objectmgr.h,
// game/world/factories.h, game/world/templates.h). It calls the engine (engine/*), the graphics library below its
// driver and, for sound, platform/fmod;
// the interface above reaches it through the operations of CGame below and the other game headers the table of
// ARCHITECTURE.md (the game shell) lists for it, each where a panel's work needs it (saved games, sound,
// conditions, the object manager and its statistics, shops, shoppers, staff, the spawner). The game
// reaches the interface through two seams: the shell (CGameShell, game/shell/gameshell.h), which the program
// installs and through which the states and the frame make, update, draw and leave the interface; and the notice
// seam (CGameNotices, game/world/gamecontext.h), which the in-game interface installs to be told messages,
// questions and closed popups. Sound effects go through the notice seam too when one is installed; its default
// plays them on the game's sound manager. Its rooms stand world < buildings < figures < shell: this shell, on
// top, makes and owns what the rooms below hold, and they read the game only through CGameContext
// (game/world/gamecontext.h). Threading: one thread runs everything. Ownership: the game is a singleton made by
// CGame::Instance and reached through g_pGame (and, below the shell, g_pGameContext); each seam is installed by
// its owner, which keeps it alive while installed.
//
// CGame here holds what the rooms below read (day counter, new-day flag, start year and month, game speed and its
// resume copy, the game-over and input-blocked flags), the selected object that removals clear, the sound manager
// (game/shell/sound.h), the commands the build menus and the main bar give, and the operations the panels ask for
// (pause, resume, save, load, start a scenario, leave after the result). The commands reach the placement
// controller and the floor manager of the level's world through CGamePlacement and CGameFloors, which only tests
// replace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/application/base.h"
#include "game/world/gamecontext.h"
#include "gfx/core/gx.h"

class CSoundManager;
class CFerroxObject;
class CFerroxPicker;
class CFerroxWorld;
class CConditions;
class CSpawner;
class CFloorManager;
class CPlacementController;
class CGameShell;
class CObjectManagerSeam;
struct GxRaster;
class CFerroxAssetSet;
class CFerroxObjectFactory;
class CGameSaveParts;

// Placement modes of the placement controller.
enum GamePlacementMode : int32_t {
    GAME_PLACEMENT_NONE = 0,
    GAME_PLACEMENT_OBJECT = 1,       // one object follows the cursor
    GAME_PLACEMENT_FLOOR_TILES = 2,  // tiles laid over a dragged rectangle
    GAME_PLACEMENT_CLEAR = 3,        // a dragged rectangle cleared, or the object under the cursor removed
};

// What the game's commands ask of the placement controller, for the current world.
class CGamePlacement {
public:
    virtual ~CGamePlacement() = default;
    // template and factory are those of single-object mode; null in the other modes.
    virtual void SetMode(int32_t mode, CFerroxAssetSet* objectTemplate, CFerroxObjectFactory* factory) = 0;
    // Builds the wall pieces of the storey shown (0) or of every storey (1).
    virtual void BuildWalls(int32_t value) { (void)value; }
};

// What the game's commands and the main bar ask of the floor manager, for the current world.
class CGameFloors {
public:
    virtual ~CGameFloors() = default;
    virtual void GoDown() = 0;
    // May ask to build a new floor.
    virtual void GoUp() = 0;
    // Makes the tile type current, wrapping to the first when out of range.
    virtual void SelectTile(int32_t tile) = 0;
    virtual int32_t GetCurrentFloor() = 0;
    // Storeys built, the ground one included.
    virtual int32_t GetBuiltFloors() { return 1; }
};

// Game states: brand splash, logo and loading, front end, in game, start the chosen game, leave it.
constexpr int32_t kGameStateSplash = 1;
constexpr int32_t kGameStateLoading = 2;
constexpr int32_t kGameStateFrontEnd = 3;
constexpr int32_t kGameStateInGame = 4;
constexpr int32_t kGameStateStart = 5;
constexpr int32_t kGameStateLeave = 6;
// Seconds each of the first two states lasts, and the scaled seconds of one game day.
constexpr float kGameSplashSeconds = 4.0f;
constexpr float kGameDaySeconds = 150.0f;
// Scenario results: the win and lose samples, and the in-game message of the leave question.
constexpr int32_t kGameWinSample = 6;
constexpr int32_t kGameLoseSample = 7;
constexpr uint16_t kGameLeaveQuestion = 36;
// Technology ids are category x 1000 + index; messages 14 + category tell of an unlock.
constexpr int32_t kGameTechCategoryStep = 1000;
constexpr int16_t kGameUnlockMessageBase = 14;
// The tile command's value that keeps the current tile type.
constexpr int32_t kGameKeepFloorTile = -1;
// In-game: the scenario a level started with did not load, and nothing had named its file before.
constexpr int16_t kGameDamagedScenarioMessage = 48;
// In-game: parts of the scenario a level started with were left out, and nothing had named its file before.
constexpr int16_t kGameScenarioPartsMessage = 49;

// Start of a new game's calendar.
constexpr uint16_t kGameStartMonth = 1;
constexpr uint16_t kGameStartYear = 2004;

class CGame : public CFerroxGame, public CGameContext {
public:
    // Creates the game on the first call and writes it to out and to the global game pointers.
    static CGame* Instance(CFerroxGame** out);
    // Deletes the game and clears out and the global game pointers.
    static void DestroyInstance(CFerroxGame** out);

    CGame();
    void Init() override;
    void Release() override;
    ~CGame() override;

    // The game states and the frame (game/shell/gamestates.cpp).
    int Create(HWND window, const char* name) override;
    int ChooseVideoMode(int* adapter, int* mode) override;
    void Update(float frameTime) override;
    void Render() override;
    // Makes every game-side object once, after the loading picture; 0 when the level list cannot be read.
    int SetUpGame();
    // Builds the current level's world and puts the camera, the placement, the spawner and the sound in it; 0
    // when the level's world does not load (nothing is left of it).
    int StartLevel();
    // A level that did not load: its file is named on the error stream, and the player is taken back to the
    // level's city view.
    void AbandonLevel();
    // Takes the level down: objects, world, floors, interface panels; the front end can take over.
    void LeaveLevel();
    // The in-game frame: scenario result, clock, then every subsystem with real or scaled time.
    void UpdateInGame();
    CFerroxWorld* GetWorld() override;
    uint16_t GetDayCounter() override { return m_dayCounter; }
    int32_t IsNewDay() override { return m_newDay; }
    CFerroxObject* GetSelectedObject() override { return m_pSelectedObject; }
    // After a successful placement the next object of the same template follows the cursor.
    void ContinuePlacement();

    // Engine callbacks, through the game the callbacks serve.
    static void OnKeyDown(const FerroxKeyEvent* event);
    static void OnKeyUp(const FerroxKeyEvent* event);
    static int OnMouseButton(int32_t event);
    static void OnTechnologyUnlocked(uint16_t id);
    static void OnConfirmLeave();

    // The interface above, installed by the program (null: the shell that does nothing).
    CGameShell* GetShell() const;
    void SetShell(CGameShell* shell) { m_pShell = shell; }
    // The front end the shell holds, which its main menu and city views reach; null without one.
    CFerroxGameInterface* GetFrontEnd() const;

    // The installed notice seam, or null: then nothing is told.
    CGameNotices* GetNotices() const { return m_pNotices; }
    void SetNotices(CGameNotices* notices) { m_pNotices = notices; }
    void QueueMessage(int16_t number) override;
    void PlaySample(int32_t sample, int32_t volume) override;
    void PlaySoundManagerSample(int32_t sample, int32_t volume) override;
    // The interface's click: effect 0 at full volume.
    void PlayDefaultSample() override;
    CSoundManager* GetSoundManager() const { return m_pSoundManager.get(); }
    void ClosePopups() override;

    // Commands of the build menus and the main bar.
    // Remembers an available template with its factory and starts placing one object of it.
    void StartObjectPlacement(uint16_t category, uint16_t index, CFerroxObjectFactory* factory);
    // 1 when there is no such template, 0 when it has no prerequisite list, else whether it is available.
    int IsTemplateAvailable(uint16_t category, uint16_t index);
    // Selects the tile type unless kGameKeepFloorTile, then starts laying tiles.
    void StartFloorTilePlacement(int32_t tile);
    // Placement mode 3, clearing: a dragged rectangle of floor is cleared, or the object under the cursor removed.
    void StartPlacementMode3();
    // The placement controller builds the wall pieces of the storey shown (0) or of every storey (1).
    void BuildWalls(int32_t value);
    // Placement stops, the floor changes, and the popups close.
    void GoFloorDown();
    void GoFloorUp();
    // The floor the main bar shows: 0 without a floor manager.
    int32_t GetCurrentFloor();
    // The view follows the storey shown: the placement's ground object and the camera move one storey.
    void CameraUp();
    void CameraDown();
    // Makes the floor manager's storey changes move the view, and a new storey take its wall pieces.
    static void FollowFloors(CFloorManager* floors);
    // The marker of the selected character: made once from the template with its model, after the object data.
    void CreateSelectionIndicator();
    // Puts the marker under the selected shopper or staff member, or out of sight below the ground.
    void PlaceSelectionIndicator();

    // The storeys built, the ground one included: 1 without a floor manager.
    int32_t GetBuiltFloors();

    // What the panels and the front end ask of the game.
    // A file panel opens over the game: the speed is kept as the resume speed and becomes 0, and the speed keys
    // and Escape do nothing until Resume.
    void Pause();
    // The file panel closed: the speed Pause kept comes back and input flows again.
    void Resume();
    float GetSpeed() const { return m_gameSpeed; }
    // The main bar's speed buttons: the factor on the simulation's frame time.
    void SetSpeed(float speed) { m_gameSpeed = speed; }
    int32_t IsGameOver() const { return m_gameOver; }
    int32_t IsInputBlocked() const { return m_inputBlocked; }
    // The end-game sequence closed: the level is left, and the game-over and input-blocked flags go back to 0 so
    // that the next game takes the speed keys and Escape again.
    void LeaveAfterResult();
    // The city view starts a game: the level becomes current and the game starts next frame, from the saved game
    // or scenario at path (empty or null: a new game).
    void StartScenario(int32_t level, const char* path);
    // The locale's language (0 English, 1 German, 2 French), or the launcher's choice while there is no locale.
    int16_t GetLanguage() const;
    uint16_t GetStartYear() const { return m_startYear; }
    int32_t HasSelectionChanged() const { return m_selectionChanged; }
    // The world point under the mouse this frame.
    const GxV3d& GetPickPoint() const { return m_pickPoint; }
    CPlacementController* GetPlacementController() const { return m_pPlacementController.get(); }
    CFloorManager* GetFloorManager() const { return m_pFloorManager.get(); }
    CSpawner* GetSpawner() const { return m_pSpawner.get(); }
    CFerroxObject* GetSelectionIndicator() const { return m_pSelectionIndicator.get(); }

    // Seams of the placement controller and the floor manager; by default the game's own controller and floor
    // manager in the level's world, which null puts back. Only tests install others, to see the commands without
    // a level: game_test and camera_test here, and the interface's panels_test and management_test.
    CGamePlacement* GetPlacement() const { return m_pPlacement; }
    void SetPlacement(CGamePlacement* placement);
    CGameFloors* GetFloors() const { return m_pFloors; }
    void SetFloors(CGameFloors* floors);

    // Saved games (game/shell/savegame.h). 1 when every section was written and the file replaced any old one (a
    // failed save leaves the old file as it was), else 0.
    int SaveGame(const char* path);
    // A GameLoadResult: 1 when the file was read whole into a rebuilt game, 2 when object records or values were
    // left out (a value left out keeps what the running game had); 0, with nothing changed, when it does not open
    // or does not read whole (GameFileProblem); 3 when the save's level did not load (the game goes back to the
    // front end).
    int LoadGame(const char* path);
    CGameSaveParts* GetSaveParts() const { return m_pSaveParts; }
    void SetSaveParts(CGameSaveParts* parts) { m_pSaveParts = parts; }

    float m_realFrameTime;       // the in-game frame's time before the speed factor
    int32_t m_gameOver;          // 1 once the scenario result was shown
    int32_t m_inputBlocked;      // 1 while a file panel opened from the options is open, and after the result
    int32_t m_worldPress;        // 1 while a left press that began a drag on the mall is held
    std::string m_gameFilePath;  // saved game or scenario the next game starts from
    uint16_t m_startMonth;
    uint16_t m_startYear;
    float m_gameSpeed;                          // factor on the simulation's frame time
    float m_resumeSpeed;                        // the speed the file panels put back when they close
    CFerroxAssetSet* m_pPlacementTemplate;      // of the last object placement started
    CFerroxObjectFactory* m_pPlacementFactory;  // given with it
    uint16_t m_dayCounter;      // game days elapsed; the interface shows it as months since January of the start year
    float m_dayTimer;           // scaled game time since the day began
    int32_t m_newDay;           // 1 during the frame in which a day ended
    int16_t m_language;         // stands in for the locale's language while there is none
    GxRaster* m_pDebugCharset;  // the debug texts' character set; destroyed at Release when present
    // Closed and deleted at Release.
    std::unique_ptr<CSoundManager> m_pSoundManager;
    int32_t m_levelLoaded;             // 1 from StartLevel's world until the level is left
    CFerroxObject* m_pSelectedObject;  // chosen with the left button; null
    int32_t m_selectionChanged;        // 1 in the frame the selected object changed
    CFerroxObject* m_pPickedObject;    // under the mouse this frame
    GxV3d m_pickPoint;                 // world point under the mouse this frame
    GxRaster* m_pSplash;               // full-screen picture of states 1 and 2
    // Made at set-up and deleted at release in the order ReleaseGame gives.
    std::unique_ptr<CFerroxPicker> m_pPicker;
    std::unique_ptr<CFerroxObject> m_pSelectionIndicator;
    std::unique_ptr<CPlacementController> m_pPlacementController;
    std::unique_ptr<CConditions> m_pConditions;
    std::unique_ptr<CSpawner> m_pSpawner;
    std::unique_ptr<CFloorManager> m_pFloorManager;

    float m_scaledFrameTime;  // the in-game frame's time after the speed factor

private:
    // A left press the interface takes rather than the mall.
    bool IsPressOnInterface();
    void DrawSplash();
    void ReplaceSplash(const char* path);
    void CheckResult();
    void AdvanceClock();
    void CheckSelectionFloor();
    void Pick();
    void RenderLevel();
    void PlaceCamera();
    void StartSpawner(CFerroxWorld* world);
    void UpdateSpawner(float dt);
    void ReleaseGame();
    static void GradeStaff(int32_t category, int32_t grade);
    static uint16_t* CategoryLevel(int32_t k);
    void SetPlacementMode(int32_t mode, CFerroxAssetSet* objectTemplate, CFerroxObjectFactory* factory);
    void MoveViewOneStorey(int up);

    class BuildSeams;

    CGameNotices* m_pNotices;
    std::unique_ptr<BuildSeams> m_pBuildSeams;
    CGamePlacement* m_pPlacement;
    CGameFloors* m_pFloors;
    CGameShell* m_pShell;
    int32_t m_setUp;
    std::unique_ptr<CObjectManagerSeam> m_pObjectSeam;
    CGameSaveParts* m_pSaveParts = nullptr;
    std::unique_ptr<CGameSaveParts> m_pOwnSaveParts;  // what the set-up installs when nothing else is
    int32_t m_returnCity = -1;                        // the city view a failed level goes back to; -1 for the main menu
};

// What a selected object is, for the popups that show its record.
enum GameSelectionKind : int32_t {
    GAME_SELECTION_SHOPPER = 1,
    GAME_SELECTION_SHOP = 2,
    GAME_SELECTION_STAFF = 3,
    GAME_SELECTION_OTHER = 4,
};
// The kind of the object and, for shoppers, shops and staff, the record their popup shows (else null).
GameSelectionKind GameClassifySelection(CFerroxObject* object, const void** record);

// The game, or null before CGame::Instance.
extern CGame* g_pGame;
