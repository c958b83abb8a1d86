// The game object's singleton and the fields the figures read.
#include "game/game.h"

#include "game/objectmgr.h"
#include "game/sound.h"
#include "game/templates.h"

CGame* g_pGame = nullptr;

namespace {
constexpr int32_t kFirstState = 1;   // brand splash
constexpr float kNormalSpeed = 1.0f;
constexpr int kNoSuchTemplate = 1;
}

CGame* CGame::Instance(CFerroxGame** out)
{
    if (!g_pGame) {
        g_pGame = new CGame();
        g_pFerroxGame = g_pGame;
    }
    if (out)
        *out = g_pGame;
    return g_pGame;
}

void CGame::DestroyInstance(CFerroxGame** out)
{
    if (g_pFerroxGame == g_pGame)
        g_pFerroxGame = nullptr;
    delete g_pGame;
    g_pGame = nullptr;
    if (out)
        *out = nullptr;
}

CGame::CGame() : m_pSoundManager(nullptr), m_pNotices(nullptr), m_pPlacement(nullptr), m_pFloors(nullptr)
{
    Init();
}

CGame::~CGame()
{
    Release();
}

void CGame::Init()
{
    m_realFrameTime = 0.0f;
    m_gameOver = 0;
    m_inputBlocked = 0;
    m_gameFilePath.clear();
    m_startMonth = kGameStartMonth;
    m_startYear = kGameStartYear;
    m_gameSpeed = kNormalSpeed;
    m_resumeSpeed = kNormalSpeed;
    m_pPlacementTemplate = nullptr;
    m_pPlacementFactory = nullptr;
    m_dayCounter = 0;
    m_dayTimer = 0.0f;
    m_newDay = 0;
    m_language = 0;
    m_pSelectedObject = nullptr;
    m_selectionChanged = 0;
    SetState(kFirstState);
}

void CGame::Release()
{
    if (m_pSoundManager) {
        m_pSoundManager->Close();
        delete m_pSoundManager;
        m_pSoundManager = nullptr;
    }
    CFerroxGame::Release();
}

void CGame::QueueMessage(int16_t number)
{
    if (m_pNotices)
        m_pNotices->QueueMessage(number);
}

void CGame::PlaySample(int32_t sample, int32_t volume)
{
    if (m_pNotices)
        m_pNotices->PlaySample(sample, volume);
    else if (m_pSoundManager)
        m_pSoundManager->PlaySample(sample, volume);
}

void CGame::ClosePopups()
{
    m_pSelectedObject = nullptr;
    m_selectionChanged = 1;
    if (m_pNotices)
        m_pNotices->ClosePopups();
}

void CGame::SetPlacementMode(int32_t mode, CFerroxAssetSet* objectTemplate, CFerroxObjectFactory* factory)
{
    if (m_pPlacement)
        m_pPlacement->SetMode(mode, objectTemplate, factory);
}

void CGame::StartObjectPlacement(uint16_t category, uint16_t index, CFerroxObjectFactory* factory)
{
    // Without a manager there are no templates.
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    CFerroxAssetSet* objectTemplate = manager ? manager->GetTemplate(category, index) : nullptr;
    if (!objectTemplate || !::IsTemplateAvailable(objectTemplate))
        return;
    m_pPlacementTemplate = objectTemplate;
    m_pPlacementFactory = factory;
    SetPlacementMode(GAME_PLACEMENT_OBJECT, objectTemplate, factory);
}

int CGame::IsTemplateAvailable(uint16_t category, uint16_t index)
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    CFerroxAssetSet* objectTemplate = manager ? manager->GetTemplate(category, index) : nullptr;
    if (!objectTemplate)
        return kNoSuchTemplate;
    return ::IsTemplateAvailable(objectTemplate);
}

void CGame::StartFloorTilePlacement(int32_t tile)
{
    if (tile != kGameKeepFloorTile && m_pFloors)
        m_pFloors->SelectTile(tile);
    SetPlacementMode(GAME_PLACEMENT_FLOOR_TILES, nullptr, nullptr);
}

void CGame::StartPlacementMode3()
{
    SetPlacementMode(GAME_PLACEMENT_CLEAR, nullptr, nullptr);
}

void CGame::GoFloorDown()
{
    SetPlacementMode(GAME_PLACEMENT_NONE, nullptr, nullptr);
    if (m_pFloors)
        m_pFloors->GoDown();
    ClosePopups();
}

void CGame::GoFloorUp()
{
    SetPlacementMode(GAME_PLACEMENT_NONE, nullptr, nullptr);
    if (m_pFloors)
        m_pFloors->GoUp();
    ClosePopups();
}

int32_t CGame::GetCurrentFloor()
{
    return m_pFloors ? m_pFloors->GetCurrentFloor() : 0;
}

void CGame::PlayDefaultSample()
{
    PlaySample(kSoundDefaultSample, kSoundFullVolume);
}

void CGameNotices::PlaySample(int32_t sample, int32_t volume)
{
    if (g_pGame && g_pGame->m_pSoundManager)
        g_pGame->m_pSoundManager->PlaySample(sample, volume);
}
