// The engine's game base and the debug settings.
//
// The engine module owns the game framework: the application and its main loop, window and input, tag trees
// and text files, the text catalogue, objects and characters, state machines, A* path finding, block grids
// and meshes, splines, the technology tree and asset pools. It calls the graphics library below its driver
// (gfx/core, gfx/world, gfx/anim, gfx/fx, gfx/2d) and platform/win32, and reaches the driver only through the
// start-up table the program hands it (engine/data/startup.h); the game above reaches it through its classes,
// and it calls back up only through their virtual slots. Its rooms stand data < world < navigation <
// application: the application, on top, runs the main loop, and its game base owns the level manager, locale,
// camera, input, interface and technology tree the rooms below make; they read the running game through
// CFerroxGameContext (engine/data/context.h), never through this header. Threading: one thread runs the main
// loop. Ownership: objects are created by their owner and released through Release before deletion; shared assets
// are reference-counted in their pools.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/data/context.h"
#include "engine/data/root.h"
#include "platform/win32/wintypes.h"

class CFerroxTagTree;
class CFerroxLevelManager;
class CFerroxLocale;
class CFerroxCamera;
class CFerroxKeyboard;
class CFerroxMouse;
class CFerroxTechTree;

// Last key event as the game's key-down callback records it.
struct FerroxKeyEvent {
    int32_t modifiers0;
    int32_t modifiers1;
    int32_t scanCode;
    int32_t keyCode;
    uint16_t virtualKey;
};

// The game's interface as the engine holds it: the interface module derives its interfaces from it, and the game
// deletes the one it holds when it is released.
class CFerroxGameInterface {
public:
    virtual ~CFerroxGameInterface() = default;
};

class CFerroxGame : public CFerroxBase, public CFerroxGameContext {
public:
    CFerroxGame();
    void Init() override;
    void Release() override;
    ~CFerroxGame() override;

    // Virtual slot 6, the first after the root class's six: reserved, does nothing.
    virtual void ReservedSlot6();
    // Virtual slot 7: nothing here; the game plays its default sound sample.
    virtual void PlayDefaultSample();
    virtual int SetScreenSize(int width, int height);
    int GetScreenWidth() override;
    virtual int GetScreenHeight();
    virtual void SetState(int32_t state);
    virtual int32_t GetState();
    virtual void SetGameValue(int32_t value);
    virtual int32_t GetGameValue();
    float* GetFrameTimes() override;
    virtual int ChooseVideoMode(int* adapter, int* mode);
    virtual HWND GetWindow();
    virtual const char* GetStartDirectory();
    virtual void SetStartDirectory(const char* directory);
    virtual void Update(float frameTime);
    virtual void Render();
    virtual int Create(HWND window, const char* name);

    void SetSkipFrame(int skip) { m_skipFrame = skip; }
    // The directory the cursor, animated textures and the interface read their pictures from; empty: the
    // image search path alone.
    const char* GetImagePath() const { return m_imagePath.c_str(); }
    void SetImagePath(const char* path) { m_imagePath = path ? path : ""; }
    const FerroxKeyEvent* GetLastKey() const { return &m_lastKey; }
    // Why Create returned 0, naming the file at fault, or null: the application reports it.
    const char* GetStartFailure() const { return m_startFailure.empty() ? nullptr : m_startFailure.c_str(); }
    void SetStartFailure(const std::string& failure) { m_startFailure = failure; }
    float GetFrameTime() const { return m_times[0]; }
    float GetGameTime() const { return m_times[1]; }
    CFerroxCamera* GetCamera() override { return m_pCamera.get(); }
    CFerroxTechTree* GetTechTree() override { return m_pTechTree.get(); }
    // What the game base owns, or null while it holds none.
    CFerroxTagTree* GetGameData() const { return m_pGameData.get(); }
    CFerroxLevelManager* GetLevelManager() const { return m_pLevelManager.get(); }
    CFerroxLocale* GetLocale() const { return m_pLocale.get(); }
    CFerroxKeyboard* GetKeyboard() const { return m_pKeyboard.get(); }
    CFerroxMouse* GetMouse() const { return m_pMouse.get(); }
    CFerroxGameInterface* GetInterface() const { return m_pInterface.get(); }
    // Takes the interface over, deleting the one held before.
    void SetInterface(std::unique_ptr<CFerroxGameInterface> ui);

    std::unique_ptr<CFerroxTagTree> m_pGameData;
    HWND m_hWnd;
    const char* m_pStartDirectory;
    int32_t m_state;
    int32_t m_gameValue;
    int32_t m_skipFrame;
    float m_times[2];  // frame time, game time
    int32_t m_screenWidth;
    int32_t m_screenHeight;
    FerroxKeyEvent m_lastKey;
    std::unique_ptr<CFerroxLevelManager> m_pLevelManager;
    std::unique_ptr<CFerroxLocale> m_pLocale;
    std::unique_ptr<CFerroxCamera> m_pCamera;
    std::unique_ptr<CFerroxKeyboard> m_pKeyboard;
    std::unique_ptr<CFerroxMouse> m_pMouse;
    std::unique_ptr<CFerroxGameInterface> m_pInterface;
    std::unique_ptr<CFerroxTechTree> m_pTechTree;

private:
    std::string m_imagePath;
    std::string m_startFailure;
};

// The application's game object, reached through a global pointer; the settings tree is published beside the
// game's context (engine/data/context.h).
extern CFerroxGame* g_pFerroxGame;
// Publishes the game as g_pFerroxGame and as the context the rooms below read; null publishes none.
void FerroxSetGame(CFerroxGame* game);
// The published game's locale and mouse; null without a game or while it holds none.
CFerroxLocale* FerroxGameLocale();
CFerroxMouse* FerroxGameMouse();

enum FerroxDebugSwitch {
    FERROX_DEBUG_FULLTRACE,
    FERROX_DEBUG_CLUMPLOAD,
    FERROX_DEBUG_ASSETPOOL,
    FERROX_DEBUG_STREAMCHECKING,
    FERROX_DEBUG_DEBUGTXTONSCREEN,
    FERROX_DEBUG_HASSTARTUPSCREEN,
    FERROX_DEBUG_READTXD,
    FERROX_DEBUG_CAMERACOORDS,
    FERROX_DEBUG_COUNT
};

class CFerroxDebugSettings {
public:
    CFerroxDebugSettings();
    virtual int SetDefaults();
    // Reads the "DEBUG" block of the given tag file (./data.xml at start-up).
    virtual int Load(const char* fileName = "./data.xml");
    // Reads the "DEBUG" block of a data tree already loaded; the cursor is left where the block was read.
    int Read(CFerroxTagTree* tree);
    // Virtual slot 2, after SetDefaults and Load: reserved, does nothing.
    virtual void ReservedSlot2();
    virtual ~CFerroxDebugSettings();

    void SetSwitch(const char* name, int32_t value);
    int32_t GetSwitch(FerroxDebugSwitch which) const { return m_switches[which]; }

private:
    int32_t m_switches[FERROX_DEBUG_COUNT];
};

extern CFerroxDebugSettings g_FerroxDebugSettings;
