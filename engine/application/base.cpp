// The game base with its clocks and owned objects, and the debug switches.
#include "engine/application/base.h"

#include <cstring>
#include <utility>

#include "engine/application/keyboard.h"
#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/world/camera.h"
#include "engine/world/level.h"
#include "gfx/core/assert.h"
#include "gfx/core/image.h"

CFerroxGame* g_pFerroxGame = nullptr;
CFerroxDebugSettings g_FerroxDebugSettings;

namespace {

const float kMaxFrameTime = 0.05f;

const char* const kSwitchKeys[FERROX_DEBUG_COUNT] = {
    "fulltrace",        "clumpload",        "assetpool", "streamchecking",
    "debugtxtonscreen", "hasstartupscreen", "readtxd",   "cameracoords",
};
const int32_t kSwitchDefaults[FERROX_DEBUG_COUNT] = {0, 1, 1, 1, 1, 1, 0, 0};

void WriteDebugBanner(const char* problem)
{
    FerroxDebugOutput("\n\n//////////////////////////////////////////////////////////////\n");
    FerroxDebugOutput("FERROX ERROR\n");
    FerroxDebugOutput(problem);
    FerroxDebugOutput("Are your project settings correct - start in dir will be empty :)\n");
    FerroxDebugOutput("/////////////////////////////////////////////////////////////////\n\n");
}

}  // namespace

void FerroxSetGame(CFerroxGame* game)
{
    g_pFerroxGame = game;
    g_pFerroxGameContext = game;
}

CFerroxLocale* FerroxGameLocale() { return g_pFerroxGame ? g_pFerroxGame->GetLocale() : nullptr; }

CFerroxMouse* FerroxGameMouse() { return g_pFerroxGame ? g_pFerroxGame->GetMouse() : nullptr; }

CFerroxGame::CFerroxGame() { Init(); }

void CFerroxGame::SetInterface(std::unique_ptr<CFerroxGameInterface> ui) { m_pInterface = std::move(ui); }

CFerroxGame::~CFerroxGame() { Release(); }

void CFerroxGame::Init()
{
    m_pGameData = nullptr;
    m_hWnd = nullptr;
    m_pStartDirectory = nullptr;
    m_state = 0;
    m_gameValue = 0;
    m_skipFrame = 0;
    m_times[0] = 0.0f;
    m_times[1] = 0.0f;
    m_screenWidth = 0;
    m_screenHeight = 0;
    memset(&m_lastKey, 0, sizeof(m_lastKey));
    m_pLevelManager = nullptr;
    m_pLocale = nullptr;
    m_pCamera = nullptr;
    m_pKeyboard = nullptr;
    m_pMouse = nullptr;
    m_pInterface = nullptr;
    m_pTechTree = nullptr;
    m_imagePath.clear();
}

void CFerroxGame::Release()
{
    // In this order: the interface and the level manager may still reach the input and the camera as they go.
    m_pGameData.reset();
    m_pLevelManager.reset();
    m_pInterface.reset();
    m_pMouse.reset();
    m_pKeyboard.reset();
    m_pLocale.reset();
    m_pCamera.reset();
    m_pTechTree.reset();
    CFerroxGame::Init();
}

void CFerroxGame::ReservedSlot6() {}
void CFerroxGame::PlayDefaultSample() {}

int CFerroxGame::SetScreenSize(int width, int height)
{
    m_screenWidth = width;
    m_screenHeight = height;
    return width;
}

int CFerroxGame::GetScreenWidth() { return m_screenWidth; }
int CFerroxGame::GetScreenHeight() { return m_screenHeight; }
void CFerroxGame::SetState(int32_t state) { m_state = state; }
int32_t CFerroxGame::GetState() { return m_state; }
void CFerroxGame::SetGameValue(int32_t value) { m_gameValue = value; }
int32_t CFerroxGame::GetGameValue() { return m_gameValue; }
float* CFerroxGame::GetFrameTimes() { return m_times; }

int CFerroxGame::ChooseVideoMode(int*, int*) { return 1; }

HWND CFerroxGame::GetWindow() { return m_hWnd; }
const char* CFerroxGame::GetStartDirectory() { return m_pStartDirectory; }
void CFerroxGame::SetStartDirectory(const char* directory) { m_pStartDirectory = directory; }

void CFerroxGame::Update(float frameTime)
{
    if (m_skipFrame) {
        m_skipFrame = 0;
        m_times[0] = 0.0f;
        m_times[1] = 0.0f;
        return;
    }
    // A time that is not below the limit (NaN included) becomes the limit.
    const float time = frameTime < kMaxFrameTime ? frameTime : kMaxFrameTime;
    m_times[0] = time;
    m_times[1] += time;
}

void CFerroxGame::Render() {}

int CFerroxGame::Create(HWND window, const char* name)
{
    if (m_hWnd || !window)
        return 0;
    m_hWnd = window;
    SetName(name);
    std::string path;
    if (m_pStartDirectory)
        path = std::string(m_pStartDirectory) + "\\";
    GxImageSetPath(path.c_str());
    return 1;
}

CFerroxDebugSettings::CFerroxDebugSettings() { SetDefaults(); }

CFerroxDebugSettings::~CFerroxDebugSettings() {}

int CFerroxDebugSettings::SetDefaults()
{
    for (int i = 0; i < FERROX_DEBUG_COUNT; ++i)
        m_switches[i] = kSwitchDefaults[i];
    return 1;
}

void CFerroxDebugSettings::ReservedSlot2() {}

void CFerroxDebugSettings::SetSwitch(const char* name, int32_t value)
{
    GX_ASSERT(name, "a switch name");
    // An enabled full trace freezes every switch.
    if (m_switches[FERROX_DEBUG_FULLTRACE])
        return;
    for (int i = 0; i < FERROX_DEBUG_COUNT; ++i) {
        if (strcmp(name, kSwitchKeys[i]) == 0) {
            m_switches[i] = value;
            return;
        }
    }
}

int CFerroxDebugSettings::Load(const char* fileName)
{
    CFerroxTagTree tree;
    tree.Load(fileName);
    return Read(&tree);
}

int CFerroxDebugSettings::Read(CFerroxTagTree* tree)
{
    if (!tree || !tree->FindNode("DEBUG", 1)) {
        WriteDebugBanner("COULDN'T FIND DEBUG TAG in data.xml - are you running in the right directory\n");
        return 0;
    }
    if (!tree->FindChild(nullptr)) {
        WriteDebugBanner("COULDN'T FIND DEBUG CHILD in data.xml - are you running in the right directory\n");
        return 0;
    }
    do {
        const char* first = tree->GetValue(0);
        int32_t value = first && first[0] == '1' ? 1 : 0;
        SetSwitch(FerroxTagNameText(tree->GetCursor()->name).c_str(), value);
    } while (tree->NextSibling(nullptr));
    return 1;
}
