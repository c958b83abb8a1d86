// The game object's singleton and the fields the figures read.
#include "game/game.h"

#include "game/sound.h"

CGame* g_pGame = nullptr;

namespace {
constexpr int32_t kFirstState = 1;   // brand splash
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

CGame::CGame() : m_pSoundManager(nullptr), m_pNotices(nullptr)
{
    Init();
}

CGame::~CGame()
{
    Release();
}

void CGame::Init()
{
    m_startMonth = kGameStartMonth;
    m_startYear = kGameStartYear;
    m_dayCounter = 0;
    m_newDay = 0;
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

void CGame::PlayDefaultSample()
{
    PlaySample(kSoundDefaultSample, kSoundFullVolume);
}

void CGameNotices::PlaySample(int32_t sample, int32_t volume)
{
    if (g_pGame && g_pGame->m_pSoundManager)
        g_pGame->m_pSoundManager->PlaySample(sample, volume);
}
